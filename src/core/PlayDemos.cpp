#include "qvx/core/PlayDemos.h"

#include "qvx/core/Catalogue.h"
#include "qvx/core/Design.h"
#include "qvx/core/Module1.h"
#include "qvx/core/Text.h"

namespace qvx {

namespace {
constexpr ControlId fraDemoInfo{"fraDemoInfo"};
constexpr ControlId lblInfo{"lblInfo"};
constexpr ControlId fraExtracting{"fraExtracting"};
} // namespace

// The main window as the preparation of archives sees it.
class PlayDemosPresenter::Preparation final : public PreparationView
{
public:
    explicit Preparation(PlayDemosPresenter &presenter) : m(presenter) {}

    bool isOpen() const override { return m.m_view.isOpen(); }
    std::vector<std::filesystem::path> listFiles(const std::filesystem::path &folder,
                                                 std::string_view pattern) override
    {
        m.m_files.setPath(folder);
        m.m_files.setPattern(pattern);
        return m.m_files.names();
    }
    void clearDemoList() override { m.m_view.clearDemoList(); }
    void resetDemoListText() override { m.m_view.setDemoText(m.m_view.demoEntry(0)); }
    void showProgressFrame() override
    {
        m.m_view.moveControl(fraExtracting, extractingLeft, extractingTop);
        m.m_view.setControlVisible(fraExtracting, true);
    }
    void hideProgressFrame() override { m.m_view.setControlVisible(fraExtracting, false); }
    void setMenusEnabled(bool enabled) override
    {
        m.m_view.setMenuEnabled("mnuFileHeader", enabled);
        m.m_view.setMenuEnabled("mnuHelpHeader", enabled);
    }

private:
    PlayDemosPresenter &m;
};

PlayDemosPresenter::PlayDemosPresenter(Platform &platform, PlayDemosView &view)
    : m_platform(platform), m_view(view), m_folders(platform), m_files(platform, &m_folders)
{
    m_files.setPattern(design::frmPlayDemos().find("filDemoFiles")->pattern);
}

void PlayDemosPresenter::Form_Load()
{
    m_platform.setPointer(Pointer::Busy);
    m_view.setOuterSize(outerWidth, outerHeight);
    Module1::CenterForm(m_view);
    m_view.show();
    m_view.moveControl(fraDemoInfo, noteLeft, noteTop);
    const std::filesystem::path helpFile = Catalogue::helpFile(m_platform.applicationFolder());
    Module1::sHelpFile = text::fromPath(helpFile);
    m_platform.setApplicationHelpFile(helpFile);
    m_platform.processEvents();
    // Filling the list may take a while: the window is drawn first.
    m_view.paintNow();
    m_view.setOptionValue(1, true);
    m_platform.setPointer(Pointer::Default);
}

void PlayDemosPresenter::optDemoVersion_Click(int index)
{
    m_view.setControlVisible(fraDemoInfo, false);
    m_view.setCaption(lblInfo, {});
    sDemoFolder = Catalogue::editionFolder(m_platform.applicationFolder(), index);
    m_files.setPattern("*.exe");
    std::string sVersion = Catalogue::editionTag(index);
    func_ListDemos(sVersion);
}

void PlayDemosPresenter::func_ListDemos(std::string &sVersion)
{
    (void)sVersion; // the list depends only on the folders
    m_view.clearDemoList();
    std::vector<std::string> names;
    auto addFolder = [&](const std::filesystem::path &folder) {
        m_files.setPath(folder);
        for (const std::filesystem::path &file : m_files.names())
            names.push_back(Catalogue::displayName(file));
    };
    addFolder(sDemoFolder);
    addFolder(Catalogue::sharedFolder(m_platform.applicationFolder()));
    m_view.addDemoEntries(names);
    // Setting the text is not a choice: no note follows a listing.
    m_view.setDemoText(m_view.demoEntry(0));
}

void PlayDemosPresenter::cboDemos_Click()
{
    const std::string note =
        m_view.optionValue(0) ? Catalogue::noteFor(m_view.demoText()) : std::string();
    if (!note.empty()) {
        m_view.setCaption(lblInfo, note);
        m_view.setControlVisible(fraDemoInfo, true);
    } else {
        m_view.setControlVisible(fraDemoInfo, false);
        m_view.setCaption(lblInfo, {});
    }
}

void PlayDemosPresenter::cmdPlay_Click()
{
    const std::filesystem::path path = Catalogue::resolvePlayPath(
        m_platform, m_folders, m_platform.applicationFolder(), sDemoFolder, m_view.demoText());
    if (path.empty())
        return;
    // The demo runs in its own folder; whatever the start says, Play says nothing.
    m_platform.startProgram(path, path.parent_path());
}

void PlayDemosPresenter::cmdClose_Click()
{
    m_view.close();
}

void PlayDemosPresenter::menu_Click(std::string_view item)
{
    const design::MenuItem *design = design::frmPlayDemos().findMenuItem(item);
    if (!design || !design->enabled)
        return;
    switch (design->command) {
    case design::Command::None:
        break;
    case design::Command::Play:
        cmdPlay_Click();
        break;
    case design::Command::Exit:
        m_view.close();
        break;
    case design::Command::HelpContents:
        Module1::ShowHelp(m_platform, m_view.handle(), "Contents");
        break;
    case design::Command::HelpIndex:
        Module1::ShowHelp(m_platform, m_view.handle(), "Index");
        break;
    case design::Command::HelpTopic:
        Module1::sHelpTopic = design->topic;
        Module1::ShowHelp(m_platform, m_view.handle(), "Topic");
        break;
    case design::Command::WebHomePage:
        Module1::ShellOpen(m_platform, Module1::homePageAddress());
        break;
    case design::Command::About:
        m_view.showAbout();
        break;
    }
}

void PlayDemosPresenter::func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits)
{
    Preparation view(*this);
    DemoPreparation(m_platform, view, waits).run(bCalledFromButtonClick);
}

} // namespace qvx

#pragma once

#include "qvx/core/DemoPreparation.h"
#include "qvx/core/FileList.h"
#include "qvx/core/FolderNames.h"
#include "qvx/core/FormView.h"
#include "qvx/core/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// What the main window's presenter asks of the window. Geometry is in twips.
class PlayDemosView : public FormView
{
public:
    virtual WindowHandle handle() const = 0;
    // False once the window has been closed, even while it is still being torn down.
    virtual bool isOpen() const = 0;
    virtual void setOuterSize(int width, int height) = 0;
    virtual void show() = 0;
    // Draws the shown window with its controls now, whatever the window system has queued.
    virtual void paintNow() = 0;
    virtual void close() = 0;

    virtual void moveControl(ControlId control, int left, int top) = 0;
    virtual void setControlVisible(ControlId control, bool visible) = 0;
    virtual void setCaption(ControlId control, const std::string &text) = 0;
    virtual void setMenuEnabled(std::string_view item, bool enabled) = 0;

    virtual bool optionValue(int index) const = 0;
    // Selecting an option that was not selected runs its click handler before returning.
    virtual void setOptionValue(int index, bool value) = 0;

    // The demo list: its entries and the text of its editable field.
    virtual void clearDemoList() = 0;
    virtual void addDemoEntries(const std::vector<std::string> &entries) = 0;
    // Empty past the last entry.
    virtual std::string demoEntry(std::size_t index) const = 0;
    virtual std::string demoText() const = 0;
    virtual void setDemoText(const std::string &text) = 0;

    // Creates the About window when there is none and shows it modally.
    virtual void showAbout() = 0;
};

// The main window's behaviour: start-up, the edition choice and the listing, the note on
// shared demos, Play, the menus, and the preparation of delivered archives.
class PlayDemosPresenter
{
public:
    // The run-time places of the note frame and of the "Preparing New Files" frame.
    static constexpr int outerWidth = 6825;
    static constexpr int outerHeight = 4620;
    static constexpr int noteLeft = 2760;
    static constexpr int noteTop = 1860;
    static constexpr int extractingLeft = 420;
    static constexpr int extractingTop = 1860;

    PlayDemosPresenter(Platform &platform, PlayDemosView &view);

    void Form_Load();
    void optDemoVersion_Click(int index);
    void func_ListDemos(std::string &sVersion);
    void cboDemos_Click();
    void cmdPlay_Click();
    void cmdClose_Click();
    // A menu item of the window's design, by name.
    void menu_Click(std::string_view item);
    void func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits = {});

    const std::filesystem::path &demoFolder() const { return sDemoFolder; }
    const FileList &filDemoFiles() const { return m_files; }

private:
    class Preparation;

    Platform &m_platform;
    PlayDemosView &m_view;
    // Before the file list, which reads through it.
    FolderNames m_folders;
    FileList m_files;
    std::filesystem::path sDemoFolder;
};

} // namespace qvx

#include "app/FrmPlayDemos.h"

#include "app/Twips.h"
#include "catalogue/FileListBox.h"
#include "prepare/DemoPreparation.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>

namespace {

// The frame's place while archives are prepared.
constexpr int extractingLeft = 420;
constexpr int extractingTop = 1860;

// The main window's controls as the preparation sees them. Events handled during the run
// may close and delete the window, so every call checks that it is still there.
class MainWindowView final : public PreparationView
{
public:
    explicit MainWindowView(FrmPlayDemos *window) : m_window(window) {}

    bool isOpen() const override { return !m_window.isNull(); }

    QStringList listFiles(const QString &folder, const QString &pattern) override
    {
        if (!m_window)
            return {};
        m_window->filDemoFiles->setPath(folder);
        m_window->filDemoFiles->setPattern(pattern);
        return m_window->filDemoFiles->names();
    }

    void clearDemoList() override
    {
        if (m_window)
            m_window->cboDemos->clear();
    }

    void resetDemoListText() override
    {
        if (m_window)
            m_window->cboDemos->setEditText(m_window->cboDemos->itemText(0));
    }

    void showProgressFrame() override
    {
        if (!m_window)
            return;
        QGroupBox *frame = m_window->fraExtracting;
        const Twips twips = Twips::forWidget(m_window);
        frame->move(frame->x(), twips.px(extractingTop));
        frame->move(twips.px(extractingLeft), frame->y());
        frame->show();
    }

    void hideProgressFrame() override
    {
        if (m_window)
            m_window->fraExtracting->hide();
    }

    void setMenusEnabled(bool enabled) override
    {
        if (!m_window)
            return;
        m_window->mnuFileHeader->menuAction()->setEnabled(enabled);
        m_window->mnuHelpHeader->menuAction()->setEnabled(enabled);
    }

private:
    QPointer<FrmPlayDemos> m_window;
};

} // namespace

void FrmPlayDemos::func_UnzipDemos(bool bCalledFromButtonClick)
{
    MainWindowView view(this);
    DemoPreparation(platform(), view).run(bCalledFromButtonClick);
    // The window may have been deleted during the run: nothing of it is touched here.
}

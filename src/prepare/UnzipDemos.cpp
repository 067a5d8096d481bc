#include "app/FrmPlayDemos.h"

#include "app/Twips.h"
#include "catalogue/FileListBox.h"
#include "prepare/DemoPreparation.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>

namespace {

// The frame's place while archives are prepared.
constexpr int extractingLeft = 420;
constexpr int extractingTop = 1860;

// The main window's controls as the preparation sees them. Events handled during the run
// may close the window, and its deletion may follow at once or only later, so every call
// checks that it is still there and not closed.
class MainWindowView final : public QObject, public PreparationView
{
public:
    explicit MainWindowView(FrmPlayDemos *window) : m_window(window)
    {
        window->installEventFilter(this);
    }
    ~MainWindowView() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }

    bool isOpen() const override
    {
        // A close that was let through hides the window.
        return m_window && !(m_closeRequested && m_window->isHidden());
    }

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_closeRequested = true;
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<FrmPlayDemos> m_window;
    bool m_closeRequested = false;
};

} // namespace

void FrmPlayDemos::func_UnzipDemos(bool bCalledFromButtonClick)
{
    MainWindowView view(this);
    DemoPreparation(platform(), view).run(bCalledFromButtonClick);
    // The window may have been deleted during the run: nothing of it is touched here.
}

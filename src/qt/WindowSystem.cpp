#include "WindowSystem.h"

#include "qvx/qt/Twips.h"

#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace qvx::qt {

namespace {

// Ends a wait as soon as its window is exposed: the window system says so by an event.
class ExposeWatch : public QObject
{
public:
    ExposeWatch(QWindow *window, QEventLoop &loop) : m_window(window), m_loop(loop)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed())
            m_loop.quit();
        return false;
    }

private:
    QWindow *m_window;
    QEventLoop &m_loop;
};

} // namespace

bool waitUntilExposed(QWidget &window)
{
    // A window manager maps and frames the window in its own time; without one it is at once.
    QWindow *handle = window.windowHandle();
    if (!handle || handle->isExposed())
        return handle != nullptr;
    // The window may be closed, and deleted, while the window system works.
    const QPointer<QWindow> alive(handle);
    QEventLoop loop;
    const ExposeWatch watch(handle, loop);
    QObject::connect(handle, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    // Start-up hands user input to the handlers once only, at its own step.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return alive && alive->isExposed();
}

TwipSize screenSize(const QWidget &window)
{
    const Twips t = Twips::forWidget(&window);
    const QScreen *screen = window.screen();
    // The whole screen, not the part that task bars leave free.
    const QRect whole = screen ? screen->geometry() : QRect();
    return {t.toTwips(whole.width()), t.toTwips(whole.height())};
}

TwipSize outerSize(const QWidget &window)
{
    const Twips t = Twips::forWidget(&window);
    // The window's own margins: what the widget caches may still be those before framing.
    const QSize outer = window.windowHandle()
                            ? window.size().grownBy(window.windowHandle()->frameMargins())
                            : window.frameGeometry().size();
    return {t.toTwips(outer.width()), t.toTwips(outer.height())};
}

void moveOuter(QWidget &window, float left, float top)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const Twips t = Twips::forWidget(&window);
    const QRect whole = screen->geometry();
    const QPoint topLeft(whole.x() + t.px(left), whole.y() + t.px(top));
    window.move(topLeft);
    // Just after framing, the widget may still take its frame for none and so see no move
    // to make; the window itself places its frame.
    if (window.isVisible() && window.windowHandle())
        window.windowHandle()->setFramePosition(topLeft);
}

} // namespace qvx::qt

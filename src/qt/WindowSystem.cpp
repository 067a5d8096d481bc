#include "WindowSystem.h"

#include "qvx/qt/Twips.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace qvx::qt {

bool waitForWindowSystem(const std::function<bool()> &done, int maxMilliseconds)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= maxMilliseconds)
            loop.quit();
    });
    poll.start(5);
    // Start-up hands user input to the handlers once only, at its own step.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

bool waitUntilExposed(QWidget &window)
{
    // The window may be closed, and deleted, while the window system works.
    const QPointer<QWidget> alive(&window);
    return waitForWindowSystem(
               [alive] {
                   return !alive || (alive->windowHandle() && alive->windowHandle()->isExposed());
               },
               1000) &&
           alive;
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

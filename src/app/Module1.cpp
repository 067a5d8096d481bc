#include "app/Module1.h"

#include "app/Twips.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace Module1 {

QString sHelpFile;
QString sHelpTopic;

QPointF centredPosition(QSizeF screenTwips, QSizeF windowTwips)
{
    const float left = (float(screenTwips.width()) - float(windowTwips.width())) / 2.0f;
    const float top = (float(screenTwips.height()) - float(windowTwips.height())) / 2.0f;
    return {left, top};
}

void CenterForm(QWidget &form)
{
    const QScreen *screen = form.screen();
    if (!screen)
        return;
    const Twips twips = Twips::forWidget(&form);
    // The whole screen, not the part that task bars leave free.
    const QRect whole = screen->geometry();
    // The window's own margins: what the widget caches may still be those before framing.
    const QSize outer = form.windowHandle()
                            ? form.size().grownBy(form.windowHandle()->frameMargins())
                            : form.frameGeometry().size();
    const QPointF at =
        centredPosition({twips.toTwips(whole.width()), twips.toTwips(whole.height())},
                        {twips.toTwips(outer.width()), twips.toTwips(outer.height())});
    const QPoint topLeft(whole.x() + twips.px(at.x()), whole.y() + twips.px(at.y()));
    form.move(topLeft);
    // Just after framing, the widget may still take its frame for none and so see no move
    // to make; the window itself places its frame.
    if (form.isVisible() && form.windowHandle())
        form.windowHandle()->setFramePosition(topLeft);
}

bool WaitForWindowSystem(const std::function<bool()> &done, int maxMilliseconds)
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

bool WaitUntilExposed(QWidget &form)
{
    // A window manager maps and frames the window in its own time; without one the
    // window is exposed at once.
    // The window may be closed, and deleted, while the window system works.
    const QPointer<QWidget> window(&form);
    return WaitForWindowSystem(
               [window] {
                   return !window ||
                          (window->windowHandle() && window->windowHandle()->isExposed());
               },
               1000) &&
           window;
}

} // namespace Module1

#include "qvx/helpviewer/HelpViewers.h"

#include "qvx/help/ChmAddress.h"
#include "qvx/helpviewer/HelpViewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace qvx::helpviewer {

using namespace qvx::help;

namespace HelpViewers {

namespace {

QHash<QString, QPointer<HelpViewer>> &viewers()
{
    static QHash<QString, QPointer<HelpViewer>> open;
    return open;
}

bool &quitWithLastViewer()
{
    static bool quit = false;
    return quit;
}

// One key per file however it is written.
QString keyFor(const QString &file)
{
    const QFileInfo info(QDir::fromNativeSeparators(file));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Just below and right of the window that asked, but whole on its screen.
void placeBeside(QWidget *viewer, const QWidget *owner)
{
    const QScreen *screen = owner->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame is known only once the window is shown; until then it counts as none.
    const QSize frame = viewer->frameGeometry().size() - viewer->size();
    const QSize size = viewer->size().boundedTo(area.size() - frame);
    const QSize outer = size + frame;
    const QPoint wanted = owner->geometry().topLeft() + QPoint(40, 40);
    viewer->resize(size);
    viewer->move(qBound(area.left(), wanted.x(), area.right() + 1 - outer.width()),
                 qBound(area.top(), wanted.y(), area.bottom() + 1 - outer.height()));
}

} // namespace

HelpViewer *find(const QString &file)
{
    const std::optional<HelpAddress> address = parseHelpAddress(file);
    return address ? viewers().value(keyFor(address->file)).data() : nullptr;
}

HelpViewer *request(const HelpViewer::LinkOpener &openLink, QWidget *owner, const QString &file,
                    int command)
{
    if (command != displayTopic && command != displayContents && command != displayIndex)
        return nullptr;
    const std::optional<HelpAddress> address = parseHelpAddress(file);
    if (!address)
        return nullptr;
    const QString key = keyFor(address->file);
    HelpViewer *viewer = viewers().value(key).data();
    const bool created = !viewer;
    if (created) {
        static bool closeOnQuit = false;
        if (!closeOnQuit) {
            // Viewers are top-level windows without a parent: they must not outlive the
            // event loop (nor what opens their links).
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, &closeAll);
            closeOnQuit = true;
        }
        viewer = new HelpViewer(openLink, address->file);
        viewer->setAttribute(Qt::WA_QuitOnClose, quitWithLastViewer());
        viewers().insert(key, viewer);
        // A file opened from a viewer gets a window of its own, or the one that shows it.
        QObject::connect(viewer, &HelpViewer::openRequested, qApp,
                         [openLink](const QString &other) {
                             request(openLink, nullptr, other, displayContents);
                         });
        QObject::connect(viewer, &QObject::destroyed, qApp, [key] {
            viewers().remove(key);
            quitIfNoWindowLeft();
        });
        if (owner && owner->window())
            placeBeside(viewer, owner->window()); // a remembered place wins once shown
    }
    if (!address->page.isEmpty())
        viewer->showTopic(address->page);
    else if (command == displayIndex)
        viewer->showIndex();
    else
        viewer->showContents();
    viewer->bringForward();
    if (created && owner && owner->window() && !viewer->hasRememberedPlace())
        placeBeside(viewer, owner->window());
    return viewer;
}

void closeAll()
{
    const auto open = viewers();
    viewers().clear();
    for (const QPointer<HelpViewer> &viewer : open) {
        // Closed as the user closes it, so that quitting keeps its place too.
        if (viewer && viewer->isVisible())
            viewer->close();
        delete viewer.data();
    }
}

void setQuitWithLastViewer(bool quit)
{
    quitWithLastViewer() = quit;
}

void quitIfNoWindowLeft()
{
    if (!quitWithLastViewer())
        return;
    // Looked at once the closing is over: a window may be deleted later, or replaced.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            if (std::none_of(windows.begin(), windows.end(), [](const QWidget *window) {
                    return window->isVisible() && window->testAttribute(Qt::WA_QuitOnClose);
                }))
                QCoreApplication::quit();
        },
        Qt::QueuedConnection);
}

} // namespace HelpViewers

} // namespace qvx::helpviewer

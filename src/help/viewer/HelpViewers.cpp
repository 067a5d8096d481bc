#include "help/viewer/HelpViewers.h"

#include "help/viewer/ChmAddress.h"
#include "help/viewer/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>

namespace HelpViewers {

namespace {

QHash<QString, QPointer<HelpViewer>> &viewers()
{
    static QHash<QString, QPointer<HelpViewer>> open;
    return open;
}

// One key per file however it is written.
QString keyFor(const QString &file)
{
    const QFileInfo info(QDir::fromNativeSeparators(file));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

HelpViewer *find(const QString &file)
{
    const std::optional<HelpAddress> address = parseHelpAddress(file);
    return address ? viewers().value(keyFor(address->file)).data() : nullptr;
}

HelpViewer *request(Platform &platform, QWidget *owner, const QString &file, int command)
{
    if (command != displayTopic && command != displayContents && command != displayIndex)
        return nullptr;
    const std::optional<HelpAddress> address = parseHelpAddress(file);
    if (!address)
        return nullptr;
    const QString key = keyFor(address->file);
    HelpViewer *viewer = viewers().value(key).data();
    if (!viewer) {
        static bool closeOnQuit = false;
        if (!closeOnQuit) {
            // Viewers are top-level windows without a parent: they must not outlive the
            // event loop (nor the platform they use).
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, &closeAll);
            closeOnQuit = true;
        }
        viewer = new HelpViewer(platform, address->file);
        viewers().insert(key, viewer);
        QObject::connect(viewer, &QObject::destroyed, qApp, [key] { viewers().remove(key); });
        if (owner && owner->window())
            viewer->move(owner->window()->geometry().topLeft() + QPoint(40, 40));
    }
    if (!address->page.isEmpty())
        viewer->showTopic(address->page);
    else if (command == displayIndex)
        viewer->showIndex();
    else
        viewer->showContents();
    viewer->bringForward();
    return viewer;
}

void closeAll()
{
    const auto open = viewers();
    viewers().clear();
    for (const QPointer<HelpViewer> &viewer : open)
        delete viewer.data();
}

} // namespace HelpViewers

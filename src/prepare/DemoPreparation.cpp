#include "prepare/DemoPreparation.h"

#include "app/Module1.h"
#include "platform/OpResult.h"
#include "prepare/DemoNames.h"

#include <QDir>

namespace {

constexpr int mbOkCancelInformation = 65;
constexpr int mbInformation = 64;
constexpr int mbWarning = 48;
constexpr int idOk = 1;

} // namespace

DemoPreparation::DemoPreparation(Platform &platform, PreparationView &view, PreparationWaits waits)
    : m_platform(platform), m_view(view), m_waits(waits)
{
}

DemoPreparation::Outcome DemoPreparation::run(bool bCalledFromButtonClick)
{
    m_platform.setMousePointer(MousePointer::Busy);
    m_appFolder = m_platform.applicationFolder();
    // Every name is taken now: the file list belongs to the window, and an edition
    // chosen during a wait points it elsewhere.
    const QStringList archives = m_view.listFiles(m_appFolder, QStringLiteral("ZIP*.exe"));
    m_tempFolder = Module1::GetTempDir(m_platform);
    m_view.clearDemoList();
    if (archives.isEmpty()) {
        m_platform.setMousePointer(MousePointer::Default);
        return Outcome::NoArchives;
    }
    // Without a temporary folder the copy would land in whatever the current folder is.
    if (m_tempFolder.isEmpty())
        return fail(OpError::make(OpError::PathNotFound, QStringLiteral("temporary folder")));

    const int answer =
        m_platform.messageBox(Prepare::promptText(archives.size(), bCalledFromButtonClick),
                              mbOkCancelInformation, QStringLiteral("Preparing New Files"));
    if (!m_view.isOpen())
        return windowClosed();
    if (answer != idOk) {
        m_platform.setMousePointer(MousePointer::Default);
        return Outcome::Cancelled;
    }

    m_view.showProgressFrame();
    m_platform.processEvents();
    if (!m_view.isOpen())
        return windowClosed();
    m_view.setMenusEnabled(false);

    for (const QString &archive : archives) {
        switch (prepareArchive(archive)) {
        case Step::Done:
            break;
        case Step::Failed:
            return fail(m_failure);
        case Step::WindowClosed:
            return windowClosed();
        }
    }

    m_view.setMenusEnabled(true);
    m_view.resetDemoListText();
    m_view.hideProgressFrame();
    m_platform.messageBox(QStringLiteral("The new files are now ready to use."), mbInformation,
                          QStringLiteral("Finished"));
    m_platform.setMousePointer(MousePointer::Default);
    return Outcome::Finished;
}

DemoPreparation::Step DemoPreparation::prepareArchive(const QString &archive)
{
    const Prepare::DerivedNames names = Prepare::deriveNames(archive);
    const QString inApp = m_appFolder + QDir::separator();
    const QString archivePath = inApp + archive;
    const QString copyPath = m_tempFolder + archive;
    const QString unpackedPath = inApp + names.unpackedFile;
    const QString demoPath = inApp + names.demoFile;

    auto failed = [this](const OpResult &result) {
        m_failure = result;
        return !result.ok();
    };

    if (failed(m_platform.copyFile(archivePath, copyPath)))
        return Step::Failed;
    if (!pauseAndPump(m_waits.afterCopy))
        return Step::WindowClosed;

    // A file left by an interrupted run would pass for what this archive unpacks: an
    // unpacking program does not overwrite without asking.
    if (m_platform.isFile(unpackedPath) && failed(m_platform.deleteFile(unpackedPath)))
        return Step::Failed;
    // The archive unpacks into its working folder, where the demo is expected.
    if (failed(m_platform.startProgram(copyPath, m_appFolder)))
        return Step::Failed;
    if (!pauseAndPump(m_waits.afterStart))
        return Step::WindowClosed;

    // Replaces the demo file whole or not at all, so a failure keeps the earlier demo.
    if (failed(m_platform.copyFile(unpackedPath, demoPath)))
        return Step::Failed;
    if (!pauseAndPump(m_waits.afterDemoWritten))
        return Step::WindowClosed;

    // The demo is written in full: only now may the archive go.
    if (failed(m_platform.resetAttributes(copyPath)) || failed(m_platform.deleteFile(copyPath)) ||
        failed(m_platform.resetAttributes(archivePath)) ||
        failed(m_platform.deleteFile(archivePath)) || failed(m_platform.deleteFile(unpackedPath)))
        return Step::Failed;
    return Step::Done;
}

bool DemoPreparation::pauseAndPump(float seconds)
{
    Module1::Pause(m_platform, seconds);
    if (!m_view.isOpen())
        return false;
    m_platform.processEvents();
    return m_view.isOpen();
}

DemoPreparation::Outcome DemoPreparation::fail(const OpResult &failure)
{
    m_platform.messageBox(Prepare::failureText(failure), mbWarning, QStringLiteral("Error"));
    m_view.setMenusEnabled(true);
    m_view.hideProgressFrame();
    m_platform.setMousePointer(MousePointer::Default);
    return Outcome::Failed;
}

DemoPreparation::Outcome DemoPreparation::windowClosed()
{
    // The pointer belongs to the application, which outlives the window.
    m_platform.setMousePointer(MousePointer::Default);
    return Outcome::WindowClosed;
}

#include "qvx/core/DemoPreparation.h"

#include "qvx/core/DemoNames.h"
#include "qvx/core/Module1.h"
#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"

#include <algorithm>
#include <locale>
#include <sstream>

namespace qvx {
namespace {

// A program's end sends no window event: how often to look while waiting for it.
constexpr double unpackingPollSeconds = 0.2;

// "307" and "2.5", as people write them; std::to_string pads to six decimals and follows
// the C locale's decimal point.
std::string seconds(double value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

} // namespace

DemoPreparation::DemoPreparation(Platform &platform, PreparationView &view, PreparationWaits waits)
    : m_platform(platform), m_view(view), m_waits(waits)
{
}

DemoPreparation::Outcome DemoPreparation::run(bool bCalledFromButtonClick)
{
    m_platform.setPointer(Pointer::Busy);
    m_appFolder = m_platform.applicationFolder();
    // Every name is taken now: the file list belongs to the window, and an edition
    // chosen during a wait points it elsewhere.
    const std::vector<std::filesystem::path> archives = m_view.listFiles(m_appFolder, "ZIP*.exe");
    m_tempFolder = Module1::GetTempDir(m_platform);
    // What a killed run left goes whatever this run finds: with no archive, no later run
    // may ever come to remove it.
    m_inPlace =
        !m_tempFolder.empty() && m_platform.sameFile(text::toPath(m_tempFolder), m_appFolder);
    if (!m_tempFolder.empty() && !m_inPlace)
        m_platform.removeLeftoverCopies(text::toPath(m_tempFolder));
    m_platform.removeLeftoverCopies(m_appFolder);
    m_view.clearDemoList();
    if (archives.empty()) {
        m_platform.setPointer(Pointer::Default);
        return Outcome::NoArchives;
    }
    // Without a temporary folder the copy would land in whatever the current folder is.
    if (m_tempFolder.empty())
        return fail(OpError::make(OpError::PathNotFound, "temporary folder"));
    // A folder that takes no new file would only show later, as a demo that never came.
    if (const OpResult writable = m_platform.canCreateFiles(m_appFolder); !writable.ok())
        return fail(writable);

    const Answer answer = m_platform.messageBox(
        Prepare::promptText(archives.size(), bCalledFromButtonClick), MessageIcon::Information,
        MessageButtons::OkCancel, "Preparing New Files");
    if (!m_view.isOpen())
        return windowClosed();
    if (answer != Answer::Ok) {
        m_platform.setPointer(Pointer::Default);
        return Outcome::Cancelled;
    }

    m_view.showProgressFrame();
    m_platform.processEvents();
    if (!m_view.isOpen())
        return windowClosed();
    m_view.setMenusEnabled(false);

    for (const std::filesystem::path &archive : archives) {
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
    m_platform.messageBox("The new files are now ready to use.", MessageIcon::Information,
                          MessageButtons::Ok, "Finished");
    m_platform.setPointer(Pointer::Default);
    return Outcome::Finished;
}

DemoPreparation::Step DemoPreparation::prepareArchive(const std::filesystem::path &archive)
{
    const std::string archiveName = text::fromPath(archive);
    const Prepare::DerivedNames names = Prepare::deriveNames(m_platform, archiveName);
    const std::filesystem::path archivePath = m_appFolder / archive;
    const std::filesystem::path copyPath =
        m_inPlace ? archivePath : text::toPath(m_tempFolder + archiveName);
    const std::filesystem::path unpackedPath = m_appFolder / text::toPath(names.unpackedFile);
    const std::filesystem::path demoPath = m_appFolder / text::toPath(names.demoFile);

    auto failed = [this](const OpResult &result) {
        m_failure = result;
        return !result.ok();
    };

    if (!m_inPlace && failed(m_platform.copyFile(archivePath, copyPath)))
        return Step::Failed;
    // Downloads arrive without the permission to run.
    if (failed(m_platform.makeExecutable(copyPath)))
        return Step::Failed;
    if (!pauseAndPump(m_waits.afterCopy))
        return Step::WindowClosed;

    // A file left by an interrupted run would pass for what this archive unpacks: an
    // unpacking program does not overwrite without asking. Anything but a plain file is
    // not ours to remove, and reading a FIFO would hang the run.
    if (m_platform.exists(unpackedPath)) {
        if (!m_platform.isFile(unpackedPath)) {
            m_failure = OpError::make(OpError::FileAccess,
                                      "not a regular file: " + text::fromPath(unpackedPath));
            return Step::Failed;
        }
        if (failed(m_platform.deleteFile(unpackedPath)))
            return Step::Failed;
    }
    // The archive unpacks into its working folder, where the demo is expected.
    std::unique_ptr<TrackedProgram> unpacker;
    if (failed(m_platform.startTracked(copyPath, m_appFolder, unpacker)))
        return Step::Failed;
    if (const Step unpacked = awaitUnpacking(*unpacker, copyPath); unpacked != Step::Done)
        return unpacked;

    // Replaces the demo file whole or not at all, so a failure keeps the earlier demo.
    if (failed(m_platform.copyFile(unpackedPath, demoPath)))
        return Step::Failed;
    if (!pauseAndPump(m_waits.afterDemoWritten))
        return Step::WindowClosed;

    // The demo is written in full: only now may the archive go.
    if (!m_inPlace &&
        (failed(m_platform.resetAttributes(copyPath)) || failed(m_platform.deleteFile(copyPath))))
        return Step::Failed;
    if (failed(m_platform.resetAttributes(archivePath)) ||
        failed(m_platform.deleteFile(archivePath)) || failed(m_platform.deleteFile(unpackedPath)))
        return Step::Failed;
    return Step::Done;
}

// The unpacked file is only whole once its program has ended, and only sound if that
// program says so.
DemoPreparation::Step DemoPreparation::awaitUnpacking(TrackedProgram &unpacker,
                                                      const std::filesystem::path &program)
{
    Module1::Pause(m_platform, m_waits.afterStart);
    if (!m_view.isOpen())
        return Step::WindowClosed;
    const double deadline = m_platform.monotonicSeconds() + double(m_waits.unpackingLimit);
    while (!unpacker.finished()) {
        const double left = deadline - m_platform.monotonicSeconds();
        if (!(left > 0.0)) {
            const float waited = std::max(m_waits.afterStart, 0.0f) + m_waits.unpackingLimit;
            m_failure =
                OpError::make(OpError::FileAccess, "still unpacking after " + seconds(waited) +
                                                       " seconds: " + text::fromPath(program));
            return Step::Failed;
        }
        m_platform.waitForEvents(std::min(left, unpackingPollSeconds));
        if (!m_view.isOpen())
            return Step::WindowClosed;
    }
    if (const int status = unpacker.exitStatus(); status != 0) {
        m_failure = OpError::make(OpError::FileAccess, "unpacking failed with status " +
                                                           std::to_string(status) + ": " +
                                                           text::fromPath(program));
        return Step::Failed;
    }
    m_platform.processEvents();
    return m_view.isOpen() ? Step::Done : Step::WindowClosed;
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
    m_platform.messageBox(Prepare::failureText(failure), MessageIcon::Warning, MessageButtons::Ok,
                          "Error");
    m_view.setMenusEnabled(true);
    m_view.hideProgressFrame();
    m_platform.setPointer(Pointer::Default);
    return Outcome::Failed;
}

DemoPreparation::Outcome DemoPreparation::windowClosed()
{
    // The pointer belongs to the application, which outlives the window.
    m_platform.setPointer(Pointer::Default);
    return Outcome::WindowClosed;
}

} // namespace qvx

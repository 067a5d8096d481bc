#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// What a preparation run changes in its window. The window may go away while events are
// handled during a run; from then on isOpen() is false and the other calls do nothing.
class PreparationView
{
public:
    virtual ~PreparationView() = default;

    virtual bool isOpen() const = 0;
    // Points the hidden file list at the folder, then sets its pattern; what it lists.
    virtual std::vector<std::filesystem::path> listFiles(const std::filesystem::path &folder,
                                                         std::string_view pattern) = 0;
    // Removes every entry of the demo list.
    virtual void clearDemoList() = 0;
    // Sets the demo list's text to its first entry's text.
    virtual void resetDemoListText() = 0;
    // Moves the "Preparing New Files" frame into place and shows it.
    virtual void showProgressFrame() = 0;
    virtual void hideProgressFrame() = 0;
    // The File menu, then the Help menu.
    virtual void setMenusEnabled(bool enabled) = 0;
};

// Seconds waited at each step of one archive, after the given action.
struct PreparationWaits
{
    float afterCopy = 3.0f;
    // At least; then for as long as the unpacking program runs, up to the limit.
    float afterStart = 7.0f;
    float afterDemoWritten = 3.0f;
    // Most seconds waited beyond afterStart before a still-running unpacking program is
    // given up on: a large archive on a slow disk takes minutes, not hours.
    float unpackingLimit = 300.0f;
};

// Turns the self-extracting archives "ZIP*.exe" of the application folder into demo files:
// asks the user, runs a copy of each archive from the temporary folder, gives what it
// unpacks its demo name, and removes the archive and the intermediate files. The first
// failure ends the run and is reported; nothing is undone.
class DemoPreparation
{
public:
    enum class Outcome { NoArchives, Cancelled, Finished, Failed, WindowClosed };

    DemoPreparation(Platform &platform, PreparationView &view, PreparationWaits waits = {});

    Outcome run(bool bCalledFromButtonClick);

private:
    enum class Step { Done, Failed, WindowClosed };

    Step prepareArchive(const std::filesystem::path &archive);
    Step awaitUnpacking(TrackedProgram &unpacker, const std::filesystem::path &program);
    // Waits, then handles the pending events once more; false when the window has gone.
    bool pauseAndPump(float seconds);
    Outcome fail(const OpResult &failure);
    Outcome windowClosed();

    Platform &m_platform;
    PreparationView &m_view;
    PreparationWaits m_waits;
    std::filesystem::path m_appFolder;
    std::string m_tempFolder;
    // The temporary folder is the application folder: archives run where they are.
    bool m_inPlace = false;
    OpResult m_failure;
};

} // namespace qvx

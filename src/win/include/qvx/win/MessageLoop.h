#pragma once

#include "qvx/core/Platform.h"
#include "qvx/platform/Desktop.h"

#include "qvx/platform/Win32.h"

#include <filesystem>
#include <functional>
#include <utility>

namespace qvx::win {

// The keys of the program's windows, for every loop that takes their messages (the main
// loop, About's modal loop and the platform's waits): F1 asks the help viewer for the
// application's help file at its contents, as the system's own help key does; then the
// dialog manager's keys (Tab, arrows, access keys, Enter and Esc) for the window the
// message is meant for.
class ProgramKeys final : public MessageFilter
{
public:
    using HelpFile = std::function<std::filesystem::path()>;

    // Without a platform to ask, F1 does nothing.
    ProgramKeys() = default;
    ProgramKeys(Platform &help, HelpFile file) : m_help(&help), m_file(std::move(file)) {}

    bool filter(MSG &message) override;

private:
    bool helpKey(const MSG &message, HWND window);

    Platform *m_help = nullptr;
    HelpFile m_file;
};

// Runs the program's message loop until WM_QUIT; returns its exit code.
int runMessageLoop(MessageFilter &keys);

} // namespace qvx::win

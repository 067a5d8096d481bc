#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qvx {
class WindowsPlatform;
}

namespace qvx::win {

// F1 in a window of the program asks the help viewer for the application's help file at
// its contents, as the system's own help key does; the platform knows the file.
void setHelpKeyPlatform(WindowsPlatform *platform);

// Handles one message as the program's windows expect: F1, then the dialog manager's keys
// (Tab, arrows, access keys, Enter and Esc) for the window the message is meant for.
void dispatchMessage(MSG &message);

// Runs the program's message loop until WM_QUIT; returns its exit code.
int runMessageLoop();

} // namespace qvx::win

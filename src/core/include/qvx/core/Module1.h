#pragma once

#include "qvx/core/FormView.h"
#include "qvx/core/Platform.h"

#include <string>
#include <string_view>

// The program-wide module shared by both windows.
namespace qvx::Module1 {

// Full path of the help file (as Text.h makes path texts), set once while the main window
// loads.
extern std::string sHelpFile;
// Page inside the help file that the next "Topic" request opens.
extern std::string sHelpTopic;

struct TwipPoint
{
    float left = 0;
    float top = 0;
};
// Where CenterForm puts a window: single precision, neither rounded nor clamped.
TwipPoint centredPosition(TwipSize screen, TwipSize window);
// Centres a window's outer rectangle on the whole screen, keeping its size.
void CenterForm(FormView &form);

// One help viewer request for "Contents", "Index" or "Topic"; any other word does nothing.
void ShowHelp(Platform &platform, WindowHandle owner, std::string_view command);
// Hands a target to the desktop's "open" action with the busy pointer around the call.
void ShellOpen(Platform &platform, const std::string &target);
// Opens the screen recorder's product page.
void OpenFlashBackSite(Platform &platform);
// The maker's home page.
std::string homePageAddress();

// Waits the given seconds while the windows stay responsive.
void Pause(Platform &platform, float seconds = 5.0f);
// The system's temporary folder as a path text ending with the separator, or empty.
std::string GetTempDir(Platform &platform);

} // namespace qvx::Module1

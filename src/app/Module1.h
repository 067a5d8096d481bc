#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>

#include <functional>

class Platform;
class QWidget;

// The program-wide module shared by both windows. Its procedures live with the subsystem
// that owns them; the variables are the only program-wide state besides the window
// references.
namespace Module1 {

// Full path of the help file, set once while the main window loads.
extern QString sHelpFile;
// Page inside the help file that the next "Topic" request opens.
extern QString sHelpTopic;

// Centres a top-level window on the whole screen, keeping its size.
void CenterForm(QWidget &form);
// Runs the window system's events, user input excluded, until `done` holds or the time is
// up; says whether `done` held.
bool WaitForWindowSystem(const std::function<bool()> &done, int maxMilliseconds);
// Waits until a top-level window just shown is on the screen: only then does the window
// manager's frame have a size, and only then can the window be drawn.
bool WaitUntilExposed(QWidget &form);
// Where CenterForm puts a window, in twips; single precision, neither rounded nor clamped.
QPointF centredPosition(QSizeF screenTwips, QSizeF windowTwips);

// One help viewer request for "Contents", "Index" or "Topic"; any other word does nothing.
void ShowHelp(Platform &platform, QWidget *owner, const QString &command);
// Hands a target to the desktop's "open" action with the busy pointer around the call.
void ShellOpen(Platform &platform, const QString &target);
// Opens the screen recorder's product page.
void OpenFlashBackSite(Platform &platform);

// Waits the given seconds while the windows stay responsive.
void Pause(Platform &platform, float seconds = 5.0f);
// The system's temporary folder, ending with the separator, or empty.
QString GetTempDir(Platform &platform);

} // namespace Module1

#pragma once

#include "qvx/helpviewer/HelpViewer.h"

#include <QString>

class QWidget;

namespace qvx::helpviewer {

// The help service where the system has no viewer of its own.
// One viewer window per help file; all of them go when the application quits.
namespace HelpViewers {

// Request commands, in the values the help commands send.
constexpr int displayTopic = 0;
constexpr int displayContents = 1;
constexpr int displayIndex = 2;

// Serves one request: a file (contents or index) or an "ms-its:FILE::/PAGE" address.
// Returns the window that shows it, or nothing for a command it does not know.
HelpViewer *request(const HelpViewer::LinkOpener &openLink, QWidget *owner, const QString &file,
                    int command);
// The open viewer of a help file, if any.
HelpViewer *find(const QString &file);
// Closes and deletes every viewer.
void closeAll();
// In a program of the viewer's own, its windows are the program: it ends with the last.
// Qt's own rule did not end it once an empty first window had closed.
void setQuitWithLastViewer(bool quit);
// Where the program ends with its last window: ends it unless a window is still shown.
void quitIfNoWindowLeft();

} // namespace HelpViewers

} // namespace qvx::helpviewer

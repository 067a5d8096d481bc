#pragma once

#include <QString>
#include <QStringList>

class Platform;

// Where demos lie, how their names are shown, which shared demos carry a note, and which
// file Play starts.
namespace Catalogue {

// Joins the application folder and relative parts with the system's separator.
QString appPath(const QString &appFolder, const QString &relative);

// Index 0 is Quorvex; any other index is Quorvex Junior.
QString editionFolder(const QString &appFolder, int index);
QString editionTag(int index);
QString sharedFolder(const QString &appFolder);

// A demo's file name less its last four characters, as the user is shown it.
QString displayName(const QString &fileName);

// Whether the whole text, in lower case, is one of the three shared demo names.
bool isSharedDemoName(const QString &text);
// The note shown for a shared demo while Quorvex is selected; empty for any other name.
QString noteFor(const QString &text);

// The file Play starts for the text of the demo list, or empty when there is none.
// The shared names play from the shared folder and the rest from the edition folder;
// when that folder lacks the file, the other one is tried. A name without an exact match
// is matched as it is shown, and then without regard to case, as file names are on Windows.
QString resolvePlayPath(Platform &platform, const QString &appFolder, const QString &demoFolder,
                        const QString &text);

} // namespace Catalogue

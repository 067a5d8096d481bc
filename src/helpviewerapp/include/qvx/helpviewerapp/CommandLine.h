#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace qvx::helpviewerapp {

// What `qvx-helpviewer [--contents|--index] [FILE.chm | 'FILE.chm::/page.htm']...` asks for.
struct CommandLine
{
    enum class Action { Open, ShowUsage, ShowVersion, Fail };
    Action action = Action::Open;
    // Absolute, as NativeName keeps names, so that another process and folder can serve them;
    // none opens an empty window.
    QStringList addresses;
    int command = 1; // HelpViewers::displayContents
    QString error;   // for Fail
};

// Whether a name (as bytes) is a file there.
using FileTest = std::function<bool(const QByteArray &name)>;
bool isFile(const QByteArray &name);

// Reads the arguments after the program's name as the bytes the system passed; relative
// names are taken from `workingFolder` (bytes too). "FILE::/PAGE" names a page of FILE, unless
// the whole is a file: a folder may hold "::" as well.
CommandLine parseCommandLine(const QList<QByteArray> &arguments, const QByteArray &workingFolder,
                             const FileTest &fileTest = isFile);

// The text --help prints.
QString usage();

} // namespace qvx::helpviewerapp

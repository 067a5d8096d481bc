#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

// Outcome of a platform operation that can fail. The numbers are the ones the user sees
// in failure messages (see OpResult.h for the catalogue).
struct OpResult
{
    int number = 0;
    QString description;

    bool ok() const { return number == 0; }
};

// A program started so that its end can be seen. Asking never blocks; dropping the object
// stops the watching, not the program.
class TrackedProgram
{
public:
    virtual ~TrackedProgram() = default;
    virtual bool finished() = 0;
    // Once finished: 0 for success; anything else, a killed program included, is failure.
    virtual int exitStatus() const = 0;
};

// The application-wide mouse pointer values the program uses.
enum class MousePointer { Default = 0, Busy = 11 };

// Every service of the outside world the program uses. One real implementation per
// operating system, and a recording fake for the tests.
class Platform
{
public:
    virtual ~Platform() = default;

    // Folder of the running executable, without a trailing separator.
    virtual QString applicationFolder() const = 0;
    // The application's own help-file setting (what the F1 key opens).
    virtual void setApplicationHelpFile(const QString &path) = 0;
    virtual QString applicationHelpFile() const = 0;
    // Overrides the pointer of every window of the program.
    virtual void setMousePointer(MousePointer pointer) = 0;
    // Handles the window events pending now, once.
    virtual void processEvents() = 0;

    // Starts a program by its path, no arguments, in a normal window, without waiting.
    virtual OpResult startProgram(const QString &path, const QString &workingFolder) = 0;
    // The same start, keeping track of the program; null unless the result is ok.
    virtual OpResult startTracked(const QString &path, const QString &workingFolder,
                                  std::unique_ptr<TrackedProgram> &program) = 0;
    // Hands a target to the desktop's "open" action; nothing comes back.
    virtual void shellOpen(const QString &target) = 0;
    // One request to the help viewer: owner window, file or address, command, data.
    virtual void htmlHelp(QWidget *owner, const QString &file, int command, int data) = 0;
    // A modal message box; style and the returned button use the Windows values
    // (1 OK, 2 Cancel).
    virtual int messageBox(const QString &text, int style, const QString &title) = 0;

    // Names of the regular files of a folder, hidden and system files left out, in no
    // particular order. A missing or unreadable folder gives none.
    virtual QStringList listVisibleFiles(const QString &folder) = 0;
    virtual bool isFile(const QString &path) = 0;
    // Whether anything has this name: a folder, a special file or a broken link too.
    virtual bool exists(const QString &path) = 0;
    // Whether two paths name the same folder or file, however they are spelt.
    virtual bool sameFile(const QString &first, const QString &second) = 0;
    // Whether a new file can be made in the folder; the failure names the cause.
    virtual OpResult canCreateFiles(const QString &folder) = 0;
    // Copies with overwrite; the destination holds the whole old or the whole new file.
    virtual OpResult copyFile(const QString &source, const QString &destination) = 0;
    virtual OpResult resetAttributes(const QString &path) = 0;
    // Lets a copied program run where files carry an execute permission.
    virtual OpResult makeExecutable(const QString &path) = 0;
    virtual OpResult deleteFile(const QString &path) = 0;
    // The system's temporary folder, ending with the separator, or empty.
    virtual QString tempFolder() = 0;

    // Seconds on a clock that never jumps.
    virtual double monotonicSeconds() = 0;
    // Sleeps until a window event arrives or the time is up, handling what arrives.
    virtual void waitForEvents(double maxSeconds) = 0;
};

std::unique_ptr<Platform> createSystemPlatform();

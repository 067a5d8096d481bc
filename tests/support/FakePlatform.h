#pragma once

#include "platform/Platform.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

// Records every request to the outside world, in order, as one line each:
//   "pointer 11", "events", "start <path> | <working folder>", "open <target>",
//   "help <owner> | <file> | <command> | <data>", "message <style> | <title> | <text>",
//   "copy <source> -> <destination>", "attributes <path>", "executable <path>",
//   "delete <path>", "wait <seconds>".
// Files are real (in the test's own folders) unless a failure is injected for a path.
class FakePlatform : public Platform
{
public:
    FakePlatform();
    ~FakePlatform() override;

    QStringList calls;
    QString appFolder;
    QString helpFileSetting;
    QString temp = QStringLiteral("/tmp/");
    // Answers for the next message boxes, first to last; OK (1) when none is left.
    QList<int> messageAnswers;
    // Runs inside a message box, while it is "shown".
    std::function<void()> duringMessage;
    // Whether startProgram really starts the program (by default it only records).
    bool reallyStart = false;
    // A tracked program that is not really started ends this many seconds of the fake
    // clock after its start, with this status.
    double programSeconds = 0.0;
    int programExitStatus = 0;
    // Injected failures, by operation ("copy", "attributes", "executable", "delete",
    // "start", "create") and path.
    QHash<QString, OpResult> failures;
    // The fake clock: seconds, advanced only by waitForEvents.
    double clock = 1000.0;
    // Runs at each processEvents, before the events are handled.
    std::function<void()> duringEvents;
    // Runs at each waitForEvents, before the clock moves.
    std::function<void(double)> duringWait;

    void fail(const QString &operation, const QString &path, int number,
              const QString &description = QStringLiteral("injected"));
    // The recorded lines that start with the given word.
    QStringList callsOf(const QString &word) const;

    QString applicationFolder() const override { return appFolder; }
    void setApplicationHelpFile(const QString &path) override;
    QString applicationHelpFile() const override { return helpFileSetting; }
    void setMousePointer(MousePointer pointer) override;
    void processEvents() override;

    OpResult startProgram(const QString &path, const QString &workingFolder) override;
    OpResult startTracked(const QString &path, const QString &workingFolder,
                          std::unique_ptr<TrackedProgram> &program) override;
    void shellOpen(const QString &target) override;
    void htmlHelp(QWidget *owner, const QString &file, int command, int data) override;
    int messageBox(const QString &text, int style, const QString &title) override;

    QStringList listVisibleFiles(const QString &folder) override;
    bool isFile(const QString &path) override;
    bool exists(const QString &path) override;
    bool sameFile(const QString &first, const QString &second) override;
    OpResult canCreateFiles(const QString &folder) override;
    OpResult copyFile(const QString &source, const QString &destination) override;
    OpResult resetAttributes(const QString &path) override;
    OpResult makeExecutable(const QString &path) override;
    OpResult deleteFile(const QString &path) override;
    QString tempFolder() override { return temp; }

    double monotonicSeconds() override { return clock; }
    void waitForEvents(double maxSeconds) override;

private:
    OpResult injected(const QString &operation, const QString &path) const;
    std::unique_ptr<Platform> m_real;
};

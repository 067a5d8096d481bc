#pragma once

#include "qvx/core/Platform.h"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// The outside world for the core's tests: an in-memory file system, a clock that only
// waits move, scripted programs, and one recorded line per request, in order:
//   "pointer busy|default", "events", "wait <seconds>", "start <program> | <folder>",
//   "track <program> | <folder>", "open <target>", "help <owner> | <file> | contents|index",
//   "helpfile <path>", "message <icon> <buttons> | <title> | <text>", "copy <from> -> <to>",
//   "attributes <path>", "executable <path>", "delete <path>", "leftovers <folder>".
// Paths are written as their texts ('/' separated); carriage returns as "\r".
class RecordingPlatform : public qvx::Platform
{
public:
    struct Program
    {
        double seconds = 0; // how long it runs, on the fake clock
        int exitStatus = 0;
        // Files it writes into its working folder when it ends: name to contents.
        std::map<std::string, std::string> writes;
    };

    std::vector<std::string> calls;
    std::string appFolder = "/app";
    std::string temp = "/tmp";
    double clock = 1000.0;
    // Regular files by path, and what else exists: folders, FIFOs, hidden files.
    std::map<std::string, std::string> files;
    std::set<std::string> folders{"/", "/app", "/tmp"};
    std::set<std::string> fifos;
    std::set<std::string> hidden;
    std::set<std::string> readOnlyFolders;
    // Folder stamps by folder; a folder without one has none to give.
    std::map<std::string, qvx::FolderStamp> stamps;
    // How often each folder was listed.
    std::map<std::string, int> listings;
    // Scripted programs by file name; others end at once with success and write nothing.
    std::map<std::string, Program> programs;
    // Answers for the next message boxes; OK when none is left.
    std::deque<qvx::Answer> answers;
    // Injected failures by "<operation> <path>", such as "copy /app/x.exe".
    std::map<std::string, qvx::OpResult> failures;
    // What highContrast() answers.
    bool contrast = false;
    std::function<void()> duringMessage;
    std::function<void()> duringEvents;

    // Lines that begin with the given word.
    std::vector<std::string> callsOf(const std::string &word) const;
    void addFile(const std::string &path, const std::string &contents = "demo");
    // Tracked programs still running.
    int running() const { return m_running; }

    std::filesystem::path applicationFolder() const override;
    void setApplicationHelpFile(const std::filesystem::path &path) override;
    void setPointer(qvx::Pointer pointer) override;
    void processEvents() override;
    qvx::OpResult startProgram(const std::filesystem::path &program,
                               const std::filesystem::path &workingFolder) override;
    qvx::OpResult startTracked(const std::filesystem::path &program,
                               const std::filesystem::path &workingFolder,
                               std::unique_ptr<qvx::TrackedProgram> &tracked) override;
    void shellOpen(const std::string &target) override;
    void htmlHelp(qvx::WindowHandle owner, const std::string &file,
                  qvx::HelpCommand command) override;
    qvx::Answer messageBox(const std::string &text, qvx::MessageIcon icon,
                           qvx::MessageButtons buttons, const std::string &title) override;
    std::vector<std::filesystem::path>
    listVisibleFiles(const std::filesystem::path &folder) override;
    std::optional<qvx::FolderStamp> folderStamp(const std::filesystem::path &folder) override;
    bool isFile(const std::filesystem::path &path) override;
    bool exists(const std::filesystem::path &path) override;
    bool sameFile(const std::filesystem::path &first, const std::filesystem::path &second) override;
    qvx::OpResult canCreateFiles(const std::filesystem::path &folder) override;
    qvx::OpResult copyFile(const std::filesystem::path &source,
                           const std::filesystem::path &destination) override;
    qvx::OpResult resetAttributes(const std::filesystem::path &path) override;
    qvx::OpResult makeExecutable(const std::filesystem::path &path) override;
    qvx::OpResult deleteFile(const std::filesystem::path &path) override;
    void removeLeftoverCopies(const std::filesystem::path &folder) override;
    std::filesystem::path tempFolder() override;
    void sortNames(std::vector<std::filesystem::path> &names) override;
    bool sameNameIgnoringCase(std::string_view first, std::string_view second) override;
    char32_t upperCase(char32_t character) override;
    bool highContrast() override { return contrast; }
    double monotonicSeconds() override { return clock; }
    void waitForEvents(double maxSeconds) override;

private:
    class Tracked;
    bool injected(const std::string &operation, const std::filesystem::path &path,
                  qvx::OpResult &result) const;
    int m_running = 0;
};

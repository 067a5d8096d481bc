#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// Outcome of an operation that can fail. The numbers are the ones the user sees in failure
// messages (OpError.h lists them); the description is UTF-8.
struct OpResult
{
    int number = 0;
    std::string description;

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

// The application-wide mouse pointer.
enum class Pointer { Default, Busy };

enum class MessageIcon { None, Critical, Question, Warning, Information };
enum class MessageButtons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// What the help viewer is asked to show first.
enum class HelpCommand { Contents, Index };

// What a folder's list of names depends on. Two stamps of the same state mean the names did
// not change between them, as long as the first was settled: the folder's last change lay far
// enough back that a later one could not share its time on the file system's clock.
struct FolderStamp
{
    std::string state;
    bool settled = false;
};

// A window of the program as the platform knows it; 0 for none.
using WindowHandle = std::uintptr_t;

// Every service of the outside world the program uses. One real implementation per
// operating system, and a recording fake for the tests. Texts are UTF-8; a file name that
// is not UTF-8 keeps its bytes inside std::filesystem::path.
class Platform
{
public:
    virtual ~Platform() = default;

    // Folder of the running executable.
    virtual std::filesystem::path applicationFolder() const = 0;
    // The application's own help-file setting (what the F1 key opens).
    virtual void setApplicationHelpFile(const std::filesystem::path &path) = 0;
    virtual void setPointer(Pointer pointer) = 0;
    // Handles the window events pending now, once.
    virtual void processEvents() = 0;

    // Starts a program by its path, no arguments, in a normal window, without waiting.
    virtual OpResult startProgram(const std::filesystem::path &program,
                                  const std::filesystem::path &workingFolder) = 0;
    // The same start, keeping track of the program; null unless the result is ok.
    virtual OpResult startTracked(const std::filesystem::path &program,
                                  const std::filesystem::path &workingFolder,
                                  std::unique_ptr<TrackedProgram> &tracked) = 0;
    // Hands a target to the desktop's "open" action; nothing comes back.
    virtual void shellOpen(const std::string &target) = 0;
    // One request to the help viewer: a help file's path, or an "ms-its:" address of a page
    // in one (path texts as Paths.h makes them).
    virtual void htmlHelp(WindowHandle owner, const std::string &file, HelpCommand command) = 0;
    // A modal message box; line breaks in the text are lone carriage returns.
    virtual Answer messageBox(const std::string &text, MessageIcon icon, MessageButtons buttons,
                              const std::string &title) = 0;

    // Names of the regular files of a folder, hidden and system files left out, in no
    // particular order. A missing or unreadable folder gives none.
    virtual std::vector<std::filesystem::path>
    listVisibleFiles(const std::filesystem::path &folder) = 0;
    // Where the system cannot tell, none, and the folder is read again each time.
    virtual std::optional<FolderStamp> folderStamp(const std::filesystem::path &)
    {
        return std::nullopt;
    }
    virtual bool isFile(const std::filesystem::path &path) = 0;
    // Whether anything has this name: a folder, a special file or a broken link too.
    virtual bool exists(const std::filesystem::path &path) = 0;
    // Whether two paths name the same folder or file, however they are spelt.
    virtual bool sameFile(const std::filesystem::path &first,
                          const std::filesystem::path &second) = 0;
    // Whether a new file can be made in the folder; the failure names the cause.
    virtual OpResult canCreateFiles(const std::filesystem::path &folder) = 0;
    // Copies with overwrite; the destination holds the whole old or the whole new file.
    virtual OpResult copyFile(const std::filesystem::path &source,
                              const std::filesystem::path &destination) = 0;
    virtual OpResult resetAttributes(const std::filesystem::path &path) = 0;
    // Lets a copied program run where files carry an execute permission.
    virtual OpResult makeExecutable(const std::filesystem::path &path) = 0;
    virtual OpResult deleteFile(const std::filesystem::path &path) = 0;
    // Removes the partial files that copies into the folder left when their run was killed,
    // never one a run is still writing; nothing else. Where copies leave none, nothing.
    virtual void removeLeftoverCopies(const std::filesystem::path &) {}
    // The system's temporary folder, or empty when the system names none.
    virtual std::filesystem::path tempFolder() = 0;

    // Text rules of the system's user interface.
    // Sorts file names alphabetically without regard to case, as the system lists them.
    virtual void sortNames(std::vector<std::filesystem::path> &names) = 0;
    // Whether two names are the same but for letter case.
    virtual bool sameNameIgnoringCase(std::string_view first, std::string_view second) = 0;
    // The simple upper-case mapping of one character.
    virtual char32_t upperCase(char32_t character) = 0;
    // Whether the user asked for high contrast: the windows then draw in the system's
    // colours instead of their designs' own. Asked again when the system's settings change.
    virtual bool highContrast() { return false; }

    // Seconds on a clock that never jumps.
    virtual double monotonicSeconds() = 0;
    // Sleeps until a window event arrives or the time is up, handling what arrives.
    virtual void waitForEvents(double maxSeconds) = 0;
};

} // namespace qvx

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The Windows calls behind the platform layer, free of Qt so that they can be built and
// tested on their own. Texts and paths are UTF-8; an operation that can fail returns the
// system's error code (GetLastError), 0 on success.
namespace Win32Services {

using ErrorCode = unsigned long;

// What an error code means to the user.
enum class Failure { None, FileNotFound, PathNotFound, AccessDenied, FileInUse, DiskFull, Other };
Failure classify(ErrorCode error);

std::wstring toWide(const std::string &utf8);
std::string toUtf8(const std::wstring &wide);

// One request to the HTML Help viewer (HtmlHelpA). False when its library or entry point
// is missing, in which case nothing happens.
bool htmlHelp(std::uintptr_t ownerWindow, const std::string &file, int command,
              std::uintptr_t data);
// Closes every viewer window the program opened; nothing when it opened none.
void closeAllHelp();

// Hands the target to the shell's "open" verb (ShellExecuteA) with the desktop window as
// parent. The shell's answer is not looked at.
void shellOpen(const std::string &target);

// The system's temporary folder (GetTempPathA), ending with a backslash, or empty.
std::string tempPath();

// Starts a program with no arguments in a normal window and returns without waiting.
// An empty working folder means the caller's own.
ErrorCode startProgram(const std::string &path, const std::string &workingFolder);

// A program started as startProgram does, whose end can be seen without waiting for it.
// Dropping the object leaves the program running.
class StartedProgram
{
public:
    StartedProgram() = default;
    ~StartedProgram();
    StartedProgram(const StartedProgram &) = delete;
    StartedProgram &operator=(const StartedProgram &) = delete;

    ErrorCode start(const std::string &path, const std::string &workingFolder);
    // Whether it has ended; exitCode() holds its exit code from then on.
    bool ended();
    unsigned long exitCode() const { return m_exitCode; }

private:
    void *m_process = nullptr;
    bool m_ended = false;
    unsigned long m_exitCode = 0;
};

// Copies with overwrite: the destination is either left as it was or replaced whole.
ErrorCode copyFileReplacing(const std::string &source, const std::string &destination);
// Clears read-only, hidden, system and archive.
ErrorCode resetAttributes(const std::string &path);
ErrorCode deleteFile(const std::string &path);
bool isFile(const std::string &path);
// Anything with this name, a folder too.
bool exists(const std::string &path);
// Whether both paths name the same file or folder (same volume, same file index).
bool sameFile(const std::string &first, const std::string &second);
// Makes and removes a file in the folder: the error tells why new files cannot go there.
ErrorCode canCreateIn(const std::string &folder);

struct FileList
{
    std::vector<std::string> names;
    ErrorCode error = 0;
};
// Names of the files of a folder, leaving out folders, hidden and system files.
FileList listVisibleFiles(const std::string &folder);

// A modal message box; returns the button chosen (IDOK, IDCANCEL, ...), 0 when none could
// be shown.
int messageBox(std::uintptr_t ownerWindow, const std::string &text, const std::string &title,
               unsigned style);

} // namespace Win32Services

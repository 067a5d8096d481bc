#include "platform/win/Win32Services.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

#include <optional>

namespace Win32Services {
namespace {

// The viewer's command that closes every window it opened for this process.
constexpr UINT hhCloseAll = 0x0012;

using HtmlHelpAFn = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);
using HtmlHelpWFn = HWND(WINAPI *)(HWND, LPCWSTR, UINT, DWORD_PTR);

struct HelpLibrary
{
    HtmlHelpAFn ansi = nullptr;
    HtmlHelpWFn wide = nullptr;
};

bool helpWasUsed = false;

// Loaded on first use from the system folder only, so that a file of the same name in the
// program's folder or the working folder is never picked up. It stays loaded: the viewer
// windows run inside this process.
const HelpLibrary &helpLibrary()
{
    static const HelpLibrary library = [] {
        HelpLibrary found;
        wchar_t system[MAX_PATH];
        const UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return found;
        const std::wstring path = std::wstring(system, length) + L"\\hhctrl.ocx";
        HMODULE module = LoadLibraryW(path.c_str());
        if (!module)
            return found;
        found.ansi = reinterpret_cast<HtmlHelpAFn>(
            reinterpret_cast<void *>(GetProcAddress(module, "HtmlHelpA")));
        found.wide = reinterpret_cast<HtmlHelpWFn>(
            reinterpret_cast<void *>(GetProcAddress(module, "HtmlHelpW")));
        return found;
    }();
    return library;
}

// The text in the ANSI code page, or nothing when that code page cannot hold it unchanged
// (the system would pass '?' for the missing characters).
std::optional<std::string> toAnsi(const std::wstring &wide)
{
    if (wide.empty())
        return std::string();
    const bool utf8CodePage = GetACP() == CP_UTF8;
    const DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL *lossyOut = utf8CodePage ? nullptr : &lossy;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, lossyOut);
    if (size <= 0)
        return std::nullopt;
    std::string ansi(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), int(wide.size()), ansi.data(), size, nullptr,
                        lossyOut);
    if (lossy)
        return std::nullopt;
    return ansi;
}

std::wstring fromAnsi(const std::string &ansi)
{
    if (ansi.empty())
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), size);
    return wide;
}

bool isFolder(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// GetTempPathA into a buffer of 256 characters first, then of the length it asks for, so
// that a longer path is never cut short.
std::string ansiTempPath()
{
    std::string buffer(256, '\0');
    DWORD length = GetTempPathA(DWORD(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        buffer.assign(length, '\0');
        length = GetTempPathA(DWORD(buffer.size()), buffer.data());
        if (length >= buffer.size())
            return {};
    }
    buffer.resize(length);
    return buffer;
}

std::wstring wideTempPath()
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD length = GetTempPathW(DWORD(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        buffer.assign(length, L'\0');
        length = GetTempPathW(DWORD(buffer.size()), buffer.data());
        if (length >= buffer.size())
            return {};
    }
    buffer.resize(length);
    return buffer;
}

// Restores the caller's error code after clean-up calls that may overwrite it.
ErrorCode failWith(ErrorCode error, const std::wstring &leftover)
{
    SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(leftover.c_str());
    SetLastError(error);
    return error;
}

// Starts a program with no arguments in a normal window; the caller owns hProcess.
ErrorCode launch(const std::string &path, const std::string &workingFolder,
                 PROCESS_INFORMATION &process)
{
    const std::wstring program = toWide(path);
    const std::wstring folder = toWide(workingFolder);
    // The quoted program name alone: a path with blanks stays one name, and no arguments.
    std::wstring commandLine = L"\"" + program + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return GetLastError();
    // Lets the new program's window come to the front although it did not get the input.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    return ERROR_SUCCESS;
}

} // namespace

Failure classify(ErrorCode error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return Failure::None;
    case ERROR_FILE_NOT_FOUND:
        return Failure::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return Failure::PathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return Failure::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::FileInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Failure::DiskFull;
    default:
        return Failure::Other;
    }
}

std::wstring toWide(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

bool htmlHelp(std::uintptr_t ownerWindow, const std::string &file, int command, std::uintptr_t data)
{
    const HelpLibrary &library = helpLibrary();
    const HWND owner = reinterpret_cast<HWND>(ownerWindow);
    const std::wstring wide = toWide(file);
    const std::optional<std::string> ansi = toAnsi(wide);
    // A path the ANSI code page cannot spell goes through the wide entry point instead of
    // reaching the viewer with question marks in it.
    if (ansi && library.ansi) {
        helpWasUsed = true;
        library.ansi(owner, ansi->c_str(), UINT(command), DWORD_PTR(data));
        return true;
    }
    if (library.wide) {
        helpWasUsed = true;
        library.wide(owner, wide.c_str(), UINT(command), DWORD_PTR(data));
        return true;
    }
    return false;
}

void closeAllHelp()
{
    if (!helpWasUsed)
        return;
    const HelpLibrary &library = helpLibrary();
    if (library.wide)
        library.wide(nullptr, nullptr, hhCloseAll, 0);
    else if (library.ansi)
        library.ansi(nullptr, nullptr, hhCloseAll, 0);
}

void shellOpen(const std::string &target)
{
    const std::wstring wide = toWide(target);
    if (const std::optional<std::string> ansi = toAnsi(wide))
        ShellExecuteA(GetDesktopWindow(), "open", ansi->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
        ShellExecuteW(GetDesktopWindow(), L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string tempPath()
{
    std::wstring path = fromAnsi(ansiTempPath());
    // A folder the ANSI code page cannot spell comes back with '?' in it, which names no
    // folder: ask again in full.
    if (path.empty() || !isFolder(path))
        path = wideTempPath();
    if (path.empty())
        return {};
    if (path.back() != L'\\')
        path += L'\\';
    return toUtf8(path);
}

ErrorCode startProgram(const std::string &path, const std::string &workingFolder)
{
    PROCESS_INFORMATION process{};
    if (const ErrorCode error = launch(path, workingFolder, process); error != ERROR_SUCCESS)
        return error;
    CloseHandle(process.hProcess);
    return ERROR_SUCCESS;
}

StartedProgram::~StartedProgram()
{
    if (m_process)
        CloseHandle(m_process);
}

ErrorCode StartedProgram::start(const std::string &path, const std::string &workingFolder)
{
    PROCESS_INFORMATION process{};
    if (const ErrorCode error = launch(path, workingFolder, process); error != ERROR_SUCCESS)
        return error;
    if (m_process)
        CloseHandle(m_process);
    m_process = process.hProcess;
    m_ended = false;
    m_exitCode = 0;
    return ERROR_SUCCESS;
}

bool StartedProgram::ended()
{
    if (m_ended || !m_process)
        return true;
    const DWORD state = WaitForSingleObject(m_process, 0);
    if (state == WAIT_TIMEOUT)
        return false;
    DWORD code = 0;
    // A handle that cannot be asked gives no success.
    if (state != WAIT_OBJECT_0 || !GetExitCodeProcess(m_process, &code))
        code = DWORD(-1);
    m_exitCode = code;
    m_ended = true;
    return true;
}

ErrorCode copyFileReplacing(const std::string &source, const std::string &destination)
{
    const std::wstring from = toWide(source);
    const std::wstring to = toWide(destination);
    if (from.empty() || to.empty())
        return ERROR_INVALID_NAME;

    // The copy is written under a name of its own beside the destination and renamed over
    // it, so that a failing copy never leaves the destination half written.
    static unsigned counter = 0;
    std::wstring temp;
    for (int attempt = 0;; ++attempt) {
        temp = to + L".qvx" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter) + L".tmp";
        if (CopyFileW(from.c_str(), temp.c_str(), TRUE))
            break;
        const ErrorCode error = GetLastError();
        if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100)
            continue;
        // The name may belong to someone else's file: leave it alone.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return error;
        return failWith(error, temp);
    }
    if (!MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failWith(GetLastError(), temp);
    return ERROR_SUCCESS;
}

ErrorCode resetAttributes(const std::string &path)
{
    if (!SetFileAttributesW(toWide(path).c_str(), FILE_ATTRIBUTE_NORMAL))
        return GetLastError();
    return ERROR_SUCCESS;
}

ErrorCode deleteFile(const std::string &path)
{
    if (!DeleteFileW(toWide(path).c_str()))
        return GetLastError();
    return ERROR_SUCCESS;
}

bool isFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string &path)
{
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool sameFile(const std::string &first, const std::string &second)
{
    const auto identify = [](const std::string &path, BY_HANDLE_FILE_INFORMATION &info) {
        // Folders open only with backup semantics; nothing is read or locked.
        const HANDLE file = CreateFileW(
            toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return identify(first, one) && identify(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

ErrorCode canCreateIn(const std::string &folder)
{
    std::wstring base = toWide(folder);
    if (base.empty())
        return ERROR_PATH_NOT_FOUND;
    if (base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring probe = base + L".qvx-probe-" + std::to_wstring(GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(++counter) + L".tmp";
        const HANDLE file = CreateFileW(
            probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return ERROR_SUCCESS;
        }
        const ErrorCode error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error;
    }
    return ERROR_FILE_EXISTS;
}

FileList listVisibleFiles(const std::string &folder)
{
    FileList list;
    std::wstring pattern = toWide(folder);
    if (pattern.empty())
        pattern = L".";
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';

    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        // Only an empty drive root has nothing at all, not even "." and "..".
        const ErrorCode error = GetLastError();
        list.error = error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
        return list;
    }
    constexpr DWORD leftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    do {
        if ((entry.dwFileAttributes & leftOut) == 0)
            list.names.push_back(toUtf8(entry.cFileName));
    } while (FindNextFileW(find, &entry));
    const ErrorCode error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        list.names.clear();
        list.error = error;
    }
    return list;
}

int messageBox(std::uintptr_t ownerWindow, const std::string &text, const std::string &title,
               unsigned style)
{
    // Without an owner the box is still modal to every window of the program.
    constexpr unsigned modality = MB_APPLMODAL | MB_SYSTEMMODAL | MB_TASKMODAL;
    if (ownerWindow == 0 && (style & modality) == MB_APPLMODAL)
        style |= MB_TASKMODAL;
    return MessageBoxW(reinterpret_cast<HWND>(ownerWindow), toWide(text).c_str(),
                       toWide(title).c_str(), style);
}

} // namespace Win32Services

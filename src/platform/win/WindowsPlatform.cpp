#include "qvx/platform/WindowsPlatform.h"

#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"
#include "qvx/platform/Handles.h"
#include "qvx/platform/WideText.h"

#include "qvx/platform/Win32.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace fs = std::filesystem;

namespace qvx {
namespace {

constexpr UINT hhDisplayToc = 0x0001;
constexpr UINT hhDisplayIndex = 0x0002;
// Closes every viewer window the program opened.
constexpr UINT hhCloseAll = 0x0012;

using HtmlHelpWFn = HWND(WINAPI *)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The longest path the system takes, with room for its terminator.
constexpr size_t longestPath = 32768;

// Asks a "fill this buffer" call again with the size it wants until the whole text fits;
// the answer may grow between two calls (another thread may change TMP).
template <typename Call> std::wstring systemText(Call call)
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = call(buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length, L'\0');
    }
    return {};
}

// Loaded on first use from the system folder only, so that a file of the same name in the
// program's folder or the working folder is never picked up. It stays loaded: the viewer
// windows run inside this process.
HtmlHelpWFn helpEntry()
{
    static const HtmlHelpWFn entry = []() -> HtmlHelpWFn {
        const std::wstring system = systemText(
            [](wchar_t *buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); });
        if (system.empty())
            return nullptr;
        HMODULE module = LoadLibraryW((system + L"\\hhctrl.ocx").c_str());
        if (!module)
            return nullptr;
        return reinterpret_cast<HtmlHelpWFn>(
            reinterpret_cast<void *>(GetProcAddress(module, "HtmlHelpW")));
    }();
    return entry;
}

using ShellExecuteWFn = HINSTANCE(WINAPI *)(HWND, const wchar_t *, const wchar_t *, const wchar_t *,
                                            const wchar_t *, int);

// The shell is loaded when a page is first opened, not at start-up, where it would add a
// twentieth to the program's working set.
ShellExecuteWFn shellExecuteEntry()
{
    static const ShellExecuteWFn entry = []() -> ShellExecuteWFn {
        HMODULE module = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return module ? reinterpret_cast<ShellExecuteWFn>(
                            reinterpret_cast<void *>(GetProcAddress(module, "ShellExecuteW")))
                      : nullptr;
    }();
    return entry;
}

// The system's own spelling: backslashes, as paths built from texts may hold either.
std::wstring native(const fs::path &path)
{
    fs::path preferred = path;
    preferred.make_preferred();
    return preferred.native();
}

// What the file functions take beyond MAX_PATH whatever the system's settings: the full
// path after "\\?\" (after "\\?\UNC\" for a share's). Shorter paths stay as they are.
std::wstring extendedPath(const std::wstring &path)
{
    if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\"))
        return path;
    const std::wstring full = systemText([&path](wchar_t *buffer, DWORD size) {
        return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
    });
    if (full.empty())
        return path;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The short name of an existing file or folder, without the "\\?\" it was asked with;
// empty where the volume keeps none.
std::wstring shortPath(const std::wstring &path)
{
    const std::wstring asked = extendedPath(path);
    std::wstring name = systemText([&asked](wchar_t *buffer, DWORD size) {
        return GetShortPathNameW(asked.c_str(), buffer, size);
    });
    if (name.starts_with(L"\\\\?\\UNC\\"))
        return L"\\\\" + name.substr(8);
    if (name.starts_with(L"\\\\?\\"))
        return name.substr(4);
    return name;
}

// A help address "ms-its:<file>::/<page>" gets backslashes in its file part only: the page
// is a path inside the help file and keeps its forward slashes.
std::string nativeHelpTarget(std::string target)
{
    constexpr std::string_view scheme = "ms-its:";
    size_t end = target.size();
    const bool address = target.size() >= scheme.size() &&
                         CompareStringOrdinal(wide(target.substr(0, scheme.size())).c_str(), -1,
                                              L"ms-its:", -1, TRUE) == CSTR_EQUAL;
    if (address)
        end = std::min(target.find("::"), target.size());
    std::replace(target.begin(), target.begin() + std::ptrdiff_t(end), '/', '\\');
    return target;
}

OpResult failure(DWORD error, const fs::path &path)
{
    const std::string shown = text::fromPath(fs::path(native(path)));
    switch (error) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_NOT_FOUND:
        return OpError::make(OpError::FileNotFound, shown);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return OpError::make(OpError::PathNotFound, shown);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return OpError::make(OpError::PermissionDenied, shown);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return OpError::make(OpError::FileAccess, "file in use: " + shown);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return OpError::make(OpError::DiskFull, shown);
    default:
        // Support staff can look the system's own code up.
        return OpError::make(OpError::FileAccess,
                             shown + " (system error " + std::to_string(error) + ")");
    }
}

// Restores the caller's error code after clean-up calls that may overwrite it.
DWORD failWith(DWORD error, const std::wstring &leftover)
{
    SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(leftover.c_str());
    SetLastError(error);
    return error;
}

DWORD copyReplacing(const std::wstring &from, const std::wstring &to)
{
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
        const DWORD error = GetLastError();
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

// The process whose copy a file of ours is, "<destination>.qvx<process>-<n>.tmp", or none
// for a file not named so.
std::optional<DWORD> copyWriter(std::wstring_view name)
{
    const auto digits = [](std::wstring_view part) {
        return !part.empty() && part.size() <= 10 &&
               std::all_of(part.begin(), part.end(),
                           [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    constexpr std::wstring_view suffix = L".tmp";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
        return std::nullopt;
    name.remove_suffix(suffix.size());
    const size_t dash = name.rfind(L'-');
    if (dash == std::wstring_view::npos || !digits(name.substr(dash + 1)))
        return std::nullopt;
    name = name.substr(0, dash);
    const size_t mark = name.rfind(L".qvx");
    if (mark == std::wstring_view::npos || mark == 0 || !digits(name.substr(mark + 4)))
        return std::nullopt;
    const unsigned long long process = std::stoull(std::wstring(name.substr(mark + 4)));
    return process <= MAXDWORD ? std::optional<DWORD>(DWORD(process)) : std::nullopt;
}

// Whether a process of that number still runs; one we may not look at counts as running.
bool stillRuns(DWORD process)
{
    const KernelHandle handle(OpenProcess(SYNCHRONIZE, FALSE, process));
    if (!handle)
        return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT;
}

DWORD probeFolder(std::wstring base)
{
    if (base.empty())
        return ERROR_PATH_NOT_FOUND;
    if (base.back() != L'\\')
        base += L'\\';
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring probe = base + L".qvx-probe-" + std::to_wstring(GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(++counter) + L".tmp";
        const KernelHandle file(CreateFileW(
            probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file)
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error;
    }
    return ERROR_FILE_EXISTS;
}

DWORD createProcess(const std::wstring &program, const std::wstring &folder, KernelHandle &started)
{
    // The quoted program name alone: a path with blanks stays one name, and no arguments.
    std::wstring commandLine = L"\"" + program + L"\"";

    STARTUPINFOW startup{};
    PROCESS_INFORMATION process{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return GetLastError();
    started.reset(process.hProcess);
    const KernelHandle thread(process.hThread);
    // Lets the new program's window come to the front although it did not get the input.
    AllowSetForegroundWindow(process.dwProcessId);
    return ERROR_SUCCESS;
}

// Starts a program with no arguments in a normal window; `started` gets its process.
DWORD launch(const fs::path &path, const fs::path &workingFolder, KernelHandle &started)
{
    const std::wstring program = native(path);
    const std::wstring folder = native(workingFolder);
    const DWORD error = createProcess(program, folder, started);
    // Programs and working folders beyond MAX_PATH are refused; their short names, where
    // the volume keeps them, name the same ones.
    const bool longProgram = program.size() >= MAX_PATH;
    const bool longFolder = folder.size() >= MAX_PATH - 1;
    if (error == ERROR_SUCCESS || (!longProgram && !longFolder))
        return error;
    const std::wstring shortProgram = longProgram ? shortPath(program) : program;
    const std::wstring shortFolder = longFolder ? shortPath(folder) : folder;
    if (shortProgram.empty() || (longFolder && shortFolder.empty()) ||
        (shortProgram == program && shortFolder == folder))
        return error;
    return createProcess(shortProgram, shortFolder, started) == ERROR_SUCCESS ? ERROR_SUCCESS
                                                                              : error;
}

class WindowsTrackedProgram final : public TrackedProgram
{
public:
    explicit WindowsTrackedProgram(KernelHandle process) : m_process(std::move(process)) {}

    bool finished() override
    {
        if (m_finished)
            return true;
        const DWORD state = WaitForSingleObject(m_process.get(), 0);
        if (state == WAIT_TIMEOUT)
            return false;
        DWORD code = 0;
        // A handle that cannot be asked gives no success.
        if (state != WAIT_OBJECT_0 || !GetExitCodeProcess(m_process.get(), &code))
            code = DWORD(-1);
        m_exitCode = code;
        m_finished = true;
        return true;
    }
    // Codes such as 0xC0000005 for a crash come out negative: failures all the same.
    int exitStatus() const override { return int(m_exitCode); }

private:
    KernelHandle m_process;
    bool m_finished = false;
    DWORD m_exitCode = 0;
};

bool identify(const fs::path &path, BY_HANDLE_FILE_INFORMATION &info)
{
    // Folders open only with backup semantics; nothing is read or locked.
    const KernelHandle file(CreateFileW(extendedPath(native(path)).c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    return file && GetFileInformationByHandle(file.get(), &info) != 0;
}

DWORD attributesOf(const fs::path &path)
{
    return GetFileAttributesW(extendedPath(native(path)).c_str());
}

int compareOrdinal(const std::wstring &first, const std::wstring &second, bool ignoreCase)
{
    return CompareStringOrdinal(first.data(), int(first.size()), second.data(), int(second.size()),
                                ignoreCase);
}

} // namespace

WindowsPlatform::~WindowsPlatform()
{
    if (m_helpUsed && helpEntry())
        helpEntry()(nullptr, nullptr, hhCloseAll, 0);
}

fs::path WindowsPlatform::applicationFolder() const
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        // A name that fills the buffer may have been cut short.
        if (length < buffer.size())
            return fs::path(buffer.substr(0, length)).parent_path();
        if (buffer.size() >= longestPath)
            return {};
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

void WindowsPlatform::setApplicationHelpFile(const fs::path &path)
{
    m_helpFile = path;
}

void WindowsPlatform::setPointer(Pointer pointer)
{
    m_pointer = pointer;
    // Shows at once; the windows keep it through applyBusyPointer while the mouse moves.
    SetCursor(LoadCursorW(nullptr, pointer == Pointer::Busy ? IDC_WAIT : IDC_ARROW));
}

bool WindowsPlatform::applyBusyPointer() const
{
    if (m_pointer != Pointer::Busy)
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void dispatchMessage(MessageFilter *filter, MSG &message)
{
    if (filter && filter->filter(message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void WindowsPlatform::processEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Meant for the program's own message loop, which must still see it.
            PostQuitMessage(int(message.wParam));
            return;
        }
        dispatchMessage(m_filter, message);
    }
}

void WindowsPlatform::waitForEvents(double maxSeconds)
{
    if (maxSeconds > 0) {
        const double milliseconds = std::ceil(std::min(maxSeconds * 1000.0, double(INFINITE - 1)));
        // Input already seen but not yet handled counts as well.
        MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(milliseconds), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    processEvents();
}

double WindowsPlatform::monotonicSeconds()
{
    static const double frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return double(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / frequency;
}

OpResult WindowsPlatform::startProgram(const fs::path &program, const fs::path &workingFolder)
{
    KernelHandle process;
    return failure(launch(program, workingFolder, process), program);
}

OpResult WindowsPlatform::startTracked(const fs::path &program, const fs::path &workingFolder,
                                       std::unique_ptr<TrackedProgram> &tracked)
{
    tracked.reset();
    KernelHandle process;
    const DWORD error = launch(program, workingFolder, process);
    if (error == ERROR_SUCCESS)
        tracked = std::make_unique<WindowsTrackedProgram>(std::move(process));
    return failure(error, program);
}

void WindowsPlatform::shellOpen(const std::string &target)
{
    // Handed over as it is: a web address must keep its forward slashes.
    if (const ShellExecuteWFn open = shellExecuteEntry())
        open(GetDesktopWindow(), L"open", wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WindowsPlatform::htmlHelp(WindowHandle owner, const std::string &file, HelpCommand command)
{
    const HtmlHelpWFn entry = helpEntry();
    if (!entry)
        return;
    m_helpUsed = true;
    entry(reinterpret_cast<HWND>(owner), wide(nativeHelpTarget(file)).c_str(),
          command == HelpCommand::Index ? hhDisplayIndex : hhDisplayToc, 0);
}

bool WindowsPlatform::helpViewerAvailable()
{
    return helpEntry() != nullptr;
}

Answer WindowsPlatform::messageBox(const std::string &text, MessageIcon icon,
                                   MessageButtons buttons, const std::string &title)
{
    UINT style = buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    switch (icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Critical:
        style |= MB_ICONHAND;
        break;
    case MessageIcon::Question:
        style |= MB_ICONQUESTION;
        break;
    case MessageIcon::Warning:
        style |= MB_ICONEXCLAMATION;
        break;
    case MessageIcon::Information:
        style |= MB_ICONASTERISK;
        break;
    }
    const HWND owner = GetActiveWindow();
    // Without an owner the box is still modal to every window of the program.
    if (!owner)
        style |= MB_TASKMODAL;
    // A lone carriage return already breaks the line in the system's box (Wine's too).
    const int chosen = MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), style);
    return chosen == IDOK ? Answer::Ok : Answer::Cancel;
}

std::vector<fs::path> WindowsPlatform::listVisibleFiles(const fs::path &folder)
{
    std::wstring pattern = native(folder);
    if (pattern.empty())
        pattern = L".";
    if (pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';

    std::vector<fs::path> names;
    WIN32_FIND_DATAW entry;
    const FindHandle find(FindFirstFileExW(extendedPath(pattern).c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find)
        return names;
    constexpr DWORD leftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    do {
        if ((entry.dwFileAttributes & leftOut) != 0)
            continue;
        // Under Wine a FIFO or a link to a device lists as an empty file, yet has no
        // attributes when asked by name: nothing that Play could start.
        if (entry.nFileSizeHigh == 0 && entry.nFileSizeLow == 0 &&
            attributesOf(folder / entry.cFileName) == INVALID_FILE_ATTRIBUTES)
            continue;
        names.emplace_back(std::wstring(entry.cFileName));
    } while (FindNextFileW(find.get(), &entry));
    const DWORD error = GetLastError();
    // Half a listing would pass for a folder without the rest.
    if (error != ERROR_NO_MORE_FILES)
        names.clear();
    return names;
}

std::optional<FolderStamp> WindowsPlatform::folderStamp(const fs::path &folder)
{
    const KernelHandle handle(CreateFileW(native(folder).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = handle && GetFileInformationByHandle(handle.get(), &info) != 0;
    if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const auto ticks = [](const FILETIME &time) {
        return std::uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // A folder's write time moves when a name in it comes, goes or changes.
    FolderStamp stamp;
    stamp.state = std::to_string(info.dwVolumeSerialNumber) + ':' +
                  std::to_string(std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow) +
                  ':' + std::to_string(ticks(info.ftLastWriteTime));
    // FAT keeps write times to two seconds; in 100 ns ticks.
    stamp.settled = ticks(now) > ticks(info.ftLastWriteTime) + 30'000'000;
    return stamp;
}

bool WindowsPlatform::isFile(const fs::path &path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WindowsPlatform::exists(const fs::path &path)
{
    return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsPlatform::sameFile(const fs::path &first, const fs::path &second)
{
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return identify(first, one) && identify(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

OpResult WindowsPlatform::canCreateFiles(const fs::path &folder)
{
    return failure(probeFolder(native(folder)), folder);
}

OpResult WindowsPlatform::copyFile(const fs::path &source, const fs::path &destination)
{
    const DWORD error = copyReplacing(native(source), native(destination));
    // With the source in place, what failed is the destination's side.
    return failure(error, error == ERROR_SUCCESS || isFile(source) ? destination : source);
}

// A copy cut short by a killed run stays beside its destination. Its writer's number is in
// its name: while that process runs, the file may still be written, so it stays.
void WindowsPlatform::removeLeftoverCopies(const fs::path &folder)
{
    std::wstring base = native(folder);
    if (base.empty())
        return;
    if (base.back() != L'\\')
        base += L'\\';
    WIN32_FIND_DATAW entry;
    const FindHandle find(FindFirstFileExW((base + L"*.tmp").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find)
        return;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::optional<DWORD> writer = copyWriter(entry.cFileName);
        if (!writer || stillRuns(*writer))
            continue;
        const std::wstring path = base + entry.cFileName;
        // A read-only source made its copy read-only.
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find.get(), &entry));
}

OpResult WindowsPlatform::resetAttributes(const fs::path &path)
{
    if (!SetFileAttributesW(native(path).c_str(), FILE_ATTRIBUTE_NORMAL))
        return failure(GetLastError(), path);
    return {};
}

OpResult WindowsPlatform::deleteFile(const fs::path &path)
{
    if (!DeleteFileW(native(path).c_str()))
        return failure(GetLastError(), path);
    return {};
}

fs::path WindowsPlatform::tempFolder()
{
    return systemText([](wchar_t *buffer, DWORD size) { return GetTempPathW(size, buffer); });
}

void WindowsPlatform::sortNames(std::vector<fs::path> &names)
{
    // The order of the system's sorted lists and of lstrcmpi, not code-unit order: "é" sits
    // with "e", and "_" before the letters.
    std::stable_sort(names.begin(), names.end(), [](const fs::path &a, const fs::path &b) {
        const std::wstring &first = a.native();
        const std::wstring &second = b.native();
        int order = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, first.data(),
                                    int(first.size()), second.data(), int(second.size()), nullptr,
                                    nullptr, 0);
        if (order == 0)
            order = compareOrdinal(first, second, true);
        // Names alike but for case keep one order from run to run.
        if (order == CSTR_EQUAL)
            order = compareOrdinal(first, second, false);
        return order == CSTR_LESS_THAN;
    });
}

bool WindowsPlatform::sameNameIgnoringCase(std::string_view first, std::string_view second)
{
    // Texts that are not UTF-8 would all turn into U+FFFD: only their bytes can tell.
    const std::wstring one = wide(first, MB_ERR_INVALID_CHARS);
    const std::wstring other = wide(second, MB_ERR_INVALID_CHARS);
    if (one.empty() != first.empty() || other.empty() != second.empty())
        return first == second;
    return compareOrdinal(one, other, true) == CSTR_EQUAL;
}

char32_t WindowsPlatform::upperCase(char32_t character)
{
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return character;
    wchar_t units[2];
    DWORD count = 1;
    if (character < 0x10000) {
        units[0] = wchar_t(character);
    } else {
        units[0] = wchar_t(0xD800 + ((character - 0x10000) >> 10));
        units[1] = wchar_t(0xDC00 + ((character - 0x10000) & 0x3FF));
        count = 2;
    }
    CharUpperBuffW(units, count);
    if (count == 1)
        return units[0] >= 0xD800 && units[0] <= 0xDFFF ? character : char32_t(units[0]);
    if (!IS_SURROGATE_PAIR(units[0], units[1]))
        return character;
    return 0x10000 + ((char32_t(units[0]) - 0xD800) << 10) + (char32_t(units[1]) - 0xDC00);
}

bool WindowsPlatform::highContrast()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

} // namespace qvx

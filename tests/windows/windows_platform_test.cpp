// Tests of the Windows platform against the real system calls (or Wine's).
//
//   windows_platform_test              every group except "help-viewer-missing"
//   windows_platform_test GROUP...     the named groups only
//
// "help-viewer-missing" expects the HTML Help library to be unloadable (under Wine:
// WINEDLLOVERRIDES=hhctrl.ocx=d). "message-box" and "events" need a display. The last line
// of output is "N passed, M failed".
#include "qvx/core/Catalogue.h"
#include "qvx/core/OpError.h"
#include "qvx/platform/Handles.h"
#include "qvx/platform/WideText.h"
#include "qvx/platform/WindowsPlatform.h"
#include "qvx/win/GdiObject.h"

#include "qvx/platform/Win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using qvx::FolderStamp;
using qvx::OpResult;
namespace OpError = qvx::OpError;

namespace {

int passed = 0;
int failed = 0;

bool check(bool ok, const char *what, int line)
{
    ++(ok ? passed : failed);
    if (!ok)
        std::printf("FAIL line %d: %s\n", line, what);
    return ok;
}
#define CHECK(...) check((__VA_ARGS__), #__VA_ARGS__, __LINE__)

void note(const char *text)
{
    std::printf("note: %s\n", text);
}

qvx::WindowsPlatform *platform = nullptr;
fs::path workRoot;

std::string utf8(const fs::path &path)
{
    const std::u8string bytes = path.u8string();
    return {bytes.begin(), bytes.end()};
}

// A failure of the given number that names the path it concerned.
bool failedWith(const OpResult &result, int number, const fs::path &path)
{
    return result.number == number && result.description.find(utf8(path)) != std::string::npos;
}

// A new empty folder for one group.
fs::path freshFolder(const std::wstring &name)
{
    fs::create_directories(workRoot / name);
    return workRoot / name;
}

void writeFile(const fs::path &path, const std::string &contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DWORD attributes(const fs::path &path)
{
    return GetFileAttributesW(path.c_str());
}

bool present(const fs::path &path)
{
    return attributes(path) != INVALID_FILE_ATTRIBUTES;
}

void setAttributes(const fs::path &path, DWORD value)
{
    SetFileAttributesW(path.c_str(), value);
}

// Every entry of a folder, hidden ones included, sorted.
std::vector<std::wstring> allEntries(const fs::path &folder)
{
    std::vector<std::wstring> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> wideNames(const std::vector<fs::path> &names)
{
    std::vector<std::wstring> wide;
    for (const fs::path &name : names)
        wide.push_back(name.wstring());
    return wide;
}

fs::path ownFolder()
{
    wchar_t own[MAX_PATH];
    const std::wstring path(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    return fs::path(path).parent_path();
}

// Puts the marker-writing helper program under a name and folder with blanks in them.
fs::path placeHelper(const fs::path &folder)
{
    CopyFileW((ownFolder() / L"touch_marker.exe").c_str(), (folder / L"Touch Marker.exe").c_str(),
              FALSE);
    return folder / L"Touch Marker.exe";
}

// The marker's text once the helper wrote it (within a minute), else nothing.
std::string awaitMarker(const fs::path &folder)
{
    for (int i = 0; i < 1200 && !present(folder / L"marker.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return readFile(folder / L"marker.txt");
}

const char *const startedNormally = "arguments=0\nuseShowWindow=1\nshowWindow=1\n";

// tempFolder() while TMP names another folder.
fs::path tempFolderWith(const fs::path &folder)
{
    std::wstring old(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"TMP", old.data(), DWORD(old.size()));
    old.resize(std::min<size_t>(length, old.size()));
    fs::create_directories(folder);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    const fs::path path = platform->tempFolder();
    SetEnvironmentVariableW(L"TMP", length > 0 && length < 32768 ? old.c_str() : nullptr);
    return path;
}

void testTempFolder()
{
    const std::wstring path = platform->tempFolder().wstring();
    CHECK(!path.empty() && path.back() == L'\\' && fs::is_directory(path));
    // Near the system's limit (Wine refuses more than 257 characters with the backslash).
    std::wstring longFolder = freshFolder(L"temp").wstring();
    while (longFolder.size() < 256)
        longFolder +=
            L"\\" + std::wstring(std::clamp<size_t>(255 - longFolder.size(), 1, 40), L'x');
    CHECK(tempFolderWith(longFolder).wstring() == longFolder + L"\\");
    // A folder name outside the ANSI code page.
    const fs::path unusual = freshFolder(L"temp\\\u03a9\u0416\u4e2d");
    CHECK(tempFolderWith(unusual).wstring() == unusual.wstring() + L"\\");
}

// Whether a folder lists the name: found without opening it, which a FIFO would block.
bool listed(const fs::path &path)
{
    WIN32_FIND_DATAW entry;
    return bool(qvx::FindHandle(FindFirstFileW(path.c_str(), &entry)));
}

// Runs a program of the Unix side, as Wine can. Wine's handle for such a program does not
// tell when it has ended, so its effect is awaited: one that came late raced the next, and
// could leave a FIFO that the clean-up then hangs on.
template <typename Done> void runUnix(const std::string &command, Done done)
{
    std::wstring line(command.begin(), command.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    CHECK(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process));
    const qvx::KernelHandle running(process.hProcess);
    const qvx::KernelHandle thread(process.hThread);
    for (int wait = 0; wait < 1200 && !done(); ++wait)
        Sleep(50);
    CHECK(done());
}

void testListing()
{
    const fs::path folder = freshFolder(L"listing");
    for (const wchar_t *name :
         {L"b.exe", L"A.exe", L"readme.txt", L"D\u00e9mo \u03a9.exe", L"hidden.exe", L"system.exe"})
        writeFile(folder / name, "x");
    setAttributes(folder / L"hidden.exe", FILE_ATTRIBUTE_HIDDEN);
    setAttributes(folder / L"system.exe", FILE_ATTRIBUTE_SYSTEM);
    fs::create_directories(folder / L"Sub.exe");

    for (const fs::path &spelled :
         {folder, fs::path(folder.wstring() + L"\\"), fs::path(folder.generic_wstring())}) {
        std::vector<std::wstring> names = wideNames(platform->listVisibleFiles(spelled));
        std::sort(names.begin(), names.end());
        CHECK(names == std::vector<std::wstring>{L"A.exe", L"D\u00e9mo \u03a9.exe", L"b.exe",
                                                 L"readme.txt"});
    }
    CHECK(platform->listVisibleFiles(freshFolder(L"listing-empty")).empty());

    // Under Wine, what the Unix side has besides files: a link to a device and a FIFO.
    using UnixName = char *(CDECL *)(const wchar_t *);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixName) {
        const fs::path special = freshFolder(L"listing-special");
        writeFile(special / L"empty.exe", "");
        const char *unixFolder = unixName(special.c_str());
        CHECK(unixFolder != nullptr);
        const std::string quoted = '"' + std::string(unixFolder ? unixFolder : "") + '/';
        runUnix("Z:\\bin\\ln -s /dev/zero " + quoted + "zero.exe\"",
                [&] { return listed(special / L"zero.exe"); });
        runUnix("Z:\\usr\\bin\\mkfifo " + quoted + "pipe.exe\"",
                [&] { return listed(special / L"pipe.exe"); });
        CHECK(wideNames(platform->listVisibleFiles(special)) ==
              std::vector<std::wstring>{L"empty.exe"});
        // Removed from the Unix side too: the library's removal would not end on them.
        runUnix("Z:\\bin\\rm -f " + quoted + "zero.exe\" " + quoted + "pipe.exe\"",
                [&] { return !listed(special / L"zero.exe") && !listed(special / L"pipe.exe"); });
    }
    CHECK(platform->listVisibleFiles(folder / L"no such folder").empty());

    // A folder's stamp moves with its names, and is trusted once its last change lies back.
    const fs::path stamped = freshFolder(L"listing-stamp");
    const std::optional<FolderStamp> before = platform->folderStamp(stamped);
    CHECK(before && !before->settled);
    Sleep(50);
    writeFile(stamped / L"new.exe", "x");
    const std::optional<FolderStamp> after = platform->folderStamp(stamped);
    CHECK(after && after->state != before->state);
    qvx::KernelHandle handle(CreateFileW(stamped.c_str(), FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME earlier{};
    GetSystemTimeAsFileTime(&earlier);
    ULARGE_INTEGER ticks{{earlier.dwLowDateTime, earlier.dwHighDateTime}};
    ticks.QuadPart -= 100'000'000; // ten seconds
    earlier = {ticks.LowPart, ticks.HighPart};
    CHECK(handle && SetFileTime(handle.get(), nullptr, nullptr, &earlier));
    handle.reset();
    const std::optional<FolderStamp> old = platform->folderStamp(stamped);
    CHECK(old && old->settled);
    CHECK(!platform->folderStamp(stamped / L"new.exe") && !platform->folderStamp(folder / L"none"));
}

// The order of the system's own sorted lists, and its case rules, on texts of any script.
void testTextRules()
{
    std::vector<fs::path> names = {L"Zeta.exe", L"\u00e9mile.exe", L"aa.exe",   L"Alpha.exe",
                                   L"beta.exe", L"a_b.exe",        L"ALPHA.EXE"};
    platform->sortNames(names);
    // Linguistic, not code-unit order: "\u00e9" before "Z", "_" before the letters; names alike
    // but for case in one fixed order.
    if (!CHECK(wideNames(names) == std::vector<std::wstring>{L"a_b.exe", L"aa.exe", L"ALPHA.EXE",
                                                             L"Alpha.exe", L"beta.exe",
                                                             L"\u00e9mile.exe", L"Zeta.exe"}))
        for (const fs::path &name : names)
            std::printf("  %s\n", utf8(name).c_str());

    CHECK(platform->sameNameIgnoringCase("QVX3 Demo.exe", "qvx3 DEMO.EXE"));
    CHECK(platform->sameNameIgnoringCase("\xc3\x89mile \xce\xa9", "\xc3\xa9mile \xcf\x89"));
    CHECK(!platform->sameNameIgnoringCase("Demo.exe", "Demo.ex"));
    CHECK(!platform->sameNameIgnoringCase("\xff.exe", "\xfe.exe"));
    CHECK(platform->sameNameIgnoringCase("", ""));

    CHECK(platform->upperCase(U'a') == U'A' && platform->upperCase(U'1') == U'1');
    CHECK(platform->upperCase(U'\u00e9') == U'\u00c9' &&
          platform->upperCase(U'\u0436') == U'\u0416');
    // One character to one: the German sharp s has no single upper-case letter.
    CHECK(platform->upperCase(U'\u00df') == U'\u00df');
    CHECK(platform->upperCase(char32_t(0xD800)) == char32_t(0xD800));
    CHECK(platform->upperCase(U'\U0001F600') == U'\U0001F600');
}

void testCopy()
{
    const fs::path folder = freshFolder(L"copy");
    const fs::path source = folder / L"new.exe";
    const fs::path destination = folder / L"QVX3 Ticket Setup.exe";
    const std::vector<std::wstring> both = {L"QVX3 Ticket Setup.exe", L"new.exe"};
    // Whatever the outcome, no copy of its own is left beside the destination.
    const auto copy = [&](const fs::path &from, const fs::path &to) {
        const OpResult result = platform->copyFile(from, to);
        if (!CHECK(allEntries(folder) == both))
            std::printf("  after copying %s to %s\n", utf8(from).c_str(), utf8(to).c_str());
        return result;
    };
    writeFile(source, "the new demo");
    writeFile(destination, "the old demo, which was longer");
    CHECK(copy(source, destination).ok());
    CHECK(readFile(destination) == "the new demo" && readFile(source) == "the new demo");

    writeFile(destination, "the old demo");
    const fs::path missingSource = folder / L"Qvx3_Tic.exe";
    CHECK(failedWith(copy(missingSource, destination), OpError::FileNotFound, missingSource));
    CHECK(readFile(destination) == "the old demo");
    const fs::path noFolder = folder / L"missing" / L"x.exe";
    CHECK(failedWith(copy(source, noFolder), OpError::PathNotFound, noFolder));

    // A source that cannot be read to its end.
    const fs::path big = folder / L"big.exe";
    writeFile(big, std::string(4 << 20, 'n'));
    qvx::KernelHandle locker(CreateFileW(big.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    OVERLAPPED middle{};
    middle.Offset = 2 << 20;
    CHECK(LockFileEx(locker.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &middle));
    const bool lockHolds = readFile(big).size() < size_t(4 << 20);
    const OpResult cut = lockHolds ? platform->copyFile(big, destination) : OpResult{};
    UnlockFileEx(locker.get(), 0, 1, 0, &middle);
    locker.reset();
    DeleteFileW(big.c_str());
    CHECK(allEntries(folder) == both);
    if (cut.ok())
        note("locked bytes can be read here");
    else
        CHECK(cut.number == OpError::FileAccess && readFile(destination) == "the old demo");

    // A destination held open by someone who does not let it be deleted is not replaced, and
    // the copy made for it goes away although the read-only source made it read-only.
    setAttributes(source, FILE_ATTRIBUTE_READONLY);
    qvx::KernelHandle held(CreateFileW(destination.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    const OpResult busy = copy(source, destination);
    held.reset();
    if (busy.ok()) {
        note("a destination held open was replaced here");
    } else {
        CHECK(failedWith(busy, OpError::FileAccess, destination) ||
              failedWith(busy, OpError::PermissionDenied, destination));
        CHECK(readFile(destination) == "the old demo");
    }

    // As the system's own copy does, the source's attributes come along.
    CHECK(copy(source, destination).ok());
    CHECK(readFile(destination) == "the new demo" &&
          (attributes(destination) & FILE_ATTRIBUTE_READONLY));
}

// Copies a killed run left beside their destinations go; a live run's copy, and whatever is
// not named as ours, stay.
void testLeftoverCopies()
{
    const fs::path folder = freshFolder(L"leftovers");
    // The number of a process that has ended.
    wchar_t self[MAX_PATH];
    std::wstring line = L"\"" + std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)) +
                        L"\" no-such-group";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CHECK(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)))
        return;
    const qvx::KernelHandle thread(process.hThread);
    const qvx::KernelHandle ran(process.hProcess);
    WaitForSingleObject(ran.get(), 10000);
    const std::wstring ended = std::to_wstring(process.dwProcessId);
    const std::wstring running = std::to_wstring(GetCurrentProcessId());

    const std::vector<std::wstring> gone = {L"QVX3 A.exe.qvx" + ended + L"-1.tmp",
                                            L"QVX3 B.exe.qvx" + ended + L"-12.tmp"};
    const std::vector<std::wstring> kept = {L"QVX3 C.exe.qvx" + running + L"-3.tmp",
                                            L"other.tmp",
                                            L"x.qvx-1.tmp",
                                            L".qvx" + ended + L"-4.tmp",
                                            L"y.qvx" + ended + L"-5.tmp.exe",
                                            L"z.qvx1x-6.tmp"};
    for (const std::wstring &name : gone)
        writeFile(folder / name, "part of a demo");
    for (const std::wstring &name : kept)
        writeFile(folder / name, "not ours to remove");
    setAttributes(folder / gone[0], FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    fs::create_directories(folder / (L"D.exe.qvx" + ended + L"-7.tmp"));

    platform->removeLeftoverCopies(folder);
    std::vector<std::wstring> expected = kept;
    expected.push_back(L"D.exe.qvx" + ended + L"-7.tmp");
    std::sort(expected.begin(), expected.end());
    CHECK(allEntries(folder) == expected);
}

void testAttributesAndDelete()
{
    const fs::path folder = freshFolder(L"delete");
    const fs::path file = folder / L"ZIP_ticket_setup.exe";
    writeFile(file, "archive");
    setAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE);
    CHECK(failedWith(platform->deleteFile(file), OpError::PermissionDenied, file) && present(file));
    CHECK(platform->resetAttributes(file).ok());
    const DWORD reset = attributes(file);
    if (reset & FILE_ATTRIBUTE_ARCHIVE)
        note("this system reports every file as archive; that bit is not tested");
    CHECK((reset & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ==
              0 &&
          (reset == FILE_ATTRIBUTE_NORMAL || (reset & FILE_ATTRIBUTE_ARCHIVE)));
    const fs::path missing = folder / L"missing.exe";
    CHECK(failedWith(platform->resetAttributes(missing), OpError::FileNotFound, missing));

    // Held open by someone who does not let it be deleted.
    qvx::KernelHandle held(CreateFileW(file.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    CHECK(bool(held));
    const OpResult inUse = platform->deleteFile(file);
    CHECK(failedWith(inUse, OpError::FileAccess, file) &&
          inUse.description.find("in use") != std::string::npos && present(file));
    held.reset();

    CHECK(platform->deleteFile(file).ok() && !present(file));
    CHECK(failedWith(platform->deleteFile(file), OpError::FileNotFound, file));
    const fs::path noFolder = folder / L"missing" / L"x.exe";
    CHECK(failedWith(platform->deleteFile(noFolder), OpError::PathNotFound, noFolder));
    // Paths built from texts may carry forward slashes; the message shows the system's.
    CHECK(failedWith(platform->deleteFile(fs::path(noFolder.generic_wstring())),
                     OpError::PathNotFound, noFolder));
}

void testStartProgram()
{
    const fs::path programs = freshFolder(L"start\\Demo Programs");
    const fs::path working = freshFolder(L"start\\Working Folder");
    const fs::path helper = placeHelper(programs);

    const auto before = std::chrono::steady_clock::now();
    CHECK(platform->startProgram(helper, working).ok());
    // The helper pauses before it writes: no marker yet means nobody waited for it.
    CHECK(std::chrono::steady_clock::now() - before < std::chrono::seconds(1));
    CHECK(!present(working / L"marker.txt"));
    CHECK(awaitMarker(working) == startedNormally);
    CHECK(!present(programs / L"marker.txt"));

    const fs::path missing = programs / L"Missing Demo.exe";
    CHECK(failedWith(platform->startProgram(missing, working), OpError::FileNotFound, missing));
    writeFile(programs / L"Not A Program.exe", "text, not a program");
    CHECK(!platform->startProgram(programs / L"Not A Program.exe", working).ok());
}

// A demo the list shows plays, whatever its path's length: a name of 215 characters, as in
// the default installation folder, where it makes 266.
void testLongPath()
{
    const fs::path app = freshFolder(L"long\\Quorvex Demo Player");
    const fs::path edition = qvx::Catalogue::editionFolder(app, 1);
    fs::create_directories(edition);
    const fs::path demo = edition / (std::wstring(215, L'd') + L".exe");
    CHECK(demo.wstring().size() > 266);
    CopyFileW((ownFolder() / L"touch_marker.exe").c_str(), (L"\\\\?\\" + demo.wstring()).c_str(),
              FALSE);
    const std::vector<fs::path> listed = platform->listVisibleFiles(edition);
    if (!CHECK(listed.size() == 1))
        return;
    const fs::path path = qvx::Catalogue::resolvePlayPath(*platform, app, edition,
                                                          qvx::Catalogue::displayName(listed[0]));
    CHECK(path == demo);
    std::unique_ptr<qvx::TrackedProgram> program;
    CHECK(platform->startTracked(path, path.parent_path(), program).ok() && program);
    CHECK(awaitMarker(edition) == startedNormally);
}

// The started program's end and exit code are seen without waiting for it.
void testTrackedProgram()
{
    const fs::path programs = freshFolder(L"tracked\\Demo Programs");
    const fs::path working = freshFolder(L"tracked\\Working Folder");
    const fs::path helper = placeHelper(programs);
    const auto awaitEnd = [](qvx::TrackedProgram &program) {
        for (int i = 0; i < 1200 && !program.finished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return program.finished();
    };

    std::unique_ptr<qvx::TrackedProgram> program;
    CHECK(platform->startTracked(helper, working, program).ok() && program);
    if (!program)
        return;
    // The helper pauses before it writes: running still.
    CHECK(!program->finished());
    CHECK(awaitEnd(*program) && program->exitStatus() == 0);
    CHECK(readFile(working / L"marker.txt") == startedNormally);

    // A folder where its marker goes makes the helper fail.
    const fs::path blocked = freshFolder(L"tracked\\Blocked");
    fs::create_directories(blocked / L"marker.txt");
    std::unique_ptr<qvx::TrackedProgram> failing;
    CHECK(platform->startTracked(helper, blocked, failing).ok() && failing);
    CHECK(failing && awaitEnd(*failing) && failing->exitStatus() == 1);

    // A failed start leaves nothing tracked, not even what was tracked before.
    const fs::path missing = programs / L"Missing Demo.exe";
    CHECK(failedWith(platform->startTracked(missing, working, failing), OpError::FileNotFound,
                     missing) &&
          !failing);

    // Dropped while it runs: the program goes on and writes its marker.
    const fs::path later = freshFolder(L"tracked\\Dropped");
    {
        std::unique_ptr<qvx::TrackedProgram> dropped;
        CHECK(platform->startTracked(helper, later, dropped).ok() && dropped &&
              !dropped->finished());
    }
    CHECK(awaitMarker(later) == startedNormally);
}

// One folder under two spellings, folders that take new files, names of any kind.
void testFolderProbes()
{
    const fs::path folder = freshFolder(L"probes\\App Folder \u03a9");
    const fs::path other = freshFolder(L"probes\\Other");
    writeFile(folder / L"a.exe", "a");
    CHECK(platform->sameFile(folder, folder.wstring() + L"\\"));
    CHECK(platform->sameFile(folder, folder / L".." / L"App Folder \u03a9"));
    CHECK(platform->sameFile(folder, fs::path(folder.generic_wstring())));
    CHECK(!platform->sameFile(folder, other));
    CHECK(!platform->sameFile(folder, folder / L"missing"));

    CHECK(platform->canCreateFiles(folder).ok());
    CHECK(allEntries(folder) == std::vector<std::wstring>{L"a.exe"});
    CHECK(failedWith(platform->canCreateFiles(folder / L"missing"), OpError::PathNotFound,
                     folder / L"missing"));

    CHECK(platform->exists(folder) && platform->exists(folder / L"a.exe") &&
          !platform->exists(folder / L"b.exe"));
    CHECK(platform->isFile(folder / L"a.exe") && !platform->isFile(folder) &&
          !platform->isFile(folder / L"b.exe"));
}

void testShellOpen()
{
    // With no folder given, the shell starts a program in the caller's working folder.
    const fs::path programs = freshFolder(L"shell\\Demo Programs");
    const fs::path working = freshFolder(L"shell\\Working Folder");
    const fs::path previous = fs::current_path();
    fs::current_path(working);
    platform->shellOpen(utf8(placeHelper(programs)));
    CHECK(awaitMarker(working) == startedNormally);
    // Targets nothing can open come back quietly (the call returning is the check).
    platform->shellOpen("qvx-no-such-scheme:nothing");
    platform->shellOpen(utf8(programs / L"No Such Page.htm"));
    platform->shellOpen("");
    fs::current_path(previous);
}

// Where the program lives, and a clock that moves with real time.
void testApplication()
{
    CHECK(platform->applicationFolder() == ownFolder());
    const double start = platform->monotonicSeconds();
    Sleep(200);
    const double elapsed = platform->monotonicSeconds() - start;
    CHECK(elapsed >= 0.18 && elapsed < 5);

    platform->setPointer(qvx::Pointer::Busy);
    CHECK(GetCursor() == LoadCursorW(nullptr, IDC_WAIT) && platform->applyBusyPointer());
    platform->setPointer(qvx::Pointer::Default);
    CHECK(GetCursor() == LoadCursorW(nullptr, IDC_ARROW) && !platform->applyBusyPointer());
}

int handledMessages = 0;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        ++handledMessages;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND countingWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = countingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QvxCountingWindow";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

DWORD WINAPI postLater(void *window)
{
    Sleep(300);
    PostMessageW(static_cast<HWND>(window), WM_APP, 0, 0);
    return 0;
}

double secondsFor(void (*run)())
{
    const auto before = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
}

// Pending messages reach their windows; waiting ends with the first event or the time.
void testEvents()
{
    const HWND window = countingWindow();
    if (!window)
        return note("no window could be made (no display?); events are not tested");
    handledMessages = 0;
    PostMessageW(window, WM_APP, 0, 0);
    PostMessageW(window, WM_APP, 0, 0);
    platform->processEvents();
    CHECK(handledMessages == 2);

    // The program's own loop still sees a request to quit.
    PostQuitMessage(7);
    PostMessageW(window, WM_APP, 0, 0);
    platform->processEvents();
    MSG quit{};
    CHECK(handledMessages == 3 && PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE) &&
          quit.message == WM_QUIT && quit.wParam == 7);

    CHECK(secondsFor([] { platform->waitForEvents(0.3); }) >= 0.25);
    CHECK(secondsFor([] { platform->waitForEvents(-1); }) < 0.2);
    const qvx::KernelHandle poster(CreateThread(nullptr, 0, postLater, window, 0, nullptr));
    const double woken = secondsFor([] { platform->waitForEvents(10); });
    CHECK(woken >= 0.2 && woken < 5 && handledMessages == 4);
    WaitForSingleObject(poster.get(), INFINITE);

    // A message already looked at but left queued does not make the wait sleep.
    PostMessageW(window, WM_APP, 0, 0);
    MSG seen{};
    PeekMessageW(&seen, nullptr, 0, 0, PM_NOREMOVE);
    const double pending = secondsFor([] { platform->waitForEvents(5); });
    CHECK(pending < 1 && handledMessages == 5);
    DestroyWindow(window);
}

// What the box driver saw and did.
struct BoxVisit
{
    const wchar_t *title = L"";
    int press = IDOK;
    bool found = false;
    std::wstring text;
    bool hasCancel = false;
    HWND owner = nullptr;
    int lines = 0;
};

DWORD WINAPI answerBox(void *argument)
{
    BoxVisit &visit = *static_cast<BoxVisit *>(argument);
    HWND box = nullptr;
    for (int i = 0; i < 400 && !box; ++i) {
        box = FindWindowW(L"#32770", visit.title);
        if (!box)
            Sleep(25);
    }
    if (!box)
        return 1;
    visit.found = true;
    const HWND label = GetDlgItem(box, 0xFFFF);
    wchar_t text[256] = {};
    GetWindowTextW(label, text, 256);
    visit.text = text;
    visit.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
    visit.owner = GetWindow(box, GW_OWNER);
    // Lines as the box's own font lays the text out.
    const qvx::WindowDc labelDc(label);
    const HDC context = labelDc.get();
    SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT one{0, 0, 1000, 0};
    RECT all{0, 0, 1000, 0};
    constexpr UINT layout = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;
    DrawTextW(context, L"one", -1, &one, layout);
    DrawTextW(context, text, -1, &all, layout);
    visit.lines = one.bottom > 0 ? int(all.bottom / one.bottom) : 0;
    SendMessageW(GetDlgItem(box, visit.press), BM_CLICK, 0, 0);
    return 0;
}

qvx::Answer visitBox(BoxVisit &visit, const std::string &text, qvx::MessageButtons buttons)
{
    const qvx::KernelHandle driver(CreateThread(nullptr, 0, answerBox, &visit, 0, nullptr));
    const std::wstring title = visit.title;
    const qvx::Answer answer =
        platform->messageBox(text, qvx::MessageIcon::Warning, buttons, utf8(fs::path(title)));
    WaitForSingleObject(driver.get(), INFINITE);
    return answer;
}

// The box shows the text with its line breaks, offers the buttons asked for, belongs to the
// active window and tells which button was pressed.
void testMessageBox()
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"Qvx Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                        100, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return note("no window could be made (no display?); message boxes are not tested");
    ShowWindow(window, SW_SHOW);
    SetActiveWindow(window);

    BoxVisit prompt;
    prompt.title = L"Preparing \u03a9 Files";
    CHECK(visitBox(prompt, "one\rtwo\rthree", qvx::MessageButtons::OkCancel) == qvx::Answer::Ok);
    CHECK(prompt.found && prompt.text == L"one\rtwo\rthree" && prompt.hasCancel);
    // A lone carriage return breaks the line as it stands.
    CHECK(prompt.lines == 3);
    CHECK(prompt.owner == window);

    BoxVisit cancelled;
    cancelled.title = L"Cancelled Box";
    cancelled.press = IDCANCEL;
    CHECK(visitBox(cancelled, "Go on?", qvx::MessageButtons::OkCancel) == qvx::Answer::Cancel);

    DestroyWindow(window);
    BoxVisit plain;
    plain.title = L"Plain Box";
    CHECK(visitBox(plain, "Done.", qvx::MessageButtons::Ok) == qvx::Answer::Ok);
    CHECK(plain.found && !plain.hasCancel && plain.owner == nullptr);
}

void testHelpViewer()
{
    // The viewer's own window needs a display; here the calls must reach it and return.
    CHECK(qvx::WindowsPlatform::helpViewerAvailable());
    const fs::path missingFile = freshFolder(L"help") / L"Quorvex Demos.chm";
    platform->htmlHelp(0, utf8(missingFile), qvx::HelpCommand::Contents);
    platform->htmlHelp(0, utf8(missingFile), qvx::HelpCommand::Index);
    platform->htmlHelp(0,
                       "ms-its:" + utf8(fs::path(missingFile.generic_wstring())) + "::/Welcome.htm",
                       qvx::HelpCommand::Contents);
}

void testHelpViewerMissing()
{
    CHECK(!qvx::WindowsPlatform::helpViewerAvailable());
    // Requests do nothing, and neither does closing the viewer at the end.
    platform->htmlHelp(0, "C:\\Quorvex Demos.chm", qvx::HelpCommand::Contents);
}

void checkIcon();

void testVersionResource()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(self, &ignored));
    if (!CHECK(!info.empty() && GetFileVersionInfoW(self, 0, DWORD(info.size()), info.data())))
        return;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    CHECK(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) && fixed &&
          fixed->dwFileVersionMS == MAKELONG(0, 2) && fixed->dwFileVersionLS == 0 &&
          fixed->dwProductVersionMS == MAKELONG(0, 2) && fixed->dwProductVersionLS == 0);
    auto text = [&](const wchar_t *name) {
        wchar_t *value = nullptr;
        UINT chars = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void **>(&value), &chars) ||
            !value)
            return std::string();
        return utf8(fs::path(value));
    };
    CHECK(text(L"FileVersion") == "2.00" && text(L"ProductVersion") == "2.00");
    CHECK(text(L"FileDescription") == "Loader for movies.");
    CHECK(text(L"ProductName") == "Quorvex Demo Player");
    CHECK(text(L"InternalName") == "QVX Demo Player");
    CHECK(!text(L"LegalCopyright").empty());

    checkIcon();
}

// The program's icon at each size that the scalings from 100 % to 200 % and the largest
// views ask for: a picture of that very size, not the next one stretched, that the system
// reads; the 32-pixel one keeps its 16 colours.
void checkIcon()
{
    HRSRC group = FindResourceW(nullptr, L"IDI_ICON1", reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    auto *directory =
        group ? static_cast<BYTE *>(LockResource(LoadResource(nullptr, group))) : nullptr;
    if (!CHECK(directory))
        return;
    // Entries of 14 bytes after 6: width, height, colours, reserved, planes, bits, bytes, ID.
    const int count = directory[4] | directory[5] << 8;
    for (const int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
        const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        const BYTE *entry = nullptr;
        for (int i = 0; i < count && !entry; ++i) {
            const BYTE *each = directory + 6 + 14 * i;
            entry = (each[12] | each[13] << 8) == id ? each : nullptr;
        }
        HRSRC image =
            FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_ICON));
        auto *bits =
            image ? static_cast<BYTE *>(LockResource(LoadResource(nullptr, image))) : nullptr;
        const qvx::win::Icon icon(
            bits ? CreateIconFromResourceEx(bits, SizeofResource(nullptr, image), TRUE, 0x00030000,
                                            size, size, LR_DEFAULTCOLOR)
                 : nullptr);
        if (!CHECK(entry && (entry[0] == 0 ? 256 : entry[0]) == size && icon.get() != nullptr))
            std::printf("  no picture of %d px\n", size);
        else if (size == 32)
            CHECK(entry[2] == 16 && entry[6] == 4);
    }
}

// Whether the process still holds the handle open.
bool stillOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

void testOwners()
{
    const HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        qvx::KernelHandle owner(first);
        qvx::KernelHandle taken(std::move(owner));
        owner.reset();
        CHECK(!owner && taken.get() == first && stillOpen(first));
        qvx::KernelHandle other(second);
        // Taking another handle frees the one held.
        other = std::move(taken);
        CHECK(!stillOpen(second) && stillOpen(first) && other.get() == first);
    }
    CHECK(!stillOpen(first));

    // A failed open holds nothing, whichever "no handle" the call gives.
    const qvx::KernelHandle missing(CreateFileW((workRoot / L"absent").c_str(), GENERIC_READ, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    CHECK(!missing && !qvx::FindHandle(INVALID_HANDLE_VALUE));

    // Beyond the basic plane, both ways; what is not UTF-8 gives nothing when asked so.
    const std::string text = "Demo \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xAC";
    CHECK(qvx::wide(text) == L"Demo \u00E9t\u00E9 \U0001F3AC" &&
          qvx::narrow(qvx::wide(text)) == text);
    CHECK(qvx::wide("a\xFF", MB_ERR_INVALID_CHARS).empty() && qvx::narrow(L"").empty());
}

} // namespace

int main(int argc, char **argv)
{
    const struct
    {
        const char *name;
        void (*run)();
    } groups[] = {{"temp-folder", testTempFolder},
                  {"listing", testListing},
                  {"copy", testCopy},
                  {"delete", testAttributesAndDelete},
                  {"leftovers", testLeftoverCopies},
                  {"start", testStartProgram},
                  {"tracked", testTrackedProgram},
                  {"long-path", testLongPath},
                  {"probes", testFolderProbes},
                  {"text-rules", testTextRules},
                  {"application", testApplication},
                  {"events", testEvents},
                  {"message-box", testMessageBox},
                  {"shell", testShellOpen},
                  {"help-viewer", testHelpViewer},
                  {"version-resource", testVersionResource},
                  {"owners", testOwners},
                  {"help-viewer-missing", testHelpViewerMissing}};

    wchar_t temp[MAX_PATH + 1];
    workRoot = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"qvx-win32-test-" +
               std::to_wstring(GetCurrentProcessId());
    fs::create_directories(workRoot);
    qvx::WindowsPlatform windows;
    platform = &windows;
    for (const auto &group : groups) {
        bool chosen = argc <= 1 && group.run != testHelpViewerMissing;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], group.name) == 0;
        if (chosen) {
            std::printf("-- %s\n", group.name);
            std::fflush(stdout);
            group.run();
        }
    }
    // Read-only files would stop the removal.
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(workRoot, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error))
        SetFileAttributesW(entry->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(workRoot, error);

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

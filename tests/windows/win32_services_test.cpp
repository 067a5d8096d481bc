// Tests of the Windows services against the real system calls (or Wine's).
//
//   win32_services_test              every group except "help-viewer-missing"
//   win32_services_test GROUP...     the named groups only
//
// "help-viewer-missing" expects the HTML Help library to be unloadable (under Wine:
// WINEDLLOVERRIDES=hhctrl.ocx=d). The last line of output is "N passed, M failed".
#include "platform/win/Win32Services.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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
using namespace Win32Services;

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

std::wstring workRoot;

// A new empty folder for one group, as UTF-8.
std::string freshFolder(const std::wstring &name)
{
    fs::create_directories(workRoot + L"\\" + name);
    return toUtf8(workRoot + L"\\" + name);
}

void writeFile(const std::string &path, const std::string &contents)
{
    std::ofstream(fs::path(toWide(path)), std::ios::binary) << contents;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(fs::path(toWide(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DWORD attributes(const std::string &path)
{
    return GetFileAttributesW(toWide(path).c_str());
}

bool exists(const std::string &path)
{
    return attributes(path) != INVALID_FILE_ATTRIBUTES;
}

void setAttributes(const std::string &path, DWORD value)
{
    SetFileAttributesW(toWide(path).c_str(), value);
}

// Every entry of a folder, hidden ones included, sorted.
std::vector<std::string> allEntries(const std::string &folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(toWide(folder)))
        names.push_back(toUtf8(entry.path().filename().wstring()));
    std::sort(names.begin(), names.end());
    return names;
}

// Puts the marker-writing helper program under a name and folder with blanks in them.
std::string placeHelper(const std::string &folder)
{
    wchar_t own[MAX_PATH];
    std::wstring path(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\touch_marker.exe";
    CopyFileW(path.c_str(), toWide(folder + "\\Touch Marker.exe").c_str(), FALSE);
    return folder + "\\Touch Marker.exe";
}

// The marker's text once the helper wrote it (within a minute), else nothing.
std::string awaitMarker(const std::string &folder)
{
    for (int i = 0; i < 1200 && !exists(folder + "\\marker.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return readFile(folder + "\\marker.txt");
}

const char *const startedNormally = "arguments=0\nuseShowWindow=1\nshowWindow=1\n";

// tempPath() while TMP names another folder.
std::string tempPathWith(const std::string &folder)
{
    std::wstring old(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"TMP", old.data(), DWORD(old.size()));
    old.resize(std::min<size_t>(length, old.size()));
    fs::create_directories(toWide(folder));
    SetEnvironmentVariableW(L"TMP", toWide(folder).c_str());
    const std::string path = tempPath();
    SetEnvironmentVariableW(L"TMP", length > 0 && length < 32768 ? old.c_str() : nullptr);
    return path;
}

void testTempFolder()
{
    const std::string path = tempPath();
    CHECK(!path.empty() && path.back() == '\\' && fs::is_directory(toWide(path)));
    // Longer than the first 256-character buffer, yet within the system's own limit.
    std::string longFolder = freshFolder(L"temp");
    while (longFolder.size() < 256)
        longFolder += "\\" + std::string(std::clamp<size_t>(255 - longFolder.size(), 1, 40), 'x');
    CHECK(tempPathWith(longFolder) == longFolder + "\\");
    // A folder name outside the ANSI code page.
    if (GetACP() == CP_UTF8)
        note("the ANSI code page is UTF-8 here; the fallback for other code pages is not tested");
    const std::string unusual = freshFolder(L"temp\\\u03a9\u0416\u4e2d");
    CHECK(tempPathWith(unusual) == unusual + "\\");
}

void testListing()
{
    const std::string folder = freshFolder(L"listing");
    for (const char *name :
         {"b.exe", "A.exe", "readme.txt", "D\xc3\xa9mo \xce\xa9.exe", "hidden.exe", "system.exe"})
        writeFile(folder + "\\" + name, "x");
    setAttributes(folder + "\\hidden.exe", FILE_ATTRIBUTE_HIDDEN);
    setAttributes(folder + "\\system.exe", FILE_ATTRIBUTE_SYSTEM);
    fs::create_directories(toWide(folder + "\\Sub.exe"));

    for (const std::string &spelled : {folder, folder + "\\"}) {
        FileList list = listVisibleFiles(spelled);
        std::sort(list.names.begin(), list.names.end());
        CHECK(list.error == 0 &&
              list.names == std::vector<std::string>{"A.exe", "D\xc3\xa9mo \xce\xa9.exe", "b.exe",
                                                     "readme.txt"});
    }
    const FileList empty = listVisibleFiles(freshFolder(L"listing-empty"));
    CHECK(empty.error == 0 && empty.names.empty());
    const FileList missing = listVisibleFiles(folder + "\\no such folder");
    CHECK(missing.names.empty() && classify(missing.error) == Failure::PathNotFound);
}

void testCopy()
{
    const std::string folder = freshFolder(L"copy");
    const std::string source = folder + "\\new.exe";
    const std::string destination = folder + "\\QVX3 Ticket Setup.exe";
    const std::vector<std::string> both = {"QVX3 Ticket Setup.exe", "new.exe"};
    // Whatever the outcome, no copy of its own is left beside the destination.
    const auto copy = [&](const std::string &from, const std::string &to) {
        const ErrorCode error = copyFileReplacing(from, to);
        if (!CHECK(allEntries(folder) == both))
            std::printf("  after copying %s to %s\n", from.c_str(), to.c_str());
        return error;
    };
    // A refusal leaves the destination whole, if this system refuses at all.
    const auto refused = [&](ErrorCode error, const char *why, Failure expected,
                             Failure alike = Failure::None) {
        if (error == 0)
            return note(why);
        CHECK(classify(error) == expected || classify(error) == alike);
        CHECK(readFile(destination) == "the old demo");
    };
    writeFile(source, "the new demo");
    writeFile(destination, "the old demo, which was longer");
    CHECK(copy(source, destination) == 0);
    CHECK(readFile(destination) == "the new demo" && readFile(source) == "the new demo");

    writeFile(destination, "the old demo");
    const ErrorCode missing = copy(folder + "\\Qvx3_Tic.exe", destination);
    CHECK(missing == ERROR_FILE_NOT_FOUND && classify(missing) == Failure::FileNotFound);
    CHECK(readFile(destination) == "the old demo");
    CHECK(classify(copy(source, folder + "\\missing\\x.exe")) == Failure::PathNotFound);

    // A source that cannot be read to its end.
    const std::string big = folder + "\\big.exe";
    writeFile(big, std::string(4 << 20, 'n'));
    const HANDLE locker = CreateFileW(toWide(big).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED middle{};
    middle.Offset = 2 << 20;
    CHECK(
        LockFileEx(locker, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &middle));
    const bool lockHolds = readFile(big).size() < size_t(4 << 20);
    const ErrorCode cut = lockHolds ? copyFileReplacing(big, destination) : 0;
    UnlockFileEx(locker, 0, 1, 0, &middle);
    CloseHandle(locker);
    DeleteFileW(toWide(big).c_str());
    CHECK(allEntries(folder) == both);
    refused(cut, "locked bytes can be read here", Failure::FileInUse);

    // A destination held open by someone who does not let it be deleted is not replaced, and
    // the copy made for it goes away although the read-only source made it read-only.
    setAttributes(source, FILE_ATTRIBUTE_READONLY);
    const HANDLE held =
        CreateFileW(toWide(destination).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const ErrorCode busy = copy(source, destination);
    CloseHandle(held);
    refused(busy, "a destination held open was replaced here", Failure::FileInUse,
            Failure::AccessDenied);

    // As the system's own copy does, the source's attributes come along.
    CHECK(copy(source, destination) == 0);
    CHECK(readFile(destination) == "the new demo" &&
          (attributes(destination) & FILE_ATTRIBUTE_READONLY));
}

void testAttributesAndDelete()
{
    const std::string folder = freshFolder(L"delete");
    const std::string file = folder + "\\ZIP_ticket_setup.exe";
    writeFile(file, "archive");
    setAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE);
    CHECK(classify(deleteFile(file)) == Failure::AccessDenied && exists(file));
    CHECK(resetAttributes(file) == 0);
    const DWORD reset = attributes(file);
    if (reset & FILE_ATTRIBUTE_ARCHIVE)
        note("this system reports every file as archive; that bit is not tested");
    CHECK((reset & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ==
              0 &&
          (reset == FILE_ATTRIBUTE_NORMAL || (reset & FILE_ATTRIBUTE_ARCHIVE)));
    CHECK(classify(resetAttributes(folder + "\\missing.exe")) == Failure::FileNotFound);

    // Held open by someone who does not let it be deleted.
    const HANDLE held =
        CreateFileW(toWide(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    CHECK(classify(deleteFile(file)) == Failure::FileInUse && exists(file));
    CloseHandle(held);

    CHECK(deleteFile(file) == 0 && !exists(file));
    CHECK(classify(deleteFile(file)) == Failure::FileNotFound);
    CHECK(classify(deleteFile(folder + "\\missing\\x.exe")) == Failure::PathNotFound);
}

void testStartProgram()
{
    const std::string programs = freshFolder(L"start\\Demo Programs");
    const std::string working = freshFolder(L"start\\Working Folder");
    const std::string helper = placeHelper(programs);

    const auto before = std::chrono::steady_clock::now();
    CHECK(startProgram(helper, working) == 0);
    // The helper pauses before it writes: no marker yet means nobody waited for it.
    CHECK(std::chrono::steady_clock::now() - before < std::chrono::seconds(1));
    CHECK(!exists(working + "\\marker.txt"));
    CHECK(awaitMarker(working) == startedNormally);
    CHECK(!exists(programs + "\\marker.txt"));

    CHECK(classify(startProgram(programs + "\\Missing Demo.exe", working)) ==
          Failure::FileNotFound);
    writeFile(programs + "\\Not A Program.exe", "text, not a program");
    CHECK(startProgram(programs + "\\Not A Program.exe", working) != 0);
}

// The started program's end and exit code are seen without waiting for it.
void testTrackedProgram()
{
    const std::string programs = freshFolder(L"tracked\\Demo Programs");
    const std::string working = freshFolder(L"tracked\\Working Folder");
    const std::string helper = placeHelper(programs);
    const auto awaitEnd = [](StartedProgram &program) {
        for (int i = 0; i < 1200 && !program.ended(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return program.ended();
    };

    StartedProgram program;
    CHECK(program.start(helper, working) == 0);
    // The helper pauses before it writes: running still.
    CHECK(!program.ended());
    CHECK(awaitEnd(program) && program.exitCode() == 0);
    CHECK(readFile(working + "\\marker.txt") == startedNormally);

    // A folder where its marker goes makes the helper fail.
    const std::string blocked = freshFolder(L"tracked\\Blocked");
    fs::create_directories(toWide(blocked + "\\marker.txt"));
    StartedProgram failing;
    CHECK(failing.start(helper, blocked) == 0);
    CHECK(awaitEnd(failing) && failing.exitCode() == 1);

    // Dropped while it runs: the program goes on and writes its marker.
    const std::string later = freshFolder(L"tracked\\Dropped");
    {
        StartedProgram dropped;
        CHECK(dropped.start(helper, later) == 0);
        CHECK(!dropped.ended());
    }
    CHECK(awaitMarker(later) == startedNormally);
}

// One folder under two spellings, folders that take new files, names of any kind.
void testFolderProbes()
{
    const std::string folder = freshFolder(L"probes\\App Folder");
    const std::string other = freshFolder(L"probes\\Other");
    writeFile(folder + "\\a.exe", "a");
    CHECK(sameFile(folder, folder + "\\"));
    CHECK(sameFile(folder, folder + "\\..\\App Folder"));
    CHECK(!sameFile(folder, other));
    CHECK(!sameFile(folder, folder + "\\missing"));

    CHECK(canCreateIn(folder) == 0);
    CHECK(allEntries(folder) == std::vector<std::string>{"a.exe"});
    CHECK(classify(canCreateIn(folder + "\\missing")) == Failure::PathNotFound);

    CHECK(exists(folder) && exists(folder + "\\a.exe") && !exists(folder + "\\b.exe"));
}

void testShellOpen()
{
    // With no folder given, the shell starts a program in the caller's working folder.
    const std::string programs = freshFolder(L"shell\\Demo Programs");
    const std::string working = freshFolder(L"shell\\Working Folder");
    const fs::path previous = fs::current_path();
    fs::current_path(toWide(working));
    shellOpen(placeHelper(programs));
    CHECK(awaitMarker(working) == startedNormally);
    // Targets nothing can open come back quietly (the call returning is the check).
    shellOpen("qvx-no-such-scheme:nothing");
    shellOpen(programs + "\\No Such Page.htm");
    shellOpen("");
    fs::current_path(previous);
}

void testHelpViewer()
{
    // The viewer's own window needs a display; here the calls must reach it and return.
    const std::string missingFile = freshFolder(L"help") + "\\Quorvex Demos.chm";
    CHECK(htmlHelp(0, missingFile, 1, 0));
    CHECK(htmlHelp(0, "ms-its:" + missingFile + "::/Welcome.htm", 1, 0));
    closeAllHelp();
}

void testHelpViewerMissing()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    if (!CHECK(!LoadLibraryW((std::wstring(system) + L"\\hhctrl.ocx").c_str())))
        return note("the help library loads here; run this group with it disabled");
    CHECK(!htmlHelp(0, "C:\\Quorvex Demos.chm", 1, 0));
    closeAllHelp();
}

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
        return toUtf8(value);
    };
    CHECK(text(L"FileVersion") == "2.00" && text(L"ProductVersion") == "2.00");
    CHECK(text(L"FileDescription") == "Loader for movies.");
    CHECK(text(L"ProductName") == "Quorvex Demo Player");
    CHECK(text(L"InternalName") == "QVX Demo Player");
    CHECK(!text(L"LegalCopyright").empty());

    // The first icon group is the 32 by 32 camera, in 16 colours.
    HRSRC group = FindResourceW(nullptr, L"IDI_ICON1", reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    const auto *bytes =
        group ? static_cast<const unsigned char *>(LockResource(LoadResource(nullptr, group)))
              : nullptr;
    // Icon directory: reserved, type, count, then entries of width, height, colours...
    CHECK(bytes && bytes[4] >= 1 && bytes[6] == 32 && bytes[7] == 32 && bytes[8] == 16);
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
                  {"start", testStartProgram},
                  {"tracked", testTrackedProgram},
                  {"probes", testFolderProbes},
                  {"shell", testShellOpen},
                  {"help-viewer", testHelpViewer},
                  {"version-resource", testVersionResource},
                  {"help-viewer-missing", testHelpViewerMissing}};

    wchar_t temp[MAX_PATH + 1];
    workRoot = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"qvx-win32-test-" +
               std::to_wstring(GetCurrentProcessId());
    fs::create_directories(workRoot);
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

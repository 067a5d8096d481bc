// Tests of the Windows services against the real system calls (or Wine's).
//
//   win32_services_test                        every group except "help-viewer-missing"
//   win32_services_test GROUP...               the named groups only
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
#include <functional>
#include <sstream>
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
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL line %d: %s\n", line, what);
    }
    return ok;
}
#define CHECK(condition) check((condition), #condition, __LINE__)

void note(const std::string &text)
{
    std::printf("note: %s\n", text.c_str());
}

std::wstring workRoot;

// A new empty folder for one group.
std::wstring freshFolder(const std::wstring &name)
{
    const std::wstring folder = workRoot + L"\\" + name;
    fs::create_directories(folder);
    return folder;
}

std::string utf8(const std::wstring &wide)
{
    return toUtf8(wide);
}

void writeFile(const std::wstring &path, const std::string &contents)
{
    std::ofstream(fs::path(path), std::ios::binary) << contents;
}

std::string readFile(const std::wstring &path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every entry of a folder, hidden ones included, sorted.
std::vector<std::string> allEntries(const std::wstring &folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.push_back(utf8(entry.path().filename().wstring()));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Waits for a file to appear, up to the given time.
bool appears(const std::wstring &path, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return exists(path);
}

std::wstring ownFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring own(path, length);
    return own.substr(0, own.find_last_of(L'\\'));
}

// Puts the marker-writing helper program under a name and folder with blanks in them.
std::wstring placeHelper(const std::wstring &folder)
{
    const std::wstring helper = folder + L"\\Touch Marker.exe";
    CopyFileW((ownFolder() + L"\\touch_marker.exe").c_str(), helper.c_str(), FALSE);
    return helper;
}

void checkMarkerStartedNormally(const std::wstring &marker)
{
    const std::string text = readFile(marker);
    CHECK(text.find("arguments=0\n") != std::string::npos);
    CHECK(text.find("useShowWindow=1\n") != std::string::npos);
    CHECK(text.find("showWindow=1\n") != std::string::npos);
}

// Sets an environment variable for the rest of a scope.
class ScopedVariable
{
public:
    ScopedVariable(const wchar_t *name, const std::wstring &value) : m_name(name)
    {
        wchar_t old[32768];
        const DWORD length = GetEnvironmentVariableW(name, old, 32768);
        m_had = length > 0 && length < 32768;
        if (m_had)
            m_old.assign(old, length);
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(m_name, m_had ? m_old.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const wchar_t *m_name;
    std::wstring m_old;
    bool m_had = false;
};

void testTempFolder()
{
    const std::string path = tempPath();
    CHECK(!path.empty() && path.back() == '\\');
    CHECK(GetFileAttributesW(toWide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    // Longer than the first 256-character buffer, yet within the system's own limit:
    // returned whole, with its backslash added.
    std::wstring longFolder = freshFolder(L"temp");
    while (longFolder.size() < 256)
        longFolder +=
            L"\\" + std::wstring(std::clamp<size_t>(255 - longFolder.size(), 1, 40), L'x');
    fs::create_directories(longFolder);
    {
        ScopedVariable tmp(L"TMP", longFolder);
        CHECK(tempPath() == utf8(longFolder) + "\\");
    }

    // A folder name outside the ANSI code page still comes back right.
    if (GetACP() == CP_UTF8)
        note("the ANSI code page is UTF-8 here; the fallback for other code pages is not tested");
    const std::wstring unusual = freshFolder(L"temp\\\u03a9\u0416\u4e2d");
    {
        ScopedVariable tmp(L"TMP", unusual);
        CHECK(tempPath() == utf8(unusual) + "\\");
    }
}

void testListing()
{
    const std::wstring folder = freshFolder(L"listing");
    for (const wchar_t *name :
         {L"b.exe", L"A.exe", L"readme.txt", L"D\u00e9mo \u03a9.exe", L"hidden.exe", L"system.exe"})
        writeFile(folder + L"\\" + name, "x");
    SetFileAttributesW((folder + L"\\hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((folder + L"\\system.exe").c_str(), FILE_ATTRIBUTE_SYSTEM);
    fs::create_directories(folder + L"\\Sub.exe");
    fs::create_directories(folder + L"\\HiddenSub");
    SetFileAttributesW((folder + L"\\HiddenSub").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);

    const std::vector<std::string> expected = {"A.exe", "D\xc3\xa9mo \xce\xa9.exe", "b.exe",
                                               "readme.txt"};
    const FileList list = listVisibleFiles(utf8(folder));
    CHECK(list.error == 0);
    CHECK(sorted(list.names) == expected);
    CHECK(sorted(listVisibleFiles(utf8(folder) + "\\").names) == expected);

    const FileList empty = listVisibleFiles(utf8(freshFolder(L"listing-empty")));
    CHECK(empty.error == 0 && empty.names.empty());

    const FileList missing = listVisibleFiles(utf8(folder) + "\\no such folder");
    CHECK(missing.names.empty());
    CHECK(classify(missing.error) == Failure::PathNotFound);
}

void testCopy()
{
    const std::wstring folder = freshFolder(L"copy");
    const std::wstring source = folder + L"\\new.exe";
    const std::wstring destination = folder + L"\\QVX3 Ticket Setup.exe";
    writeFile(source, "the new demo");
    writeFile(destination, "the old demo, which was longer");

    CHECK(copyFileReplacing(utf8(source), utf8(destination)) == 0);
    CHECK(readFile(destination) == "the new demo");
    CHECK(readFile(source) == "the new demo");
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));

    // A missing source changes nothing.
    writeFile(destination, "the old demo");
    const ErrorCode missing =
        copyFileReplacing(utf8(folder + L"\\Qvx3_Tic.exe"), utf8(destination));
    CHECK(missing == ERROR_FILE_NOT_FOUND);
    CHECK(classify(missing) == Failure::FileNotFound);
    CHECK(readFile(destination) == "the old demo");
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));

    CHECK(classify(copyFileReplacing(utf8(source), utf8(folder + L"\\missing\\x.exe"))) ==
          Failure::PathNotFound);
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));

    // A source that cannot be read to its end leaves the destination as it was.
    const std::wstring big = folder + L"\\big.exe";
    writeFile(big, std::string(4 << 20, 'n'));
    const HANDLE locker =
        CreateFileW(big.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED middle{};
    middle.Offset = 2 << 20;
    CHECK(
        LockFileEx(locker, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &middle));
    if (readFile(big).size() == size_t(4 << 20)) {
        note("this system lets locked bytes be read; a copy failing half-way is not tested");
    } else {
        const ErrorCode cut = copyFileReplacing(utf8(big), utf8(destination));
        CHECK(classify(cut) == Failure::FileInUse);
        CHECK(readFile(destination) == "the old demo");
    }
    UnlockFileEx(locker, 0, 1, 0, &middle);
    CloseHandle(locker);
    DeleteFileW(big.c_str());
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));

    // A refused replacement leaves the destination whole and takes its read-only copy away.
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY);
    const ErrorCode refused = copyFileReplacing(utf8(source), utf8(destination));
    if (refused == 0) {
        note("this system replaced a read-only destination; refusal not tested");
    } else {
        CHECK(classify(refused) == Failure::AccessDenied);
        CHECK(readFile(destination) == "the old demo");
    }
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A destination someone holds open without letting it be deleted is not replaced, and
    // the copy made for it goes away although the read-only source made it read-only.
    writeFile(destination, "the old demo");
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE held =
        CreateFileW(destination.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const ErrorCode busy = copyFileReplacing(utf8(source), utf8(destination));
    CloseHandle(held);
    if (busy == 0) {
        note("this system replaced a destination held open; refusal not tested");
    } else {
        CHECK(classify(busy) == Failure::FileInUse || classify(busy) == Failure::AccessDenied);
        CHECK(readFile(destination) == "the old demo");
    }
    writeFile(destination, "the old demo");
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Copying a read-only file over a writable one keeps the source's attributes, as the
    // system's own copy does.
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(copyFileReplacing(utf8(source), utf8(destination)) == 0);
    CHECK(readFile(destination) == "the new demo");
    CHECK(GetFileAttributesW(destination.c_str()) & FILE_ATTRIBUTE_READONLY);
    CHECK(allEntries(folder) == sorted({"new.exe", "QVX3 Ticket Setup.exe"}));
}

void testAttributesAndDelete()
{
    const std::wstring folder = freshFolder(L"delete");
    const std::wstring file = folder + L"\\ZIP_ticket_setup.exe";
    writeFile(file, "archive");

    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    CHECK(classify(deleteFile(utf8(file))) == Failure::AccessDenied);
    CHECK(exists(file));
    CHECK(resetAttributes(utf8(file)) == 0);
    const DWORD reset = GetFileAttributesW(file.c_str());
    CHECK((reset & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0);
    if (reset & FILE_ATTRIBUTE_ARCHIVE)
        note("this system reports every file as archive; that bit is not tested");
    else
        CHECK(reset == FILE_ATTRIBUTE_NORMAL);
    CHECK(classify(resetAttributes(utf8(folder + L"\\missing.exe"))) == Failure::FileNotFound);

    // A file someone holds open without letting it be deleted stays, and that is reported.
    const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    const ErrorCode inUse = deleteFile(utf8(file));
    CHECK(inUse != 0);
    CHECK(classify(inUse) == Failure::FileInUse);
    CHECK(exists(file));
    CloseHandle(held);

    CHECK(deleteFile(utf8(file)) == 0);
    CHECK(!exists(file));
    CHECK(classify(deleteFile(utf8(file))) == Failure::FileNotFound);
    CHECK(classify(deleteFile(utf8(folder + L"\\missing\\x.exe"))) == Failure::PathNotFound);
}

void testStartProgram()
{
    const std::wstring programs = freshFolder(L"start\\Demo Programs");
    const std::wstring working = freshFolder(L"start\\Working Folder");
    const std::wstring helper = placeHelper(programs);
    const std::wstring marker = working + L"\\marker.txt";

    const auto before = std::chrono::steady_clock::now();
    CHECK(startProgram(utf8(helper), utf8(working)) == 0);
    const auto took = std::chrono::steady_clock::now() - before;
    // The helper pauses before it writes: no marker yet means nobody waited for it.
    CHECK(!exists(marker));
    CHECK(took < std::chrono::milliseconds(1000));
    if (CHECK(appears(marker, std::chrono::seconds(60))))
        checkMarkerStartedNormally(marker);
    CHECK(!exists(programs + L"\\marker.txt"));

    CHECK(classify(startProgram(utf8(programs + L"\\Missing Demo.exe"), utf8(working))) ==
          Failure::FileNotFound);
    const std::wstring notAProgram = programs + L"\\Not A Program.exe";
    writeFile(notAProgram, "text, not a program");
    CHECK(startProgram(utf8(notAProgram), utf8(working)) != 0);
}

void testShellOpen()
{
    // With no folder given, the shell starts a program in the caller's working folder.
    const std::wstring programs = freshFolder(L"shell\\Demo Programs");
    const std::wstring working = freshFolder(L"shell\\Working Folder");
    const std::wstring helper = placeHelper(programs);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(working.c_str());

    shellOpen(utf8(helper));
    if (CHECK(appears(working + L"\\marker.txt", std::chrono::seconds(60))))
        checkMarkerStartedNormally(working + L"\\marker.txt");

    // Targets nothing can open come back quietly (the call returning is the check).
    shellOpen("qvx-no-such-scheme:nothing");
    shellOpen(utf8(programs + L"\\No Such Page.htm"));
    shellOpen("");
    SetCurrentDirectoryW(previous);
    note("shell error dialogs, if the shell shows any, need a display; not tested here");
}

void testHelpViewer()
{
    const std::string missingFile = utf8(freshFolder(L"help")) + "\\Quorvex Demos.chm";
    CHECK(htmlHelp(0, missingFile, 1, 0));
    CHECK(htmlHelp(0, "ms-its:" + missingFile + "::/Welcome.htm", 1, 0));
    CHECK(htmlHelp(0, missingFile, 2, 0));
    closeAllHelp();
    note("the viewer's own window needs a display; only the calls are tested here");
}

void testHelpViewerMissing()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const HMODULE probe = LoadLibraryW((std::wstring(system) + L"\\hhctrl.ocx").c_str());
    if (!CHECK(probe == nullptr)) {
        note("the help library loads here; run this group with it disabled");
        return;
    }
    CHECK(!htmlHelp(0, "C:\\Quorvex Demos.chm", 1, 0));
    closeAllHelp();
}

void testVersionResource()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &ignored);
    if (!CHECK(size > 0))
        return;
    std::vector<char> info(size);
    CHECK(GetFileVersionInfoW(self, 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (CHECK(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) &&
              fixed)) {
        CHECK(fixed->dwFileVersionMS == MAKELONG(0, 2) && fixed->dwFileVersionLS == 0);
        CHECK(fixed->dwProductVersionMS == MAKELONG(0, 2) && fixed->dwProductVersionLS == 0);
    }
    auto text = [&](const wchar_t *name) {
        wchar_t *value = nullptr;
        UINT chars = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void **>(&value), &chars) ||
            !value)
            return std::string();
        return utf8(value);
    };
    CHECK(text(L"FileVersion") == "2.00");
    CHECK(text(L"ProductVersion") == "2.00");
    CHECK(text(L"FileDescription") == "Loader for movies.");
    CHECK(text(L"ProductName") == "Quorvex Demo Player");
    CHECK(text(L"InternalName") == "QVX Demo Player");
    CHECK(!text(L"LegalCopyright").empty());

    // The first icon group is the 32 by 32 camera, in 16 colours.
    HRSRC group = FindResourceW(nullptr, L"IDI_ICON1", reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    if (CHECK(group != nullptr)) {
        const auto *bytes =
            static_cast<const unsigned char *>(LockResource(LoadResource(nullptr, group)));
        // Icon directory: reserved, type, count, then entries of width, height, colours...
        CHECK(bytes && bytes[4] >= 1 && bytes[6] == 32 && bytes[7] == 32 && bytes[8] == 16);
    }
}

struct Group
{
    const char *name;
    std::function<void()> run;
    bool byDefault;
};

// Read-only files would stop the removal.
void removeTree(const std::wstring &root)
{
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(root, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (!entry->is_directory(error))
            SetFileAttributesW(entry->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(root, error);
    if (error)
        note("could not remove the work folder: " + error.message());
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<Group> groups = {
        {"temp-folder", testTempFolder, true},
        {"listing", testListing, true},
        {"copy", testCopy, true},
        {"delete", testAttributesAndDelete, true},
        {"start", testStartProgram, true},
        {"shell", testShellOpen, true},
        {"help-viewer", testHelpViewer, true},
        {"version-resource", testVersionResource, true},
        {"help-viewer-missing", testHelpViewerMissing, false},
    };

    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    workRoot =
        std::wstring(temp, length) + L"qvx-win32-test-" + std::to_wstring(GetCurrentProcessId());
    fs::create_directories(workRoot);

    for (const Group &group : groups) {
        bool chosen = argc <= 1 ? group.byDefault : false;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], group.name) == 0;
        if (!chosen)
            continue;
        std::printf("-- %s\n", group.name);
        std::fflush(stdout);
        group.run();
    }
    removeTree(workRoot);

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

// Tests of the Windows sample demo and the marker demo, run as they are run by Play.
//
//   sample_demos_test SAMPLE_DEMO MARKER_DEMO [no-windows]
//
// "no-windows" leaves out the sample demo's window, for a run without a display. The last
// line of output is "N passed, M failed".
#include "qvx/platform/Handles.h"
#include "qvx/platform/Win32.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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

std::string utf8(const fs::path &path)
{
    const std::u8string bytes = path.u8string();
    return {bytes.begin(), bytes.end()};
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Started
{
    DWORD id = 0;
    qvx::KernelHandle process;
};

// Started in its own folder with no arguments, as Play starts a demo.
Started start(const fs::path &program, const fs::path &folder)
{
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return {};
    const qvx::KernelHandle thread(process.hThread);
    return {process.dwProcessId, qvx::KernelHandle(process.hProcess)};
}

bool endsWithin(const Started &started, DWORD milliseconds)
{
    return started.process &&
           WaitForSingleObject(started.process.get(), milliseconds) == WAIT_OBJECT_0;
}

void stop(Started &started)
{
    if (started.process && !endsWithin(started, 0))
        TerminateProcess(started.process.get(), 1);
    started = {};
}

struct WindowSearch
{
    DWORD processId;
    HWND found;
};

HWND visibleWindowOf(const Started &started)
{
    WindowSearch search{started.id, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto *wanted = reinterpret_cast<WindowSearch *>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != wanted->processId || !IsWindowVisible(window))
                return TRUE;
            wanted->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const Started &started)
{
    for (int i = 0; i < 300; ++i) {
        if (HWND window = visibleWindowOf(started))
            return window;
        std::this_thread::sleep_for(100ms);
    }
    return nullptr;
}

std::wstring titleOf(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

void sampleDemoShowsItsNameAndEnds(const fs::path &sample, const fs::path &root)
{
    // A name with blanks and letters outside ASCII, as a delivered demo may have.
    const fs::path demo = root / L"Billets \u00e9t\u00e9 2.exe";
    fs::copy_file(sample, demo);

    Started played = start(demo, root);
    HWND window = waitForWindow(played);
    if (CHECK(window != nullptr))
        CHECK(titleOf(window) == L"Billets \u00e9t\u00e9 2");
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    CHECK(endsWithin(played, 10000));
    stop(played);

    // Left alone, it ends after its presentation instead of staying open.
    Started left = start(demo, root);
    CHECK(waitForWindow(left) != nullptr);
    CHECK(!endsWithin(left, 3000));
    CHECK(endsWithin(left, 40000));
    stop(left);
}

void markerDemoWritesWhereItRan(const fs::path &marker, const fs::path &root)
{
    const fs::path folder = root / L"Demos \u00e9t\u00e9";
    fs::create_directories(folder);
    const fs::path demo = folder / L"Reports.exe";
    fs::copy_file(marker, demo);

    const fs::path named = root / L"marker.txt";
    SetEnvironmentVariableW(L"QVX_MARKER_FILE", named.c_str());
    Started run = start(demo, folder);
    DWORD code = 1;
    CHECK(endsWithin(run, 30000) && GetExitCodeProcess(run.process.get(), &code) && code == 0);
    stop(run);
    CHECK(readFile(named) == "path=" + utf8(demo) + "\r\nfolder=" + utf8(folder) + "\r\n");
    CHECK(!fs::exists(fs::path(demo) += L".marker"));

    // Without the variable, next to itself; the working folder is whatever it was given.
    SetEnvironmentVariableW(L"QVX_MARKER_FILE", nullptr);
    run = start(demo, root);
    CHECK(endsWithin(run, 30000));
    stop(run);
    CHECK(readFile(fs::path(demo) += L".marker") ==
          "path=" + utf8(demo) + "\r\nfolder=" + utf8(root) + "\r\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::printf("usage: sample_demos_test SAMPLE_DEMO MARKER_DEMO [no-windows]\n");
        return 2;
    }
    const fs::path sample = fs::absolute(argv[1]);
    const fs::path marker = fs::absolute(argv[2]);
    const bool windows = !(argc > 3 && std::strcmp(argv[3], "no-windows") == 0);

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const fs::path root = fs::path(temp) / (L"qvx-demos-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(root);
    fs::create_directories(root);

    markerDemoWritesWhereItRan(marker, root);
    if (windows)
        sampleDemoShowsItsNameAndEnds(sample, root);
    else
        std::printf("note: no display; the sample demo's window is not tested\n");

    std::error_code ignored;
    fs::remove_all(root, ignored);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

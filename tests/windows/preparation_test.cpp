// Preparation of delivered demos against real self-extracting archives, the system's own
// message boxes and file operations. Run from the application folder it works in, which
// holds besides itself:
//   ZIP_ticket_setup.exe  an archive that unpacks "Qvx3_Tic.exe" into its working folder
//   expected-demo.bin     what that archive carries
//   broken-archive.bin    an archive that unpacks nothing
// The message boxes are answered from a second thread, as a user would. The last line of
// output is "N passed, M failed".
#include "qvx/core/DemoPreparation.h"
#include "qvx/core/FileList.h"
#include "qvx/platform/Handles.h"
#include "qvx/platform/WideText.h"
#include "qvx/platform/WindowsPlatform.h"

#include "qvx/platform/Win32.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, int line)
{
    ++(ok ? passed : failed);
    if (!ok)
        std::printf("FAIL line %d: %s\n", line, what);
}
#define CHECK(...) check((__VA_ARGS__), #__VA_ARGS__, __LINE__)

using qvx::narrow;

struct Shown
{
    std::string title;
    std::string text;
};

// Answers every message box of this process with the chosen button and keeps what it said.
class Answerer
{
public:
    explicit Answerer(int button) : m_button(button)
    {
        m_thread.reset(CreateThread(
            nullptr, 0,
            [](void *self) -> DWORD {
                static_cast<Answerer *>(self)->loop();
                return 0;
            },
            this, 0, nullptr));
    }
    ~Answerer() { stop(); }
    Answerer(const Answerer &) = delete;
    Answerer &operator=(const Answerer &) = delete;

    // What the boxes said, once the answering has stopped.
    const std::vector<Shown> &stop()
    {
        if (m_thread) {
            m_stop = true;
            WaitForSingleObject(m_thread.get(), INFINITE);
            m_thread.reset();
        }
        return m_shown;
    }

private:
    void loop()
    {
        HWND answered = nullptr;
        while (!m_stop) {
            HWND box = nullptr;
            findBox(box);
            if (box && box != answered) {
                wchar_t title[256] = {};
                GetWindowTextW(box, title, 256);
                wchar_t text[2048] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 2048);
                m_shown.push_back({narrow(title), narrow(text)});
                // A box with only OK takes that for any answer.
                const int button = GetDlgItem(box, m_button) ? m_button : IDOK;
                PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
                answered = box;
            }
            Sleep(100);
        }
    }
    static void findBox(HWND &box)
    {
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
                    std::wstring(name) != L"#32770")
                    return TRUE;
                *reinterpret_cast<HWND *>(data) = window;
                return FALSE;
            },
            LPARAM(&box));
    }

    int m_button;
    std::atomic<bool> m_stop{false};
    std::vector<Shown> m_shown;
    qvx::KernelHandle m_thread;
};

// The main window's part of a run, kept for the checks.
class View final : public qvx::PreparationView
{
public:
    explicit View(qvx::Platform &platform) : m_files(platform) {}

    bool isOpen() const override { return true; }
    std::vector<fs::path> listFiles(const fs::path &folder, std::string_view pattern) override
    {
        m_files.setPath(folder);
        m_files.setPattern(pattern);
        return m_files.names();
    }
    void clearDemoList() override { ++listCleared; }
    void resetDemoListText() override {}
    void showProgressFrame() override { frameShown = true; }
    void hideProgressFrame() override { frameShown = false; }
    void setMenusEnabled(bool enabled) override { menusEnabled = enabled; }

    int listCleared = 0;
    bool frameShown = false;
    bool menusEnabled = true;

private:
    qvx::FileList m_files;
};

std::string contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool startsWithNumber(const std::string &text)
{
    return !text.empty() && text[0] >= '1' && text[0] <= '9';
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

int main()
{
    qvx::WindowsPlatform platform;
    const fs::path app = platform.applicationFolder();
    const fs::path temp = platform.tempFolder();
    const fs::path archive = app / "ZIP_ticket_setup.exe";
    const fs::path demo = app / "QVX3 Ticket Setup.exe";
    const std::string carried = contents(app / "expected-demo.bin");
    if (carried.empty() || !fs::exists(archive)) {
        std::puts("the application folder is not laid out for this test");
        return 1;
    }

    std::puts("== an archive that unpacks its demo");
    {
        View view(platform);
        Answerer answerer(IDOK);
        const auto outcome = qvx::DemoPreparation(platform, view).run(false);
        const std::vector<Shown> shown = answerer.stop();
        CHECK(outcome == qvx::DemoPreparation::Outcome::Finished);
        CHECK(shown.size() == 2);
        if (shown.size() == 2) {
            CHECK(shown[0].title == "Preparing New Files");
            CHECK(shown[0].text ==
                  "A new demo has been found. The program will take a moment to prepare the "
                  "files.\r\rThe DOS window will open as the files are extracted. If it does not "
                  "close automatically, you may close it when the process is finished.");
            CHECK(shown[1].title == "Finished");
            CHECK(shown[1].text == "The new files are now ready to use.");
        }
        CHECK(contents(demo) == carried);
        CHECK(!fs::exists(archive));
        CHECK(!fs::exists(app / "Qvx3_Tic.exe"));
        CHECK(!fs::exists(temp / "ZIP_ticket_setup.exe"));
        CHECK(view.listCleared == 1);
        CHECK(!view.frameShown && view.menusEnabled);
    }

    std::puts("== an archive that unpacks nothing");
    const fs::path broken = app / "ZIP_help.exe";
    fs::copy_file(app / "broken-archive.bin", broken);
    {
        View view(platform);
        Answerer answerer(IDOK);
        const auto outcome = qvx::DemoPreparation(platform, view).run(false);
        const std::vector<Shown> shown = answerer.stop();
        CHECK(outcome == qvx::DemoPreparation::Outcome::Failed);
        CHECK(shown.size() == 2);
        if (shown.size() == 2) {
            CHECK(shown[1].title == "Error");
            CHECK(startsWithNumber(shown[1].text));
            CHECK(endsWith(shown[1].text,
                           "\r\rCan not prepare demo. Contact Brenlowe for assistance."));
        }
        // Nothing undone, and the archive is there for the next run.
        CHECK(fs::exists(broken));
        CHECK(contents(demo) == carried);
        CHECK(!view.frameShown && view.menusEnabled);
    }

    // The failed run left its copy in the temporary folder.
    std::error_code ignored;
    fs::remove(temp / "ZIP_help.exe", ignored);

    std::puts("== the user declines");
    {
        View view(platform);
        Answerer answerer(IDCANCEL);
        const auto outcome = qvx::DemoPreparation(platform, view).run(false);
        const std::vector<Shown> shown = answerer.stop();
        CHECK(outcome == qvx::DemoPreparation::Outcome::Cancelled);
        CHECK(shown.size() == 1);
        CHECK(fs::exists(broken));
        CHECK(!fs::exists(temp / "ZIP_help.exe"));
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

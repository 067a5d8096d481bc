// Drives the running program from outside, as a user would, and prints what it sees.
//
//   probe [--form about] [--title TITLE] VERB [ARGUMENTS]
//
// Controls and menu items are named as in the window designs; a control array element is
// written "name(index)". Every read of the other program's windows has a timeout, so a hung
// program makes a verb fail instead of hanging it. Exit status 0 means the verb did what it
// was asked; results go to standard output, one item a line, in UTF-8.
//
// Copied under another name (as a demo), it writes "path=" its own path and "folder=" its
// working folder, CR LF after each, to the file QVX_MARKER_FILE names, or else to its own
// path followed by ".marker", as the marker demo of the sample tree does.
#include "qvx/core/Design.h"
#include "qvx/platform/Handles.h"
#include "qvx/platform/WideText.h"
#include "qvx/win/ControlIds.h"
#include "qvx/win/GdiObject.h"

#include "qvx/platform/Win32.h"

#include <ole2.h>
#include <oleacc.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr UINT replyMs = 5000;
constexpr int dialogTextId = 0xFFFF; // the message text of a system message box

const qvx::design::Form *form = &qvx::design::frmPlayDemos();
std::wstring windowTitle;

using qvx::narrow;

// Line breaks stay visible, so that a lone carriage return can be told from CR LF.
void printLine(std::wstring_view text)
{
    std::string line;
    for (char c : narrow(text)) {
        if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

int fail(const char *what)
{
    std::fprintf(stderr, "probe: %s\n", what);
    return 1;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR *result = nullptr)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, replyMs,
                               result ? result : &ignored) != 0;
}

std::wstring windowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!send(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!send(window, WM_GETTEXT, text.size(), LPARAM(text.data()), &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Visible top-level windows with exactly this title; message boxes too.
std::vector<HWND> topWindows(const std::wstring &title)
{
    struct Search
    {
        const std::wstring *title;
        std::vector<HWND> found;
    } search{&title, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(data);
            wchar_t text[512] = {};
            // Reading our own copy of the title: no message goes to the other program.
            InternalGetWindowText(window, text, 512);
            if (IsWindowVisible(window) && *s.title == text)
                s.found.push_back(window);
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

HWND waitForWindow(const std::wstring &title, double seconds)
{
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    do {
        if (const auto found = topWindows(title); !found.empty())
            return found.front();
        std::this_thread::sleep_for(50ms);
    } while (Clock::now() < end);
    return nullptr;
}

HWND targetWindow()
{
    return waitForWindow(windowTitle, 5);
}

// "name(index)" or "name".
bool parseName(std::string_view text, std::string &name, int &index)
{
    index = qvx::design::noIndex;
    const auto open = text.find('(');
    if (open == std::string_view::npos) {
        name = text;
        return !name.empty();
    }
    if (text.back() != ')')
        return false;
    name = text.substr(0, open);
    index = std::atoi(std::string(text.substr(open + 1, text.size() - open - 2)).c_str());
    return true;
}

int controlId(std::string_view controlName)
{
    std::string name;
    int index = 0;
    if (!parseName(controlName, name, index))
        return -1;
    const int id = qvx::win::controlId(*form, name, index);
    return id == 0 ? -1 : id;
}

HWND findControl(HWND top, int id)
{
    struct Search
    {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        top,
        [](HWND child, LPARAM data) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(data);
            // A combo box's own edit field carries the ID 1001 too.
            if (className(GetParent(child)) == L"ComboBox")
                return TRUE;
            if (GetDlgCtrlID(child) != s.id)
                return TRUE;
            s.found = child;
            return FALSE;
        },
        LPARAM(&search));
    return search.found;
}

HWND control(std::string_view controlName)
{
    const int id = controlId(controlName);
    if (id < 0)
        return nullptr;
    const HWND top = targetWindow();
    return top ? findControl(top, id) : nullptr;
}

HWND combo()
{
    return control("cboDemos");
}

std::vector<std::wstring> comboEntries(HWND box, bool &ok)
{
    std::vector<std::wstring> entries;
    DWORD_PTR count = 0;
    ok = send(box, CB_GETCOUNT, 0, 0, &count) && LRESULT(count) >= 0;
    for (DWORD_PTR i = 0; ok && i < count; ++i) {
        DWORD_PTR length = 0;
        ok = send(box, CB_GETLBTEXTLEN, i, 0, &length) && LRESULT(length) >= 0;
        if (!ok)
            break;
        std::wstring entry(length + 1, L'\0');
        ok = send(box, CB_GETLBTEXT, i, LPARAM(entry.data()));
        entry.resize(length);
        entries.push_back(entry);
    }
    return entries;
}

// Presses a button of a message box by its caption, access keys ignored.
bool pressButton(HWND dialog, const std::wstring &caption)
{
    struct Search
    {
        std::wstring caption;
        HWND found;
    } search{caption, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(data);
            if (className(child) != L"Button")
                return TRUE;
            std::wstring text;
            for (wchar_t c : windowText(child)) {
                if (c != L'&')
                    text += c;
            }
            if (_wcsicmp(text.c_str(), s.caption.c_str()) != 0)
                return TRUE;
            s.found = child;
            return FALSE;
        },
        LPARAM(&search));
    if (!search.found)
        return false;
    // Posted: the button's owner may go on to open another modal window.
    return PostMessageW(search.found, BM_CLICK, 0, 0) != 0;
}

DWORD processOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Whether the window's combo box has entries and the window is drawn, itself and every
// control in it. The combo answers only once the program is back at its message loop, so a
// list being filled counts when it is done; what is still to be painted is not yet shown.
bool listFilled(HWND window)
{
    HWND combo = FindWindowExW(window, nullptr, L"ComboBox", nullptr);
    DWORD_PTR count = 0;
    if (!combo ||
        SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) == 0 ||
        LRESULT(count) <= 0 || LRESULT(count) == CB_ERR)
        return false;
    bool painted = !GetUpdateRect(window, nullptr, FALSE);
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto &all = *reinterpret_cast<bool *>(data);
            all = all && (!IsWindowVisible(child) || !GetUpdateRect(child, nullptr, FALSE));
            return all;
        },
        LPARAM(&painted));
    return painted;
}

bool saveBitmap(HWND window, const std::wstring &file)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const qvx::WindowDc screenDc(nullptr);
    const HDC screen = screenDc.get();
    const qvx::MemoryDc memoryDc(CreateCompatibleDC(screen));
    const HDC memory = memoryDc.get();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    const qvx::win::Bitmap bitmap(
        CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const HGDIOBJ old = SelectObject(memory, bitmap.get());
    // From the screen, so that what is shown is what is saved, other windows included.
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    const DWORD rowBytes = DWORD((width * 3 + 3) & ~3);
    const DWORD imageBytes = rowBytes * DWORD(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageBytes;
    bool saved = false;
    if (copied && bits) {
        std::ofstream out(file.c_str(), std::ios::binary);
        out.write(reinterpret_cast<const char *>(&header), sizeof header);
        out.write(reinterpret_cast<const char *>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char *>(bits), imageBytes);
        saved = bool(out);
    }
    return saved;
}

// Started under a demo's name: leave a trace of how.
int actAsMarker()
{
    wchar_t self[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    wchar_t folder[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, folder);
    std::wstring target;
    if (const wchar_t *named = _wgetenv(L"QVX_MARKER_FILE"); named && *named)
        target = named;
    else
        target = std::wstring(self) + L".marker";
    const std::wstring partial = target + L".part";
    {
        std::ofstream out(partial.c_str(), std::ios::binary);
        out << "path=" << narrow(self) << "\r\nfolder=" << narrow(folder) << "\r\n";
        if (!out)
            return 1;
    }
    return MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

int usage()
{
    std::fputs("usage: probe [--form about] [--title TITLE] VERB [ARGUMENTS]\n"
               "  windows | wait-window TITLE SECONDS | wait-gone TITLE SECONDS\n"
               "  count TITLE | close-all TITLE | processes EXE\n"
               "  launch PROGRAM FOLDER TITLE SECONDS [filled] | memory\n"
               "  entries | text | set-text TEXT | choose INDEX\n"
               "  click CONTROL | option INDEX | menu ITEM | read CONTROL\n"
               "  visible [CONTROL] | enabled [CONTROL] | checked CONTROL | hear CONTROL\n"
               "  client-size | modules | answer TITLE BUTTON SECONDS | close | shot FILE\n",
               stderr);
    return 2;
}

int run(std::vector<std::wstring> args)
{
    while (args.size() >= 2 && (args[0] == L"--form" || args[0] == L"--title")) {
        if (args[0] == L"--title") {
            windowTitle = args[1];
        } else if (args[1] == L"about") {
            form = &qvx::design::frmAbout();
            windowTitle = L"About " + windowTitle;
        } else {
            return usage();
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return usage();
    std::wstring verb = args[0];
    const auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : std::wstring(); };
    const auto seconds = [&](std::size_t i) {
        return i < args.size() ? _wtof(args[i].c_str()) : 5.0;
    };

    if (verb == L"windows") {
        EnumWindows(
            [](HWND window, LPARAM) -> BOOL {
                wchar_t text[512] = {};
                InternalGetWindowText(window, text, 512);
                if (IsWindowVisible(window) && *text)
                    printLine(text);
                return TRUE;
            },
            0);
        return 0;
    }
    if (verb == L"wait-window")
        return waitForWindow(arg(1), seconds(2)) ? 0 : fail("no such window");
    if (verb == L"wait-gone") {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds(2));
        while (!topWindows(arg(1)).empty()) {
            if (Clock::now() >= end)
                return fail("the window is still there");
            std::this_thread::sleep_for(50ms);
        }
        return 0;
    }
    if (verb == L"close-all") {
        for (HWND window : topWindows(arg(1)))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (verb == L"processes") {
        // Running processes of this executable name, letter case ignored.
        const qvx::KernelHandle snapshotHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        const HANDLE snapshot = snapshotHandle.get();
        if (!snapshot)
            return fail("cannot list the processes");
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        int count = 0;
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry))
            count += _wcsicmp(entry.szExeFile, arg(1).c_str()) == 0;
        std::printf("%d\n", count);
        return 0;
    }
    if (verb == L"count") {
        std::printf("%zu\n", topWindows(arg(1)).size());
        return 0;
    }
    if (verb == L"launch") {
        // Milliseconds from the process's creation to its window being shown.
        std::wstring commandLine = L"\"" + arg(1) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const auto start = Clock::now();
        if (!CreateProcessW(arg(1).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            arg(2).c_str(), &startup, &process))
            return fail("cannot start the program");
        const qvx::KernelHandle thread(process.hThread);
        const qvx::KernelHandle started(process.hProcess);
        const auto end = start + std::chrono::duration<double>(seconds(4));
        while (Clock::now() < end) {
            for (HWND window : topWindows(arg(3))) {
                if (processOf(window) == process.dwProcessId) {
                    if (arg(5) == L"filled" && !listFilled(window))
                        continue;
                    const auto elapsed =
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                    std::printf("%lld\n", static_cast<long long>(elapsed.count()));
                    return 0;
                }
            }
            std::this_thread::sleep_for(5ms);
        }
        return fail("no window");
    }

    if (verb == L"answer") {
        const HWND dialog = waitForWindow(arg(1), seconds(3));
        if (!dialog)
            return fail("no such message box");
        printLine(windowText(GetDlgItem(dialog, dialogTextId)));
        return pressButton(dialog, arg(2)) ? 0 : fail("no such button");
    }

    const HWND top = targetWindow();
    if (!top)
        return fail("the window is not there");

    if (verb == L"memory") {
        const qvx::KernelHandle process(
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processOf(top)));
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        const bool ok = process && GetProcessMemoryInfo(process.get(), &counters, sizeof counters);
        if (!ok)
            return fail("cannot read the process's memory use");
        std::printf("%zu\n", counters.PeakWorkingSetSize / 1024);
        return 0;
    }
    if (verb == L"modules") {
        // The file names of the modules the window's process has loaded, lower case.
        const qvx::KernelHandle process(
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processOf(top)));
        std::vector<HMODULE> modules(1024);
        DWORD bytes = 0;
        const bool ok =
            process && EnumProcessModules(process.get(), modules.data(),
                                          DWORD(modules.size() * sizeof(HMODULE)), &bytes);
        modules.resize(ok ? std::min<std::size_t>(bytes / sizeof(HMODULE), modules.size()) : 0);
        for (HMODULE module : modules) {
            wchar_t name[MAX_PATH] = {};
            if (GetModuleBaseNameW(process.get(), module, name, MAX_PATH) == 0)
                continue;
            std::wstring lower = name;
            for (wchar_t &c : lower)
                c = wchar_t(std::towlower(c));
            printLine(lower);
        }
        return ok ? 0 : fail("cannot read the process's modules");
    }
    if (verb == L"client-size") {
        // Pixels; and the client size the system's own frame, caption and menu metrics
        // leave inside the outer size, for comparison.
        RECT client{};
        RECT outer{};
        GetClientRect(top, &client);
        GetWindowRect(top, &outer);
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrW(top, GWL_STYLE)),
                           GetMenu(top) != nullptr, DWORD(GetWindowLongPtrW(top, GWL_EXSTYLE)));
        const qvx::WindowDc screen(nullptr);
        const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
        const long outerWidth = outer.right - outer.left;
        const long outerHeight = outer.bottom - outer.top;
        std::printf("dpi %d\nouter %ldx%ld\nclient %ldx%ld\nframed-client %ldx%ld\n", dpi,
                    outerWidth, outerHeight, client.right, client.bottom,
                    outerWidth - (frame.right - frame.left),
                    outerHeight - (frame.bottom - frame.top));
        return 0;
    }
    if (verb == L"close")
        return PostMessageW(top, WM_CLOSE, 0, 0) ? 0 : fail("cannot post");
    if (verb == L"shot")
        return saveBitmap(top, arg(1)) ? 0 : fail("cannot save the picture");
    if (verb == L"menu") {
        const int id = qvx::win::menuId(*form, narrow(arg(1)));
        if (id != 0) {
            // Posted: the command may open a modal window and return only when it closes.
            return PostMessageW(top, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : fail("cannot post");
        }
        return fail("no such menu item");
    }

    if ((verb == L"visible" || verb == L"enabled") && args.size() < 2) {
        std::puts((verb == L"visible" ? IsWindowVisible(top) : IsWindowEnabled(top)) ? "yes"
                                                                                     : "no");
        return 0;
    }
    if (verb == L"option") {
        args = {L"click", L"optDemoVersion(" + arg(1) + L")"};
        verb = args[0];
    }
    const HWND target =
        (verb == L"entries" || verb == L"text" || verb == L"set-text" || verb == L"choose")
            ? combo()
            : control(narrow(args.size() > 1 ? args[1] : L""));
    if (!target)
        return fail("no such control");

    if (verb == L"entries") {
        bool ok = false;
        for (const std::wstring &entry : comboEntries(target, ok))
            printLine(entry);
        return ok ? 0 : fail("cannot read the entries");
    }
    if (verb == L"text" || verb == L"read") {
        printLine(windowText(target));
        return 0;
    }
    if (verb == L"visible" || verb == L"enabled") {
        std::puts((verb == L"visible" ? IsWindowVisible(target) : IsWindowEnabled(target)) ? "yes"
                                                                                           : "no");
        return 0;
    }
    if (verb == L"set-text")
        return send(target, WM_SETTEXT, 0, LPARAM(arg(1).c_str())) ? 0 : fail("no reply");
    if (verb == L"choose") {
        // As a pick from the drop-down list: the selection, then the notice to the owner.
        const int index = _wtoi(arg(1).c_str());
        DWORD_PTR result = 0;
        if (!send(target, CB_SETCURSEL, WPARAM(index), 0, &result) || LRESULT(result) != index)
            return fail("no such entry");
        const WPARAM notice = MAKEWPARAM(GetDlgCtrlID(target), CBN_SELCHANGE);
        return send(GetParent(target), WM_COMMAND, notice, LPARAM(target)) ? 0 : fail("no reply");
    }
    if (verb == L"hear") {
        // What a screen reader hears of the control, asked from this other process as a
        // reader asks: its name, then "hidden" when it is not to be read.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IAccessible *object = nullptr;
        if (FAILED(AccessibleObjectFromWindow(target, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                              reinterpret_cast<void **>(&object))) ||
            !object)
            return fail("no accessible object");
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        VARIANT state{};
        const bool named = SUCCEEDED(object->get_accName(self, &name));
        const bool stated = SUCCEEDED(object->get_accState(self, &state));
        printLine(named && name ? std::wstring(name) : std::wstring());
        if (stated && state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_INVISIBLE))
            std::puts("hidden");
        SysFreeString(name);
        object->Release();
        return named && stated ? 0 : fail("no reply");
    }
    if (verb == L"checked") {
        DWORD_PTR state = 0;
        if (!send(target, BM_GETCHECK, 0, 0, &state))
            return fail("no reply");
        std::puts(state == BST_CHECKED ? "yes" : "no");
        return 0;
    }
    if (verb == L"click") {
        // Waits for the click to be handled, so that what follows sees its effect; a click
        // that opens a modal window answers only when it closes, hence no failure on time.
        send(target, BM_CLICK, 0, 0);
        return 0;
    }
    return usage();
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const std::wstring self = argv[0];
    const auto slash = self.find_last_of(L"\\/");
    std::wstring base = self.substr(slash == std::wstring::npos ? 0 : slash + 1);
    for (wchar_t &c : base)
        c = wchar_t(std::towlower(c));
    if (base != L"probe.exe" && base != L"probe")
        return actAsMarker();

    windowTitle = qvx::wide(qvx::design::frmPlayDemos().caption);
    return run(std::vector<std::wstring>(argv + 1, argv + argc));
}

// Tests of the Windows front-end's windows on real Win32 controls (or Wine's), over the
// recording platform: what each design control becomes, the menu, and the dialog keys.
//
//   win_forms_test              every group but "tahoma" and "stand-in"
//   win_forms_test GROUP...     the named groups only ("layout", "keys", "demo-field",
//                               "waits", "about", "about-gdi", "scaling", "dpi-change",
//                               "screen-readers", "high-contrast";
//                               "tahoma" and "stand-in": scaling where Tahoma itself, or
//                               another face for it, draws)
//   ... figures                 prints each caption's font, measured width and drawn ink
//
// The last line of output is "N passed, M failed".
#include "RecordingPlatform.h"
#include "qvx/core/Design.h"
#include "qvx/platform/Handles.h"
#include "qvx/platform/WideText.h"
#include "qvx/platform/WindowsPlatform.h"
#include "qvx/win/ControlIds.h"
#include "qvx/win/FrmAbout.h"
#include "qvx/win/FrmPlayDemos.h"
#include "qvx/win/MessageLoop.h"

#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>
#include <winternl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace design = qvx::design;
using qvx::narrow;
using qvx::win::controlId;

namespace {

int passed = 0;
int failed = 0;

bool check(bool ok, const char *what, int line, const std::string &about = {})
{
    ++(ok ? passed : failed);
    if (!ok)
        std::printf("FAIL line %d: %s %s\n", line, what, about.c_str());
    return ok;
}
#define CHECK(...) check((__VA_ARGS__), #__VA_ARGS__, __LINE__)
#define CHECK_AT(what, ...) check((__VA_ARGS__), #__VA_ARGS__, __LINE__, what)

std::string textOf(HWND window)
{
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return narrow(buffer);
}

std::string classOf(HWND window)
{
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return narrow(buffer);
}

// A descendant by its control ID, however deep it sits in frames.
HWND byId(HWND root, int id)
{
    struct Search
    {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        root,
        [](HWND child, LPARAM data) -> BOOL {
            auto *s = reinterpret_cast<Search *>(data);
            // A combo's own field and list carry IDs of their own: only the window's
            // controls and those of its frames count.
            wchar_t parentClass[16] = {};
            GetClassNameW(GetParent(child), parentClass, 16);
            if (_wcsicmp(parentClass, L"ComboBox") == 0)
                return TRUE;
            if (GetDlgCtrlID(child) == s->id && !s->found)
                s->found = child;
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

int px(int twips, int dpi = 96)
{
    return int(std::lround(twips * dpi / 1440.0));
}

int screenDpi()
{
    const qvx::WindowDc screen(nullptr);
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

RECT rectInParent(HWND control)
{
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&box), 2);
    return box;
}

// Every design control against the window it became: class, style, ID, text, and its
// place in pixels at the DPI it was laid out for.
void checkControls(const design::Form &form, HWND root, int dpi)
{
    for (std::size_t i = 0; i < form.controls.size(); ++i) {
        const design::Control &c = form.controls[i];
        const std::string name = std::string(c.name) + "(" + std::to_string(c.index) + ")";
        HWND h = byId(root, controlId(form, c.name, c.index));
        CHECK_AT(name, controlId(form, c.name, c.index) == int(1000 + i));
        if (c.kind == design::Kind::FileList) {
            CHECK_AT(name, h == nullptr);
            continue;
        }
        if (!CHECK_AT(name, h != nullptr))
            continue;
        const LONG style = LONG(GetWindowLongPtrW(h, GWL_STYLE));
        const std::string cls = classOf(h);
        HWND container = c.container.empty() ? root : byId(root, controlId(form, c.container));
        CHECK_AT(name, GetParent(h) == container);
        CHECK_AT(name, bool(style & WS_VISIBLE) == c.visible);
        const bool tabStop = style & WS_TABSTOP;
        switch (c.kind) {
        case design::Kind::Label:
        case design::Kind::Line:
        case design::Kind::Image:
            CHECK_AT(name, _stricmp(cls.c_str(), "Static") == 0);
            CHECK_AT(name, !tabStop);
            if (c.kind == design::Kind::Image)
                CHECK_AT(name, (style & SS_TYPEMASK) == SS_BITMAP);
            if (c.kind == design::Kind::Label)
                CHECK_AT(name, textOf(h) == c.caption && (style & SS_NOPREFIX));
            break;
        case design::Kind::Frame:
            CHECK_AT(name, _stricmp(cls.c_str(), "Button") == 0);
            CHECK_AT(name, (style & BS_TYPEMASK) == BS_GROUPBOX && !tabStop);
            CHECK_AT(name, textOf(h) == c.caption);
            break;
        case design::Kind::OptionButton:
            CHECK_AT(name, _stricmp(cls.c_str(), "Button") == 0);
            CHECK_AT(name, (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON);
            CHECK_AT(name, textOf(h) == c.caption);
            break;
        case design::Kind::CommandButton:
            CHECK_AT(name, _stricmp(cls.c_str(), "Button") == 0 && tabStop);
            CHECK_AT(name,
                     (style & BS_TYPEMASK) == LONG(c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
            CHECK_AT(name, textOf(h) == c.caption);
            break;
        case design::Kind::ComboBox:
            CHECK_AT(name, _stricmp(cls.c_str(), "ComboBox") == 0 && tabStop);
            CHECK_AT(name, (style & 3) == CBS_DROPDOWN && !(style & CBS_SORT));
            break;
        case design::Kind::FileList:
            break;
        }
        const RECT box = rectInParent(h);
        const std::string place =
            name + " at " + std::to_string(dpi) + " DPI: " + std::to_string(box.left) + "," +
            std::to_string(box.top) + " " + std::to_string(box.right - box.left) + "x" +
            std::to_string(box.bottom - box.top);
        if (c.kind == design::Kind::Line) {
            const int width = c.line.widthPx;
            CHECK_AT(place, box.left == px(c.line.x1, dpi) && box.top == px(c.line.y1, dpi) &&
                                box.right == px(c.line.x2, dpi) + width &&
                                box.bottom == px(c.line.y2, dpi) + width);
        } else {
            // The combo box too: closed, it is as tall as the design says.
            CHECK_AT(place, box.left == px(c.rect.left, dpi) && box.top == px(c.rect.top, dpi) &&
                                box.right - box.left == px(c.rect.width, dpi) &&
                                box.bottom - box.top == px(c.rect.height, dpi));
        }
    }
}

// Every menu item by its command ID: caption, separator, submenu, availability.
void checkMenu(const design::Form &form, HMENU bar)
{
    for (std::size_t i = 0; i < form.menu.size(); ++i) {
        const design::MenuItem &item = form.menu[i];
        const std::string name(item.name);
        wchar_t caption[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = caption;
        info.cch = 128;
        if (!CHECK_AT(name,
                      GetMenuItemInfoW(bar, UINT(qvx::win::menuId(form, item.name)), FALSE, &info)))
            continue;
        bool opensMenu = false;
        for (const design::MenuItem &other : form.menu)
            opensMenu = opensMenu || other.parent == item.name;
        CHECK_AT(name, (info.hSubMenu != nullptr) == opensMenu);
        CHECK_AT(name, bool(info.fType & MFT_SEPARATOR) == item.isSeparator());
        if (!item.isSeparator())
            CHECK_AT(name, narrow(caption) == item.caption);
        CHECK_AT(name, bool(info.fState & MFS_GRAYED) == !item.enabled);
    }
}

void layout()
{
    RecordingPlatform platform;
    qvx::win::FrmPlayDemos window(platform);
    const int dpi = screenDpi();
    checkControls(design::frmPlayDemos(), window.hwnd(), dpi);
    checkMenu(design::frmPlayDemos(), GetMenu(window.hwnd()));

    // One option group; before a choice the upper option is its tab stop.
    HWND junior = window.control("optDemoVersion", 1);
    HWND quorvex = window.control("optDemoVersion", 0);
    const LONG_PTR juniorStyle = GetWindowLongPtrW(junior, GWL_STYLE);
    const LONG_PTR quorvexStyle = GetWindowLongPtrW(quorvex, GWL_STYLE);
    CHECK(bool(juniorStyle & WS_GROUP) != bool(quorvexStyle & WS_GROUP));
    CHECK((juniorStyle & WS_TABSTOP) && !(quorvexStyle & WS_TABSTOP));

    // The dialog manager's order: the list, Play, the option group, Close, round again.
    const std::vector<HWND> order{window.control("cboDemos"), window.control("cmdPlay"), junior,
                                  window.control("cmdClose"), window.control("cboDemos")};
    for (std::size_t i = 1; i < order.size(); ++i)
        CHECK_AT(std::to_string(i),
                 GetNextDlgTabItem(window.hwnd(), order[i - 1], FALSE) == order[i]);

    qvx::win::FrmAbout about(platform, window.hwnd());
    checkControls(design::frmAbout(), about.hwnd(), dpi);
    // Pictures at their own size at 96 DPI, scaled with it.
    for (auto [name, index, width, height] :
         {std::tuple{"Image3", -1, 128, 96}, std::tuple{"Image2", 0, 105, 27},
          std::tuple{"Image2", 1, 105, 27}}) {
        BITMAP bitmap{};
        auto handle =
            HBITMAP(SendMessageW(about.control(name, index), STM_GETIMAGE, IMAGE_BITMAP, 0));
        CHECK(handle && GetObjectW(handle, sizeof bitmap, &bitmap) &&
              bitmap.bmWidth == px(width * 15, dpi) && bitmap.bmHeight == px(height * 15, dpi));
    }
    CHECK(GetWindow(about.hwnd(), GW_OWNER) == window.hwnd());
}

bool quitPosted = false;
qvx::win::ProgramKeys dialogKeys;

// Sends one key the way the message loop receives it.
void key(UINT message, WPARAM code, LPARAM flags = 0)
{
    MSG msg{};
    msg.hwnd = GetFocus();
    msg.message = message;
    msg.wParam = code;
    msg.lParam = flags | 1;
    qvx::dispatchMessage(&dialogKeys, msg);
    // Whatever the key posted runs now.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            quitPosted = true;
        else
            qvx::dispatchMessage(&dialogKeys, msg);
    }
}

bool focusIn(HWND control)
{
    HWND focus = GetFocus();
    return focus && (focus == control || IsChild(control, focus));
}

void keys()
{
    RecordingPlatform platform;
    platform.addFile("/app/Demos/QVX Jr/Selling Tickets.exe");
    platform.addFile("/app/Demos/Both/Reports.exe");
    qvx::win::FrmPlayDemos window(platform);
    window.Form_Load();
    SetForegroundWindow(window.hwnd());
    HWND combo = window.control("cboDemos");
    HWND play = window.control("cmdPlay");
    HWND close = window.control("cmdClose");
    HWND junior = window.control("optDemoVersion", 1);
    if (!CHECK(SendMessageW(combo, CB_GETCOUNT, 0, 0) == 2))
        for (const std::string &call : platform.calls)
            std::printf("  %s\n", call.c_str());
    CHECK(window.demoText() == "Selling Tickets");
    if (!CHECK(focusIn(combo)))
        return;

    const auto starts = [&] { return platform.callsOf("start").size(); };
    key(WM_KEYDOWN, VK_RETURN);
    CHECK(starts() == 1);
    // Esc: the window has no cancel button.
    key(WM_KEYDOWN, VK_ESCAPE);
    CHECK(window.isOpen() && starts() == 1);

    key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(play));
    // A button is a group of its own: the arrows leave the focus on it.
    for (WPARAM code : {VK_DOWN, VK_RIGHT, VK_UP, VK_LEFT}) {
        key(WM_KEYDOWN, code);
        CHECK_AT(std::to_string(code) + " focus " + std::to_string(GetDlgCtrlID(GetFocus())),
                 focusIn(play));
    }
    key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(junior));
    key(WM_KEYDOWN, VK_RETURN);
    CHECK(starts() == 2);
    // The arrows move between the options in their visual order, Junior above Quorvex,
    // round the group, and select the one reached: nothing else takes the focus.
    HWND quorvex = window.control("optDemoVersion", 0);
    const auto checked = [](HWND option) {
        return SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    for (auto [code, to] :
         {std::pair{VK_DOWN, quorvex}, std::pair{VK_DOWN, junior}, std::pair{VK_RIGHT, quorvex},
          std::pair{VK_UP, junior}, std::pair{VK_UP, quorvex}, std::pair{VK_LEFT, junior},
          std::pair{VK_LEFT, quorvex}, std::pair{VK_RIGHT, junior}}) {
        key(WM_KEYDOWN, WPARAM(code));
        HWND other = to == junior ? quorvex : junior;
        CHECK_AT(std::to_string(code) + " focus " + std::to_string(GetDlgCtrlID(GetFocus())),
                 GetFocus() == to && checked(to) && !checked(other));
    }
    // Each choice listed its edition's folder, the last one Junior's.
    CHECK(platform.listings["/app/Demos/QVX"] == 4 && window.demoText() == "Selling Tickets");
    key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(close));
    // The focused Close takes Enter, not Play.
    CHECK((GetWindowLongPtrW(close, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    CHECK((GetWindowLongPtrW(play, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON);
    // The access key presses Play from anywhere.
    key(WM_SYSCHAR, 'p', LPARAM(1) << 29);
    CHECK(starts() == 3);
    SetFocus(close);
    key(WM_KEYDOWN, VK_RETURN);
    CHECK(!window.isOpen() && starts() == 3);
    // The main window's unload ends the program.
    CHECK(quitPosted);
}

void pressWithShift(WPARAM code)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = 0x80;
    SetKeyboardState(state);
    key(WM_KEYDOWN, code);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
}

void type(const char *text)
{
    for (; *text; ++text)
        key(WM_CHAR, WPARAM(*text));
}

// The demo field as the keys reach it: the listed first name is the current entry, and the
// focus arriving by Tab or Shift+Tab selects the field's text, so that typing replaces it.
void demoField()
{
    RecordingPlatform platform;
    for (const char *demo : {"QVX Jr/Selling Tickets.exe", "QVX Jr/Event Calendar.exe",
                             "Both/Reports.exe", "Both/Ticket Setup.exe"})
        platform.addFile(std::string("/app/Demos/") + demo);
    qvx::win::FrmPlayDemos window(platform);
    window.Form_Load();
    SetForegroundWindow(window.hwnd());
    HWND combo = window.control("cboDemos");
    if (!CHECK(focusIn(combo) && SendMessageW(combo, CB_GETCOUNT, 0, 0) == 4))
        return;
    const auto current = [&] { return SendMessageW(combo, CB_GETCURSEL, 0, 0); };
    for (int edition : {1, 0}) {
        if (edition == 0) {
            window.setOptionValue(0, true);
            SetFocus(combo);
        }
        const std::string at = "edition " + std::to_string(edition);
        CHECK_AT(at, current() == 0 && window.demoText() == window.demoEntry(0));
        key(WM_KEYDOWN, VK_DOWN);
        CHECK_AT(at, current() == 1 && window.demoText() == window.demoEntry(1));
    }

    const auto selectedWhole = [] {
        DWORD from = 1;
        DWORD to = 0;
        SendMessageW(GetFocus(), EM_GETSEL, WPARAM(&from), LPARAM(&to));
        return from == 0 && to == DWORD(GetWindowTextLengthW(GetFocus())) && to > 0;
    };
    // Round from the field to Close and into it again; then back from Play.
    key(WM_KEYDOWN, VK_END);
    for (int i = 0; i < 3; ++i)
        key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(window.control("cmdClose")));
    key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(combo) && selectedWhole());
    type("Event Calendar");
    CHECK(window.demoText() == "Event Calendar");
    key(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(window.control("cmdPlay")));
    pressWithShift(VK_TAB);
    CHECK(focusIn(combo) && selectedWhole());
    type("Reports");
    key(WM_KEYDOWN, VK_RETURN);
    CHECK(window.demoText() == "Reports" && platform.callsOf("start").size() == 1);
}

// The platform's waits (those of the preparation) take keys as the main loop does.
void keysDuringWaits()
{
    RecordingPlatform platform;
    platform.addFile("/app/Demos/QVX Jr/Selling Tickets.exe");
    qvx::win::ProgramKeys keys(platform,
                               [] { return std::filesystem::path(L"C:\\app\\Help.chm"); });
    qvx::WindowsPlatform waits;
    waits.setMessageFilter(&keys);
    qvx::win::FrmPlayDemos window(platform, &waits);
    window.Form_Load();
    SetForegroundWindow(window.hwnd());
    if (!CHECK(focusIn(window.control("cboDemos"))))
        return;
    const auto press = [&](UINT message, WPARAM code, LPARAM flags = 0) {
        PostMessageW(GetFocus(), message, code, flags | 1);
        const double end = waits.monotonicSeconds() + 0.2;
        while (waits.monotonicSeconds() < end)
            waits.waitForEvents(end - waits.monotonicSeconds());
    };
    const auto starts = [&] { return platform.callsOf("start").size(); };
    press(WM_KEYDOWN, VK_TAB);
    CHECK(focusIn(window.control("cmdPlay")));
    press(WM_KEYDOWN, VK_RETURN);
    CHECK(starts() == 1);
    press(WM_SYSCHAR, 'p', LPARAM(1) << 29);
    CHECK(starts() == 2);
    press(WM_KEYDOWN, VK_F1);
    CHECK(platform.callsOf("help").size() == 1);
}

void about()
{
    RecordingPlatform platform;
    qvx::win::FrmPlayDemos window(platform);
    qvx::win::FrmAbout about(platform, window.hwnd());
    about.presenter().Form_Load();
    ShowWindow(about.hwnd(), SW_SHOW);
    HWND colour = about.control("Image2", 0);
    HWND grey = about.control("Image2", 1);
    CHECK(textOf(about.hwnd()) == "About Quorvex Demo Player");
    // The common controls come with About: every control the design gives a tip has one.
    struct Tips
    {
        HWND owner;
        HWND found = nullptr;
    } tips{about.hwnd()};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND top, LPARAM data) -> BOOL {
            auto &t = *reinterpret_cast<Tips *>(data);
            if (classOf(top) == "tooltips_class32" && GetWindow(top, GW_OWNER) == t.owner)
                t.found = top;
            return !t.found;
        },
        LPARAM(&tips));
    int tipped = 0;
    for (const qvx::design::Control &c : qvx::design::frmAbout().controls)
        tipped += !c.toolTip.empty();
    CHECK(tipped > 0 && tips.found && SendMessageW(tips.found, TTM_GETTOOLCOUNT, 0, 0) == tipped);
    CHECK(textOf(about.control("lblTitle")) == "Quorvex Demo Player");
    CHECK(!IsWindowVisible(colour));

    // Over the badge it lights; over a label it stays; over bare surface it darkens.
    SendMessageW(grey, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    CHECK(IsWindowVisible(colour));
    RECT label = rectInParent(about.control("lblContactInfo"));
    SendMessageW(about.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(label.left + 2, label.top + 2));
    CHECK(IsWindowVisible(colour));
    RECT ok = rectInParent(about.control("cmdOK"));
    SendMessageW(about.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(ok.left - 4, ok.top - 4));
    CHECK(!IsWindowVisible(colour));

    // A click is a press and a release over the badge: one page each.
    SendMessageW(grey, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(grey, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    CHECK(platform.callsOf("open").size() == 1);

    // F1 in About asks for the help on behalf of the main window, so that it outlives About.
    qvx::win::ProgramKeys helpKeys(platform,
                                   [] { return std::filesystem::path(L"C:\\app\\Help.chm"); });
    MSG f1{about.control("cmdOK"), WM_KEYDOWN, VK_F1, 1, 0, {}};
    qvx::dispatchMessage(&helpKeys, f1);
    const std::vector<std::string> help = platform.callsOf("help");
    CHECK_AT(help.empty() ? std::string() : help[0],
             help.size() == 1 &&
                 help[0].rfind("help " + std::to_string(qvx::WindowHandle(window.hwnd())) + " |",
                               0) == 0);

    SetForegroundWindow(about.hwnd());
    SetFocus(about.control("cmdOK"));
    key(WM_KEYDOWN, VK_ESCAPE);
    CHECK(about.hwnd() == nullptr && window.isOpen());
}

// A 32-bit picture whose first row is the top one.
BITMAPINFO topDownPixels(LONG width, LONG height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

bool figures = false;

// A control's pixels as the screen shows them, 0xRRGGBB, after every window has painted.
struct Capture
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const
    {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFF;
    }
    // The colour most of it shows: what lies under the caption.
    std::uint32_t ground() const
    {
        std::vector<std::pair<std::uint32_t, int>> counts;
        for (std::uint32_t pixel : pixels) {
            auto found = std::find_if(counts.begin(), counts.end(),
                                      [&](const auto &c) { return c.first == (pixel & 0xFFFFFF); });
            if (found == counts.end())
                counts.emplace_back(pixel & 0xFFFFFF, 1);
            else
                ++found->second;
        }
        return std::max_element(counts.begin(), counts.end(),
                                [](const auto &a, const auto &b) { return a.second < b.second; })
            ->first;
    }
};

Capture capture(HWND control)
{
    // What of it shows: inside its containers' client areas and on the screen.
    RECT box;
    GetWindowRect(control, &box);
    for (HWND up = GetParent(control); up; up = GetParent(up)) {
        RECT client;
        GetClientRect(up, &client);
        MapWindowPoints(up, nullptr, reinterpret_cast<POINT *>(&client), 2);
        IntersectRect(&box, &box, &client);
    }
    const RECT screenArea{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&box, &box, &screenArea);
    const HWND root = GetAncestor(control, GA_ROOT);
    RECT area = box;
    MapWindowPoints(nullptr, root, reinterpret_cast<POINT *>(&area), 2);
    RedrawWindow(root, &area, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Capture shot{box.right - box.left, box.bottom - box.top, {}};
    shot.pixels.resize(std::size_t(shot.width) * std::size_t(shot.height));
    const qvx::WindowDc screen(nullptr);
    const qvx::MemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = topDownPixels(shot.width, shot.height);
    void *bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory.get(), bitmap);
    BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), box.left, box.top, SRCCOPY);
    GdiFlush();
    std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * sizeof(std::uint32_t));
    SelectObject(memory.get(), old);
    DeleteObject(bitmap);
    return shot;
}

// A control alone on its window (the others hidden), then made larger by `more` with its
// containers, as long as it lives; all as it was afterwards.
class Alone
{
public:
    explicit Alone(HWND control) : m_control(control)
    {
        for (HWND up = control; up; up = GetParent(up)) {
            RECT box;
            GetWindowRect(up, &box);
            m_sizes.emplace_back(up, SIZE{box.right - box.left, box.bottom - box.top});
        }
        const HWND root = GetAncestor(control, GA_ROOT);
        EnumChildWindows(
            root,
            [](HWND child, LPARAM data) -> BOOL {
                auto *self = reinterpret_cast<Alone *>(data);
                if (GetParent(child) == self->m_control || !IsWindowVisible(child))
                    return TRUE;
                for (const auto &[kept, size] : self->m_sizes) {
                    if (kept == child)
                        return TRUE;
                }
                // A combo's own field and list go with it.
                wchar_t parentClass[16] = {};
                GetClassNameW(GetParent(child), parentClass, 16);
                if (_wcsicmp(parentClass, L"ComboBox") != 0) {
                    ShowWindow(child, SW_HIDE);
                    self->m_hidden.push_back(child);
                }
                return TRUE;
            },
            LPARAM(this));
    }
    ~Alone()
    {
        grow({0, 0});
        for (HWND hidden : m_hidden)
            ShowWindow(hidden, SW_SHOWNA);
    }
    Alone(const Alone &) = delete;
    Alone &operator=(const Alone &) = delete;

    void grow(SIZE more)
    {
        // Outermost first, so that each fits in its grown container.
        for (auto place = m_sizes.rbegin(); place != m_sizes.rend(); ++place)
            SetWindowPos(place->first, nullptr, 0, 0, place->second.cx + more.cx,
                         place->second.cy + more.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

private:
    HWND m_control;
    std::vector<std::pair<HWND, SIZE>> m_sizes; // the control and its containers
    std::vector<HWND> m_hidden;
};

// Every caption of a window, or the one named, is drawn whole inside its control: as the
// screen shows it, the same as in the control made larger, and nothing of it beyond the
// control's edges there. This looks at the drawing, not at any measure of the text.
void checkDrawnWhole(const design::Form &form, HWND root, int dpi, const std::string &only = {},
                     const std::string &when = {})
{
    SetWindowPos(root, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetFocus(root);
    // More than a colon or a letter's overhang; within the screen for the widest window.
    const int more = px(300, dpi);
    for (const design::Control &c : form.controls) {
        HWND h = byId(root, controlId(form, c.name, c.index));
        if (!h || (!only.empty() && c.name != only) || !IsWindowVisible(h) ||
            GetWindowTextLengthW(h) == 0 ||
            (c.kind != design::Kind::Label && c.kind != design::Kind::OptionButton &&
             c.kind != design::Kind::Frame && c.kind != design::Kind::CommandButton))
            continue;
        const std::string about = std::to_string(dpi) + " DPI " + std::string(c.name) + "(" +
                                  std::to_string(c.index) + ")" + when;
        Alone alone(h);
        const Capture real = capture(h);
        const int w = real.width;
        const int h0 = real.height;
        // A wrapped label grows downwards, keeping its lines; a button grows both ways
        // alike, keeping its caption centred; the rest grow to the right.
        const bool wraps = c.kind == design::Kind::Label && c.wordWrap;
        const bool centred = c.kind == design::Kind::CommandButton;
        alone.grow(wraps ? SIZE{0, more} : SIZE{centred ? 2 * more : more, 0});
        const Capture large = capture(h);
        const std::uint32_t ground = large.ground();
        const int shift = centred ? more : 0;
        // The part of the control that shows the caption, and no edge of it: the button's
        // edges and a frame's right border move when it grows.
        const int inset = centred ? 4 : 0;
        const int right = c.kind == design::Kind::Frame ? w - 3 : w - inset;
        int differing = 0;
        for (int y = inset; y < h0 - inset; ++y) {
            for (int x = inset; x < right; ++x)
                differing += real.at(x, y) != large.at(x + shift, y);
        }
        // Where the larger control has room the smaller lacks, nothing of the caption; a
        // frame's border runs on along its rows.
        int beyond = 0;
        for (int y = inset; y < large.height - inset; ++y) {
            const bool border =
                c.kind == design::Kind::Frame && large.at(large.width - 4, y) != ground;
            for (int x = inset; x < large.width - inset && !border; ++x) {
                const bool added = wraps     ? y >= h0
                                   : centred ? x < shift + inset || x >= shift + w - inset
                                             : x >= right;
                if (added && x < large.width - (c.kind == design::Kind::Frame ? 3 : 0))
                    beyond += large.at(x, y) != ground;
            }
        }
        if (figures) {
            // What the font measures against where its ink ends, for a caption on one line.
            wchar_t text[512] = {};
            const int length = GetWindowTextW(h, text, 512);
            const qvx::WindowDc controlDc(h);
            const HGDIOBJ old =
                SelectObject(controlDc.get(), HFONT(SendMessageW(h, WM_GETFONT, 0, 0)));
            TEXTMETRICW metrics{};
            GetTextMetricsW(controlDc.get(), &metrics);
            RECT measured{0, 0, w, 0};
            DrawTextW(controlDc.get(), text, length, &measured,
                      DT_CALCRECT | DT_SINGLELINE |
                          (c.kind == design::Kind::Label ? DT_NOPREFIX : 0));
            SelectObject(controlDc.get(), old);
            int inkEnd = 0;
            for (int y = 0; y < large.height; ++y) {
                for (int x = 0; x < large.width - 4; ++x) {
                    if (large.at(x, y) != ground && large.at(large.width - 4, y) == ground)
                        inkEnd = std::max(inkEnd, x + 1);
                }
            }
            std::printf("  %s: font %ld px, measured %ld, ink ends at %d of %d; %d pixels differ, "
                        "%d drawn beyond\n",
                        about.c_str(), metrics.tmHeight - metrics.tmInternalLeading, measured.right,
                        inkEnd, w, differing, beyond);
        }
        CHECK_AT(about + ": " + std::to_string(differing) + " pixels differ, " +
                     std::to_string(beyond) + " drawn beyond",
                 differing == 0 && beyond == 0);
    }
}

// Whether the face that draws a control's font is Tahoma itself, by the names the font
// file gives (a substitute may be reported under the name asked for).
bool drawnInTahoma(HWND control)
{
    constexpr DWORD nameTable = 'n' | 'a' << 8 | 'm' << 16 | 'e' << 24;
    const qvx::WindowDc screen(nullptr);
    const HDC dc = screen.get();
    const HGDIOBJ old = SelectObject(dc, HFONT(SendMessageW(control, WM_GETFONT, 0, 0)));
    const DWORD size = GetFontData(dc, nameTable, 0, nullptr, 0);
    std::string names(size == GDI_ERROR ? 0 : size, '\0');
    if (!names.empty() &&
        GetFontData(dc, nameTable, 0, names.data(), DWORD(names.size())) == GDI_ERROR)
        names.clear();
    SelectObject(dc, old);
    // The names are in UTF-16 big-endian.
    return names.find(std::string("\0T\0a\0h\0o\0m\0a", 12)) != std::string::npos;
}

// At each common scaling, both windows built for it: every control in its place, and every
// caption drawn whole in the fonts the windows create, the texts set at load, the notes and
// the preparation's frame too. 132 DPI is a custom scaling at which Wine's own Tahoma draws
// the prompt wider than it measures it. With a face given, Tahoma must be drawn by it or by
// another face, as asked.
enum class Face { any, tahoma, standIn };

void scaling(Face face)
{
    for (int dpi : {96, 120, 132, 144, 168, 192}) {
        RecordingPlatform platform;
        for (const char *demo :
             {"QVX/A.exe", "Both/Help.exe", "Both/Reports.exe", "Both/Ticket Setup.exe"})
            platform.addFile(std::string("/app/Demos/") + demo);
        qvx::win::FrmPlayDemos window(platform, nullptr, dpi);
        checkControls(design::frmPlayDemos(), window.hwnd(), dpi);
        window.Form_Load();
        // The frame that shows while archives are prepared, in its place then.
        window.moveControl({"fraExtracting"}, qvx::PlayDemosPresenter::extractingLeft,
                           qvx::PlayDemosPresenter::extractingTop);
        window.setControlVisible({"fraExtracting"}, true);
        checkDrawnWhole(design::frmPlayDemos(), window.hwnd(), dpi);
        window.setControlVisible({"fraExtracting"}, false);
        const bool tahoma = drawnInTahoma(window.control("cmdPlay"));
        if (face == Face::standIn && tahoma) {
            // A system that finds Tahoma keeps it whatever the substitutes say.
            std::printf("note: Tahoma itself draws here; no stand-in face to try\n");
            return;
        }
        if (face == Face::tahoma && !CHECK(tahoma))
            return;
        // Each note, as choosing its demo under Quorvex shows it.
        window.setOptionValue(0, true);
        HWND combo = window.control("cboDemos");
        HWND note = window.control("fraDemoInfo");
        int notes = 0;
        for (int entry = 0; entry < 4; ++entry) {
            SendMessageW(combo, CB_SETCURSEL, WPARAM(entry), 0);
            SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                         LPARAM(combo));
            if (!IsWindowVisible(note))
                continue;
            ++notes;
            checkDrawnWhole(design::frmPlayDemos(), window.hwnd(), dpi, "lblInfo",
                            " note " + std::to_string(entry));
        }
        CHECK(notes == 3);

        qvx::win::FrmAbout about(platform, window.hwnd(), dpi);
        checkControls(design::frmAbout(), about.hwnd(), dpi);
        about.presenter().Form_Load();
        ShowWindow(about.hwnd(), SW_SHOWNA);
        checkDrawnWhole(design::frmAbout(), about.hwnd(), dpi);
    }
}

// Live GDI objects of this process, or -1 where they cannot be counted. Wine answers
// GetGuiResources with nothing; its handle table sits where Windows has its shared one, at
// the process block's GdiSharedHandleTable, and an entry in use points at its object.
int gdiObjects()
{
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return int(count);
    struct Entry
    {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t type;
        std::uint16_t generation;
        std::uint64_t user;
    };
    using Query = NTSTATUS(WINAPI *)(HANDLE, PROCESSINFOCLASS, void *, ULONG, ULONG *);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION process{};
    if (!query ||
        query(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr) != 0)
        return -1;
    const auto *block = reinterpret_cast<const unsigned char *>(process.PebBaseAddress);
    const auto *table = *reinterpret_cast<const Entry *const *>(block + 0xF8);
    if (!table)
        return -1;
    int count = 0;
    for (std::size_t i = 0; i < 0x10000; ++i)
        count += table[i].object != 0;
    return count;
}

// Each opening of About, closed as the user closes it, gives back what it took.
void aboutGdiObjects()
{
    RecordingPlatform platform;
    qvx::win::FrmPlayDemos window(platform);
    const auto open = [&] {
        // The modal loop runs the timer: the caption's close, once About is up.
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
            if (qvx::win::FrmAbout *about = qvx::win::FrmAbout::current())
                PostMessageW(about->hwnd(), WM_CLOSE, 0, 0);
        });
        qvx::win::FrmAbout::showModal(platform, window.hwnd());
        KillTimer(nullptr, timer);
    };
    // The system's own caches (device contexts among them) fill in the first few.
    for (int opening = 0; opening < 3; ++opening)
        open();
    const int before = gdiObjects();
    if (before < 0) {
        std::printf("note: GDI objects cannot be counted here\n");
        return;
    }
    for (int opening = 0; opening < 10; ++opening)
        open();
    const int after = gdiObjects();
    CHECK_AT(std::to_string(before) + " -> " + std::to_string(after), after == before);
    CHECK(!qvx::win::FrmAbout::current() && IsWindowEnabled(window.hwnd()));
}

// What a control shows its text in: the font's height and face.
std::pair<LONG, std::wstring> fontOf(HWND control)
{
    LOGFONTW font{};
    GetObjectW(HFONT(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return {font.lfHeight, font.lfFaceName};
}

RECT rectOf(HWND window)
{
    RECT box{};
    GetWindowRect(window, &box);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&box), 2);
    return box;
}

// A window moved to a screen at another scaling, as Windows tells it: laid out as if it had
// been built there, control by control, fonts and outer size included.
void sameAsBuiltAt(const design::Form &form, HWND moved, HWND built, int dpi)
{
    for (const design::Control &c : form.controls) {
        const int id = controlId(form, c.name, c.index);
        HWND mine = byId(moved, id);
        HWND theirs = byId(built, id);
        if (!mine || !theirs)
            continue;
        const std::string at = std::to_string(dpi) + " DPI " + std::string(c.name) + "(" +
                               std::to_string(c.index) + ")";
        const RECT a = rectOf(mine);
        const RECT b = rectOf(theirs);
        CHECK_AT(at + " place",
                 a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom);
        CHECK_AT(at + " font", fontOf(mine) == fontOf(theirs));
    }
    RECT a{};
    RECT b{};
    GetWindowRect(moved, &a);
    GetWindowRect(built, &b);
    CHECK_AT(std::to_string(dpi) + " DPI outer size",
             a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top);
}

void changeDpi(HWND window, int dpi)
{
    RECT suggested{};
    GetWindowRect(window, &suggested);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&suggested));
}

// Both windows moved from screen to screen: 96 -> 144 -> 120 -> 192 DPI, each step against
// windows built at that DPI; the fonts and pictures they leave behind are freed.
void dpiChanges()
{
    RecordingPlatform platform;
    for (const char *demo : {"QVX/A.exe", "Both/Help.exe", "Both/Reports.exe"})
        platform.addFile(std::string("/app/Demos/") + demo);
    qvx::win::FrmPlayDemos window(platform, nullptr, 96);
    window.Form_Load();
    qvx::win::FrmAbout about(platform, window.hwnd(), 96);
    about.presenter().Form_Load();
    for (const int dpi : {144, 120, 192}) {
        changeDpi(window.hwnd(), dpi);
        changeDpi(about.hwnd(), dpi);
        qvx::win::FrmPlayDemos built(platform, nullptr, dpi);
        built.Form_Load();
        sameAsBuiltAt(design::frmPlayDemos(), window.hwnd(), built.hwnd(), dpi);
        qvx::win::FrmAbout builtAbout(platform, built.hwnd(), dpi);
        builtAbout.presenter().Form_Load();
        sameAsBuiltAt(design::frmAbout(), about.hwnd(), builtAbout.hwnd(), dpi);
    }
    // Back and forth: what one scaling made goes when the next comes.
    changeDpi(window.hwnd(), 96);
    changeDpi(about.hwnd(), 96);
    const int before = gdiObjects();
    if (before < 0)
        return;
    for (int round = 0; round < 5; ++round) {
        for (const int dpi : {144, 96}) {
            changeDpi(window.hwnd(), dpi);
            changeDpi(about.hwnd(), dpi);
        }
    }
    CHECK_AT(std::to_string(before) + " -> " + std::to_string(gdiObjects()),
             gdiObjects() == before);
}

// What a screen reader hears of a control: its object asked as a reader asks for it.
struct Heard
{
    bool answered = false;
    std::string name;
    std::string description;
    LONG state = 0;
    bool hidden() const { return state & STATE_SYSTEM_INVISIBLE; }
};

Heard hear(HWND control)
{
    using FromWindow = HRESULT(WINAPI *)(HWND, DWORD, REFIID, void **);
    static const auto fromWindow = reinterpret_cast<FromWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    Heard heard;
    IAccessible *object = nullptr;
    if (!fromWindow ||
        FAILED(fromWindow(control, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                          reinterpret_cast<void **>(&object))) ||
        !object)
        return heard;
    heard.answered = true;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    const auto read = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR *)) {
        BSTR text = nullptr;
        const HRESULT result = (object->*get)(self, &text);
        std::string said = SUCCEEDED(result) && text ? narrow(text) : std::string();
        SysFreeString(text);
        return said;
    };
    heard.name = read(&IAccessible::get_accName);
    heard.description = read(&IAccessible::get_accDescription);
    VARIANT state{};
    if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4)
        heard.state = state.lVal;
    object->Release();
    return heard;
}

// Each control by the name a user expects, the demo field by its prompt, the title once (its
// shadow is decoration), and nothing of the decoration; accessibility loads only when a
// reader asks.
void screenReaders()
{
    RecordingPlatform platform;
    platform.addFile("/app/Demos/QVX Jr/Selling Tickets.exe");
    qvx::win::FrmPlayDemos window(platform);
    window.Form_Load();
    qvx::win::FrmAbout about(platform, window.hwnd());
    about.presenter().Form_Load();
    ShowWindow(window.hwnd(), SW_SHOW);
    ShowWindow(about.hwnd(), SW_SHOW);
    CHECK(GetModuleHandleW(L"oleacc.dll") == nullptr);

    const std::string prompt = "Select a demo from the list and click Play";
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    GetComboBoxInfo(window.control("cboDemos"), &combo);
    const std::vector<std::pair<HWND, std::string>> named{
        {window.control("cboDemos"), prompt},
        {combo.hwndItem, prompt},
        {window.control("cmdPlay"), "Play"},
        {window.control("cmdClose"), "Close"},
        {window.control("optDemoVersion", 0), "Quorvex"},
        {window.control("optDemoVersion", 1), "Quorvex Junior"},
        {window.control("Frame1"), "Program Version"},
        {window.control("Label4", 3), "Quorvex Demo Player"},
        {about.control("lblTitle"), "Quorvex Demo Player"},
        {about.control("cmdOK"), "OK"},
        {about.control("Image2", 1), "FlashBack website"}};
    for (const auto &[control, name] : named) {
        const Heard heard = hear(control);
        CHECK_AT(std::to_string(GetDlgCtrlID(control)) + " \"" + heard.name + "\"",
                 heard.answered && heard.name == name && !heard.hidden());
    }
    CHECK(hear(about.control("Image2", 1)).description ==
          design::frmAbout().find("Image2", 1)->toolTip);
    for (const auto &[form, root] : {std::pair{&design::frmPlayDemos(), window.hwnd()},
                                     std::pair{&design::frmAbout(), about.hwnd()}}) {
        for (const design::Control &c : form->controls) {
            HWND h = byId(root, controlId(*form, c.name, c.index));
            if (!h || !c.decorative)
                continue;
            const Heard heard = hear(h);
            CHECK_AT(std::string(c.name) + "(" + std::to_string(c.index) + ")",
                     heard.answered && heard.hidden() && heard.name.empty());
        }
    }
}

// The colours a transparent label draws, its own and those of the labels it overlaps, into
// a picture of its area laid on the system's face: how many pixels show each ink.
struct Inks
{
    int yellow = 0; // red and green, no blue: the scheme's text below
    int blue = 0;   // blue, nothing else
    int grey = 0;   // red, green and blue alike
};

Inks inksOf(HWND label)
{
    RECT area{};
    GetClientRect(label, &area);
    BITMAPINFO info = topDownPixels(area.right, area.bottom);
    void *bits = nullptr;
    const qvx::WindowDc screen(nullptr);
    const HDC dc = CreateCompatibleDC(screen.get());
    const HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Inks inks;
    if (!picture || !bits) {
        DeleteDC(dc);
        return inks;
    }
    const HGDIOBJ old = SelectObject(dc, picture);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageW(label, WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT);
    GdiFlush();
    const auto *pixel = static_cast<const std::uint32_t *>(bits);
    for (long i = 0; i < long(area.right) * area.bottom; ++i) {
        const int r = (pixel[i] >> 16) & 0xFF, g = (pixel[i] >> 8) & 0xFF, b = pixel[i] & 0xFF;
        inks.yellow += r > 64 && g > 64 && b == 0;
        inks.blue += r == 0 && g == 0 && b > 64;
        inks.grey += r > 32 && r == g && g == b;
    }
    SelectObject(dc, old);
    DeleteObject(picture);
    DeleteDC(dc);
    return inks;
}

// The text colour and brush a window gives a static control of its own to draw with.
std::pair<COLORREF, HBRUSH> staticColours(HWND window, HWND control)
{
    const qvx::WindowDc screen(nullptr);
    const HDC dc = CreateCompatibleDC(screen.get());
    SetTextColor(dc, RGB(1, 2, 3));
    const auto brush = HBRUSH(SendMessageW(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(control)));
    const COLORREF text = GetTextColor(dc);
    DeleteDC(dc);
    return {text, brush};
}

COLORREF brushColour(HBRUSH brush)
{
    LOGBRUSH logical{};
    return brush && GetObjectW(brush, sizeof logical, &logical) ? logical.lbColor : CLR_INVALID;
}

// As the platform reports high contrast on or off, under a scheme of yellow on black: with it
// the windows draw in the scheme's colours (the title and the note in its text, no shadow,
// the rules in its edges, About on its face); without it, in the design's own.
void highContrast()
{
    const int elements[]{COLOR_BTNFACE, COLOR_WINDOWTEXT, COLOR_3DSHADOW, COLOR_3DHIGHLIGHT};
    const COLORREF scheme[]{RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 128, 255), RGB(255, 0, 255)};
    COLORREF saved[4];
    for (int i = 0; i < 4; ++i)
        saved[i] = GetSysColor(elements[i]);
    SetSysColors(4, elements, scheme);
    for (const bool contrast : {true, false}) {
        const std::string when = contrast ? "on" : "off";
        RecordingPlatform platform;
        platform.contrast = contrast;
        platform.addFile("/app/Demos/Both/Ticket Setup.exe");
        qvx::win::FrmPlayDemos window(platform);
        window.Form_Load();
        window.setOptionValue(0, true);
        HWND combo = window.control("cboDemos");
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     LPARAM(combo));
        ShowWindow(window.hwnd(), SW_SHOW);

        const Inks title = inksOf(window.control("Label4", 3));
        const Inks note = inksOf(window.control("lblInfo"));
        const std::string seen = when + ": title " + std::to_string(title.yellow) + "/" +
                                 std::to_string(title.grey) + ", note " +
                                 std::to_string(note.yellow) + "/" + std::to_string(note.blue);
        if (figures)
            std::printf("  %s\n", seen.c_str());
        if (contrast)
            CHECK_AT(seen,
                     title.yellow > 100 && title.grey == 0 && note.yellow > 50 && note.blue == 0);
        else
            CHECK_AT(seen,
                     title.yellow == 0 && title.grey > 100 && note.yellow == 0 && note.blue > 50);
        CHECK_AT(when,
                 brushColour(staticColours(window.hwnd(), window.control("Line1", 1)).second) ==
                     (contrast ? scheme[3] : RGB(255, 255, 255)));

        qvx::win::FrmAbout about(platform, window.hwnd());
        about.presenter().Form_Load();
        const auto [text, brush] = staticColours(about.hwnd(), about.control("lblTitle"));
        CHECK_AT(when, text == (contrast ? scheme[1] : RGB(255, 255, 255)));
        CHECK_AT(when, brushColour(brush) == (contrast ? scheme[0] : RGB(0, 0, 0)) ||
                           (contrast && brush == GetSysColorBrush(COLOR_BTNFACE)));
        CHECK_AT(when, brushColour(staticColours(about.hwnd(), about.control("Line1", 1)).second) ==
                           (contrast ? scheme[2] : RGB(128, 128, 128)));
        if (!contrast) {
            // Turned on while the windows are open, as the system announces it.
            platform.contrast = true;
            SendMessageW(window.hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
            SendMessageW(about.hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
            CHECK(inksOf(window.control("Label4", 3)).yellow > 100);
            CHECK(staticColours(about.hwnd(), about.control("lblTitle")).first == scheme[1]);
        }
    }
    SetSysColors(4, elements, saved);
}

// The pointer while the program is busy comes from the desktop the windows were given.
class BusyDesktop final : public qvx::Desktop
{
public:
    bool applyBusyPointer() const override
    {
        ++asked;
        return busy;
    }
    qvx::MessageFilter *messageFilter() const override { return nullptr; }
    bool busy = false;
    mutable int asked = 0;
};

void busyPointer()
{
    RecordingPlatform platform;
    BusyDesktop desktop;
    qvx::win::FrmPlayDemos window(platform, &desktop);
    qvx::win::FrmAbout about(platform, window.hwnd(), 0, &desktop);
    for (HWND target : {window.hwnd(), about.hwnd()}) {
        const auto setCursor = [target] {
            return SendMessageW(target, WM_SETCURSOR, WPARAM(target),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        };
        desktop.busy = true;
        desktop.asked = 0;
        CHECK(setCursor() == TRUE && desktop.asked == 1);
        // Not busy: the window's own cursor, as the system sets it.
        desktop.busy = false;
        setCursor();
        CHECK(desktop.asked == 2);
    }
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    struct Group
    {
        const wchar_t *name;
        void (*run)();
        bool byDefault;
    };
    const Group groups[]{{L"layout", layout, true},
                         {L"keys", keys, true},
                         {L"demo-field", demoField, true},
                         {L"waits", keysDuringWaits, true},
                         {L"about", about, true},
                         {L"about-gdi", aboutGdiObjects, true},
                         {L"busy-pointer", busyPointer, true},
                         {L"screen-readers", screenReaders, true},
                         {L"high-contrast", highContrast, true},
                         {L"scaling", [] { scaling(Face::any); }, true},
                         {L"dpi-change", dpiChanges, true},
                         {L"tahoma", [] { scaling(Face::tahoma); }, false},
                         {L"stand-in", [] { scaling(Face::standIn); }, false}};
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"figures") == 0)
            figures = true;
        else
            named = true;
    }
    for (const Group &group : groups) {
        bool wanted = !named && group.byDefault;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::wcscmp(argv[i], group.name) == 0;
        if (wanted) {
            std::printf("== %ls\n", group.name);
            group.run();
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

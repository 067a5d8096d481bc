// A bare Win32 program of the player's shape: its main window's design, every control a
// window of the same class and style at its place, the design's menu, and the demos the
// player lists at start (Junior's and the shared ones) in the combo box. Made the plainest
// way: the design's fonts at their sizes, colours answered by the window, no caption
// fitting, no subclassing, no presenter. What the player's start-up time and memory are
// compared with.
#include "PlainListing.h"

#include "qvx/core/Design.h"

#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

namespace design = qvx::design;

std::wstring wide(std::string_view text)
{
    std::wstring out(text.size(), L'\0');
    out.resize(std::size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()),
                                               out.data(), int(out.size()))));
    return out;
}

int dpi = 96;

int px(double twips)
{
    return int(std::lround(twips * dpi / 1440.0));
}

struct Made
{
    const design::Control *control;
    HWND window;
};
std::vector<Made> made;
std::vector<std::pair<COLORREF, HBRUSH>> brushes;

HBRUSH brushOf(COLORREF colour)
{
    for (const auto &[known, brush] : brushes) {
        if (known == colour)
            return brush;
    }
    brushes.emplace_back(colour, CreateSolidBrush(colour));
    return brushes.back().second;
}

COLORREF rgb(const design::Colour &colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        for (const Made &m : made) {
            if (m.window != HWND(lParam))
                continue;
            const design::Control &c = *m.control;
            if (c.kind == design::Kind::Line)
                return LRESULT(brushOf(rgb(c.foreColour.value_or(design::Colour{}))));
            if (c.foreColour)
                SetTextColor(HDC(wParam), rgb(*c.foreColour));
            if (c.transparent) {
                SetBkMode(HDC(wParam), TRANSPARENT);
                return LRESULT(GetStockObject(NULL_BRUSH));
            }
            SetBkColor(HDC(wParam), GetSysColor(COLOR_BTNFACE));
            return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HMENU buildMenu(const design::Form &form)
{
    HMENU bar = CreateMenu();
    std::vector<HMENU> popups(form.menu.size(), nullptr);
    for (std::size_t i = 0; i < form.menu.size(); ++i) {
        const design::MenuItem &item = form.menu[i];
        HMENU parent = bar;
        for (std::size_t p = 0; p < i && !item.parent.empty(); ++p) {
            if (form.menu[p].name == item.parent)
                parent = popups[p];
        }
        bool opens = false;
        for (const design::MenuItem &other : form.menu)
            opens = opens || other.parent == item.name;
        if (opens) {
            popups[i] = CreatePopupMenu();
            AppendMenuW(parent, MF_POPUP, UINT_PTR(popups[i]), wide(item.caption).c_str());
        } else if (item.isSeparator()) {
            AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(parent, MF_STRING | (item.enabled ? 0 : MF_GRAYED), 100 + i,
                        wide(item.caption).c_str());
        }
    }
    return bar;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    {
        const HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    const design::Form &form = design::frmPlayDemos();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BaselineWindow";
    RegisterClassW(&windowClass);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT outer{0, 0, px(form.clientWidth), px(form.clientHeight)};
    AdjustWindowRectEx(&outer, style, TRUE, WS_EX_CONTROLPARENT);
    HWND window =
        CreateWindowExW(WS_EX_CONTROLPARENT, L"BaselineWindow", L"Baseline Window", style,
                        CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                        outer.bottom - outer.top, nullptr, buildMenu(form), instance, nullptr);

    std::vector<std::pair<design::Font, HFONT>> fonts;
    const auto fontOf = [&](const design::Font &wanted) {
        for (const auto &[known, font] : fonts) {
            if (known == wanted)
                return font;
        }
        const HFONT font = CreateFontW(-int(std::lround(wanted.points * dpi / 72.0)), 0, 0, 0,
                                       wanted.weight, wanted.italic, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH, wide(wanted.face).c_str());
        fonts.emplace_back(wanted, font);
        return font;
    };

    HWND combo = nullptr;
    made.reserve(form.controls.size());
    for (const design::Control &c : form.controls) {
        HWND parent = window;
        for (const Made &m : made) {
            if (!c.container.empty() && m.control->name == c.container)
                parent = m.window;
        }
        const wchar_t *className = L"STATIC";
        DWORD controlStyle = WS_CHILD | (c.visible ? WS_VISIBLE : 0);
        DWORD exStyle = 0;
        RECT box{px(c.rect.left), px(c.rect.top), px(c.rect.width), px(c.rect.height)};
        std::wstring text = wide(c.caption);
        switch (c.kind) {
        case design::Kind::Label:
            controlStyle |= SS_NOPREFIX | (c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
            exStyle = c.transparent ? WS_EX_TRANSPARENT : 0;
            break;
        case design::Kind::Line:
            box = {px(c.line.x1), px(c.line.y1), px(c.line.x2) - px(c.line.x1) + c.line.widthPx,
                   px(c.line.y2) - px(c.line.y1) + c.line.widthPx};
            text.clear();
            break;
        case design::Kind::Frame:
            className = L"BUTTON";
            controlStyle |= BS_GROUPBOX;
            exStyle = WS_EX_CONTROLPARENT;
            break;
        case design::Kind::OptionButton:
            className = L"BUTTON";
            controlStyle |= BS_AUTORADIOBUTTON;
            break;
        case design::Kind::ComboBox:
            className = L"COMBOBOX";
            controlStyle |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            box.bottom *= 8;
            break;
        case design::Kind::CommandButton:
            className = L"BUTTON";
            controlStyle |= (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
            break;
        case design::Kind::Image:
        case design::Kind::FileList:
            continue;
        }
        HWND control =
            CreateWindowExW(exStyle, className, text.c_str(), controlStyle, box.left, box.top,
                            box.right, box.bottom, parent, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, WPARAM(fontOf(c.font ? *c.font : form.font)), FALSE);
        // Load chooses Junior, the upper option.
        if (c.kind == design::Kind::OptionButton && c.index == 1)
            SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        made.push_back({&c, control});
        if (c.kind == design::Kind::ComboBox)
            combo = control;
    }

    const std::wstring demos = plain::programFolder() + L"\\Demos\\";
    plain::fill(combo, plain::demoNames(demos + L"QVX Jr"), plain::demoNames(demos + L"Both"));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    // Centred on the screen, as the player's load puts it.
    RECT placed{};
    GetWindowRect(window, &placed);
    SetWindowPos(window, nullptr,
                 (GetSystemMetrics(SM_CXSCREEN) - (placed.right - placed.left)) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - (placed.bottom - placed.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    // The focus starts in the list, the first tab stop, as a dialog's does.
    SetFocus(combo);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    for (const auto &[design, font] : fonts)
        DeleteObject(font);
    for (const auto &[colour, brush] : brushes)
        DeleteObject(brush);
    return 0;
}

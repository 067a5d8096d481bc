// A stand-in demo movie for Windows: shows its own display name and a short animated
// presentation, then closes by itself, as a recorded demo does when it has played.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr UINT_PTR frameTimer = 1;
constexpr UINT frameMilliseconds = 40;
constexpr int framesPerSlide = 75;
// Long enough to be seen after Play, short enough that a forgotten window goes away.
constexpr int closingPauseFrames = 50;

constexpr std::array<const wchar_t *, 4> captions{
    L"Welcome to this demonstration", L"Choose an event and a performance",
    L"Pick the seats and print the tickets", L"Thank you for watching"};
constexpr int slideCount = int(captions.size());

struct Presentation
{
    std::wstring title;
    int frame = 0;
    HFONT headingFont = nullptr;
    HFONT bodyFont = nullptr;
};

std::wstring ownPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The display name is the file name less its last four characters, as in the player.
std::wstring displayName(const std::wstring &path)
{
    const auto slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    name.resize(name.size() >= 4 ? name.size() - 4 : 0);
    return name.empty() ? std::wstring(L"Demo") : name;
}

HFONT makeFont(HDC dc, int points, int weight)
{
    LOGFONTW font{};
    font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    font.lfWeight = weight;
    font.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

void fill(HDC dc, const RECT &area, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

void paintFrame(HDC dc, const RECT &client, const Presentation &show)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int slide = std::min(show.frame / framesPerSlide, slideCount - 1);
    const double phase = double(show.frame % framesPerSlide) / framesPerSlide;
    const double done = std::min(1.0, double(show.frame) / (framesPerSlide * slideCount));

    fill(dc, client, RGB(24, 40, 72));
    SetBkMode(dc, TRANSPARENT);

    RECT heading{20, 30, width - 20, 90};
    SelectObject(dc, show.headingFont);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, show.title.c_str(), -1, &heading,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

    // GDI has no alpha for text: the caption fades in from the background colour.
    const double fade = std::min(1.0, phase * 3);
    const auto blend = [fade](int from, int to) { return BYTE(from + (to - from) * fade); };
    RECT body{20, 100, width - 20, 140};
    SelectObject(dc, show.bodyFont);
    SetTextColor(dc, RGB(blend(24, 255), blend(40, 255), blend(72, 255)));
    DrawTextW(dc, captions[size_t(done >= 1.0 ? slideCount - 1 : slide)], -1, &body,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);

    // A ticket gliding across the stage.
    const int x = 40 + int((width - 200) * std::min(1.0, (slide + phase) / slideCount));
    HBRUSH ticketBrush = CreateSolidBrush(RGB(250, 200, 60));
    HPEN edge = CreatePen(PS_SOLID, 1, RGB(250, 200, 60));
    HGDIOBJ oldBrush = SelectObject(dc, ticketBrush);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    RoundRect(dc, x, 200, x + 120, 260, 16, 16);
    HPEN perforation = CreatePen(PS_DASH, 1, RGB(120, 80, 0));
    SelectObject(dc, perforation);
    MoveToEx(dc, x + 90, 204, nullptr);
    LineTo(dc, x + 90, 256);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(perforation);
    DeleteObject(edge);
    DeleteObject(ticketBrush);

    // Progress through the presentation.
    RECT progress{40, height - 40, 40 + int((width - 80) * done), height - 32};
    fill(dc, progress, RGB(120, 200, 255));
}

void paint(HWND window, const Presentation &show)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    // Drawn off screen first so that the animation does not flicker.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(buffer, bitmap);
    paintFrame(buffer, client, show);
    BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(bitmap);
    DeleteDC(buffer);
    EndPaint(window, &ps);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *show = reinterpret_cast<Presentation *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
        break;
    }
    case WM_TIMER:
        if (show && wParam == frameTimer) {
            if (++show->frame >= framesPerSlide * slideCount + closingPauseFrames)
                DestroyWindow(window);
            else
                InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (show) {
            paint(window, *show);
            return 0;
        }
        break;
    case WM_DESTROY:
        KillTimer(window, frameTimer);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    Presentation presentation;
    presentation.title = displayName(ownPath());

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));     // IDI_APPLICATION
    windowClass.lpszClassName = L"QvxSampleDemo";
    if (!RegisterClassExW(&windowClass))
        return 1;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 640, 400};
    AdjustWindowRect(&frame, style, FALSE);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, presentation.title.c_str(), style,
                                  work.left + std::max(0L, (work.right - work.left - width) / 2),
                                  work.top + std::max(0L, (work.bottom - work.top - height) / 2),
                                  width, height, nullptr, nullptr, instance, &presentation);
    if (!window)
        return 1;

    HDC dc = GetDC(window);
    presentation.headingFont = makeFont(dc, 22, FW_BOLD);
    presentation.bodyFont = makeFont(dc, 14, FW_NORMAL);
    ReleaseDC(window, dc);

    ShowWindow(window, show);
    UpdateWindow(window);
    SetTimer(window, frameTimer, frameMilliseconds, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(presentation.headingFont);
    DeleteObject(presentation.bodyFont);
    return 0;
}

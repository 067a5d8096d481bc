// A bare Win32 program of the player's shape: a menu bar, two options, a combo box filled
// with the demos the player lists at start (Junior's and the shared ones), a button and two
// labels. What the player's start-up time
// and memory are compared with.
#include "PlainListing.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) -> LRESULT {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BaselineWindow";
    RegisterClassW(&windowClass);

    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 1, L"&Play");
    AppendMenuW(file, MF_STRING, 2, L"&Close");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(file), L"&File");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, 3, L"&Contents");
    AppendMenuW(help, MF_STRING, 4, L"&About");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(help), L"&Help");

    HWND window = CreateWindowW(L"BaselineWindow", L"Baseline Window",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 455, 308, nullptr, bar, instance, nullptr);
    const HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH, L"Tahoma");
    struct Child
    {
        const wchar_t *className;
        const wchar_t *text;
        DWORD style;
        RECT box;
    };
    const Child children[]{
        {L"STATIC", L"Demo Player", SS_LEFT, {16, 8, 300, 24}},
        {L"BUTTON", L"Quorvex", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {24, 48, 150, 20}},
        {L"BUTTON", L"Quorvex Junior", BS_AUTORADIOBUTTON, {24, 72, 150, 20}},
        {L"STATIC", L"Select a demo:", SS_LEFT, {16, 104, 200, 16}},
        {L"COMBOBOX",
         L"",
         CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
         {16, 124, 300, 200}},
        {L"BUTTON", L"&Play", BS_DEFPUSHBUTTON | WS_TABSTOP, {336, 122, 88, 26}},
    };
    HWND combo = nullptr;
    for (const Child &child : children) {
        HWND made = CreateWindowW(child.className, child.text, WS_CHILD | WS_VISIBLE | child.style,
                                  child.box.left, child.box.top, child.box.right, child.box.bottom,
                                  window, nullptr, instance, nullptr);
        SendMessageW(made, WM_SETFONT, WPARAM(font), FALSE);
        if (child.className == std::wstring(L"COMBOBOX"))
            combo = made;
    }
    const std::wstring demos = plain::programFolder() + L"\\Demos\\";
    plain::fill(combo, plain::demoNames(demos + L"QVX Jr"), plain::demoNames(demos + L"Both"));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    DeleteObject(font);
    return 0;
}

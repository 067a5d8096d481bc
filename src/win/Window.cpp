#include "qvx/win/Window.h"

namespace qvx::win {
namespace {

void registerOnce(const wchar_t *name, bool programIcon, HBRUSH background, WNDPROC procedure)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, name, &windowClass))
        return;
    windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    if (programIcon) {
        windowClass.hIcon = LoadIconW(instance, L"IDI_ICON1");
        // Shared, as LoadIconW's is: the system frees it, and the class keeps it all run.
        windowClass.hIconSm =
            HICON(LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

} // namespace

Window::~Window()
{
    // A window left behind must not reach this object any more.
    if (m_hwnd && IsWindow(m_hwnd))
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
}

bool Window::create(const Class &windowClass, DWORD exStyle, const wchar_t *caption, DWORD style,
                    SIZE outer, HWND owner)
{
    registerOnce(windowClass.name, windowClass.programIcon, windowClass.background, procedure);
    CreateWindowExW(exStyle, windowClass.name, caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.cx, outer.cy, owner, nullptr, GetModuleHandleW(nullptr), this);
    return m_hwnd != nullptr;
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self =
            static_cast<Window *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(self));
    }
    auto *self = reinterpret_cast<Window *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        self->destroyed();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

} // namespace qvx::win

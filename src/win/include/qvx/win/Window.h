#pragma once

#include "qvx/platform/Win32.h"

namespace qvx::win {

// What the program's windows share: their class, registered on first use, and one window
// procedure that hands each message to the object that made the window.
class Window
{
public:
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    // Null once the window is gone.
    HWND hwnd() const { return m_hwnd; }

protected:
    struct Class
    {
        const wchar_t *name;
        // The program's icon, from its resources.
        bool programIcon = false;
        HBRUSH background = nullptr;
    };

    Window() = default;
    // The derived window destroys its own: by now it could no longer take the messages.
    virtual ~Window();

    // Makes the window; hwnd() is set from its first message on, so the derived object must
    // be ready for messages by then.
    bool create(const Class &windowClass, DWORD exStyle, const wchar_t *caption, DWORD style,
                SIZE outer, HWND owner);
    // Every message but WM_NCDESTROY, which ends the hand-over.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The window is gone: hwnd() is null already.
    virtual void destroyed() {}

    HWND m_hwnd = nullptr;

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace qvx::win

#include "qvx/win/MessageLoop.h"

#include "WindowClasses.h"
#include "qvx/core/Text.h"

#include <cwchar>

namespace qvx::win {
namespace {

// The program's own window that a message is meant for, or null (the help viewer's
// windows run in this process too).
HWND programWindow(HWND target)
{
    HWND root = target ? GetAncestor(target, GA_ROOT) : nullptr;
    if (!root)
        return nullptr;
    wchar_t name[64] = {};
    GetClassNameW(root, name, int(std::size(name)));
    return std::wcscmp(name, mainWindowClass) == 0 || std::wcscmp(name, aboutWindowClass) == 0
               ? root
               : nullptr;
}

} // namespace

bool ProgramKeys::helpKey(const MSG &message, HWND window)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_F1 || !m_help || !m_file || !window)
        return false;
    if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    const std::filesystem::path file = m_file();
    if (file.empty())
        return false;
    // Asked for by the main window, which About belongs to: the help outlives About.
    HWND owner = GetAncestor(window, GA_ROOTOWNER);
    m_help->htmlHelp(reinterpret_cast<WindowHandle>(owner ? owner : window), text::fromPath(file),
                     HelpCommand::Contents);
    return true;
}

bool ProgramKeys::filter(MSG &message)
{
    HWND window = programWindow(message.hwnd);
    if (helpKey(message, window))
        return true;
    if (!window)
        return false;
    const bool tab = message.message == WM_KEYDOWN && message.wParam == VK_TAB;
    HWND before = GetFocus();
    if (!IsDialogMessageW(window, &message))
        return false;
    // A field that Tab or Shift+Tab reaches has its text selected, so that typing replaces
    // it. The dialog manager does so only for a dialog's own fields, never for a combo's.
    HWND reached = GetFocus();
    if (tab && reached && reached != before &&
        (SendMessageW(reached, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0)
        SendMessageW(reached, EM_SETSEL, 0, -1);
    return true;
}

int runMessageLoop(MessageFilter &keys)
{
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0)
        dispatchMessage(&keys, message);
    return got == 0 ? int(message.wParam) : 1;
}

} // namespace qvx::win

#include "qvx/win/FrmAbout.h"

#include "FormBuilder.h"
#include "Subclass.h"
#include "WindowClasses.h"
#include "qvx/win/ControlIds.h"
#include "qvx/win/MessageLoop.h"

#include <commctrl.h>

namespace qvx::win {
namespace {

// A fixed dialog: caption, system menu and close button, nothing to resize it with.
constexpr DWORD windowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

FrmAbout *openAbout = nullptr;

int designId(bool (*wanted)(const design::Control &))
{
    const design::Form &form = design::frmAbout();
    for (const design::Control &c : form.controls) {
        if (wanted(c))
            return controlId(form, c.name, c.index);
    }
    return 0;
}

} // namespace

FrmAbout::FrmAbout(Platform &platform, HWND mainWindow, int dpi, Desktop *desktop)
    : m_platform(platform), m_desktop(desktop), m_presenter(platform, *this),
      m_mainWindow(mainWindow)
{
    const design::Form &form = design::frmAbout();
    const Twips twips{dpi > 0 ? dpi : systemDpi()};
    if (form.background) {
        m_background.reset(CreateSolidBrush(
            RGB(form.background->red, form.background->green, form.background->blue)));
    }
    const SIZE outer = outerForClient(form, windowStyle, windowExStyle, false, twips);
    if (!create({aboutWindowClass}, windowExStyle, wide(form.caption).c_str(), windowStyle, outer,
                mainWindow))
        return;
    m_form = std::make_unique<BuiltForm>(form, m_hwnd, twips);
    m_form->setHighContrast(m_platform.highContrast());
    // Made on a screen at another scaling than the system's: laid out for that one.
    if (const int actual = windowDpi(m_hwnd); dpi <= 0 && actual != twips.dpi) {
        RECT place{};
        GetWindowRect(m_hwnd, &place);
        changeDpi(m_hwnd, *m_form, actual, place, windowStyle, windowExStyle, false, m_outerTwips);
    }
    for (int index = 0; index < 2; ++index) {
        if (HWND badge = control("Image2", index))
            setSubclass(badge, badgeProc, UINT_PTR(index), DWORD_PTR(this));
    }
    addToolTips();
}

FrmAbout::~FrmAbout()
{
    if (openAbout == this)
        openAbout = nullptr;
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

FrmAbout *FrmAbout::current()
{
    return openAbout;
}

void FrmAbout::showModal(Platform &platform, HWND mainWindow, Desktop *desktop)
{
    // One About window at a time: the program-wide reference is full while it is open.
    if (openAbout) {
        SetForegroundWindow(openAbout->m_hwnd);
        return;
    }
    FrmAbout about(platform, mainWindow, 0, desktop);
    if (!about.m_hwnd)
        return;
    openAbout = &about;
    about.m_presenter.Form_Load();
    if (!about.m_hwnd)
        return;
    // Modal to the main window: it takes no input until this one is closed.
    if (mainWindow)
        EnableWindow(mainWindow, FALSE);
    ShowWindow(about.m_hwnd, SW_SHOW);
    if (HWND ok = about.control("cmdOK"))
        SetFocus(ok);
    ProgramKeys dialogKeys;
    MessageFilter *keys = desktop ? desktop->messageFilter() : nullptr;
    if (!keys)
        keys = &dialogKeys;
    MSG message;
    while (about.m_hwnd) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: its own loop must still see the request.
            PostQuitMessage(got == 0 ? int(message.wParam) : 1);
            about.unload();
            break;
        }
        dispatchMessage(keys, message);
    }
    if (mainWindow && IsWindow(mainWindow)) {
        EnableWindow(mainWindow, TRUE);
        SetActiveWindow(mainWindow);
    }
}

HWND FrmAbout::control(std::string_view name, int index) const
{
    return m_form ? m_form->control(name, index) : nullptr;
}

LRESULT FrmAbout::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        // Under a high-contrast scheme, the system's face instead of the design's black.
        const bool own = m_background && !(m_form && m_form->highContrast());
        RECT area;
        GetClientRect(m_hwnd, &area);
        FillRect(HDC(wParam), &area, own ? m_background.get() : GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_DPICHANGED:
        if (m_form)
            changeDpi(m_hwnd, *m_form, HIWORD(wParam), *reinterpret_cast<const RECT *>(lParam),
                      windowStyle, windowExStyle, false, m_outerTwips);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (m_form) {
            if (HBRUSH brush = m_form->colour(HDC(wParam), reinterpret_cast<HWND>(lParam)))
                return LRESULT(brush);
        }
        // Pictures sit on the window's own background.
        if (m_background && !(m_form && m_form->highContrast()))
            return LRESULT(m_background.get());
        break;
    case DM_GETDEFID:
        if (const int id = designId([](const design::Control &c) { return c.isDefault; }))
            return MAKELRESULT(id, DC_HASDEFID);
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // Esc presses the cancel button; here that is OK, the default button too.
        const bool cancel =
            id == IDCANCEL && designId([](const design::Control &c) { return c.isCancel; }) != 0;
        const design::Control *c = m_form ? m_form->designOf(id) : nullptr;
        if (cancel || (c && c->name == "cmdOK" && HIWORD(wParam) == BN_CLICKED))
            m_presenter.cmdOK_Click();
        return 0;
    }
    case WM_MOUSEMOVE: {
        // Only the bare surface darkens the badge: over a control, label or line, nothing.
        const POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
        if (ChildWindowFromPointEx(m_hwnd, at, CWP_SKIPINVISIBLE) == m_hwnd)
            m_presenter.Form_MouseMove();
        return 0;
    }
    case WM_SETCURSOR:
        if (m_desktop && m_desktop->applyBusyPointer())
            return TRUE;
        break;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // High contrast may have come or gone.
        if (m_form)
            m_form->setHighContrast(m_platform.highContrast());
        break;
    case WM_CLOSE:
        unload();
        return 0;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

LRESULT FrmAbout::badgeProc(HWND badge, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                            DWORD_PTR data)
{
    auto *self = reinterpret_cast<FrmAbout *>(data);
    switch (message) {
    case WM_MOUSEMOVE:
        self->m_presenter.Image2_MouseMove(int(index));
        break;
    case WM_LBUTTONDOWN:
        self->m_badgePressed = true;
        SetCapture(badge);
        return 0;
    case WM_LBUTTONUP: {
        // A click is a press and a release of the left button over the same badge.
        const bool pressed = self->m_badgePressed;
        self->m_badgePressed = false;
        if (GetCapture() == badge)
            ReleaseCapture();
        RECT area;
        GetClientRect(badge, &area);
        const POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
        if (pressed && PtInRect(&area, at))
            self->m_presenter.Image2_Click(int(index));
        return 0;
    }
    case WM_CAPTURECHANGED:
        self->m_badgePressed = false;
        break;
    }
    return defSubclassProc(badge, message, wParam, lParam);
}

void FrmAbout::addToolTips()
{
    if (!loadCommonControls())
        return;
    m_toolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!m_toolTip)
        return;
    for (const design::Control &c : m_form->form().controls) {
        HWND tool = m_form->control(c.name, c.index);
        if (c.toolTip.empty() || !tool)
            continue;
        std::wstring text = wide(c.toolTip);
        TTTOOLINFOW info{};
        // The size the classic common controls know.
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = m_hwnd;
        info.uId = UINT_PTR(tool);
        info.lpszText = text.data();
        SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, LPARAM(&info));
    }
}

TwipSize FrmAbout::screenSize() const
{
    return screenSizeOf(m_hwnd, m_form->twips());
}

TwipSize FrmAbout::outerSize() const
{
    return outerSizeOf(m_hwnd, m_form->twips());
}

void FrmAbout::moveOuter(float left, float top)
{
    moveOuterOf(m_hwnd, m_form->twips(), left, top);
}

void FrmAbout::takeMainWindowIcon()
{
    if (!m_mainWindow)
        return;
    for (WPARAM size : {WPARAM(ICON_BIG), WPARAM(ICON_SMALL)}) {
        auto icon = HICON(SendMessageW(m_mainWindow, WM_GETICON, size, 0));
        if (!icon)
            icon =
                HICON(GetClassLongPtrW(m_mainWindow, size == ICON_BIG ? GCLP_HICON : GCLP_HICONSM));
        if (icon)
            SendMessageW(m_hwnd, WM_SETICON, size, LPARAM(icon));
    }
}

void FrmAbout::setWindowCaption(const std::string &text)
{
    SetWindowTextW(m_hwnd, wide(text).c_str());
}

void FrmAbout::setCaption(ControlId id, const std::string &text)
{
    if (HWND c = m_form->control(id))
        m_form->setText(c, text);
}

void FrmAbout::setControlVisible(ControlId id, bool visible)
{
    if (HWND c = m_form->control(id))
        m_form->setVisible(c, visible);
}

void FrmAbout::unload()
{
    if (!m_hwnd)
        return;
    // The main window takes input again before this one goes, so that it gets the focus.
    if (m_mainWindow && IsWindow(m_mainWindow))
        EnableWindow(m_mainWindow, TRUE);
    if (openAbout == this)
        openAbout = nullptr;
    DestroyWindow(m_hwnd);
}

} // namespace qvx::win

#include "qvx/win/FrmPlayDemos.h"

#include "FormBuilder.h"
#include "WindowClasses.h"
#include "qvx/win/ControlIds.h"
#include "qvx/win/FrmAbout.h"

namespace qvx::win {
namespace {

constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
// The dialog manager walks through the frames' controls as through the window's own.
constexpr DWORD windowExStyle = WS_EX_CONTROLPARENT;

std::string windowText(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return narrow(text);
}

bool isCommand(const design::Control *control, std::string_view name)
{
    return control && control->name == name;
}

} // namespace

FrmPlayDemos::FrmPlayDemos(Platform &platform, Desktop *desktop, int dpi)
    : m_platform(platform), m_desktop(desktop), m_presenter(platform, *this)
{
    const design::Form &form = design::frmPlayDemos();
    const Twips twips{dpi > 0 ? dpi : systemDpi()};
    // Client area at design time; load replaces it with the fixed outer size.
    const SIZE outer = outerForClient(form, windowStyle, windowExStyle, true, twips);
    if (!create({mainWindowClass, true, HBRUSH(COLOR_BTNFACE + 1)}, windowExStyle,
                wide(form.caption).c_str(), windowStyle, outer, nullptr))
        return;
    m_form = std::make_unique<BuiltForm>(form, m_hwnd, twips);
    m_form->setHighContrast(m_platform.highContrast());
    // Made on a screen at another scaling than the system's: laid out for that one.
    if (const int actual = windowDpi(m_hwnd); dpi <= 0 && actual != twips.dpi) {
        RECT place{};
        GetWindowRect(m_hwnd, &place);
        changeDpi(m_hwnd, *m_form, actual, place, windowStyle, windowExStyle, true, m_outerTwips);
    }
    m_demos = control("cboDemos");
    keepSelectedOptionAsTabStop();
    m_lastFocus = m_demos;
}

FrmPlayDemos::~FrmPlayDemos()
{
    if (m_hwnd) {
        // Torn down by its owner, not unloaded by the user: the program goes on.
        m_tearingDown = true;
        DestroyWindow(m_hwnd);
    }
}

HWND FrmPlayDemos::control(std::string_view name, int index) const
{
    return m_form ? m_form->control(name, index) : nullptr;
}

HWND FrmPlayDemos::option(int index) const
{
    return control("optDemoVersion", index != 0 ? 1 : 0);
}

LRESULT FrmPlayDemos::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case DM_GETDEFID:
        // What Enter presses wherever the focus is, but on another command button.
        for (const design::Control &c : design::frmPlayDemos().controls) {
            if (c.isDefault)
                return MAKELRESULT(controlId(design::frmPlayDemos(), c.name, c.index), DC_HASDEFID);
        }
        return 0;
    case WM_NEXTDLGCTL: {
        // The dialog manager's arrow keys ask for this; a plain window has to answer it.
        HWND next = lParam ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(m_hwnd, GetFocus(), wParam != 0);
        if (next)
            SetFocus(next);
        return 0;
    }
    case WM_DPICHANGED:
        if (m_form)
            changeDpi(m_hwnd, *m_form, HIWORD(wParam), *reinterpret_cast<const RECT *>(lParam),
                      windowStyle, windowExStyle, true, m_outerTwips);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (m_form) {
            if (HBRUSH brush = m_form->colour(HDC(wParam), reinterpret_cast<HWND>(lParam)))
                return LRESULT(brush);
        }
        break;
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
    case WM_ACTIVATE:
        // Coming back to the window brings the focus back to where it was.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus && IsChild(m_hwnd, focus))
                m_lastFocus = focus;
        } else if (m_lastFocus && IsWindow(m_lastFocus) && IsWindowEnabled(m_hwnd)) {
            SetFocus(m_lastFocus);
        }
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    case WM_DESTROY:
        // The main window's unload ends the program.
        if (!m_tearingDown)
            PostQuitMessage(0);
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void FrmPlayDemos::command(int id, int code, HWND from)
{
    if (!m_form)
        return;
    if (!from && code == 0) {
        if (const design::MenuItem *item = m_form->menuItem(id))
            m_presenter.menu_Click(item->name);
        return;
    }
    const design::Control *control = m_form->designOf(id);
    if (!control)
        return; // IDCANCEL from Esc among them: the window has no cancel button
    switch (control->kind) {
    case design::Kind::CommandButton:
        // The dialog manager moves the default style to a button that Tab reaches.
        if (code == BN_CLICKED && isCommand(control, "cmdPlay"))
            m_presenter.cmdPlay_Click();
        else if (code == BN_CLICKED && isCommand(control, "cmdClose"))
            m_presenter.cmdClose_Click();
        break;
    case design::Kind::OptionButton:
        if (code == BN_CLICKED)
            optionClicked(control->index);
        break;
    case design::Kind::ComboBox:
        if (code == CBN_SELCHANGE) {
            // The field shows the choice only after this notification; the handler reads it.
            const LRESULT chosen = SendMessageW(m_demos, CB_GETCURSEL, 0, 0);
            if (chosen != CB_ERR)
                SetWindowTextW(m_demos, wide(demoEntry(std::size_t(chosen))).c_str());
            m_presenter.cboDemos_Click();
        }
        break;
    default:
        break;
    }
}

void FrmPlayDemos::optionClicked(int index)
{
    const bool checked = SendMessageW(option(index), BM_GETCHECK, 0, 0) == BST_CHECKED;
    keepSelectedOptionAsTabStop();
    // Clicking the selected option again selects nothing new.
    if (checked && m_selectedOption != index) {
        m_selectedOption = index;
        m_presenter.optDemoVersion_Click(index);
    }
}

// Only the selected option of the group is a tab stop; the arrow keys move within it.
void FrmPlayDemos::keepSelectedOptionAsTabStop()
{
    HWND quorvex = option(0);
    HWND junior = option(1);
    if (!quorvex || !junior)
        return;
    const bool anyChecked = SendMessageW(quorvex, BM_GETCHECK, 0, 0) == BST_CHECKED ||
                            SendMessageW(junior, BM_GETCHECK, 0, 0) == BST_CHECKED;
    for (HWND each : {quorvex, junior}) {
        const bool stop =
            SendMessageW(each, BM_GETCHECK, 0, 0) == BST_CHECKED || (!anyChecked && each == junior);
        const LONG_PTR style = GetWindowLongPtrW(each, GWL_STYLE);
        SetWindowLongPtrW(each, GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

TwipSize FrmPlayDemos::screenSize() const
{
    return screenSizeOf(m_hwnd, m_form->twips());
}

TwipSize FrmPlayDemos::outerSize() const
{
    return outerSizeOf(m_hwnd, m_form->twips());
}

void FrmPlayDemos::moveOuter(float left, float top)
{
    moveOuterOf(m_hwnd, m_form->twips(), left, top);
}

WindowHandle FrmPlayDemos::handle() const
{
    return reinterpret_cast<WindowHandle>(m_hwnd);
}

void FrmPlayDemos::setOuterSize(int width, int height)
{
    m_outerTwips = {width, height};
    const Twips &t = m_form->twips();
    SetWindowPos(m_hwnd, nullptr, 0, 0, t.px(width), t.px(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrmPlayDemos::show()
{
    ShowWindow(m_hwnd, SW_SHOW);
    // The focus starts in the demo list.
    m_lastFocus = m_demos;
    if (GetActiveWindow() == m_hwnd)
        SetFocus(m_demos);
    UpdateWindow(m_hwnd);
}

void FrmPlayDemos::paintNow()
{
    RedrawWindow(m_hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FrmPlayDemos::close()
{
    // The window cannot refuse its unload.
    if (!m_hwnd)
        return;
    m_closed = true;
    if (m_busy > 0)
        m_destroyWhenIdle = true;
    else
        DestroyWindow(m_hwnd);
}

void FrmPlayDemos::moveControl(ControlId id, int left, int top)
{
    if (HWND c = m_form->control(id))
        m_form->move(c, left, top);
}

void FrmPlayDemos::setControlVisible(ControlId id, bool visible)
{
    if (HWND c = m_form->control(id))
        m_form->setVisible(c, visible);
}

void FrmPlayDemos::setCaption(ControlId id, const std::string &text)
{
    if (HWND c = m_form->control(id))
        m_form->setText(c, text);
}

void FrmPlayDemos::setMenuEnabled(std::string_view item, bool enabled)
{
    m_form->setMenuEnabled(item, enabled);
}

bool FrmPlayDemos::optionValue(int index) const
{
    return SendMessageW(option(index), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FrmPlayDemos::setOptionValue(int index, bool value)
{
    HWND chosen = option(index);
    const bool was = optionValue(index);
    SendMessageW(chosen, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (value)
        SendMessageW(option(index == 0 ? 1 : 0), BM_SETCHECK, BST_UNCHECKED, 0);
    keepSelectedOptionAsTabStop();
    const int normalised = index != 0 ? 1 : 0;
    if (!value) {
        if (m_selectedOption == normalised)
            m_selectedOption = -1;
        return;
    }
    // Selecting runs the click handler before returning, as a click does.
    if (!was || m_selectedOption != normalised) {
        m_selectedOption = normalised;
        m_presenter.optDemoVersion_Click(index);
    }
}

void FrmPlayDemos::clearDemoList()
{
    SendMessageW(m_demos, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(m_demos, L"");
}

void FrmPlayDemos::addDemoEntries(const std::vector<std::string> &entries)
{
    std::vector<std::wstring> texts;
    texts.reserve(entries.size());
    std::size_t units = 0;
    for (const std::string &entry : entries) {
        texts.push_back(wide(entry));
        units += texts.back().size() + 1;
    }
    // Thousands of demos: the list's memory in one piece rather than item by item.
    SendMessageW(m_demos, CB_INITSTORAGE, WPARAM(texts.size()), LPARAM(units * sizeof(wchar_t)));
    const bool wasEmpty = SendMessageW(m_demos, CB_GETCOUNT, 0, 0) <= 0;
    for (const std::wstring &text : texts)
        SendMessageW(m_demos, CB_ADDSTRING, 0, LPARAM(text.c_str()));
    // The first name listed is the current entry, so that the first Down moves past it.
    if (wasEmpty && !texts.empty())
        SendMessageW(m_demos, CB_SETCURSEL, 0, 0);
}

std::string FrmPlayDemos::demoEntry(std::size_t index) const
{
    const LRESULT length = SendMessageW(m_demos, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(std::size_t(length) + 1, L'\0');
    const LRESULT got = SendMessageW(m_demos, CB_GETLBTEXT, WPARAM(index), LPARAM(text.data()));
    text.resize(got == CB_ERR ? 0 : std::size_t(got));
    return narrow(text);
}

std::string FrmPlayDemos::demoText() const
{
    return windowText(m_demos);
}

void FrmPlayDemos::setDemoText(const std::string &text)
{
    // Setting the text is not a choice: no note follows.
    SetWindowTextW(m_demos, wide(text).c_str());
}

void FrmPlayDemos::showAbout()
{
    holdWhile([this] { FrmAbout::showModal(m_platform, m_hwnd, m_desktop); });
}

template <typename Step> void FrmPlayDemos::holdWhile(Step step)
{
    // The presenter lives in this object: a close during the step only marks the window.
    ++m_busy;
    step();
    if (--m_busy == 0 && m_destroyWhenIdle && m_hwnd) {
        m_destroyWhenIdle = false;
        DestroyWindow(m_hwnd);
    }
}

void FrmPlayDemos::Form_Load()
{
    holdWhile([this] { m_presenter.Form_Load(); });
}

void FrmPlayDemos::func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits)
{
    holdWhile([&] { m_presenter.func_UnzipDemos(bCalledFromButtonClick, waits); });
}

} // namespace qvx::win

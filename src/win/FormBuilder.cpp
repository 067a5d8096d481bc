#include "FormBuilder.h"
#include "Accessibility.h"
#include "Subclass.h"

#include "qvx/win/ControlIds.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>

namespace qvx::win {

int systemDpi()
{
    const qvx::WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

int windowDpi(HWND window)
{
    // Windows 10 1607 and later; older systems scale every window by the system DPI.
    using DpiForWindow = UINT(WINAPI *)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    const UINT dpi = dpiForWindow && window ? dpiForWindow(window) : 0;
    return dpi > 0 ? int(dpi) : systemDpi();
}

int Twips::px(double twips) const
{
    return int(std::lround(twips * dpi / 1440.0));
}

Font createFont(const design::Font &font, int dpi)
{
    // Points as the design gives them, fractions included (8.25 pt is 11 px at 96 DPI).
    const int height = -int(std::lround(font.points * dpi / 72.0));
    return Font(CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(font.face).c_str()));
}

namespace {

bool takesFocus(const design::Control &control)
{
    return control.tabIndex != design::noTabStop &&
           (control.kind == design::Kind::ComboBox || control.kind == design::Kind::CommandButton ||
            control.kind == design::Kind::OptionButton);
}

COLORREF rgb(const design::Colour &colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

// A picture resource is named after the design's file, upper case, with "_" for the dot.
std::wstring pictureResource(std::string_view picture)
{
    std::wstring name;
    for (char c : picture)
        name += std::isalnum(static_cast<unsigned char>(c))
                    ? wchar_t(std::toupper(static_cast<unsigned char>(c)))
                    : L'_';
    return name;
}

// A frame holds its controls as a container does: what they report goes on to the window,
// and it hides whatever lies under it.
LRESULT frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return SendMessageW(GetAncestor(frame, GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT area;
        GetClientRect(frame, &area);
        FillRect(HDC(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    }
    return defSubclassProc(frame, message, wParam, lParam);
}

// Overlapping transparent labels (the title and its shadow) are drawn as one stack by each
// of them, back to front: which of the two windows the system paints last then no longer
// decides which text shows in front.
LRESULT transparentLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR form)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(label, &paint);
        reinterpret_cast<const BuiltForm *>(form)->paintLabelStack(label, dc);
        EndPaint(label, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        // Drawn into another device context, as for a picture of the window.
        reinterpret_cast<const BuiltForm *>(form)->paintLabelStack(label, HDC(wParam));
        return 0;
    }
    return defSubclassProc(label, message, wParam, lParam);
}

} // namespace

BuiltForm::BuiltForm(const design::Form &form, HWND window, Twips twips)
    : m_form(form), m_window(window), m_twips(twips), m_controls(form.controls.size(), nullptr),
      m_places(form.controls.size()), m_pictures(form.controls.size()),
      m_cut(form.controls.size(), false)
{
    for (std::size_t index = 0; index < form.controls.size(); ++index)
        m_places[index] = {form.controls[index].rect.left, form.controls[index].rect.top};
    m_windowFont = font(form.font);
    for (std::size_t index = 0; index < form.controls.size(); ++index)
        create(index);
    m_ink.reset();
    orderControls();
    if (!form.menu.empty())
        buildMenu();
    for (std::size_t index = 0; index < form.controls.size(); ++index)
        describeControl(m_controls[index], form, form.controls[index]);
}

BuiltForm::~BuiltForm() = default;

HFONT BuiltForm::font(const design::Font &wanted)
{
    for (const auto &[design, handle] : m_fonts) {
        if (design == wanted)
            return handle.get();
    }
    Font created = createFont(wanted, m_twips.dpi);
    const HFONT handle = created.get();
    m_fonts.emplace_back(wanted, std::move(created));
    return handle;
}

// Captions are drawn here, off-screen, the way their controls draw them, to see where their
// ink falls: what some faces draw is wider than what they measure (hinted bitmaps at some
// sizes, overhanging letters), and narrower in others, so only the drawing decides. One
// surface serves a form's whole layout, grown to its largest caption.
class InkSurface
{
public:
    InkSurface() : m_dc(CreateCompatibleDC(nullptr))
    {
        SetTextColor(m_dc.get(), RGB(0, 0, 0));
        SetBkMode(m_dc.get(), TRANSPARENT);
    }

    // Null where the system has no memory for it.
    HDC dc() const { return m_dc.get(); }

    // Whether `text`, drawn as `format` says into `room` in the font selected, leaves no ink
    // outside it.
    bool inside(std::wstring_view text, UINT format, SIZE room)
    {
        const HDC dc = m_dc.get();
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        // Ink beyond the room starts within a line's height or a letter's width of it.
        const int margin = int(std::max(metrics.tmHeight, metrics.tmMaxCharWidth));
        const int width = int(room.cx) + 2 * margin;
        const int height = int(room.cy) + 2 * margin;
        if (!reserve(width, height)) {
            RECT laid{0, 0, room.cx, 0};
            DrawTextW(dc, text.data(), int(text.size()), &laid, format | DT_CALCRECT);
            return laid.right <= room.cx && laid.bottom <= room.cy;
        }
        // Only what lies around the room is looked at, so only that is cleared.
        const RECT place{margin, margin, margin + room.cx, margin + room.cy};
        const auto around = [&](auto &&each) {
            for (int y = 0; y < height; ++y) {
                const bool beside = y >= place.top && y < place.bottom;
                std::uint32_t *pixels = row(y);
                if (beside) {
                    if (!each(pixels, place.left) || !each(pixels + place.right, margin))
                        return false;
                } else if (!each(pixels, width)) {
                    return false;
                }
            }
            return true;
        };
        around([](std::uint32_t *pixels, int count) {
            std::fill_n(pixels, count, 0xFFFFFFFF);
            return true;
        });
        RECT drawn = place;
        DrawTextW(dc, text.data(), int(text.size()), &drawn, format | DT_NOCLIP);
        GdiFlush();
        return around([](const std::uint32_t *pixels, int count) {
            return std::all_of(pixels, pixels + count,
                               [](std::uint32_t pixel) { return (pixel & 0xFFFFFF) == 0xFFFFFF; });
        });
    }

private:
    std::uint32_t *row(int y) const { return m_bits + std::size_t(y) * std::size_t(m_width); }

    bool reserve(int width, int height)
    {
        if (width <= m_width && height <= m_height)
            return m_bits != nullptr;
        width = std::max(width, m_width);
        height = std::max(height, m_height);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void *bits = nullptr;
        Bitmap grown(CreateDIBSection(m_dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!grown || !bits)
            return false;
        // The one it replaces is no longer selected when it goes.
        SelectObject(m_dc.get(), grown.get());
        m_bitmap = std::move(grown);
        m_bits = static_cast<std::uint32_t *>(bits);
        m_width = width;
        m_height = height;
        return true;
    }

    // Declared first, freed last: after the context that holds it.
    Bitmap m_bitmap;
    qvx::MemoryDc m_dc;
    std::uint32_t *m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// Whether a caption shows whole in the font selected into the surface: a label's lines at its
// width and within its height, or one line beside an option's box, between a button's
// edges or on a frame's border.
bool BuiltForm::shows(InkSurface &surface, const design::Control &control, SIZE box,
                      std::wstring_view text) const
{
    TEXTMETRICW metrics{};
    GetTextMetricsW(surface.dc(), &metrics);
    // Without DT_NOPREFIX an access key's "&" takes no room, as on a button.
    UINT format = DT_EXPANDTABS | DT_SINGLELINE;
    switch (control.kind) {
    case design::Kind::Label:
        format = DT_EXPANDTABS | DT_NOPREFIX | (control.wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
        break;
    case design::Kind::OptionButton:
        // The round box, 13 px at 96 DPI, and the gap before the text.
        box.cx -= m_twips.px(195) + metrics.tmAveCharWidth;
        break;
    case design::Kind::CommandButton:
        // The raised edges and the focus rectangle; the caption is centred between them.
        box.cx -= m_twips.px(120);
        format |= DT_CENTER;
        break;
    case design::Kind::Frame:
        // The border's ends either side of the caption.
        box.cx -= 2 * metrics.tmAveCharWidth;
        box.cy = metrics.tmHeight;
        break;
    default:
        return true;
    }
    return box.cx > 0 && box.cy > 0 && surface.inside(text, format, box);
}

// The design's font, or the largest smaller size of it in which the caption shows whole:
// rounding to whole pixels at some DPIs, and faces that stand in for a missing one, can
// make the design's size too big for the box. `whole` says whether any size did.
HFONT BuiltForm::fittingFont(const design::Control &control, const design::Font &designFont,
                             SIZE box, std::wstring_view text, bool *whole)
{
    HFONT chosen = font(designFont);
    if (whole)
        *whole = true;
    if (text.empty())
        return chosen;
    if (!m_ink)
        m_ink = std::make_unique<InkSurface>();
    const HDC dc = m_ink->dc();
    if (!dc)
        return chosen;
    const HGDIOBJ old = SelectObject(dc, chosen);
    const int height = int(std::lround(designFont.points * m_twips.dpi / 72.0));
    // Below half its size a caption is no longer read, whole or not.
    const int least = std::max(6, (height + 1) / 2);
    bool fits = shows(*m_ink, control, box, text);
    for (int smaller = height - 1; smaller >= least && !fits; --smaller) {
        design::Font reduced = designFont;
        reduced.points = smaller * 72.0 / m_twips.dpi;
        chosen = font(reduced);
        SelectObject(dc, chosen);
        fits = shows(*m_ink, control, box, text);
    }
    SelectObject(dc, old);
    if (whole)
        *whole = fits;
    return chosen;
}

HBRUSH BuiltForm::brush(const design::Colour &colour)
{
    const COLORREF value = rgb(colour);
    for (const auto &[known, handle] : m_brushes) {
        if (known == value)
            return handle.get();
    }
    HBRUSH handle = CreateSolidBrush(value);
    m_brushes.emplace_back(value, handle);
    return handle;
}

RECT BuiltForm::boxOf(std::size_t index) const
{
    const design::Control &control = m_form.controls[index];
    const Twips &t = m_twips;
    if (control.kind == design::Kind::Line) {
        const design::Line &l = control.line;
        const int width = std::max(1, l.widthPx);
        const int x1 = t.px(std::min(l.x1, l.x2));
        const int y1 = t.px(std::min(l.y1, l.y2));
        return {x1, y1, t.px(std::max(l.x1, l.x2)) - x1 + width,
                t.px(std::max(l.y1, l.y2)) - y1 + width};
    }
    const auto &[left, top] = m_places[index];
    return {t.px(left), t.px(top), t.px(control.rect.width), t.px(control.rect.height)};
}

void BuiltForm::create(std::size_t index)
{
    const design::Control &control = m_form.controls[index];
    HWND parent = control.container.empty() ? m_window : this->control(control.container);
    if (!parent)
        parent = m_window;
    const RECT box = boxOf(index);

    const wchar_t *className = WC_STATICW;
    // Only the options of a container share a group: whatever follows them ends it, so
    // that the arrow keys never walk out of it onto a label or a line.
    DWORD style = WS_CHILD | (control.visible ? WS_VISIBLE : 0) |
                  (control.kind == design::Kind::OptionButton ? 0 : WS_GROUP);
    DWORD exStyle = 0;
    std::wstring text = wide(control.caption);
    switch (control.kind) {
    case design::Kind::Label:
        // Captions are data: an "&" is shown, not taken as an access key.
        style |= SS_NOPREFIX | (control.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
        // A transparent label is drawn after what lies under it, siblings included.
        if (control.transparent)
            exStyle |= WS_EX_TRANSPARENT;
        else
            style |= WS_CLIPSIBLINGS;
        break;
    case design::Kind::Line:
        // An empty static filled with the line's colour keeps it crisp.
        style |= SS_LEFT | WS_CLIPSIBLINGS;
        text.clear();
        break;
    case design::Kind::Frame:
        className = WC_BUTTONW;
        style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
        // The dialog manager walks into it for Tab, arrows and access keys.
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    case design::Kind::OptionButton:
        className = WC_BUTTONW;
        style |= BS_AUTORADIOBUTTON | WS_CLIPSIBLINGS;
        break;
    case design::Kind::ComboBox:
        className = WC_COMBOBOXW;
        // Editable and in the order given: no CBS_SORT.
        style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_CLIPSIBLINGS;
        break;
    case design::Kind::CommandButton:
        className = WC_BUTTONW;
        style |= (control.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_CLIPSIBLINGS;
        break;
    case design::Kind::Image:
        style |= SS_BITMAP | WS_CLIPSIBLINGS | (control.toolTip.empty() ? 0 : SS_NOTIFY);
        text.clear();
        break;
    case design::Kind::FileList:
        return;
    }
    if (takesFocus(control) && control.kind != design::Kind::OptionButton)
        style |= WS_TABSTOP;

    // The combo's height covers its list when dropped.
    const int height = control.kind == design::Kind::ComboBox ? box.bottom * 8 : box.bottom;
    HWND handle = CreateWindowExW(exStyle, className, text.c_str(), style, box.left, box.top,
                                  box.right, height, parent,
                                  reinterpret_cast<HMENU>(INT_PTR(firstControlId + int(index))),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!handle)
        return;
    m_controls[index] = handle;
    switch (control.kind) {
    case design::Kind::Frame:
        setSubclass(handle, frameProc, 0, 0);
        break;
    case design::Kind::Label:
        if (control.transparent)
            setSubclass(handle, transparentLabelProc, 0, DWORD_PTR(this));
        break;
    default:
        break;
    }
    place(index, false);
}

// Puts a control where the design has it at the form's DPI, in the font its caption fits,
// with its picture drawn at that size.
void BuiltForm::place(std::size_t index, bool move)
{
    const design::Control &control = m_form.controls[index];
    HWND handle = m_controls[index];
    if (!handle)
        return;
    const RECT box = boxOf(index);
    const int height = control.kind == design::Kind::ComboBox ? box.bottom * 8 : box.bottom;
    if (move)
        SetWindowPos(handle, nullptr, box.left, box.top, box.right, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    std::wstring text(std::size_t(GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(handle, text.data(), int(text.size()))));
    if (control.kind == design::Kind::Line || control.kind == design::Kind::Image)
        text.clear();
    bool whole = true;
    SendMessageW(
        handle, WM_SETFONT,
        WPARAM(fittingFont(control, fontOf(control), {box.right, box.bottom}, text, &whole)),
        FALSE);
    m_cut[index] = !whole;

    switch (control.kind) {
    case design::Kind::ComboBox: {
        // The closed combo is as tall as the design says: the field's height gives it.
        // Some systems store the field's height with padding added, so each try corrects
        // the height asked for by what the combo came out as, not by what it reports.
        const LRESULT start = SendMessageW(handle, CB_GETITEMHEIGHT, WPARAM(-1), 0);
        LRESULT asked = start;
        for (int attempt = 0; attempt < 3 && asked > 0; ++attempt) {
            RECT outer;
            GetWindowRect(handle, &outer);
            const int error = box.bottom - (outer.bottom - outer.top);
            if (error == 0 || asked + error <= 0)
                break;
            asked += error;
            SendMessageW(handle, CB_SETITEMHEIGHT, WPARAM(-1), asked);
        }
        break;
    }
    case design::Kind::Image: {
        // Drawn at the design's size: the picture's own at 96 DPI, scaled with the DPI.
        // A picture control does not own its bitmap: the form does, and frees the one it
        // replaces once the control shows the new one.
        Bitmap bitmap(
            HBITMAP(LoadImageW(GetModuleHandleW(nullptr), pictureResource(control.picture).c_str(),
                               IMAGE_BITMAP, box.right, box.bottom, LR_CREATEDIBSECTION)));
        if (bitmap) {
            SendMessageW(handle, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap.get()));
            m_pictures[index] = std::move(bitmap);
        }
        // Setting a picture sizes the control to it.
        SetWindowPos(handle, nullptr, box.left, box.top, box.right, box.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    default:
        break;
    }
}

void BuiltForm::relayout(int dpi)
{
    if (dpi <= 0 || dpi == m_twips.dpi)
        return;
    // The old fonts go once every control has its new one.
    const std::vector<std::pair<design::Font, Font>> old = std::exchange(m_fonts, {});
    m_twips = Twips{dpi};
    m_windowFont = font(m_form.font);
    // Containers first: a control's place is within its container's.
    for (std::size_t index = 0; index < m_controls.size(); ++index)
        place(index);
    m_ink.reset();
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The dialog manager's tab order is the Z order, and drawing overlaps follow it too. The
// controls with a tab index take their places by it; the others keep the design's order,
// back to front. In these designs no control that overlaps another takes the focus, and
// the tab indexes of overlapping labels and frames agree with the design's order.
void BuiltForm::orderControls()
{
    std::vector<HWND> containers{m_window};
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_form.controls[i].kind == design::Kind::Frame && m_controls[i])
            containers.push_back(m_controls[i]);
    }
    for (HWND container : containers) {
        std::vector<std::size_t> topFirst;
        for (std::size_t i = m_controls.size(); i-- > 0;) {
            if (m_controls[i] && GetParent(m_controls[i]) == container)
                topFirst.push_back(i);
        }
        std::vector<std::size_t> indexed;
        for (std::size_t i : topFirst) {
            if (m_form.controls[i].tabIndex != design::noTabStop)
                indexed.push_back(i);
        }
        std::stable_sort(indexed.begin(), indexed.end(), [&](std::size_t a, std::size_t b) {
            return m_form.controls[a].tabIndex < m_form.controls[b].tabIndex;
        });
        // The arrow keys go through a group in this order, so its options take their
        // places from the top down, then from the left, whatever their tab indexes.
        std::vector<std::size_t> options;
        for (std::size_t i : indexed) {
            if (m_form.controls[i].kind == design::Kind::OptionButton)
                options.push_back(i);
        }
        std::stable_sort(options.begin(), options.end(), [&](std::size_t a, std::size_t b) {
            const design::Rect &first = m_form.controls[a].rect;
            const design::Rect &second = m_form.controls[b].rect;
            return std::pair{first.top, first.left} < std::pair{second.top, second.left};
        });
        auto nextOption = options.begin();
        for (std::size_t &slot : indexed) {
            if (m_form.controls[slot].kind == design::Kind::OptionButton)
                slot = *nextOption++;
        }
        auto next = indexed.begin();
        for (std::size_t &slot : topFirst) {
            if (m_form.controls[slot].tabIndex != design::noTabStop)
                slot = *next++;
        }
        HWND above = HWND_TOP;
        bool firstOption = true;
        for (std::size_t i : topFirst) {
            SetWindowPos(m_controls[i], above, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
            above = m_controls[i];
            // The options of one container are one group, starting at the first in order.
            if (m_form.controls[i].kind == design::Kind::OptionButton && firstOption) {
                firstOption = false;
                SetWindowLongPtrW(m_controls[i], GWL_STYLE,
                                  GetWindowLongPtrW(m_controls[i], GWL_STYLE) | WS_GROUP);
            }
        }
    }
}

void BuiltForm::buildMenu()
{
    m_menuBar = CreateMenu();
    std::vector<HMENU> popups(m_form.menu.size(), nullptr);
    m_menuPlaces.assign(m_form.menu.size(), {nullptr, 0});
    for (std::size_t i = 0; i < m_form.menu.size(); ++i) {
        const design::MenuItem &item = m_form.menu[i];
        HMENU parent = m_menuBar;
        for (std::size_t p = 0; p < i && !item.parent.empty(); ++p) {
            if (m_form.menu[p].name == item.parent)
                parent = popups[p];
        }
        if (!parent)
            continue;
        const bool opensMenu =
            std::any_of(m_form.menu.begin(), m_form.menu.end(),
                        [&](const design::MenuItem &other) { return other.parent == item.name; });
        const std::wstring caption = wide(item.caption);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
        info.wID = UINT(firstMenuId + int(i));
        info.fState = item.enabled ? MFS_ENABLED : MFS_GRAYED;
        if (item.isSeparator()) {
            info.fType = MFT_SEPARATOR;
        } else {
            info.fType = MFT_STRING;
            info.fMask |= MIIM_STRING;
            info.dwTypeData = const_cast<wchar_t *>(caption.c_str());
        }
        if (opensMenu) {
            popups[i] = CreatePopupMenu();
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = popups[i];
        }
        const UINT place = UINT(GetMenuItemCount(parent));
        InsertMenuItemW(parent, place, TRUE, &info);
        m_menuPlaces[i] = {parent, place};
    }
    SetMenu(m_window, m_menuBar);
}

HWND BuiltForm::control(std::string_view name, int index) const
{
    const int id = controlId(m_form, name, index);
    return id ? m_controls[std::size_t(id - firstControlId)] : nullptr;
}

const design::Control *BuiltForm::designOf(int id) const
{
    const int index = id - firstControlId;
    if (index < 0 || std::size_t(index) >= m_controls.size())
        return nullptr;
    return &m_form.controls[std::size_t(index)];
}

const design::Control *BuiltForm::designOf(HWND handle) const
{
    const design::Control *control = designOf(GetDlgCtrlID(handle));
    return control && m_controls[std::size_t(control - m_form.controls.data())] == handle ? control
                                                                                          : nullptr;
}

void BuiltForm::setHighContrast(bool highContrast)
{
    if (highContrast == m_highContrast)
        return;
    m_highContrast = highContrast;
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HBRUSH BuiltForm::colour(HDC dc, HWND handle)
{
    const design::Control *control = designOf(handle);
    if (!control || control->kind == design::Kind::CommandButton ||
        control->kind == design::Kind::Frame || control->kind == design::Kind::ComboBox)
        return nullptr;
    if (m_highContrast) {
        // The system's edges for an etched rule, its text on its face for the rest.
        if (control->kind == design::Kind::Line)
            return GetSysColorBrush(
                control->line.edge == design::Edge::Highlight ? COLOR_3DHIGHLIGHT : COLOR_3DSHADOW);
        if (!control->transparent)
            return nullptr;
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkMode(dc, TRANSPARENT);
        return HBRUSH(GetStockObject(NULL_BRUSH));
    }
    if (control->kind == design::Kind::Line)
        return brush(control->foreColour.value_or(design::Colour{}));

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF back = control->backColour ? rgb(*control->backColour)
                          : m_form.background ? rgb(*m_form.background)
                                              : face;
    if (control->foreColour)
        SetTextColor(dc, rgb(*control->foreColour));
    if (control->transparent) {
        SetBkMode(dc, TRANSPARENT);
        return HBRUSH(GetStockObject(NULL_BRUSH));
    }
    if (!control->foreColour && !control->backColour && !m_form.background)
        return nullptr;
    SetBkColor(dc, back);
    return back == face ? GetSysColorBrush(COLOR_BTNFACE)
                        : brush({GetRValue(back), GetGValue(back), GetBValue(back)});
}

void BuiltForm::paintLabelStack(HWND label, HDC dc) const
{
    RECT own;
    GetWindowRect(label, &own);
    const HWND container = GetParent(label);
    SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const design::Control &control = m_form.controls[i];
        const HWND other = m_controls[i];
        if (!other || control.kind != design::Kind::Label || !control.transparent ||
            GetParent(other) != container || !IsWindowVisible(other) ||
            (m_highContrast && !design::drawnUnderHighContrast(control)))
            continue;
        RECT box;
        GetWindowRect(other, &box);
        RECT overlap;
        if (!IntersectRect(&overlap, &own, &box))
            continue;
        OffsetRect(&box, -own.left, -own.top);
        std::wstring text(std::size_t(GetWindowTextLengthW(other)) + 1, L'\0');
        text.resize(std::size_t(GetWindowTextW(other, text.data(), int(text.size()))));
        const HGDIOBJ previous = SelectObject(dc, HFONT(SendMessageW(other, WM_GETFONT, 0, 0)));
        SetTextColor(dc, control.foreColour && !m_highContrast ? rgb(*control.foreColour)
                                                               : GetSysColor(COLOR_WINDOWTEXT));
        // A one-line caption that shows whole in no size of its font closes up its letters,
        // at most a pixel each, rather than lose its end.
        int extra = 0;
        if (m_cut[i] && !control.wordWrap && text.size() > 1) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
            const int over = size.cx - (box.right - box.left);
            if (over > 0)
                extra = -std::min(1, int((over + text.size() - 2) / (text.size() - 1)));
        }
        SetTextCharacterExtra(dc, extra);
        DrawTextW(dc, text.c_str(), int(text.size()), &box,
                  DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS |
                      (control.wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
        SetTextCharacterExtra(dc, 0);
        SelectObject(dc, previous);
    }
}

namespace {

// Draws again what lies under a control: its container and the siblings there.
void redrawUnder(HWND control)
{
    HWND parent = GetParent(control);
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&box), 2);
    RedrawWindow(parent, &box, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace

void BuiltForm::setText(HWND handle, std::string_view text)
{
    const std::wstring shown = wide(text);
    const design::Control *control = designOf(handle);
    if (control) {
        // The font that lets the new text show whole; the text's own change redraws it.
        RECT box{};
        GetClientRect(handle, &box);
        bool whole = true;
        SendMessageW(
            handle, WM_SETFONT,
            WPARAM(fittingFont(*control, fontOf(*control), {box.right, box.bottom}, shown, &whole)),
            FALSE);
        m_cut[std::size_t(control - m_form.controls.data())] = !whole;
        m_ink.reset();
    }
    SetWindowTextW(handle, shown.c_str());
    if (control && control->transparent && IsWindowVisible(handle))
        redrawUnder(handle);
}

void BuiltForm::setVisible(HWND handle, bool visible)
{
    ShowWindow(handle, visible ? SW_SHOWNA : SW_HIDE);
}

void BuiltForm::move(HWND handle, int leftTwips, int topTwips)
{
    // Kept, so that a change of DPI puts it there again.
    for (std::size_t index = 0; index < m_controls.size(); ++index) {
        if (m_controls[index] == handle)
            m_places[index] = {leftTwips, topTwips};
    }
    SetWindowPos(handle, nullptr, m_twips.px(leftTwips), m_twips.px(topTwips), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const design::MenuItem *BuiltForm::menuItem(int commandId) const
{
    const int index = commandId - firstMenuId;
    if (index < 0 || std::size_t(index) >= m_form.menu.size())
        return nullptr;
    return &m_form.menu[std::size_t(index)];
}

void BuiltForm::setMenuEnabled(std::string_view item, bool enabled)
{
    const int id = menuId(m_form, item);
    if (!id)
        return;
    const auto &[menu, place] = m_menuPlaces[std::size_t(id - firstMenuId)];
    if (!menu)
        return;
    EnableMenuItem(menu, place, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    if (menu == m_menuBar)
        DrawMenuBar(m_window);
}

namespace {

RECT screenOf(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    // The whole screen, not the part task bars leave free.
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info))
        return info.rcMonitor;
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

} // namespace

TwipSize screenSizeOf(HWND window, const Twips &twips)
{
    const RECT screen = screenOf(window);
    return {twips.toTwips(screen.right - screen.left), twips.toTwips(screen.bottom - screen.top)};
}

TwipSize outerSizeOf(HWND window, const Twips &twips)
{
    RECT outer{};
    GetWindowRect(window, &outer);
    return {twips.toTwips(outer.right - outer.left), twips.toTwips(outer.bottom - outer.top)};
}

void moveOuterOf(HWND window, const Twips &twips, float left, float top)
{
    const RECT screen = screenOf(window);
    SetWindowPos(window, nullptr, screen.left + twips.px(left), screen.top + twips.px(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void changeDpi(HWND window, BuiltForm &form, int dpi, const RECT &suggested, DWORD style,
               DWORD exStyle, bool menu, std::optional<std::pair<int, int>> outerTwips)
{
    form.relayout(dpi);
    const Twips &t = form.twips();
    const SIZE outer = outerTwips ? SIZE{t.px(outerTwips->first), t.px(outerTwips->second)}
                                  : outerForClient(form.form(), style, exStyle, menu, t);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE outerForClient(const design::Form &form, DWORD style, DWORD exStyle, bool menu,
                    const Twips &twips)
{
    RECT box{0, 0, twips.px(form.clientWidth), twips.px(form.clientHeight)};
    AdjustWindowRectEx(&box, style, menu, exStyle);
    return {box.right - box.left, box.bottom - box.top};
}

} // namespace qvx::win

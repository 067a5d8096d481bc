#pragma once

#include "qvx/core/Design.h"
#include "qvx/core/FormView.h"
#include "qvx/platform/WideText.h"
#include "qvx/win/GdiObject.h"

#include "qvx/platform/Win32.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvx::win {

// Dots per inch of the screen, as a system-aware program sees it.
int systemDpi();
// Dots per inch of the screen the window is on; the system's where the system cannot tell.
int windowDpi(HWND window);

// Twips to pixels and back at one DPI.
struct Twips
{
    int dpi = 96;
    int px(double twips) const;
    double toTwips(double px) const { return px * 1440.0 / dpi; }
};

Font createFont(const design::Font &font, int dpi);

class InkSurface;

// One window's controls and menu as its design gives them, real Windows controls all:
// STATIC for labels, lines and pictures, BUTTON for frames, options and command buttons,
// COMBOBOX for the demo list. A file list has no window; the presenter keeps the listing.
class BuiltForm
{
public:
    BuiltForm(const design::Form &form, HWND window, Twips twips);
    ~BuiltForm();
    BuiltForm(const BuiltForm &) = delete;
    BuiltForm &operator=(const BuiltForm &) = delete;

    const design::Form &form() const { return m_form; }
    const Twips &twips() const { return m_twips; }
    HFONT windowFont() const { return m_windowFont; }

    // Null for a name the design lacks and for a file list.
    HWND control(std::string_view name, int index = design::noIndex) const;
    HWND control(ControlId id) const { return control(id.name, id.index); }
    // The design entry of one of this window's controls, or null.
    const design::Control *designOf(HWND control) const;
    const design::Control *designOf(int controlId) const;

    // Under a high-contrast scheme the controls draw in the system's colours, not the
    // design's; a change redraws them.
    void setHighContrast(bool highContrast);
    bool highContrast() const { return m_highContrast; }
    // WM_CTLCOLORSTATIC and WM_CTLCOLORBTN: the design's colours, or 0 for the system's.
    HBRUSH colour(HDC dc, HWND control);
    // Draws the transparent labels that overlap `label`, back to front, into its area.
    void paintLabelStack(HWND label, HDC dc) const;
    // A caption; a transparent label has what lay under it drawn again first.
    void setText(HWND control, std::string_view text);
    void setVisible(HWND control, bool visible);
    void move(HWND control, int leftTwips, int topTwips);
    // Lays every control out again at another DPI: places, fonts (the old ones freed),
    // pictures and the combo's height. The window's own size is the caller's.
    void relayout(int dpi);

    // The design's menu item behind a command ID, or null.
    const design::MenuItem *menuItem(int commandId) const;
    // Enables or greys an item, a menu header included.
    void setMenuEnabled(std::string_view item, bool enabled);

private:
    // A control's place and size in pixels: left, top, width, height.
    RECT boxOf(std::size_t index) const;
    void create(std::size_t index);
    // `move`: false for a control just made in its place.
    void place(std::size_t index, bool move = true);
    void orderControls();
    void buildMenu();
    HFONT font(const design::Font &font);
    const design::Font &fontOf(const design::Control &control) const
    {
        return control.font ? *control.font : m_form.font;
    }
    bool shows(InkSurface &surface, const design::Control &control, SIZE box,
               std::wstring_view text) const;
    HFONT fittingFont(const design::Control &control, const design::Font &designFont, SIZE box,
                      std::wstring_view text, bool *whole = nullptr);
    HBRUSH brush(const design::Colour &colour);

    const design::Form &m_form;
    HWND m_window;
    Twips m_twips;
    HFONT m_windowFont = nullptr;
    std::vector<HWND> m_controls; // by design index
    std::vector<std::pair<design::Font, Font>> m_fonts;
    std::vector<std::pair<COLORREF, Brush>> m_brushes;
    // Where each control is, in twips: the design's place, or where it was moved to.
    std::vector<std::pair<int, int>> m_places;
    std::vector<Bitmap> m_pictures; // by design index
    // By design index: the captions that show whole in no size of their font.
    std::vector<bool> m_cut;
    // Where captions are tried while the form is laid out; none in between.
    std::unique_ptr<InkSurface> m_ink;
    HMENU m_menuBar = nullptr;
    bool m_highContrast = false;
    // Per menu item: the menu that holds it and its place there.
    std::vector<std::pair<HMENU, UINT>> m_menuPlaces;
};

// A window's outer rectangle against the screen it is on, in twips (FormView's terms).
TwipSize screenSizeOf(HWND window, const Twips &twips);
TwipSize outerSizeOf(HWND window, const Twips &twips);
void moveOuterOf(HWND window, const Twips &twips, float left, float top);

// WM_DPICHANGED: the form laid out at the new DPI and the window moved to the rectangle the
// system suggests, with the outer size `outerTwips` (when set) or the design's client area.
void changeDpi(HWND window, BuiltForm &form, int dpi, const RECT &suggested, DWORD style,
               DWORD exStyle, bool menu, std::optional<std::pair<int, int>> outerTwips);

// The outer size that gives a window of this style the design's client area.
SIZE outerForClient(const design::Form &form, DWORD style, DWORD exStyle, bool menu,
                    const Twips &twips);

} // namespace qvx::win

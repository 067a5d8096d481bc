#pragma once

#include "qvx/core/About.h"
#include "qvx/platform/Desktop.h"
#include "qvx/win/GdiObject.h"
#include "qvx/win/Window.h"

#include "qvx/platform/Win32.h"

#include <memory>
#include <optional>
#include <string_view>

namespace qvx::win {

class BuiltForm;

// The About window, built from its design; its behaviour is the presenter's. Owned by the
// main window, so that it has no taskbar button of its own.
class FrmAbout final : public AboutView, public Window
{
public:
    // Laid out for the given dots per inch; 0 takes the screen's. Without a desktop, the
    // window keeps its own cursor while the program is busy.
    FrmAbout(Platform &platform, HWND mainWindow, int dpi = 0, Desktop *desktop = nullptr);
    ~FrmAbout() override;
    FrmAbout(const FrmAbout &) = delete;
    FrmAbout &operator=(const FrmAbout &) = delete;

    // Creates a fresh About window, loads it and shows it modally to the main window;
    // returns once it is closed. Its loop takes the desktop's keys; without them, the
    // dialog manager's alone.
    static void showModal(Platform &platform, HWND mainWindow, Desktop *desktop = nullptr);
    // The About window while it is open, else null.
    static FrmAbout *current();

    HWND control(std::string_view name, int index = -1) const;
    AboutPresenter &presenter() { return m_presenter; }

    TwipSize screenSize() const override;
    TwipSize outerSize() const override;
    void moveOuter(float left, float top) override;
    void takeMainWindowIcon() override;
    void setWindowCaption(const std::string &text) override;
    void setCaption(ControlId control, const std::string &text) override;
    void setControlVisible(ControlId control, bool visible) override;
    void unload() override;

private:
    static LRESULT badgeProc(HWND badge, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                             DWORD_PTR self);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void addToolTips();

    Platform &m_platform;
    Desktop *m_desktop;
    AboutPresenter m_presenter;
    HWND m_mainWindow;
    HWND m_toolTip = nullptr;
    Brush m_background;
    std::unique_ptr<BuiltForm> m_form;
    // The outer size the presenter set, in twips: kept across changes of DPI.
    std::optional<std::pair<int, int>> m_outerTwips;
    bool m_badgePressed = false;
};

} // namespace qvx::win

#pragma once

#include "qvx/core/PlayDemos.h"
#include "qvx/platform/Desktop.h"
#include "qvx/win/Window.h"

#include "qvx/platform/Win32.h"

#include <memory>
#include <optional>
#include <string_view>

namespace qvx::win {

class BuiltForm;

// The start-up window, built from its design with real Windows controls; its behaviour is
// the presenter's. Made hidden; Form_Load shows it.
class FrmPlayDemos final : public PlayDemosView, public Window
{
public:
    // The desktop gives the busy pointer and the keys of the About window's loop; without
    // it, the window's own cursor and the dialog manager's keys. Laid out for the given dots
    // per inch; 0 takes the screen's.
    explicit FrmPlayDemos(Platform &platform, Desktop *desktop = nullptr, int dpi = 0);
    ~FrmPlayDemos() override;
    FrmPlayDemos(const FrmPlayDemos &) = delete;
    FrmPlayDemos &operator=(const FrmPlayDemos &) = delete;

    // A control by its design name; null for a file list or an unknown name.
    HWND control(std::string_view name, int index = -1) const;
    PlayDemosPresenter &presenter() { return m_presenter; }

    // Load: size, centre, show, place the note, record the help file, list the demos.
    void Form_Load();
    // Turns delivered self-extracting archives of the application folder into demo files.
    void func_UnzipDemos(bool bCalledFromButtonClick, PreparationWaits waits = {});

    TwipSize screenSize() const override;
    TwipSize outerSize() const override;
    void moveOuter(float left, float top) override;
    WindowHandle handle() const override;
    bool isOpen() const override { return m_hwnd && !m_closed; }
    void setOuterSize(int width, int height) override;
    void show() override;
    void paintNow() override;
    void close() override;
    void moveControl(ControlId control, int left, int top) override;
    void setControlVisible(ControlId control, bool visible) override;
    void setCaption(ControlId control, const std::string &text) override;
    void setMenuEnabled(std::string_view item, bool enabled) override;
    bool optionValue(int index) const override;
    void setOptionValue(int index, bool value) override;
    void clearDemoList() override;
    void addDemoEntries(const std::vector<std::string> &entries) override;
    std::string demoEntry(std::size_t index) const override;
    std::string demoText() const override;
    void setDemoText(const std::string &text) override;
    void showAbout() override;

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void destroyed() override { m_closed = true; }
    void command(int id, int code, HWND from);
    void optionClicked(int index);
    void keepSelectedOptionAsTabStop();
    // Runs a step that hands control to the window system; a close meanwhile destroys the
    // window only once the step has returned.
    template <typename Step> void holdWhile(Step step);
    HWND option(int index) const;

    Platform &m_platform;
    Desktop *m_desktop;
    PlayDemosPresenter m_presenter;
    std::unique_ptr<BuiltForm> m_form;
    // The outer size the presenter set, in twips: kept across changes of DPI.
    std::optional<std::pair<int, int>> m_outerTwips;
    HWND m_demos = nullptr;
    int m_selectedOption = -1;
    HWND m_lastFocus = nullptr;
    bool m_closed = false;
    int m_busy = 0;
    bool m_destroyWhenIdle = false;
    bool m_tearingDown = false;
};

} // namespace qvx::win

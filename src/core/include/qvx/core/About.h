#pragma once

#include "qvx/core/FormView.h"
#include "qvx/core/Platform.h"

#include <string>
#include <string_view>

namespace qvx {

// What the About window's presenter asks of the window.
class AboutView : public FormView
{
public:
    // The main window's icon, when there is a main window.
    virtual void takeMainWindowIcon() = 0;
    virtual void setWindowCaption(const std::string &text) = 0;
    virtual void setCaption(ControlId control, const std::string &text) = 0;
    virtual void setControlVisible(ControlId control, bool visible) = 0;
    // Closes the window; the next About command makes a fresh one.
    virtual void unload() = 0;
};

// The About window's behaviour: its texts at load, the recorder badge, OK.
class AboutPresenter
{
public:
    AboutPresenter(Platform &platform, AboutView &view) : m_platform(platform), m_view(view) {}

    // The copyright text is the executable's own.
    void Form_Load();
    void Form_Load(std::string_view legalCopyright);
    void cmdOK_Click();
    void Image2_Click(int index);
    void Image2_MouseMove(int index);
    // Movement over the window's bare surface.
    void Form_MouseMove();

private:
    Platform &m_platform;
    AboutView &m_view;
};

} // namespace qvx

#pragma once

#include "RecordingPlatform.h"
#include "qvx/core/About.h"
#include "qvx/core/PlayDemos.h"

#include <map>
#include <string>
#include <vector>

std::string controlName(qvx::ControlId control);

// The main window without widgets: keeps the state the presenter sets and records each
// request as "view ..." among the platform's lines, so that their order can be checked.
class RecordingPlayDemosView : public qvx::PlayDemosView
{
public:
    explicit RecordingPlayDemosView(RecordingPlatform &platform) : m_platform(platform) {}

    // Runs the click handler on selection, as the real window does.
    qvx::PlayDemosPresenter *presenter = nullptr;
    bool open = true;
    qvx::TwipSize screen{19200, 14400};
    qvx::TwipSize outer{6705, 3840};
    float left = 0;
    float top = 0;
    bool options[2] = {false, false};
    std::vector<std::string> entries;
    std::string text;
    std::map<std::string, bool> visible{{"fraDemoInfo", false}, {"fraExtracting", false}};
    std::map<std::string, std::string> captions;
    std::map<std::string, bool> menuEnabled{{"mnuFileHeader", true}, {"mnuHelpHeader", true}};

    qvx::TwipSize screenSize() const override { return screen; }
    qvx::TwipSize outerSize() const override { return outer; }
    void moveOuter(float toLeft, float toTop) override;
    qvx::WindowHandle handle() const override { return 42; }
    bool isOpen() const override { return open; }
    void setOuterSize(int width, int height) override;
    void show() override;
    void paintNow() override;
    void close() override;
    void moveControl(qvx::ControlId control, int x, int y) override;
    void setControlVisible(qvx::ControlId control, bool shown) override;
    void setCaption(qvx::ControlId control, const std::string &caption) override;
    void setMenuEnabled(std::string_view item, bool enabled) override;
    bool optionValue(int index) const override { return options[index != 0]; }
    void setOptionValue(int index, bool value) override;
    void clearDemoList() override;
    void addDemoEntries(const std::vector<std::string> &added) override;
    std::string demoEntry(std::size_t index) const override;
    std::string demoText() const override { return text; }
    void setDemoText(const std::string &newText) override;
    void showAbout() override;

private:
    void record(const std::string &line) { m_platform.calls.push_back("view " + line); }
    RecordingPlatform &m_platform;
};

class RecordingAboutView : public qvx::AboutView
{
public:
    explicit RecordingAboutView(RecordingPlatform &platform) : m_platform(platform) {}

    qvx::TwipSize screen{19200, 14400};
    qvx::TwipSize outer{6150, 4815};
    std::string caption;
    std::map<std::string, std::string> captions;
    std::map<std::string, bool> visible{{"Image2_0", false}};
    bool unloaded = false;

    qvx::TwipSize screenSize() const override { return screen; }
    qvx::TwipSize outerSize() const override { return outer; }
    void moveOuter(float left, float top) override;
    void takeMainWindowIcon() override;
    void setWindowCaption(const std::string &text) override;
    void setCaption(qvx::ControlId control, const std::string &text) override;
    void setControlVisible(qvx::ControlId control, bool shown) override;
    void unload() override;

private:
    void record(const std::string &line) { m_platform.calls.push_back("about " + line); }
    RecordingPlatform &m_platform;
};

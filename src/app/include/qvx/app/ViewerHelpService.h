#pragma once

#include "qvx/platform/LinuxPlatform.h"

namespace qvx::app {

// The program's own help viewer behind the Linux platform's help requests; web links in its
// pages go to the platform's "open" action.
class ViewerHelpService final : public HelpService
{
public:
    explicit ViewerHelpService(Platform &platform) : m_platform(platform) {}

    void show(WindowHandle owner, const std::string &fileOrAddress, HelpCommand command) override;
    bool isHelpWindow(WindowHandle window) const override;

private:
    Platform &m_platform;
};

// Points the viewer at the helper programs installed beside the program.
void findViewerHelpers(const LinuxPlatform &platform);

} // namespace qvx::app

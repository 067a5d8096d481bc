#pragma once

#include "qvx/platform/LinuxPlatform.h"

// The program's own help viewer behind the Linux platform's help requests; web links in its
// pages go to the platform's "open" action.
class ViewerHelpService final : public qvx::HelpService
{
public:
    explicit ViewerHelpService(qvx::Platform &platform) : m_platform(platform) {}

    void show(qvx::WindowHandle owner, const std::string &fileOrAddress,
              qvx::HelpCommand command) override;
    bool isHelpWindow(qvx::WindowHandle window) const override;

private:
    qvx::Platform &m_platform;
};

#include "qvx/core/Module1.h"

#include "BuildInfo.h"
#include "qvx/core/Text.h"

namespace qvx::Module1 {

std::string sHelpFile;
std::string sHelpTopic;

TwipPoint centredPosition(TwipSize screen, TwipSize window)
{
    return {(float(screen.width) - float(window.width)) / 2.0f,
            (float(screen.height) - float(window.height)) / 2.0f};
}

void CenterForm(FormView &form)
{
    const TwipPoint at = centredPosition(form.screenSize(), form.outerSize());
    form.moveOuter(at.left, at.top);
}

void ShowHelp(Platform &platform, WindowHandle owner, std::string_view command)
{
    // Exact words, letter case included; anything else is ignored.
    if (command == "Contents") {
        platform.htmlHelp(owner, sHelpFile, HelpCommand::Contents);
    } else if (command == "Index") {
        platform.htmlHelp(owner, sHelpFile, HelpCommand::Index);
    } else if (command == "Topic") {
        // The page travels in the address; the command stays "show contents".
        platform.htmlHelp(owner, "ms-its:" + sHelpFile + "::/" + sHelpTopic, HelpCommand::Contents);
    }
}

void ShellOpen(Platform &platform, const std::string &target)
{
    platform.setPointer(Pointer::Busy);
    platform.shellOpen(target);
    // The default pointer, whatever was showing before.
    platform.setPointer(Pointer::Default);
}

void OpenFlashBackSite(Platform &platform)
{
    ShellOpen(platform, BuildInfo::recorderPage);
}

std::string homePageAddress()
{
    return std::string("http://") + BuildInfo::homePageHost + "/index.htm";
}

void Pause(Platform &platform, float seconds)
{
    // Also false for NaN: nothing to wait for, and no events are handled.
    if (!(seconds > 0.0f))
        return;
    // A monotonic clock: neither midnight nor a change of the system time moves the end.
    const double start = platform.monotonicSeconds();
    for (;;) {
        const float elapsed = float(platform.monotonicSeconds() - start);
        if (!(elapsed < seconds))
            return;
        // Sleeps instead of spinning, and wakes for every event until the time is up.
        platform.waitForEvents(double(seconds) - double(elapsed));
    }
}

std::string GetTempDir(Platform &platform)
{
    const std::filesystem::path folder = platform.tempFolder();
    if (folder.empty())
        return {};
    // Callers append a file name directly.
    std::string path = text::fromPath(folder);
    const std::string separator = text::fromPath(std::filesystem::path("/").make_preferred());
    if (!path.ends_with('/') && !path.ends_with(separator))
        path += separator;
    return path;
}

} // namespace qvx::Module1

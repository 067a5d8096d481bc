#include "app/Module1.h"
#include "platform/Platform.h"

namespace Module1 {

namespace {
// Help viewer commands.
constexpr int hhDisplayToc = 1;
constexpr int hhDisplayIndex = 2;
} // namespace

void ShowHelp(Platform &platform, QWidget *owner, const QString &command)
{
    // Exact words, letter case included; anything else is ignored.
    if (command == QLatin1String("Contents")) {
        platform.htmlHelp(owner, sHelpFile, hhDisplayToc, 0);
    } else if (command == QLatin1String("Index")) {
        platform.htmlHelp(owner, sHelpFile, hhDisplayIndex, 0);
    } else if (command == QLatin1String("Topic")) {
        // The page travels in the address; the command stays "show contents".
        platform.htmlHelp(
            owner, QStringLiteral("ms-its:") + sHelpFile + QStringLiteral("::/") + sHelpTopic,
            hhDisplayToc, 0);
    }
}

void ShellOpen(Platform &platform, const QString &target)
{
    platform.setMousePointer(MousePointer::Busy);
    platform.shellOpen(target);
    // The default pointer, whatever was showing before.
    platform.setMousePointer(MousePointer::Default);
}

} // namespace Module1

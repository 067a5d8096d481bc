#include "platform/posix/PosixPlatform.h"

#include "app/Module1.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewer/NativeName.h"

namespace {

// The program's own viewer behind the Linux platform's help requests.
class ViewerHelpService final : public qvx::HelpService
{
public:
    explicit ViewerHelpService(Platform &platform) : m_platform(platform) {}

    void show(qvx::WindowHandle owner, const std::string &fileOrAddress,
              qvx::HelpCommand command) override
    {
        HelpViewers::request([this](const QString &link) { Module1::ShellOpen(m_platform, link); },
                             reinterpret_cast<QWidget *>(owner),
                             NativeName::decode(QByteArrayView(fileOrAddress)),
                             command == qvx::HelpCommand::Index ? HelpViewers::displayIndex
                                                                : HelpViewers::displayContents);
    }
    bool isHelpWindow(qvx::WindowHandle window) const override
    {
        return qobject_cast<const HelpViewer *>(reinterpret_cast<const QWidget *>(window));
    }

private:
    Platform &m_platform;
};

} // namespace

std::unique_ptr<qvx::HelpService> createViewerHelpService(Platform &platform)
{
    return std::make_unique<ViewerHelpService>(platform);
}

void PosixPlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    // The data value only matters for commands this viewer does not take.
    Q_UNUSED(data)
    HelpViewers::request([this](const QString &link) { Module1::ShellOpen(*this, link); }, owner,
                         file, command);
}

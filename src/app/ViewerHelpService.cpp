#include "ViewerHelpService.h"

#include "qvx/core/Module1.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewer/NativeName.h"

void ViewerHelpService::show(qvx::WindowHandle owner, const std::string &fileOrAddress,
                             qvx::HelpCommand command)
{
    HelpViewers::request(
        [this](const QString &link) { qvx::Module1::ShellOpen(m_platform, link.toStdString()); },
        reinterpret_cast<QWidget *>(owner), NativeName::decode(QByteArrayView(fileOrAddress)),
        command == qvx::HelpCommand::Index ? HelpViewers::displayIndex
                                           : HelpViewers::displayContents);
}

bool ViewerHelpService::isHelpWindow(qvx::WindowHandle window) const
{
    return qobject_cast<const HelpViewer *>(reinterpret_cast<const QWidget *>(window));
}

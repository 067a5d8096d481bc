#include "qvx/app/ViewerHelpService.h"

#include "qvx/core/Module1.h"
#include "qvx/core/Text.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"

using namespace qvx::help;
using namespace qvx::helpviewer;

namespace qvx::app {

void ViewerHelpService::show(WindowHandle owner, const std::string &fileOrAddress,
                             HelpCommand command)
{
    HelpViewers::request(
        [this](const QString &link) { Module1::ShellOpen(m_platform, link.toStdString()); },
        reinterpret_cast<QWidget *>(owner), NativeName::decode(QByteArrayView(fileOrAddress)),
        command == HelpCommand::Index ? HelpViewers::displayIndex : HelpViewers::displayContents);
}

bool ViewerHelpService::isHelpWindow(WindowHandle window) const
{
    return qobject_cast<const HelpViewer *>(reinterpret_cast<const QWidget *>(window));
}

void findViewerHelpers(const LinuxPlatform &platform)
{
    ChmFile::setReaderProgram(NativeName::decode(
        QByteArrayView(text::fromPath(platform.helperProgram("qvx-chmreader")))));
}

} // namespace qvx::app

// Opens the help file beside this executable in the program's own viewer, arranged as the
// program arranges it; ends with 0 when the file opened, else 1 and the viewer's text.
#include "qvx/app/ViewerHelpService.h"
#include "qvx/core/Text.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/platform/LinuxPlatform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTextBrowser>

#include <cstdio>

using namespace qvx::help;
using namespace qvx::helpviewer;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    qvx::LinuxPlatform platform;
    qvx::app::ViewerHelpService help(platform);
    platform.setHelpService(&help);
    qvx::app::findViewerHelpers(platform);

    const std::string file =
        qvx::text::fromPath(platform.applicationFolder() / "Quorvex Demos.chm");
    platform.htmlHelp(0, file, qvx::HelpCommand::Contents);
    HelpViewer *viewer = HelpViewers::find(NativeName::decode(QByteArrayView(file)));
    const QDeadlineTimer deadline(30000);
    while (viewer && !viewer->isSettled() && !deadline.hasExpired())
        platform.waitForEvents(0.05);
    const bool opened = viewer && viewer->isFileOpen();
    if (!opened && viewer) {
        const QByteArray shown =
            viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"))->toPlainText().toUtf8();
        std::fwrite(shown.constData(), 1, std::size_t(shown.size()), stdout);
    }
    HelpViewers::closeAll();
    return opened ? 0 : 1;
}

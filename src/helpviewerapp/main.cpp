#include "qvx/help/ChmFile.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewerapp/CommandLine.h"
#include "qvx/helpviewerapp/Program.h"
#include "qvx/helpviewerapp/ViewerService.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>
#include <filesystem>
#include <system_error>

using namespace qvx::help;
using namespace qvx::helpviewerapp;

namespace {

// As bytes: QCoreApplication's paths and arguments are decoded, and not every name decodes.
QByteArray programFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QByteArray() : QByteArray(self.parent_path().native().c_str());
}

QByteArray workingFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? QByteArray() : QByteArray(folder.native().c_str());
}

} // namespace

int main(int argc, char *argv[])
{
    QList<QByteArray> arguments;
    for (int at = 1; at < argc; ++at)
        arguments.append(QByteArray(argv[at]));
    const CommandLine line = parseCommandLine(arguments, workingFolder());
    switch (line.action) {
    case CommandLine::Action::ShowUsage:
        std::fputs(usage().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::puts("qvx-helpviewer " QVX_VERSION);
        return 0;
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "qvx-helpviewer: %s\n%s", line.error.toLocal8Bit().constData(),
                     usage().toLocal8Bit().constData());
        return 2;
    case CommandLine::Action::Open:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qvx-helpviewer"));
    QApplication::setDesktopFileName(QStringLiteral("qvx-helpviewer"));
    ViewerService service(serve);
    if (service.start(ViewerService::defaultName(), line) == ViewerService::Outcome::HandedOver)
        return 0;
    // The look of the help windows the program opens.
    if (QStyle *classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(classic);
        QApplication::setPalette(classic->standardPalette());
    }
    ChmFile::setReaderProgram(NativeName::decode(QByteArray(programFolder() + "/qvx-chmreader")));
    QApplication::setQuitOnLastWindowClosed(false);
    qvx::helpviewer::HelpViewers::setQuitWithLastViewer(true);
    serve(line);
    return QApplication::exec();
}

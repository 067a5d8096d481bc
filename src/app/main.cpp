#include "qvx/app/HelpKey.h"
#include "qvx/app/ViewerHelpService.h"
#include "qvx/platform/LinuxPlatform.h"
#include "qvx/qt/Fonts.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The forms were laid out for the classic Windows look: captions on frame borders,
    // raised buttons and the matching grey.
    if (QStyle *classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(classic);
        QApplication::setPalette(classic->standardPalette());
    }
    registerWindowFonts();

    qvx::LinuxPlatform platform;
    qvx::app::ViewerHelpService help(platform);
    platform.setHelpService(&help);
    qvx::app::findViewerHelpers(platform);
    qvx::app::installHelpKey(platform);

    auto *window = new qvx::qt::FrmPlayDemos(platform);
    qvx::qt::frmPlayDemos = window;
    QApplication::setWindowIcon(window->windowIcon());
    // The main window's unload ends the program, whatever else is open.
    QObject::connect(window, &QObject::destroyed, &app, &QCoreApplication::quit);
    window->Form_Load();
    return QApplication::exec();
}

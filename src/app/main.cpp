#include "app/Fonts.h"
#include "app/FrmPlayDemos.h"
#include "help/HelpKey.h"
#include "platform/Platform.h"

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
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qvx/camera.png")));
    registerWindowFonts();

    const std::unique_ptr<Platform> platform = createSystemPlatform();
    installHelpKey(*platform);
    frmPlayDemos = new FrmPlayDemos(*platform);
    // The main window's unload ends the program, whatever else is open.
    QObject::connect(frmPlayDemos, &QObject::destroyed, &app, &QCoreApplication::quit);
    frmPlayDemos->Form_Load();
    return QApplication::exec();
}

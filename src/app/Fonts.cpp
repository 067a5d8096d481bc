#include "app/Fonts.h"

#include <QFileInfo>
#include <QFontDatabase>

void registerWindowFonts()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char *file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (QFileInfo::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
}

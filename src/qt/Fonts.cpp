#include "qvx/qt/Fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QPainterPath>
#include <QRawFont>

namespace {

// Width of the stem of an "l": what tells a bold face from a regular one.
qreal stemWidth(const QString &file)
{
    const QRawFont font(file, 64);
    const QList<quint32> glyphs = font.glyphIndexesForString(QStringLiteral("l"));
    return glyphs.isEmpty() ? 0 : font.pathForGlyph(glyphs.first()).boundingRect().width();
}

} // namespace

void registerWindowFonts()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    const QString regular = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    const QString bold = QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf");
    if (!QFileInfo::exists(regular))
        return;
    QFontDatabase::addApplicationFont(regular);
    // Some builds of the bold face carry the regular outlines under the bold name: taken as
    // the bold face, it would draw bold text regular. Without it, bold is drawn heavier from
    // the regular face.
    if (QFileInfo::exists(bold) && stemWidth(bold) > stemWidth(regular) * 1.2)
        QFontDatabase::addApplicationFont(bold);
}

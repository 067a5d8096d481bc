#pragma once

#include <QColor>
#include <QFont>
#include <QLatin1String>
#include <QPalette>
#include <QWidget>

// Small helpers shared by the form-style windows.
namespace FormStyle {

// A form font: the named face where installed, else the nearest one at the same size.
inline QFont font(QLatin1String face, qreal points, bool bold = false, bool italic = false)
{
    QFont result;
    result.setFamilies({QString(face), QStringLiteral("DejaVu Sans")});
    result.setPointSizeF(points);
    result.setWeight(bold ? QFont::Bold : QFont::Normal);
    result.setItalic(italic);
    return result;
}

// The window font of both forms.
inline QFont windowFont()
{
    return font(QLatin1String("Tahoma"), 8.25);
}

inline void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

// Gives a control the name the rest of the program knows it by.
template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

} // namespace FormStyle

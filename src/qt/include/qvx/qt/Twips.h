#pragma once

#include <QRect>

class QWidget;

// Converts the design unit (1/1440 inch) to device-independent pixels at the screen's
// logical DPI.
class Twips
{
public:
    explicit Twips(double logicalDpi) : m_dpi(logicalDpi) {}
    // The converter for the screen a widget is on (the primary screen before it has one).
    static Twips forWidget(const QWidget *widget);

    int px(double twips) const { return qRound(twips * m_dpi / 1440.0); }
    double toTwips(double px) const { return px * 1440.0 / m_dpi; }
    QRect rect(int left, int top, int width, int height) const
    {
        return {px(left), px(top), px(width), px(height)};
    }
    double dpi() const { return m_dpi; }

private:
    double m_dpi;
};

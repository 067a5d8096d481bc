#include "LineControl.h"

#include <QPainter>

LineControl::LineControl(QPoint from, QPoint to, QColor colour, int width, QWidget *parent)
    : QWidget(parent), m_from(from), m_to(to), m_colour(colour), m_width(qMax(1, width))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    const QRect box = QRect(from, to).normalized();
    setGeometry(box.x(), box.y(), box.width() + m_width, box.height() + m_width);
}

void LineControl::setColour(QColor colour)
{
    m_colour = colour;
    update();
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colour);
    const QPoint origin = pos();
    const QPoint a = m_from - origin;
    const QPoint b = m_to - origin;
    // Lines here are horizontal or vertical; a filled rectangle keeps them crisp.
    painter.drawRect(QRect(a, b).normalized().adjusted(0, 0, m_width - 1, m_width - 1));
}

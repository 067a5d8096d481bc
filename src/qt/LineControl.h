#pragma once

#include <QColor>
#include <QWidget>

// A drawn line between two points of its container, like a form's line control.
class LineControl : public QWidget
{
    Q_OBJECT
public:
    LineControl(QPoint from, QPoint to, QColor colour, int width, QWidget *parent);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }
    QColor colour() const { return m_colour; }
    void setColour(QColor colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_from;
    QPoint m_to;
    QColor m_colour;
    int m_width;
};

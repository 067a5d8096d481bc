#include "AboutWidgets.h"

#include <QMouseEvent>

CaptionLabel::CaptionLabel(QWidget *parent) : QLabel(parent)
{
    // Captions are data, never markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAttribute(Qt::WA_NoMousePropagation);
}

void CaptionLabel::setCaption(const QString &caption)
{
    m_caption = caption;
    QString shown = caption;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
}

ImageControl::ImageControl(const QPixmap &picture, QWidget *parent) : QLabel(parent)
{
    setPixmap(picture);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoMousePropagation);
}

void ImageControl::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    event->accept();
}

void ImageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    event->accept();
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a press and a release of the left button over the same control.
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

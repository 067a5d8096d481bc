#pragma once

#include <QLabel>

// A label that holds its caption as the program keeps it, carriage returns included, and
// draws each carriage return as a line break. It keeps pointer movement to itself, so that
// the window never takes it for movement over its bare surface.
class CaptionLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit CaptionLabel(QWidget *parent);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

private:
    QString m_caption;
};

// An image control that reports pointer movement over it and clicks on it.
class ImageControl : public QLabel
{
    Q_OBJECT
public:
    ImageControl(const QPixmap &picture, QWidget *parent);

signals:
    void mouseMoved();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

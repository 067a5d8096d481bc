#include "CaptionFit.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace {

QString withoutMnemonic(QString text)
{
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// Room a button's own decoration leaves its caption.
int captionRoom(const QAbstractButton *button)
{
    const QStyle *style = button->style();
    if (qobject_cast<const QRadioButton *>(button))
        return button->width() - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) -
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    return button->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin) -
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
}

} // namespace

bool captionFits(const QWidget *control)
{
    const QFontMetrics metrics = control->fontMetrics();
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return true;
        const QRect box = label->contentsRect();
        if (!label->wordWrap())
            return metrics.horizontalAdvance(label->text()) <= box.width();
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, box.width(), 1 << 20),
                                 int(label->alignment()) | Qt::TextWordWrap, label->text());
        return needed.width() <= box.width() && needed.height() <= box.height();
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return metrics.horizontalAdvance(withoutMnemonic(button->text())) <= captionRoom(button);
    if (const auto *frame = qobject_cast<const QGroupBox *>(control))
        return metrics.horizontalAdvance(frame->title()) + 2 * metrics.averageCharWidth() <=
               frame->width();
    return true;
}

void fitCaption(QWidget *control, const QFont &designed)
{
    if (control->font() != designed)
        control->setFont(designed);
    QFont font = designed;
    for (int percent = 98; !captionFits(control) && percent >= 90; percent -= 2) {
        font.setLetterSpacing(QFont::PercentageSpacing, percent);
        control->setFont(font);
    }
    const qreal points = designed.pointSizeF();
    for (qreal smaller = points - 0.25; !captionFits(control) && smaller >= points * 0.8;
         smaller -= 0.25) {
        font.setPointSizeF(smaller);
        control->setFont(font);
    }
}

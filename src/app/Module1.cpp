#include "app/Module1.h"

#include "app/Twips.h"

#include <QScreen>
#include <QWidget>

namespace Module1 {

QString sHelpFile;
QString sHelpTopic;

QPointF centredPosition(QSizeF screenTwips, QSizeF windowTwips)
{
    const float left = (float(screenTwips.width()) - float(windowTwips.width())) / 2.0f;
    const float top = (float(screenTwips.height()) - float(windowTwips.height())) / 2.0f;
    return {left, top};
}

void CenterForm(QWidget &form)
{
    const QScreen *screen = form.screen();
    if (!screen)
        return;
    const Twips twips = Twips::forWidget(&form);
    // The whole screen, not the part that task bars leave free.
    const QRect whole = screen->geometry();
    const QSize outer = form.frameGeometry().size();
    const QPointF at =
        centredPosition({twips.toTwips(whole.width()), twips.toTwips(whole.height())},
                        {twips.toTwips(outer.width()), twips.toTwips(outer.height())});
    form.move(whole.x() + twips.px(at.x()), whole.y() + twips.px(at.y()));
}

} // namespace Module1

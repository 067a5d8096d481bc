#include "qvx/qt/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

Twips Twips::forWidget(const QWidget *widget)
{
    const QScreen *screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return Twips(screen ? screen->logicalDotsPerInch() : 96.0);
}

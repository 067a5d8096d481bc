#include "help/HelpKey.h"

#include "platform/Platform.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

class HelpKeyFilter : public QObject
{
public:
    HelpKeyFilter(Platform &platform, QObject *parent) : QObject(parent), m_platform(platform) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        QWidget *window = static_cast<QWidget *>(watched)->window();
        // In the viewer itself F1 would only lead away from the page being read.
        if (window->objectName() == QLatin1String("frmHelpViewer"))
            return false;
        const QString file = m_platform.applicationHelpFile();
        if (file.isEmpty())
            return false;
        constexpr int hhDisplayToc = 1;
        m_platform.htmlHelp(QApplication::activeWindow() ? QApplication::activeWindow() : window,
                            file, hhDisplayToc, 0);
        return true;
    }

private:
    Platform &m_platform;
};

} // namespace

void installHelpKey(Platform &platform)
{
    static const char *const installedProperty = "qvxHelpKeyInstalled";
    if (qApp->property(installedProperty).toBool())
        return;
    qApp->setProperty(installedProperty, true);
    qApp->installEventFilter(new HelpKeyFilter(platform, qApp));
}

#include "qvx/app/HelpKey.h"

#include "qvx/core/Text.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/platform/LinuxPlatform.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

using namespace qvx::helpviewer;

namespace qvx::app {
namespace {

class HelpKeyFilter : public QObject
{
public:
    HelpKeyFilter(LinuxPlatform &platform, QObject *parent) : QObject(parent), m_platform(platform)
    {
    }

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
        if (qobject_cast<HelpViewer *>(window))
            return false;
        const std::filesystem::path file = m_platform.applicationHelpFile();
        if (file.empty())
            return false;
        QWidget *owner = QApplication::activeWindow() ? QApplication::activeWindow() : window;
        m_platform.htmlHelp(reinterpret_cast<WindowHandle>(owner), text::fromPath(file),
                            HelpCommand::Contents);
        return true;
    }

private:
    LinuxPlatform &m_platform;
};

} // namespace

void installHelpKey(LinuxPlatform &platform)
{
    qApp->installEventFilter(new HelpKeyFilter(platform, qApp));
}

} // namespace qvx::app

#include "platform/QtPlatform.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QVariant>

#include <chrono>

namespace {
constexpr const char *helpFileProperty = "qvxApplicationHelpFile";
}

QString QtPlatform::applicationFolder() const
{
    return QCoreApplication::applicationDirPath();
}

void QtPlatform::setApplicationHelpFile(const QString &path)
{
    qApp->setProperty(helpFileProperty, path);
}

QString QtPlatform::applicationHelpFile() const
{
    return qApp->property(helpFileProperty).toString();
}

void QtPlatform::setMousePointer(MousePointer pointer)
{
    if (pointer == MousePointer::Busy) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    // Back to the default, not to whatever was in force before.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void QtPlatform::processEvents()
{
    QCoreApplication::processEvents();
}

double QtPlatform::monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void QtPlatform::waitForEvents(double maxSeconds)
{
    if (maxSeconds <= 0)
        return;
    // The timer only wakes the blocking wait when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::chrono::milliseconds(qint64(maxSeconds * 1000.0 + 0.999)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

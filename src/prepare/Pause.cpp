#include "app/Module1.h"

#include "platform/Platform.h"

#include <QDir>

namespace Module1 {

void Pause(Platform &platform, float seconds)
{
    // Also false for NaN: nothing to wait for, and no events are handled.
    if (!(seconds > 0.0f))
        return;
    // A monotonic clock: neither midnight nor a change of the system time moves the end.
    const double start = platform.monotonicSeconds();
    for (;;) {
        const float elapsed = float(platform.monotonicSeconds() - start);
        if (!(elapsed < seconds))
            return;
        // Sleeps instead of spinning, and wakes for every event until the time is up.
        platform.waitForEvents(double(seconds) - double(elapsed));
    }
}

QString GetTempDir(Platform &platform)
{
    QString path = platform.tempFolder();
    if (path.isEmpty())
        return {};
    // Callers append a file name directly.
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

} // namespace Module1

#include "platform/posix/PosixPlatform.h"

#include "help/viewer/HelpViewers.h"

void PosixPlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    // The data value only matters for commands this viewer does not take.
    Q_UNUSED(data)
    HelpViewers::request(*this, owner, file, command);
}

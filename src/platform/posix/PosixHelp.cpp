#include "platform/posix/PosixPlatform.h"

void PosixPlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    Q_UNUSED(owner)
    Q_UNUSED(file)
    Q_UNUSED(command)
    Q_UNUSED(data)
}

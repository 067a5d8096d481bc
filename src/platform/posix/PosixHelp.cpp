#include "platform/posix/PosixPlatform.h"

#include "app/Module1.h"
#include "qvx/helpviewer/HelpViewers.h"

void PosixPlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    // The data value only matters for commands this viewer does not take.
    Q_UNUSED(data)
    HelpViewers::request([this](const QString &link) { Module1::ShellOpen(*this, link); }, owner,
                         file, command);
}

#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QByteArrayList>

namespace PosixSpawn {

// Starts `program` (argument 0 is the program itself) in `workingFolder`, all as the
// bytes the system takes, with standard input from the null device, and does not wait.
// The program is no child of ours: nothing is left to reap. A failure to change folder or
// to execute comes back as a FileAccess result naming the step.
OpResult startDetached(const QByteArray &program, const QByteArrayList &arguments,
                       const QByteArray &workingFolder);

} // namespace PosixSpawn

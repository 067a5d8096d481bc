#pragma once

#include "platform/Platform.h"

namespace PosixProcess {
// Starts a native program or a script directly and a Windows program through wine, with
// empty standard input, and keeps track of it. The program is never waited for: dropping
// it while it runs leaves it running, and it is still reaped when it ends.
OpResult startTracked(const QString &path, const QString &workingFolder,
                      std::unique_ptr<TrackedProgram> &program);
} // namespace PosixProcess

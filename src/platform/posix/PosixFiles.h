#pragma once

#include "platform/Platform.h"

// File operations on POSIX systems, reporting failures with the user-facing numbers.
namespace PosixFiles {
OpResult copyReplacing(const QString &source, const QString &destination);
OpResult makeWritable(const QString &path);
OpResult remove(const QString &path);
OpResult makeExecutable(const QString &path);
// Does not follow a final link.
bool exists(const QString &path);
bool sameFile(const QString &first, const QString &second);
OpResult canCreateFiles(const QString &folder);
} // namespace PosixFiles

#pragma once

#include "platform/Platform.h"

// File operations on POSIX systems, reporting failures with the user-facing numbers.
namespace PosixFiles {
OpResult copyReplacing(const QString &source, const QString &destination);
OpResult makeWritable(const QString &path);
OpResult remove(const QString &path);
} // namespace PosixFiles

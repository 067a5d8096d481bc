#pragma once

#include "platform/Platform.h"

class QFile;

// File operations on POSIX systems, reporting failures with the user-facing numbers. Paths
// are names as NativeName keeps them, whatever their bytes.
namespace PosixFiles {
OpResult copyReplacing(const QString &source, const QString &destination);
OpResult makeWritable(const QString &path);
OpResult remove(const QString &path);

bool isFolder(const QString &path);
bool isFile(const QString &path);
bool openForReading(QFile &file, const QString &path);
OpResult makeExecutable(const QString &path);
// Does not follow a final link.
bool exists(const QString &path);
bool sameFile(const QString &first, const QString &second);
OpResult canCreateFiles(const QString &folder);
} // namespace PosixFiles

#pragma once

#include <QString>

#include <filesystem>

class QFile;

// Names as NativeName keeps them, carried onto the Linux platform's file operations.
namespace PosixFiles {
std::filesystem::path nativePath(const QString &path);
QString fromNativePath(const std::filesystem::path &path);

bool isFolder(const QString &path);
bool isFile(const QString &path);
// Never waits on a FIFO or a device, and takes nothing but a plain file.
bool openForReading(QFile &file, const QString &path);
} // namespace PosixFiles

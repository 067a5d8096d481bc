#include "platform/posix/PosixFiles.h"

#include "qvx/helpviewer/NativeName.h"

#include "qvx/platform/PosixFiles.h"

#include <QFile>

#include <unistd.h>

namespace PosixFiles {

std::filesystem::path nativePath(const QString &path)
{
    return NativeName::encode(path).toStdString();
}

QString fromNativePath(const std::filesystem::path &path)
{
    return NativeName::decode(QByteArrayView(path.native()));
}

bool isFolder(const QString &path)
{
    return qvx::posix::isFolder(nativePath(path));
}

bool isFile(const QString &path)
{
    return qvx::posix::isFile(nativePath(path));
}

bool openForReading(QFile &file, const QString &path)
{
    const int fd = qvx::posix::openForReading(nativePath(path));
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

} // namespace PosixFiles

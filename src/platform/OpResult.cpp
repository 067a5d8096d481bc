#include "platform/OpResult.h"

#include "qvx/helpviewer/NativeName.h"

#include <cerrno>

namespace OpError {

static QString describe(int number)
{
    switch (number) {
    case FileNotFound:
        return QStringLiteral("File not found");
    case DiskFull:
        return QStringLiteral("Disk full");
    case PermissionDenied:
        return QStringLiteral("Permission denied");
    case PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Path/File access error");
    }
}

OpResult make(int number, const QString &detail)
{
    QString text = describe(number);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + NativeName::display(detail);
    return {number, text};
}

OpResult fromErrno(int err, const QString &detail)
{
    switch (err) {
    case 0:
        return {};
    case ENOENT:
        return make(FileNotFound, detail);
    case ENOTDIR:
        return make(PathNotFound, detail);
    case EACCES:
    case EPERM:
    case EROFS:
        return make(PermissionDenied, detail);
    case ENOSPC:
    case EDQUOT:
        return make(DiskFull, detail);
    default:
        return make(FileAccess, detail);
    }
}

} // namespace OpError

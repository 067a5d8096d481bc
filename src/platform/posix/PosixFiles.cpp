#include "platform/posix/PosixFiles.h"

#include "qvx/helpviewer/NativeName.h"
#include "platform/OpResult.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PosixFiles {
namespace {

// Closes a descriptor on every way out.
class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

OpResult copyContents(int in, int out)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return {};
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return OpError::fromErrno(errno);
        }
        if (!writeAll(out, buffer, got))
            return OpError::fromErrno(errno);
    }
}

// A missing file whose folder is missing too is a missing path.
OpResult missingOr(int err, const QString &path)
{
    if (err == ENOENT && !isFolder(QFileInfo(path).absolutePath()))
        return OpError::make(OpError::PathNotFound, path);
    return OpError::fromErrno(err, path);
}

} // namespace

bool isFolder(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(NativeName::encode(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(NativeName::encode(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool openForReading(QFile &file, const QString &path)
{
    // Never waits on a FIFO or a device, and takes nothing but a plain file.
    const int fd = ::open(NativeName::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

OpResult copyReplacing(const QString &source, const QString &destination)
{
    const QByteArray src = NativeName::encode(source);
    const QByteArray dst = NativeName::encode(destination);

    // Never waits on a FIFO or a device: those are refused below.
    Fd in(::open(src.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0)
        return missingOr(errno, source);
    struct stat info
    {
    };
    if (::fstat(in.get(), &info) != 0)
        return OpError::fromErrno(errno, source);
    if (!S_ISREG(info.st_mode))
        return OpError::make(OpError::FileAccess, source);

    // Write beside the destination and rename over it, so that it never holds half a file.
    const QString folder = QFileInfo(destination).absolutePath();
    if (!isFolder(folder))
        return OpError::make(OpError::PathNotFound, folder);
    QByteArray temp = NativeName::encode(QString(folder + QStringLiteral("/.qvx-copy-XXXXXX")));
    Fd out(::mkstemp(temp.data()));
    if (out.get() < 0)
        return OpError::fromErrno(errno, destination);

    auto fail = [&](const OpResult &result) {
        ::unlink(temp.constData());
        return result;
    };
    if (OpResult copied = copyContents(in.get(), out.get()); !copied.ok())
        return fail(OpError::make(copied.number, destination));
    if (::fchmod(out.get(), info.st_mode & 07777) != 0 || ::fsync(out.get()) != 0)
        return fail(OpError::fromErrno(errno, destination));
    if (::close(out.release()) != 0)
        return fail(OpError::fromErrno(errno, destination));
    if (::rename(temp.constData(), dst.constData()) != 0)
        return fail(OpError::fromErrno(errno, destination));
    return {};
}

OpResult makeWritable(const QString &path)
{
    const QByteArray name = NativeName::encode(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        return missingOr(errno, path);
    if ((info.st_mode & S_IWUSR) != 0)
        return {};
    if (::chmod(name.constData(), (info.st_mode & 07777) | S_IWUSR) != 0)
        return OpError::fromErrno(errno, path);
    return {};
}

OpResult makeExecutable(const QString &path)
{
    const QByteArray name = NativeName::encode(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        return missingOr(errno, path);
    if (!S_ISREG(info.st_mode))
        return OpError::make(OpError::FileAccess, path);
    // Whoever may read it may run it; the owner always.
    const mode_t wanted = info.st_mode | S_IXUSR | ((info.st_mode & (S_IRGRP | S_IROTH)) >> 2);
    if ((wanted & 07777) == (info.st_mode & 07777))
        return {};
    if (::chmod(name.constData(), wanted & 07777) != 0)
        return OpError::fromErrno(errno, path);
    return {};
}

bool exists(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(NativeName::encode(path).constData(), &info) == 0;
}

bool sameFile(const QString &first, const QString &second)
{
    struct stat one
    {
    };
    struct stat other
    {
    };
    return ::stat(NativeName::encode(first).constData(), &one) == 0 &&
           ::stat(NativeName::encode(second).constData(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

OpResult canCreateFiles(const QString &folder)
{
    if (!isFolder(folder))
        return OpError::make(OpError::PathNotFound, folder);
    QByteArray probe = NativeName::encode(folder) + "/.qvx-probe-XXXXXX";
    Fd fd(::mkstemp(probe.data()));
    if (fd.get() < 0)
        return OpError::fromErrno(errno, folder);
    ::unlink(probe.constData());
    return {};
}

OpResult remove(const QString &path)
{
    if (::unlink(NativeName::encode(path).constData()) != 0)
        return missingOr(errno, path);
    return {};
}

} // namespace PosixFiles

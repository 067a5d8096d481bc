#include "qvx/platform/PosixFiles.h"

#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"
#include "qvx/posix/Descriptor.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvx::posix {
namespace {

std::string bytesOf(const std::filesystem::path &path)
{
    return text::fromPath(path);
}

// The folder a path names a file in, the current one for a bare name.
std::filesystem::path folderOf(const std::filesystem::path &path)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return (error ? path : full).parent_path();
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

// What a copy is written under beside its destination: mkstemp's six letters or digits.
constexpr std::string_view copyPrefix = ".qvx-copy-";

bool isCopyName(std::string_view name)
{
    return name.size() == copyPrefix.size() + 6 && name.starts_with(copyPrefix) &&
           std::all_of(name.begin() + copyPrefix.size(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

bool sameInode(const struct stat &one, const struct stat &other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Whether the name still leads to the open file, not followed through a link.
bool stillNamed(int dirFd, const char *name, int fd)
{
    struct stat named
    {
    };
    struct stat open
    {
    };
    return ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           sameInode(named, open);
}

// A new file for a copy in the folder, locked for as long as it stays open: the lock tells
// a later clean-up that a run is still writing it. Its name goes into `temp`; -1 with errno
// on failure.
int createCopyFile(const std::filesystem::path &folder, std::string &temp)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        temp = bytesOf(folder / (std::string(copyPrefix) + "XXXXXX"));
        Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
        if (fd.get() < 0)
            return -1;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            // A clean-up holds it and is about to remove it.
            if (errno == EWOULDBLOCK)
                continue;
            // Where the system has no locks, its clean-up removes nothing either.
            return fd.release();
        }
        // Or one took the new file for a leftover before it was locked, and removed it.
        if (stillNamed(AT_FDCWD, temp.c_str(), fd.get()))
            return fd.release();
    }
    errno = EEXIST;
    return -1;
}

// 0, or the errno of the failure.
int copyContents(int in, int out)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (!writeAll(out, buffer, std::size_t(got)))
            return errno;
    }
}

} // namespace

OpResult resultFromErrno(int err, std::string_view detail)
{
    switch (err) {
    case 0:
        return {};
    case ENOENT:
        return OpError::make(OpError::FileNotFound, detail);
    case ENOTDIR:
        return OpError::make(OpError::PathNotFound, detail);
    case EACCES:
    case EPERM:
    case EROFS:
        return OpError::make(OpError::PermissionDenied, detail);
    case ENOSPC:
    case EDQUOT:
        return OpError::make(OpError::DiskFull, detail);
    default:
        return OpError::make(OpError::FileAccess, detail);
    }
}

OpResult resultForFile(int err, const std::filesystem::path &path)
{
    if (err == ENOENT && !isFolder(folderOf(path)))
        return OpError::make(OpError::PathNotFound, bytesOf(path));
    return resultFromErrno(err, bytesOf(path));
}

bool isFolder(const std::filesystem::path &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::filesystem::path &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const std::filesystem::path &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

bool sameFile(const std::filesystem::path &first, const std::filesystem::path &second)
{
    struct stat one
    {
    };
    struct stat other
    {
    };
    return ::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

int openForReading(const std::filesystem::path &path)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return -1;
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0)
        return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return fd.release();
}

std::vector<std::filesystem::path> listVisibleFiles(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> names;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        // Dot files are hidden; broken links and special files stay out.
        if (entry->d_name[0] == '.')
            continue;
        struct stat info
        {
        };
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

std::optional<FolderStamp> folderStamp(const std::filesystem::path &folder)
{
    struct stat info
    {
    };
    timespec now{};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        ::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return std::nullopt;
    const auto ns = [](const timespec &time) {
        return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    FolderStamp stamp;
    stamp.state = std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' +
                  std::to_string(ns(info.st_mtim)) + ':' + std::to_string(ns(info.st_ctim));
    // Some file systems keep times to two seconds; a change in the future means a clock set
    // back, and nothing to go by.
    const std::int64_t age = ns(now) - std::max(ns(info.st_mtim), ns(info.st_ctim));
    stamp.settled = age > 3'000'000'000;
    return stamp;
}

OpResult copyReplacing(const std::filesystem::path &source,
                       const std::filesystem::path &destination)
{
    Descriptor in(openForReading(source));
    if (in.get() < 0) {
        if (errno == EINVAL)
            return OpError::make(OpError::FileAccess, bytesOf(source));
        return resultForFile(errno, source);
    }
    struct stat info
    {
    };
    if (::fstat(in.get(), &info) != 0)
        return resultFromErrno(errno, bytesOf(source));

    // Write beside the destination and rename over it, so that it never holds half a file.
    const std::filesystem::path folder = folderOf(destination);
    if (!isFolder(folder))
        return OpError::make(OpError::PathNotFound, bytesOf(folder));
    std::string temp;
    Descriptor out(createCopyFile(folder, temp));
    if (out.get() < 0)
        return resultFromErrno(errno, bytesOf(destination));

    auto fail = [&](int err) {
        ::unlink(temp.c_str());
        return resultFromErrno(err, bytesOf(destination));
    };
    if (const int err = copyContents(in.get(), out.get()); err != 0)
        return fail(err);
    if (::fchmod(out.get(), info.st_mode & 07777) != 0 || ::fsync(out.get()) != 0)
        return fail(errno);
    // Still locked when renamed: until then a clean-up could take it for a leftover.
    if (::rename(temp.c_str(), destination.c_str()) != 0)
        return fail(errno);
    return {};
}

int removeLeftoverCopies(const std::filesystem::path &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isCopyName(entry->d_name))
            continue;
        Descriptor fd(::openat(::dirfd(dir), entry->d_name,
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info
        {
        };
        if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        // The run writing it holds the lock until the copy has its name; a killed run holds
        // nothing.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (stillNamed(::dirfd(dir), entry->d_name, fd.get()) &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

OpResult makeWritable(const std::filesystem::path &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return resultForFile(errno, path);
    if ((info.st_mode & S_IWUSR) != 0)
        return {};
    if (::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0)
        return resultFromErrno(errno, bytesOf(path));
    return {};
}

OpResult makeExecutable(const std::filesystem::path &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return resultForFile(errno, path);
    if (!S_ISREG(info.st_mode))
        return OpError::make(OpError::FileAccess, bytesOf(path));
    // Whoever may read it may run it; the owner always.
    const mode_t wanted = info.st_mode | S_IXUSR | ((info.st_mode & (S_IRGRP | S_IROTH)) >> 2);
    if ((wanted & 07777) == (info.st_mode & 07777))
        return {};
    if (::chmod(path.c_str(), wanted & 07777) != 0)
        return resultFromErrno(errno, bytesOf(path));
    return {};
}

OpResult remove(const std::filesystem::path &path)
{
    if (::unlink(path.c_str()) != 0)
        return resultForFile(errno, path);
    return {};
}

OpResult canCreateFiles(const std::filesystem::path &folder)
{
    if (!isFolder(folder))
        return OpError::make(OpError::PathNotFound, bytesOf(folder));
    std::string probe = bytesOf(folder / ".qvx-probe-XXXXXX");
    Descriptor fd(::mkstemp(probe.data()));
    if (fd.get() < 0)
        return resultFromErrno(errno, bytesOf(folder));
    ::unlink(probe.c_str());
    return {};
}

} // namespace qvx::posix

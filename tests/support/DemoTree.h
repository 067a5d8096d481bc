#pragma once

#include "qvx/helpviewer/NativeName.h"
#include "platform/posix/PosixFiles.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

// Removes a folder and all it holds; Qt's own removal cannot see names that are not UTF-8.
inline void removeNativeTree(const QString &folder)
{
    const auto removeOne = [](const char *entry, const struct stat *, int, FTW *) {
        return ::remove(entry);
    };
    ::nftw(NativeName::encode(folder).constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

// An application folder for a test: Demos/QVX, Demos/QVX Jr and Demos/Both with the given
// files (relative paths; a trailing "/" makes a folder).
class DemoTree
{
public:
    DemoTree() = default;
    explicit DemoTree(const QStringList &files)
    {
        for (const QString &file : files)
            add(file);
    }

    DemoTree(const DemoTree &) = delete;
    DemoTree &operator=(const DemoTree &) = delete;
    ~DemoTree() { removeNativeTree(m_dir.path()); }

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

    void add(const QString &relative, const QByteArray &contents = QByteArrayLiteral("demo"))
    {
        const QString full = m_dir.filePath(relative);
        if (relative.endsWith(QLatin1Char('/'))) {
            QDir().mkpath(full);
            return;
        }
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile out(full);
        if (out.open(QIODevice::WriteOnly))
            out.write(contents);
    }

    // The same for a relative path that need not be UTF-8, given as the system's bytes.
    void addNative(const QByteArray &relative, const QByteArray &contents, mode_t mode = 0644)
    {
        QByteArray full = QFile::encodeName(m_dir.path());
        for (const QByteArray &part : relative.split('/')) {
            ::mkdir(full.constData(), 0755);
            full += '/' + part;
        }
        const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t written =
                ::write(fd, contents.constData(), size_t(contents.size()));
            ::close(fd);
        }
    }

private:
    QTemporaryDir m_dir;
};

// Every entry of a folder but "." and "..", names kept as NativeName keeps them, sorted.
inline QStringList nativeEntries(const QString &folder)
{
    QStringList names;
    if (DIR *dir = ::opendir(NativeName::encode(folder).constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(NativeName::decode(name));
        }
        ::closedir(dir);
    }
    names.sort();
    return names;
}

// A file's contents by a path that need not be UTF-8.
inline QByteArray readNative(const QString &path)
{
    QFile file;
    return PosixFiles::openForReading(file, path) ? file.readAll() : QByteArray();
}

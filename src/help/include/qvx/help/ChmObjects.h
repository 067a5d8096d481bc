#pragma once

#include "qvx/chm/Limits.h"
#include "qvx/chmreader/Outcome.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QObject;

namespace qvx::help {

// The objects stored in one compiled help file, read through a reader process of its own
// (qvx-chmreader): the decompression library never runs in this process. Requests go one at a
// time to a thread that owns the reader; the page being shown goes ahead of background
// reading. A request that finds the file changed since it was opened marks the whole object
// stale: it is then of no further use, and whoever holds it opens the file again.
class ChmObjects
{
public:
    // Objects larger than this are refused rather than read into memory.
    static constexpr qint64 maxObjectSize = qvx::chm::maxObjectBytes;

    struct Object
    {
        qvx::chmreader::Outcome status = qvx::chmreader::Outcome::CannotOpen;
        QByteArray bytes;
        qint64 size = -1; // the whole object's, when known (also when TooLarge)
    };
    using Fetched = std::function<void(const Object &object)>;

    ChmObjects();
    ~ChmObjects();
    ChmObjects(const ChmObjects &) = delete;
    ChmObjects &operator=(const ChmObjects &) = delete;

    // Starts the file's reader; false when no reader program is set.
    bool start(const QString &path);
    bool isStarted() const;
    // Whether a request found the file changed, replaced or gone since it was opened.
    bool hasChanged() const { return m_changed; }

    // Waits for the object: off the GUI thread.
    Object fetch(const QString &path, qint64 limit = maxObjectSize) const;
    std::optional<QByteArray> read(const QString &path) const;
    // Calls `done` on the GUI thread with the object, unless `receiver` is gone by then.
    // Never waits: for the GUI thread.
    void fetchLater(const QString &path, qint64 limit, QObject *receiver, Fetched done) const;

    // From the file's listing, read at the first of these calls: off the GUI thread.
    // The HTML pages stored in the file, at most `limit` of them.
    QStringList pagePaths(int limit) const;
    // The first object at the file's root, by name, whose lower-case name ends with `suffix`.
    QString rootObject(const char *suffix) const;

    // The reader program, by the file system's bytes (see NativeName); none until set, and
    // then no file opens.
    static void setReaderProgram(const QString &path);
    // How many files were opened with a reader so far (for tests).
    static int readersStarted();
    // How many objects were asked of readers so far (for tests).
    static int objectsRequested();

    class Channel;

private:
    void listObjects() const;

    std::shared_ptr<Channel> m_channel;
    mutable std::atomic<bool> m_changed = false;
    mutable std::mutex m_listLock; // guards what follows
    // Object names in lower case: the reader matches names ignoring ASCII case.
    mutable std::optional<QList<QByteArray>> m_objects;
    mutable QStringList m_pages;
};

} // namespace qvx::help

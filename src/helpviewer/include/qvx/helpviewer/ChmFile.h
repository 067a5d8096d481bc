#pragma once

#include "qvx/helpviewer/ChmSitemap.h"
#include "qvx/helpviewer/ChmSystem.h"

#include "qvx/chm/Limits.h"
#include "qvx/chmreader/Outcome.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QObject;

// One compiled help file, read through a reader process of its own (qvx-chmreader): the
// decompression library never runs in this process. Requests go one at a time to a thread
// that owns the reader; the page being shown goes ahead of background reading. A request that
// finds the file changed since it was opened marks the whole object stale: it is then of no
// further use, and whoever holds it opens the file again.
class ChmFile
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

    ChmFile();
    ~ChmFile();
    ChmFile(const ChmFile &) = delete;
    ChmFile &operator=(const ChmFile &) = delete;

    // Starts the file's reader and reads what the first page needs: the file's details and
    // its contents. False when that cannot be read. Waits for the reader: off the GUI thread.
    bool open(const QString &path);
    // Lists the objects and reads the keyword index and page titles. Off the GUI thread.
    void loadIndex();
    bool isOpen() const { return m_open; }
    bool isIndexed() const { return m_indexed; }
    // Whether a request found the file changed, replaced or gone since it was opened.
    bool hasChanged() const { return m_changed; }

    // Waits for the object: off the GUI thread.
    Object fetch(const QString &path, qint64 limit = maxObjectSize) const;
    std::optional<QByteArray> read(const QString &path) const;
    // Calls `done` on the GUI thread with the object, unless `receiver` is gone by then.
    // Never waits: for the GUI thread.
    void fetchLater(const QString &path, qint64 limit, QObject *receiver, Fetched done) const;

    // The HTML pages stored in the file, at most `limit` of them, from its listing (read at the
    // first call). Off the GUI thread.
    QStringList pagePaths(int limit) const;

    const ChmSystemInfo &system() const { return m_system; }
    QByteArray encoding() const { return encodingForLcid(m_system.lcid); }
    // Text of the file's own code page.
    QString decode(const QByteArray &bytes) const;
    // Text of a page: its own declared charset if it names one Qt knows, else the file's.
    QString decodePage(const QByteArray &bytes) const;

    QString title() const { return m_system.title; }
    // The page a contents request opens: the file's default topic, else the first page of
    // its contents. Empty when it has neither.
    QString defaultTopic() const;
    const QList<SitemapEntry> &contents() const { return m_contents; }
    // Empty until loadIndex() has run.
    QList<SitemapEntry> index() const;
    // Each page's own title by topicKey(); empty until loadIndex() has run.
    QHash<QString, QString> topicTitles() const;

    // The reader program, by the file system's bytes (see NativeName); none until set, and
    // then no file opens.
    static void setReaderProgram(const QString &path);
    // How many files were opened with a reader so far (for tests).
    static int readersStarted();
    // How many objects were asked of readers so far (for tests).
    static int objectsRequested();

    class Channel;

private:
    QString sitemapPath(const QString &named, const char *suffix) const;
    QList<SitemapEntry> readSitemap(const QString &path) const;
    void listObjects() const;

    std::shared_ptr<Channel> m_channel;
    std::atomic<bool> m_open = false;
    std::atomic<bool> m_indexed = false;
    mutable std::atomic<bool> m_changed = false;
    ChmSystemInfo m_system;
    QList<SitemapEntry> m_contents;
    mutable std::mutex m_lock; // guards what follows
    QList<SitemapEntry> m_index;
    QHash<QString, QString> m_titles;
    // Object names in lower case: the reader matches names ignoring ASCII case.
    mutable std::optional<QList<QByteArray>> m_objects;
    mutable QStringList m_pages;
};

// The charset a page declares in its <meta> tag, if any (looked for near its start only).
QByteArray declaredCharset(const QByteArray &page);

#pragma once

#include "qvx/helpviewer/ChmSitemap.h"
#include "qvx/helpviewer/ChmSystem.h"

#include "qvx/chm/Limits.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <QSet>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

struct chmFile;

// One compiled help file, open for reading through chmlib. Once open, it may be read from
// several threads at once.
class ChmFile
{
public:
    // Objects larger than this are refused rather than read into memory.
    static constexpr qint64 maxObjectSize = qvx::chm::maxObjectBytes;

    ChmFile();
    ~ChmFile();
    ChmFile(const ChmFile &) = delete;
    ChmFile &operator=(const ChmFile &) = delete;

    // False for a missing, unreadable or damaged file. Runs the probe program on the file
    // first and waits for it (up to about 20 s): call it off the GUI thread.
    bool open(const QString &path);
    // As open(), but returns once the probe has cleared what the first page needs, with the
    // file's details and contents read; the index comes with loadIndex(). Until settle() has the
    // probe's verdict on the rest, only the objects it cleared can be read (isReadable). Off the
    // GUI thread.
    bool openFirstStage(const QString &path);
    // Waits for the verdict; a damaged file is closed then. Call it on the thread that called
    // openFirstStage, which the probe dies with.
    bool settle();
    // Reads the keyword index (sitemap, else binary). Large indexes take a while to parse,
    // so the first page need not wait for it. Off the GUI thread.
    void loadIndex();
    bool isIndexed() const { return m_indexed; }
    void close();
    bool isOpen() const { return m_open; }
    // Whether the whole file came through the probe.
    bool isVerified() const { return m_verified; }
    // Whether the object may be read now: any of a verified file, the cleared ones before.
    bool isReadable(const QString &path) const;

    struct Probe;

    // An object by its path inside the file ("/page.htm"; normalised here).
    std::optional<QByteArray> read(const QString &path) const;
    bool contains(const QString &path) const;
    // The length of an object without reading it; nothing if the file lacks it.
    std::optional<qint64> objectSize(const QString &path) const;
    // The HTML pages stored in the file, at most `limit` of them.
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

    // The probe program; none until set, and then every file is refused. The program names
    // the one beside its executable by the folder's bytes: Qt's decoding of a folder name that
    // is not UTF-8 names no file.
    static void setProbeProgram(const QString &path);
    // For tools that cannot start the probe program for every file (fuzzing): a check run in
    // process instead, given chmlib's name for the file and its size, whose answer is the
    // verdict on all of it. Null returns to the program.
    using InProcessProbe = bool (*)(const char *libraryName, quint64 fileSize);
    static void setInProcessProbe(InProcessProbe check);
    // How many probes were started so far.
    static int probesRun();
    // Ends running probes and refuses every file from now on: the program is quitting.
    static void cancelProbes();

private:
    bool compressionLooksSound() const;
    bool holdsWhatItLists(quint64 contentOffset, quint64 fileSize) const;
    std::optional<QByteArray> fetchSmall(const char *path) const;
    QString sitemapPath(const QString &named, const char *suffix) const;
    static QByteArray clearedKey(const QString &path);
    QList<SitemapEntry> readSitemap(const QString &path) const;

    chmFile *m_handle = nullptr;
    std::atomic<bool> m_open = false;
    std::atomic<bool> m_verified = false;
    std::atomic<bool> m_indexed = false;
    // Keys of the objects cleared before the verdict; fixed once the file is open.
    QSet<QByteArray> m_cleared;
    std::unique_ptr<Probe> m_probe;
    // chmlib keeps one decompression state per handle.
    mutable std::mutex m_lock;
    ChmSystemInfo m_system;
    QList<SitemapEntry> m_contents;
    QList<SitemapEntry> m_index;
};

// The charset a page declares in its <meta> tag, if any (looked for near its start only).
QByteArray declaredCharset(const QByteArray &page);

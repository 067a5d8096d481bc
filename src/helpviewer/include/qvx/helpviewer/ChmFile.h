#pragma once

#include "qvx/helpviewer/ChmSitemap.h"
#include "qvx/helpviewer/ChmSystem.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <mutex>
#include <optional>

struct chmFile;

// One compiled help file, open for reading through chmlib. Once open, it may be read from
// several threads at once.
class ChmFile
{
public:
    // Objects larger than this are refused rather than read into memory.
    static constexpr qint64 maxObjectSize = 64 * 1024 * 1024;

    ChmFile() = default;
    ~ChmFile();
    ChmFile(const ChmFile &) = delete;
    ChmFile &operator=(const ChmFile &) = delete;

    // False for a missing, unreadable or damaged file. Runs the probe program on the file
    // first and waits for it (up to about 20 s): call it off the GUI thread.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }

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
    const QList<SitemapEntry> &index() const { return m_index; }

    // The probe program; by default "qvx-chmprobe" beside the application's executable.
    static void setProbeProgram(const QString &path);
    // How many probes were started so far.
    static int probesRun();
    // Ends running probes and refuses every file from now on: the program is quitting.
    static void cancelProbes();

private:
    bool compressionLooksSound() const;
    bool holdsWhatItLists(quint64 contentOffset, quint64 fileSize) const;
    std::optional<QByteArray> fetchSmall(const char *path) const;
    QString sitemapPath(const QString &named, const char *suffix) const;
    QList<SitemapEntry> readSitemap(const QString &path) const;

    chmFile *m_handle = nullptr;
    // chmlib keeps one decompression state per handle.
    mutable std::mutex m_lock;
    ChmSystemInfo m_system;
    QList<SitemapEntry> m_contents;
    QList<SitemapEntry> m_index;
};

// The charset a page declares in its <meta> tag, if any (looked for near its start only).
QByteArray declaredCharset(const QByteArray &page);

#pragma once

#include "qvx/help/ChmObjects.h"
#include "qvx/help/ChmSitemap.h"
#include "qvx/help/ChmSystem.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <mutex>

namespace qvx::help {

// One compiled help file as the viewer shows it: its details, contents and keyword index,
// read from its objects.
class ChmFile : public ChmObjects
{
public:
    // Starts the file's reader and reads what the first page needs: the file's details and
    // its contents. False when that cannot be read. Waits for the reader: off the GUI thread.
    bool open(const QString &path);
    // Lists the objects and reads the keyword index and page titles. Off the GUI thread.
    void loadIndex();
    bool isOpen() const { return m_open; }
    bool isIndexed() const { return m_indexed; }

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

private:
    QString sitemapPath(const QString &named, const char *suffix) const;
    QList<SitemapEntry> readSitemap(const QString &path) const;

    std::atomic<bool> m_open = false;
    std::atomic<bool> m_indexed = false;
    ChmSystemInfo m_system;
    QList<SitemapEntry> m_contents;
    mutable std::mutex m_lock; // guards what follows
    QList<SitemapEntry> m_index;
    QHash<QString, QString> m_titles;
};

// The charset a page declares in its <meta> tag, if any (looked for near its start only).
QByteArray declaredCharset(const QByteArray &page);

} // namespace qvx::help

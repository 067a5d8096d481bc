#pragma once

#include "qvx/chm/Sitemap.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace qvx::help {

// One page an entry of a contents or index sitemap points at.
struct SitemapTarget
{
    QString title;
    QString local; // as written in the file
};

// One entry of a contents (.hhc) or index (.hhk) sitemap, in file order. A contents heading
// may have no target; an index keyword may have several.
struct SitemapEntry
{
    QString name; // the index's keyword, else the entry's name
    QList<SitemapTarget> targets;
    int depth = 0; // 0 at the top level
};

// The format's limits, in the types of the viewer's lists.
constexpr int maxSitemapDepth = qvx::chm::maxSitemapDepth;
constexpr qsizetype maxSitemapEntries = qsizetype(qvx::chm::maxSitemapEntries);
constexpr qsizetype maxSitemapTargets = qsizetype(qvx::chm::maxSitemapTargets);

// Reads a sitemap leniently: missing closing tags, any quoting, entities. Never fails.
QList<SitemapEntry> parseSitemap(const QString &text);
// The same, of UTF-8 text.
QList<SitemapEntry> parseSitemapUtf8(QByteArray utf8);

// Decodes character references and the common named entities; unknown ones stay as written.
QString decodeHtmlEntities(const QString &text);

// Where a sitemap target leads: a web address (http, https, ftp, mailto) as it is, else the
// page inside the file (invalid when the target names none).
QUrl sitemapTargetUrl(const QString &local);

} // namespace qvx::help

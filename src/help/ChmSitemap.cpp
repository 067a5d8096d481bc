#include "qvx/help/ChmSitemap.h"

#include "qvx/help/ChmAddress.h"

#include <QByteArray>

namespace qvx::help {

namespace {

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QList<SitemapEntry> parseSitemap(const QString &text)
{
    return parseSitemapUtf8(text.toUtf8());
}

QList<SitemapEntry> parseSitemapUtf8(QByteArray utf8)
{
    std::vector<qvx::chm::SitemapEntry> parsed =
        qvx::chm::parseSitemap(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    utf8 = QByteArray();
    QList<SitemapEntry> entries;
    entries.reserve(qsizetype(parsed.size()));
    for (qvx::chm::SitemapEntry &from : parsed) {
        SitemapEntry entry;
        entry.name = fromUtf8(from.name);
        entry.depth = from.depth;
        entry.targets.reserve(qsizetype(from.targets.size()));
        for (const qvx::chm::SitemapTarget &target : from.targets) {
            // Most titles are the entry's name: share its string rather than convert it again.
            entry.targets.append({target.title == from.name ? entry.name : fromUtf8(target.title),
                                  fromUtf8(target.local)});
        }
        entries.append(std::move(entry));
        // A large index is not held in both forms at once.
        from = {};
    }
    return entries;
}

QString decodeHtmlEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    const QByteArray utf8 = text.toUtf8();
    return fromUtf8(
        qvx::chm::decodeHtmlEntities(std::string_view(utf8.constData(), std::size_t(utf8.size()))));
}

QUrl sitemapTargetUrl(const QString &local)
{
    const QString trimmed = local.trimmed();
    for (const char *scheme : {"http:", "https:", "ftp:", "mailto:"}) {
        if (trimmed.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return QUrl(trimmed);
    }
    return chmPageUrl(trimmed);
}

} // namespace qvx::help

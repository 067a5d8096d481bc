#include "qvx/help/ChmFile.h"

#include "qvx/help/ChmBinaryIndex.h"
#include "qvx/help/ChmTopics.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace qvx::help {

using qvx::chmreader::Outcome;

bool ChmFile::open(const QString &path)
{
    if (isStarted())
        return m_open;
    if (!start(path))
        return false;
    const Object system = fetch(QStringLiteral("/#SYSTEM"), qvx::chm::maxSystemBytes);
    if (system.status != Outcome::Ok)
        return false;
    m_system = parseChmSystem(system.bytes);
    if (!m_system.valid)
        return false;
    m_contents = readSitemap(sitemapPath(m_system.contentsFile, ".hhc"));
    if (hasChanged())
        return false;
    m_open = true;
    return true;
}

void ChmFile::loadIndex()
{
    if (!m_open || m_indexed)
        return;
    QList<SitemapEntry> index = readSitemap(sitemapPath(m_system.indexFile, ".hhk"));
    if (index.isEmpty())
        index = readBinaryIndex(*this, encoding());
    // Pages' own titles tell apart the pages of a keyword whose sitemap only repeats the
    // keyword: read only for an index that has such a keyword.
    const bool titlesWanted =
        std::any_of(index.cbegin(), index.cend(), [](const SitemapEntry &entry) {
            return entry.targets.size() > 1 &&
                   std::any_of(entry.targets.cbegin(), entry.targets.cend(),
                               [&entry](const SitemapTarget &target) {
                                   return target.title.compare(entry.name, Qt::CaseInsensitive) ==
                                          0;
                               });
        });
    QHash<QString, QString> titles =
        titlesWanted ? help::topicTitles(*this, encoding()) : QHash<QString, QString>();
    {
        const std::lock_guard lock(m_lock);
        m_index = std::move(index);
        m_titles = std::move(titles);
    }
    m_indexed = true;
}

QList<SitemapEntry> ChmFile::index() const
{
    const std::lock_guard lock(m_lock);
    return m_index;
}

QHash<QString, QString> ChmFile::topicTitles() const
{
    const std::lock_guard lock(m_lock);
    return m_titles;
}

QString ChmFile::decode(const QByteArray &bytes) const
{
    QStringDecoder decoder(encoding().constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString ChmFile::decodePage(const QByteArray &bytes) const
{
    const QByteArray charset = declaredCharset(bytes);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return decode(bytes);
}

QString ChmFile::defaultTopic() const
{
    if (!m_system.defaultTopic.isEmpty())
        return m_system.defaultTopic;
    for (const SitemapEntry &entry : m_contents) {
        if (!entry.targets.isEmpty())
            return entry.targets.first().local;
    }
    return {};
}

QString ChmFile::sitemapPath(const QString &named, const char *suffix) const
{
    if (!named.isEmpty())
        return named;
    // No record names it: a sitemap at the root, if the file has one.
    return rootObject(suffix);
}

QList<SitemapEntry> ChmFile::readSitemap(const QString &path) const
{
    if (path.isEmpty())
        return {};
    std::optional<QByteArray> bytes = read(path);
    if (!bytes)
        return {};
    // Written in UTF-8 by its own mark or by its bytes, else in the file's code page.
    if (bytes->startsWith("\xEF\xBB\xBF"))
        return parseSitemapUtf8(bytes->mid(3));
    if (isMultiByteUtf8(*bytes))
        return parseSitemapUtf8(std::move(*bytes));
    // Into UTF-8 a piece at a time: an index of many MiB is not held as UTF-16 as well.
    QByteArray utf8;
    QStringDecoder decoder(encoding().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    constexpr qsizetype piece = 256 * 1024;
    utf8.reserve(bytes->size());
    for (qsizetype at = 0; at < bytes->size(); at += piece)
        utf8 += QString(decoder.decode(QByteArrayView(bytes->constData() + at,
                                                      qMin(piece, bytes->size() - at))))
                    .toUtf8();
    bytes.reset();
    return parseSitemapUtf8(std::move(utf8));
}

QByteArray declaredCharset(const QByteArray &page)
{
    static const QRegularExpression charset(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(page.left(2048)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

} // namespace qvx::help

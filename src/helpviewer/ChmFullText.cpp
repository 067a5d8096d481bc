#include "qvx/helpviewer/ChmFullText.h"

#include "qvx/helpviewer/ChmFile.h"

#include <QStringDecoder>

namespace {

constexpr std::size_t maxStringLength = 1024;
constexpr int titleWeight = 10;
constexpr int maxResults = 1000;

std::string bytesOf(const QByteArray &bytes)
{
    return bytes.toStdString();
}

} // namespace

std::shared_ptr<ChmFullText> ChmFullText::fromFile(const ChmFile &file)
{
    const auto read = [&](const char *name) {
        return file.read(QString::fromLatin1(name)).value_or(QByteArray());
    };
    Objects objects;
    objects.index = read("/$FIftiMain");
    if (objects.index.isEmpty())
        return nullptr;
    objects.topics = read("/#TOPICS");
    objects.urlTable = read("/#URLTBL");
    objects.urlStrings = read("/#URLSTR");
    objects.strings = read("/#STRINGS");
    return fromObjects(std::move(objects), file.encoding());
}

std::shared_ptr<ChmFullText> ChmFullText::fromObjects(Objects objects, const QByteArray &encoding)
{
    if (objects.topics.isEmpty())
        return nullptr;
    std::optional<qvx::chm::FullTextIndex> index =
        qvx::chm::FullTextIndex::parse(bytesOf(objects.index));
    if (!index)
        return nullptr;
    qvx::chm::TopicTable topics(bytesOf(objects.topics), bytesOf(objects.urlTable),
                                bytesOf(objects.urlStrings), bytesOf(objects.strings));
    return std::shared_ptr<ChmFullText>(
        new ChmFullText(std::move(*index), std::move(topics), encoding));
}

ChmFullText::ChmFullText(qvx::chm::FullTextIndex index, qvx::chm::TopicTable topics,
                         const QByteArray &encoding)
    : m_index(std::move(index)), m_topics(std::move(topics)), m_encoding(encoding)
{
}

QString ChmFullText::decode(QByteArrayView bytes) const
{
    QStringDecoder decoder(m_encoding.constData());
    return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
}

QList<SearchHit> ChmFullText::search(const QStringList &terms, const std::atomic_bool &cancel) const
{
    if (terms.isEmpty())
        return {};
    QList<QHash<quint32, DocumentHits>> found(terms.size());
    m_index.forEachWord([&](const qvx::chm::FullTextIndex::Word &word) {
        const QString text = decode(QByteArrayView(word.text)).toCaseFolded();
        for (qsizetype t = 0; t < terms.size(); ++t) {
            if (!termMatches(terms[t], text))
                continue;
            QHash<quint32, DocumentHits> &termHits = found[t];
            m_index.forEachDocument(word, m_topics.count(),
                                    [&](quint32 document, quint64 locations) {
                                        DocumentHits &hits = termHits[document];
                                        if (word.inTitle)
                                            hits.inTitle = true;
                                        else
                                            hits.hits += int(qMin<quint64>(locations, 100000));
                                    });
        }
        return !cancel;
    });
    QHash<quint32, int> scores;
    for (auto it = found[0].cbegin(); it != found[0].cend(); ++it)
        scores.insert(it.key(), 0);
    for (const QHash<quint32, DocumentHits> &termHits : found) {
        for (auto it = scores.begin(); it != scores.end();) {
            const auto hit = termHits.constFind(it.key());
            if (hit == termHits.cend()) {
                it = scores.erase(it);
                continue;
            }
            *it += hit->hits + (hit->inTitle ? titleWeight : 0);
            ++it;
        }
    }
    QList<SearchHit> hits;
    for (auto it = scores.cbegin(); it != scores.cend() && !cancel; ++it) {
        std::optional<SearchHit> hit = topic(it.key());
        if (!hit)
            continue;
        hit->score = *it;
        hits.append(*hit);
    }
    rankHits(hits);
    if (hits.size() > maxResults)
        hits.resize(maxResults);
    return hits;
}

std::optional<SearchHit> ChmFullText::topic(quint32 number) const
{
    const std::optional<qvx::chm::TopicTable::Topic> entry = m_topics.topic(number);
    if (!entry)
        return std::nullopt;
    QString url = decode(QByteArrayView(entry->local)
                             .first(qsizetype(std::min(entry->local.size(), maxStringLength))));
    // Pages of other files, and the like, are not this viewer's to open.
    if (url.isEmpty() || url.contains(QLatin1String("::")) || url.contains(u':'))
        return std::nullopt;
    if (!url.startsWith(u'/'))
        url.prepend(u'/');
    SearchHit hit;
    hit.path = url;
    hit.title = decode(QByteArrayView(entry->title)
                           .first(qsizetype(std::min(entry->title.size(), maxStringLength))))
                    .trimmed();
    if (hit.title.isEmpty())
        hit.title = url.mid(1);
    return hit;
}

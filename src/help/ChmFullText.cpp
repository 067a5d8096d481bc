#include "qvx/help/ChmFullText.h"

#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmTopics.h"

#include <QStringDecoder>

#include <algorithm>

namespace qvx::help {

namespace {

constexpr std::size_t maxStringLength = 1024;
constexpr int titleWeight = 10;
constexpr int maxResults = 1000;
constexpr int maxLocations = 100000;

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
    // Words and titles are each written as the pages gave them to the compiler.
    Utf8Vote titles;
    for (quint32 i = 0; i < quint32(m_topics.count()); ++i) {
        if (const std::optional<qvx::chm::TopicTable::Topic> topic = m_topics.topic(i)) {
            titles.add(QByteArrayView(topic->title));
            titles.add(QByteArrayView(topic->local));
        }
    }
    m_textsUtf8 = titles.isUtf8();
    Utf8Vote words;
    m_index.forEachWord([&](const qvx::chm::FullTextIndex::Word &word) {
        words.add(QByteArrayView(word.text));
        return true;
    });
    CodePageDecoder decode(m_encoding, words.isUtf8());
    m_index.forEachWord([&](const qvx::chm::FullTextIndex::Word &word) {
        IndexWord decoded{word, {}, {}};
        decoded.text = decode(QByteArrayView(word.text)).toCaseFolded();
        // The view points into the index, which the stored words must not rely on.
        decoded.word.text = {};
        if (QStringList parts = textWords(decoded.text);
            parts.size() != 1 || parts.first() != decoded.text) {
            m_held.append(parts);
            decoded.parts = std::move(parts);
        }
        m_held.append(decoded.text);
        m_words.push_back(std::move(decoded));
        return true;
    });
    m_held.sort();
    m_held.erase(std::unique(m_held.begin(), m_held.end()), m_held.end());
}

bool ChmFullText::holdsTermsOf(const SearchQuery &query) const
{
    const auto held = [this](const QString &word) {
        return std::binary_search(m_held.cbegin(), m_held.cend(), word);
    };
    for (qsizetype t = 0; t < query.terms.size(); ++t) {
        const QString &term = query.terms[t];
        bool found = false;
        if (term.endsWith(u'*')) {
            const QStringView prefix = QStringView(term).chopped(1);
            const auto first = std::lower_bound(m_held.cbegin(), m_held.cend(), prefix);
            found = first != m_held.cend() && first->startsWith(prefix);
        } else if (t < query.forms.size() && !query.forms[t].isEmpty()) {
            found = std::any_of(query.forms[t].cbegin(), query.forms[t].cend(), held);
        } else {
            found = held(term);
        }
        if (!found)
            return false;
    }
    return true;
}

bool ChmFullText::wordMatches(const SearchQuery &query, qsizetype term, const IndexWord &word) const
{
    return query.matches(term, word.text) ||
           std::any_of(word.parts.cbegin(), word.parts.cend(),
                       [&](const QString &part) { return query.matches(term, part); });
}

QString ChmFullText::decode(QByteArrayView bytes) const
{
    // A converter of its own: searches run on several threads at once.
    return CodePageDecoder(m_encoding, m_textsUtf8)(bytes);
}

QList<SearchHit> ChmFullText::search(const SearchQuery &query, const std::atomic_bool &cancel) const
{
    const QStringList &terms = query.terms;
    if (terms.isEmpty())
        return {};
    QList<bool> located(terms.size(), false);
    for (const QStringList &phrase : query.phrases) {
        for (const QString &term : phrase)
            located[terms.indexOf(term)] = true;
    }
    QList<QHash<quint32, DocumentHits>> found(terms.size());
    for (const IndexWord &word : m_words) {
        if (cancel)
            break;
        if (query.titlesOnly && !word.word.inTitle)
            continue;
        for (qsizetype t = 0; t < terms.size(); ++t) {
            if (!wordMatches(query, t, word))
                continue;
            QHash<quint32, DocumentHits> &termHits = found[t];
            const auto count = [&](quint32 document, quint64 locations) -> DocumentHits & {
                DocumentHits &hits = termHits[document];
                if (word.word.inTitle)
                    hits.inTitle = true;
                else
                    hits.hits += int(qMin<quint64>(locations, maxLocations));
                return hits;
            };
            if (!located[t]) {
                m_index.forEachDocument(word.word, m_topics.count(), count);
                continue;
            }
            m_index.forEachLocatedDocument(
                word.word, m_topics.count(), maxLocations,
                [&](quint32 document, const std::vector<std::uint32_t> &places) {
                    DocumentHits &hits = count(document, places.size());
                    QList<quint32> &kept = word.word.inTitle ? hits.titlePlaces : hits.places;
                    const qsizetype before = kept.size();
                    kept.append(QList<quint32>(places.cbegin(), places.cend()));
                    // Words a prefix gathers come in one after another.
                    if (before > 0)
                        std::sort(kept.begin(), kept.end());
                });
        }
    }
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
    if (!query.phrases.isEmpty()) {
        for (auto it = scores.begin(); it != scores.end() && !cancel;) {
            QList<const DocumentHits *> hits;
            for (const QHash<quint32, DocumentHits> &termHits : std::as_const(found))
                hits.append(&*termHits.constFind(it.key()));
            const bool all = std::all_of(
                query.phrases.cbegin(), query.phrases.cend(),
                [&](const QStringList &phrase) { return phraseFound(terms, phrase, hits); });
            it = all ? std::next(it) : scores.erase(it);
        }
    }
    QList<SearchHit> hits;
    for (auto it = scores.cbegin(); it != scores.cend() && !cancel; ++it) {
        std::optional<SearchHit> hit = topic(it.key());
        if (!hit || !query.admits(hit->path))
            continue;
        hit->score = *it;
        hits.append(*hit);
    }
    rankHits(hits);
    if (hits.size() > maxResults)
        hits.resize(maxResults);
    return hits;
}

bool ChmFullText::phraseFound(const QStringList &terms, const QStringList &phrase,
                              const QList<const DocumentHits *> &hits) const
{
    QList<const QList<quint32> *> titlePlaces;
    QList<const QList<quint32> *> places;
    for (const QString &term : phrase) {
        const DocumentHits *termHits = hits[terms.indexOf(term)];
        // An index without word places cannot tell: every word is there, which must do.
        if (termHits->titlePlaces.isEmpty() && termHits->places.isEmpty())
            return true;
        titlePlaces.append(&termHits->titlePlaces);
        places.append(&termHits->places);
    }
    return placesFollow(places) || placesFollow(titlePlaces);
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
    if (!isUsableTitle(url, hit.title)) {
        hit.title = pageTitle(url, {});
        hit.titleMissing = true;
    }
    return hit;
}

} // namespace qvx::help

#include "qvx/help/SearchIndex.h"

#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmTopics.h"

#include "qvx/chm/Limits.h"

#include <QMap>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <array>

namespace qvx::help {

namespace {

constexpr qsizetype maxWordLength = 64;
constexpr qsizetype maxQueryTerms = 64;
// A title word says more about a page than one in its text.
constexpr int titleWeight = 10;

QChar entityChar(QStringView name)
{
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                              ? name.mid(2).toUInt(&ok, 16)
                              : name.mid(1).toUInt(&ok, 10);
        return ok && code > 0 && code < 0x10000 ? QChar(char16_t(code)) : QChar(u' ');
    }
    static const QHash<QString, QChar> named = [] {
        QHash<QString, QChar> names = {{QStringLiteral("amp"), u'&'},
                                       {QStringLiteral("lt"), u'<'},
                                       {QStringLiteral("gt"), u'>'},
                                       {QStringLiteral("quot"), u'"'},
                                       {QStringLiteral("apos"), u'\''}};
        // The Latin-1 names, in the order of their characters from U+00A0.
        const QStringList latin1 =
            QStringLiteral(
                "nbsp iexcl cent pound curren yen brvbar sect uml copy ordf laquo not shy reg macr "
                "deg plusmn sup2 sup3 acute micro para middot cedil sup1 ordm raquo frac14 frac12 "
                "frac34 iquest Agrave Aacute Acirc Atilde Auml Aring AElig Ccedil Egrave Eacute "
                "Ecirc Euml Igrave Iacute Icirc Iuml ETH Ntilde Ograve Oacute Ocirc Otilde Ouml "
                "times "
                "Oslash Ugrave Uacute Ucirc Uuml Yacute THORN szlig agrave aacute acirc atilde "
                "auml "
                "aring aelig ccedil egrave eacute ecirc euml igrave iacute icirc iuml eth ntilde "
                "ograve oacute ocirc otilde ouml divide oslash ugrave uacute ucirc uuml yacute "
                "thorn "
                "yuml")
                .split(u' ');
        for (qsizetype i = 0; i < latin1.size(); ++i)
            names.insert(latin1[i], QChar(char16_t(0xa0 + i)));
        return names;
    }();
    return named.value(name.toString(), QChar(u' '));
}

} // namespace

bool isCharacterWord(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return QChar::isLetterOrNumber(c);
    case QChar::Script_Hangul:
        return c >= 0xac00 && c <= 0xd7a3; // syllables, not the letters they are made of
    default:
        return false;
    }
}

namespace {

// Calls `each(start, end, single)` for every word of the text, `single` for a character that
// is a word of its own.
template <typename Each> void splitWords(QStringView text, Each each)
{
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size();) {
        char32_t c = 0;
        qsizetype next = i + 1;
        if (i < text.size()) {
            c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && next < text.size() && text[next].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[next]);
                ++next;
            }
        }
        const bool letter = i < text.size() && QChar::isLetterOrNumber(c);
        const bool single = letter && isCharacterWord(c);
        if ((!letter || single) && start >= 0) {
            each(start, i, false);
            start = -1;
        }
        if (single)
            each(i, next, true);
        else if (letter && start < 0)
            start = i;
        i = next;
    }
}

bool termMatches(const QString &term, const QString &word)
{
    if (term.endsWith(u'*'))
        return word.startsWith(QStringView(term).chopped(1));
    return word == term;
}

QString foldedWord(QStringView text, qsizetype start, qsizetype end)
{
    return text.mid(start, qMin(end - start, maxWordLength)).toString().toCaseFolded();
}

} // namespace

SearchQuery parseSearchQuery(const QString &query, SearchOptions options)
{
    SearchQuery parsed;
    bool full = false;
    parsed.titlesOnly = options.titlesOnly;
    const QList<QStringView> parts = QStringView(query).split(u'"');
    for (qsizetype p = 0; p < parts.size(); ++p) {
        const QStringView part = parts[p];
        // Between quotes, at least when the closing one was typed.
        const bool quoted = p % 2 == 1 && p + 1 < parts.size();
        QStringList phrase;
        qsizetype lastEnd = -1;
        const auto endPhrase = [&] {
            if (phrase.size() > 1)
                parsed.phrases.append(phrase);
            phrase.clear();
        };
        splitWords(part, [&](qsizetype start, qsizetype end, bool single) {
            if (full)
                return;
            QString term = foldedWord(part, start, end);
            if (!single && end < part.size() && part[end] == u'*')
                term += u'*';
            if (!parsed.terms.contains(term)) {
                // A page of text pasted in is not a query: it ends at the last term kept.
                if (parsed.terms.size() == maxQueryTerms) {
                    full = true;
                    return;
                }
                parsed.terms.append(term);
            }
            // Characters written together stand for the word they make up.
            if (!quoted && !(single && start == lastEnd))
                endPhrase();
            if (quoted || single)
                phrase.append(term);
            lastEnd = single ? end : -1;
        });
        endPhrase();
    }
    if (options.similarWords) {
        for (const QString &term : std::as_const(parsed.terms))
            parsed.forms.append(term.endsWith(u'*') ? QSet<QString>() : similarForms(term));
    }
    return parsed;
}

QStringList searchTerms(const QString &query)
{
    return parseSearchQuery(query).terms;
}

namespace {

// Consonants that English doubles before -ed and -ing after one short vowel ("run",
// "running"); a doubled s, f or z is the word's own ("pass", "stuff").
bool doubles(QChar letter)
{
    return QStringView(u"bdglmnprt").contains(letter);
}

bool isVowel(QChar letter)
{
    return QStringView(u"aeiou").contains(letter);
}

} // namespace

QSet<QString> similarForms(const QString &word)
{
    static const std::array<QLatin1StringView, 5> endings = {
        QLatin1StringView("s"), QLatin1StringView("es"), QLatin1StringView("ed"),
        QLatin1StringView("ing"), QLatin1StringView("ly")};
    // Shorter stems would make "bed" a form of "b" and "sing" one of "s".
    constexpr qsizetype minStem = 3;
    // The stems the word may have been made from: itself, and itself less an ending, with the
    // "e" that -ed and -ing drop ("used", "using" from "use") or the consonant they double
    // ("stopped" from "stop").
    QSet<QString> stems{word};
    for (const QLatin1StringView ending : endings) {
        if (!word.endsWith(ending))
            continue;
        const QString stem = word.chopped(ending.size());
        if (stem.size() >= minStem)
            stems.insert(stem);
        if (ending != QLatin1StringView("ed") && ending != QLatin1StringView("ing"))
            continue;
        if (stem.size() >= minStem - 1 && !stem.endsWith(u'e'))
            stems.insert(stem + u'e');
        if (stem.size() > minStem && stem.back() == stem[stem.size() - 2] && doubles(stem.back()))
            stems.insert(stem.chopped(1));
    }
    // Two words are similar when they share a stem: every word one of these stems makes.
    QSet<QString> forms;
    const auto addEdAndIng = [&forms](const QString &base) {
        forms.insert(base + QLatin1StringView("ed"));
        forms.insert(base + QLatin1StringView("ing"));
    };
    for (const QString &stem : std::as_const(stems)) {
        forms.insert(stem);
        if (stem.size() < minStem)
            continue;
        for (const QLatin1StringView ending : endings)
            forms.insert(stem + ending);
        const qsizetype n = stem.size();
        if (stem.endsWith(u'e'))
            addEdAndIng(stem.chopped(1));
        else if (doubles(stem[n - 1]) && isVowel(stem[n - 2]) && !isVowel(stem[n - 3]))
            addEdAndIng(stem + stem.back());
    }
    return forms;
}

bool SearchQuery::matches(qsizetype term, const QString &word) const
{
    if (term < forms.size() && !forms[term].isEmpty())
        return forms[term].contains(word);
    return termMatches(terms[term], word);
}

QString SearchQuery::resultKey(const QString &path)
{
    QStringView page(path);
    if (const qsizetype hash = page.indexOf(u'#'); hash >= 0)
        page.truncate(hash);
    while (page.startsWith(u'/'))
        page = page.mid(1);
    return page.toString().toLower();
}

bool placesFollow(const QList<const QList<quint32> *> &places)
{
    if (places.isEmpty())
        return true;
    for (const quint32 first : *places.first()) {
        bool follow = true;
        for (qsizetype i = 1; i < places.size() && follow; ++i)
            follow = std::binary_search(places[i]->cbegin(), places[i]->cend(), first + quint32(i));
        if (follow)
            return true;
    }
    return false;
}

QStringList textWords(QStringView text)
{
    QStringList words;
    splitWords(text, [&](qsizetype start, qsizetype end, bool) {
        words.append(foldedWord(text, start, end));
    });
    return words;
}

bool isUsableTitle(const QString &path, const QString &title)
{
    const QString trimmed = title.trimmed();
    if (std::none_of(trimmed.cbegin(), trimmed.cend(),
                     [](QChar c) { return c.isLetterOrNumber(); }))
        return false;
    QStringView bare(path);
    while (bare.startsWith(u'/'))
        bare = bare.mid(1);
    const QStringView name = bare.mid(bare.lastIndexOf(u'/') + 1);
    QStringView given(trimmed);
    while (given.startsWith(u'/'))
        given = given.mid(1);
    return given.compare(bare, Qt::CaseInsensitive) != 0 &&
           given.compare(name, Qt::CaseInsensitive) != 0;
}

QString pageTitle(const QString &path, const QString &title, const QString &heading)
{
    if (isUsableTitle(path, title))
        return title.trimmed();
    if (isUsableTitle(path, heading))
        return heading.trimmed();
    QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    if (name.contains(u'%'))
        name = QUrl::fromPercentEncoding(name.toUtf8());
    return name.isEmpty() ? path : name;
}

PageText pageText(QStringView html)
{
    PageText text;
    QString *out = &text.body;
    text.body.reserve(html.size() / 2);
    qsizetype headingStart = -1;
    qsizetype headingEnd = -1;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'&') {
            const qsizetype semi = html.indexOf(u';', i + 1);
            if (semi > i && semi - i <= 10) {
                out->append(entityChar(html.mid(i + 1, semi - i - 1)));
                i = semi + 1;
                continue;
            }
            out->append(c);
            ++i;
            continue;
        }
        if (c != u'<') {
            out->append(c);
            ++i;
            continue;
        }
        if (html.mid(i, 4) == u"<!--") {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? html.size() : end + 3;
            continue;
        }
        const qsizetype close = html.indexOf(u'>', i + 1);
        if (close < 0)
            break;
        QStringView tag = html.mid(i + 1, close - i - 1);
        i = close + 1;
        const bool ending = tag.startsWith(u'/');
        if (ending)
            tag = tag.mid(1);
        qsizetype nameEnd = 0;
        while (nameEnd < tag.size() && tag[nameEnd].isLetterOrNumber())
            ++nameEnd;
        const QString name = tag.left(nameEnd).toString().toLower();
        if (!ending && (name == QLatin1String("script") || name == QLatin1String("style"))) {
            // Their content is no text to find.
            const qsizetype end = html.indexOf(QString(u"</" + name), i, Qt::CaseInsensitive);
            i = end < 0 ? html.size() : end;
            continue;
        }
        if (name == QLatin1String("title"))
            out = ending ? &text.body : &text.title;
        // The first heading's text, kept where it starts and ends in the body.
        const bool heading = name.size() == 2 && name[0] == u'h' && name[1] >= u'1' &&
                             name[1] <= u'6' && out == &text.body;
        if (heading && !ending && headingStart < 0)
            headingStart = text.body.size();
        else if (heading && ending && headingStart >= 0 && headingEnd < 0)
            headingEnd = text.body.size();
        // Markup inside a word leaves it whole.
        static const QStringList inlineTags = {
            QStringLiteral("b"),    QStringLiteral("i"),      QStringLiteral("u"),
            QStringLiteral("em"),   QStringLiteral("strong"), QStringLiteral("span"),
            QStringLiteral("font"), QStringLiteral("a"),      QStringLiteral("code"),
            QStringLiteral("tt"),   QStringLiteral("sub"),    QStringLiteral("sup")};
        if (!inlineTags.contains(name))
            out->append(u' ');
    }
    text.title = text.title.simplified();
    if (headingStart >= 0)
        text.heading = text.body.mid(headingStart, headingEnd < 0 ? -1 : headingEnd - headingStart)
                           .simplified();
    return text;
}

void rankHits(QList<SearchHit> &hits)
{
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit &a, const SearchHit &b) {
        if (a.score != b.score)
            return a.score > b.score;
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
}

std::shared_ptr<SearchIndex> SearchIndex::build(const ChmFile &file, const std::atomic_bool &cancel,
                                                const Progress &progress)
{
    auto index = std::make_shared<SearchIndex>();
    QStringList pages = file.pagePaths(maxPages);
    // Some compilers' directories begin past their first chunk, and the listing then misses
    // pages that the topic table still names.
    QSet<QString> listed;
    for (const QString &page : std::as_const(pages))
        listed.insert(topicKey(page));
    const ChmTopics topics = readChmTopics(file);
    CodePageDecoder decode = topicDecoder(file.encoding(), topics);
    for (quint32 i = 0; i < quint32(topics.count()) && pages.size() < maxPages && !cancel; ++i) {
        const std::optional<ChmTopics::Topic> topic = topics.topic(i);
        if (!topic)
            continue;
        const QString local = decode(topic->local);
        QString path = local.section(u'#', 0, 0);
        if (path.contains(u'%'))
            path = QUrl::fromPercentEncoding(path.toUtf8());
        while (path.startsWith(u'/'))
            path.remove(0, 1);
        const QString key = path.toLower();
        if (local.contains(u':') || !(key.endsWith(u".htm") || key.endsWith(u".html")) ||
            listed.contains(key))
            continue;
        listed.insert(key);
        pages.append(u'/' + path);
    }
    for (qsizetype i = 0; i < pages.size() && !cancel && !index->m_truncated; ++i) {
        if (progress && i % 50 == 0)
            progress(int(i), int(pages.size()));
        const ChmFile::Object page = file.fetch(pages[i], qvx::chm::maxPageBytes);
        if (page.status == qvx::chmreader::Outcome::Ok)
            index->addPage(pages[i], file.decodePage(page.bytes));
    }
    if (progress && !cancel)
        progress(int(pages.size()), int(pages.size()));
    return index;
}

void SearchIndex::addPage(const QString &path, QStringView html)
{
    if (m_truncated || m_paths.size() >= maxPages)
        return;
    const PageText text = pageText(html);
    struct Counted
    {
        quint16 hits = 0;
        quint16 titleHits = 0;
        QList<quint32> places;
    };
    QHash<QString, Counted> counts;
    quint32 place = 0;
    const auto count = [&](const QStringList &words, bool inTitle) {
        for (qsizetype i = 0; i < qMin(words.size(), qsizetype(maxWordsPerPage)); ++i, ++place) {
            Counted &counted = counts[words[i]];
            quint16 &n = inTitle ? counted.titleHits : counted.hits;
            if (n < 0xffff) {
                ++n;
                counted.places.append(place);
            }
        }
        // No phrase runs from the title into the text.
        ++place;
    };
    count(textWords(text.title), true);
    count(textWords(text.body), false);
    qsizetype places = 0;
    for (const Counted &counted : std::as_const(counts))
        places += counted.places.size();
    if (m_postingCount + counts.size() > maxPostings || m_places.size() + places > maxPlaces) {
        m_truncated = true;
        return;
    }
    const auto page = quint32(m_paths.size());
    m_paths.append(path);
    m_titles.append(pageTitle(path, text.title, text.heading));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        m_postings[it.key()].append({page, it->hits, it->titleHits, quint32(m_places.size())});
        m_places.append(it->places);
    }
    m_postingCount += counts.size();
}

template <typename Each>
void SearchIndex::forEachMatch(const SearchQuery &query, qsizetype term,
                               const std::atomic_bool &cancel, Each each) const
{
    if (query.terms[term].endsWith(u'*')) {
        for (auto it = m_postings.cbegin(); it != m_postings.cend() && !cancel; ++it) {
            if (query.matches(term, it.key()))
                each(*it);
        }
    } else if (term < query.forms.size() && !query.forms[term].isEmpty()) {
        for (const QString &form : query.forms[term]) {
            if (const auto found = m_postings.constFind(form); found != m_postings.cend())
                each(*found);
        }
    } else if (const auto found = m_postings.constFind(query.terms[term]);
               found != m_postings.cend()) {
        each(*found);
    }
}

SearchIndex::Places SearchIndex::placesOf(const SearchQuery &query, qsizetype term) const
{
    Places places;
    int words = 0;
    const std::atomic_bool going(false);
    forEachMatch(query, term, going, [&](const QList<Posting> &postings) {
        ++words;
        for (const Posting &posting : postings) {
            // A page's title words are numbered before its text's.
            const int count = posting.titleHits + (query.titlesOnly ? 0 : posting.hits);
            if (count > 0)
                places[posting.page].append(m_places.mid(posting.places, count));
        }
    });
    if (words > 1) {
        for (QList<quint32> &pagePlaces : places)
            std::sort(pagePlaces.begin(), pagePlaces.end());
    }
    return places;
}

QList<SearchHit> SearchIndex::search(const SearchQuery &query, const std::atomic_bool &cancel) const
{
    const QStringList &terms = query.terms;
    if (terms.isEmpty())
        return {};
    QMap<quint32, int> scores; // pages holding every term so far
    for (qsizetype t = 0; t < terms.size() && !cancel; ++t) {
        QMap<quint32, int> found;
        forEachMatch(query, t, cancel, [&](const QList<Posting> &postings) {
            for (const Posting &posting : postings) {
                if (!query.titlesOnly)
                    found[posting.page] += posting.hits + titleWeight * posting.titleHits;
                else if (posting.titleHits > 0)
                    found[posting.page] += titleWeight * posting.titleHits;
            }
        });
        if (t == 0) {
            scores = found;
            continue;
        }
        QMap<quint32, int> both;
        for (auto it = scores.cbegin(); it != scores.cend(); ++it) {
            if (found.contains(it.key()))
                both.insert(it.key(), *it + found.value(it.key()));
        }
        scores = both;
    }
    if (query.within) {
        for (auto it = scores.begin(); it != scores.end();)
            it = query.admits(m_paths[it.key()]) ? std::next(it) : scores.erase(it);
    }
    for (const QStringList &phrase : query.phrases) {
        if (scores.isEmpty() || cancel)
            break;
        QList<Places> places;
        for (const QString &term : phrase)
            places.append(placesOf(query, terms.indexOf(term)));
        for (auto it = scores.begin(); it != scores.end();) {
            QList<const QList<quint32> *> pagePlaces;
            for (const Places &termPlaces : std::as_const(places))
                pagePlaces.append(&*termPlaces.constFind(it.key()));
            it = placesFollow(pagePlaces) ? std::next(it) : scores.erase(it);
        }
    }
    QList<SearchHit> hits;
    for (auto it = scores.cbegin(); it != scores.cend() && !cancel; ++it)
        hits.append({m_paths[it.key()], m_titles[it.key()], *it, false});
    rankHits(hits);
    return hits;
}

} // namespace qvx::help

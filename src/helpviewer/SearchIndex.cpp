#include "qvx/helpviewer/SearchIndex.h"

#include "qvx/helpviewer/ChmFile.h"

#include "qvx/chm/Limits.h"

#include <QMap>

#include <algorithm>

namespace {

constexpr qsizetype maxWordLength = 64;
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

QStringList searchTerms(const QString &query)
{
    QStringList terms;
    qsizetype start = -1;
    const auto flush = [&](qsizetype end, bool prefix) {
        if (start < 0)
            return;
        QString term = query.mid(start, qMin(end - start, maxWordLength)).toCaseFolded();
        if (prefix)
            term += u'*';
        if (!terms.contains(term))
            terms.append(term);
        start = -1;
    };
    for (qsizetype i = 0; i <= query.size(); ++i) {
        const QChar c = i < query.size() ? query[i] : QChar(u' ');
        if (c.isLetterOrNumber()) {
            if (start < 0)
                start = i;
        } else {
            flush(i, c == u'*');
        }
    }
    return terms;
}

bool termMatches(const QString &term, const QString &word)
{
    if (term.endsWith(u'*'))
        return word.startsWith(QStringView(term).chopped(1));
    return word == term;
}

QStringList textWords(QStringView text)
{
    QStringList words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i].isLetterOrNumber()) {
            if (start < 0)
                start = i;
        } else if (start >= 0) {
            words.append(text.mid(start, qMin(i - start, maxWordLength)).toString().toCaseFolded());
            start = -1;
        }
    }
    return words;
}

PageText pageText(QStringView html)
{
    PageText text;
    QString *out = &text.body;
    text.body.reserve(html.size() / 2);
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
    const QStringList pages = file.pagePaths(maxPages);
    for (qsizetype i = 0; i < pages.size() && !cancel && !index->m_truncated; ++i) {
        if (progress && i % 50 == 0)
            progress(int(i), int(pages.size()));
        const std::optional<qint64> size = file.objectSize(pages[i]);
        if (!size || *size > qvx::chm::maxPageBytes)
            continue;
        const std::optional<QByteArray> bytes = file.read(pages[i]);
        if (bytes)
            index->addPage(pages[i], file.decodePage(*bytes));
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
    QHash<QString, Posting> counts;
    const auto count = [&](const QStringList &words, bool inTitle) {
        for (qsizetype i = 0; i < qMin(words.size(), qsizetype(maxWordsPerPage)); ++i) {
            Posting &posting = counts[words[i]];
            quint16 &n = inTitle ? posting.titleHits : posting.hits;
            if (n < 0xffff)
                ++n;
        }
    };
    count(textWords(text.title), true);
    count(textWords(text.body), false);
    if (m_postingCount + counts.size() > maxPostings) {
        m_truncated = true;
        return;
    }
    const auto page = quint32(m_paths.size());
    m_paths.append(path);
    m_titles.append(text.title);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        m_postings[it.key()].append({page, it->hits, it->titleHits});
    m_postingCount += counts.size();
}

QList<SearchHit> SearchIndex::search(const QStringList &terms, const std::atomic_bool &cancel) const
{
    if (terms.isEmpty())
        return {};
    QMap<quint32, int> scores; // pages holding every term so far
    for (qsizetype t = 0; t < terms.size() && !cancel; ++t) {
        QMap<quint32, int> found;
        const auto add = [&](const QList<Posting> &postings) {
            for (const Posting &posting : postings)
                found[posting.page] += posting.hits + titleWeight * posting.titleHits;
        };
        if (terms[t].endsWith(u'*')) {
            for (auto it = m_postings.cbegin(); it != m_postings.cend() && !cancel; ++it) {
                if (termMatches(terms[t], it.key()))
                    add(*it);
            }
        } else {
            add(m_postings.value(terms[t]));
        }
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
    QList<SearchHit> hits;
    for (auto it = scores.cbegin(); it != scores.cend() && !cancel; ++it) {
        const QString &title = m_titles[it.key()];
        hits.append({m_paths[it.key()], title.isEmpty() ? m_paths[it.key()].mid(1) : title, *it});
    }
    rankHits(hits);
    return hits;
}

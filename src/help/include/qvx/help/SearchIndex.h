#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace qvx::help {

class ChmFile;

// One page a search found.
struct SearchHit
{
    QString path; // inside the file, with its leading "/"
    QString title;
    int score = 0;
    // The file's tables give the page no title worth showing: `title` stands in until the
    // page's own is read.
    bool titleMissing = false;
};

// How a query is matched, as the search tab's options set it.
struct SearchOptions
{
    bool titlesOnly = false;
    // A word matches its English forms: -s, -es, -ed, -ing and -ly added or taken off.
    bool similarWords = false;
};

// What a query asks for: pages holding every term, with each phrase's terms consecutive and in
// order there.
struct SearchQuery
{
    QStringList terms;          // case-folded, duplicates dropped; a trailing "*" asks for a prefix
    QList<QStringList> phrases; // each of two terms or more
    // Per term, the words that count as it when similar words match; empty otherwise.
    QList<QSet<QString>> forms;
    bool titlesOnly = false;
    // Only pages among these, keyed by resultKey(): the results searched again.
    std::optional<QSet<QString>> within;

    bool isEmpty() const { return terms.isEmpty(); }
    bool matches(qsizetype term, const QString &word) const;
    // Whether the page may be among the results at all.
    bool admits(const QString &path) const { return !within || within->contains(resultKey(path)); }
    static QString resultKey(const QString &path);
};

// Where a search looks: the file's own full-text index or one built here.
class SearchSource
{
public:
    virtual ~SearchSource() = default;
    // Pages holding what the query asks for, best first; stops early once `cancel` is set.
    virtual QList<SearchHit> search(const SearchQuery &query,
                                    const std::atomic_bool &cancel) const = 0;
};

// Ideographs, kana and hangul syllables: indexes store each of them as a word of its own.
bool isCharacterWord(char32_t c);

// A query's words split as indexes split text. Quoted words, and characters that are words of
// their own written together (as CJK text is), make phrases.
SearchQuery parseSearchQuery(const QString &query, SearchOptions options = {});
// Just the query's terms, for marking them in a page.
QStringList searchTerms(const QString &query);
// The words a word is similar to: itself with an English ending added, taken off or both.
QSet<QString> similarForms(const QString &word);

// Whether the lists hold p, p + 1, p + 2 and so on in turn for some p; each list ascending.
bool placesFollow(const QList<const QList<quint32> *> &places);

// Runs of letters and digits, and characters that are words of their own; case-folded,
// overlong runs cut.
QStringList textWords(QStringView text);

struct PageText
{
    QString title;
    QString heading; // the first one of the body
    QString body;
};
// What a reader sees of a page: its title, and its text without tags, scripts, styles or
// entities.
PageText pageText(QStringView html);

// The title to show for a page: a usable title, else the page's first heading, else its file
// name without folder and extension.
QString pageTitle(const QString &path, const QString &title, const QString &heading = {});
// Whether a title names the page rather than being "." or its bare path.
bool isUsableTitle(const QString &path, const QString &title);

// Pages with many title hits first, then by hits; ties by title.
void rankHits(QList<SearchHit> &hits);

// An inverted index of the pages of a file that carries none of its own.
class SearchIndex : public SearchSource
{
public:
    // Bounds that keep a hostile or huge file from taking the machine's memory.
    static constexpr int maxPages = 50000;
    static constexpr qsizetype maxPostings = 4'000'000;
    static constexpr int maxWordsPerPage = 200'000;
    static constexpr qsizetype maxPlaces = 16'000'000;

    using Progress = std::function<void(int done, int total)>;
    // Reads every page of the file (each within the viewer's page limit).
    static std::shared_ptr<SearchIndex> build(const ChmFile &file, const std::atomic_bool &cancel,
                                              const Progress &progress = {});

    void addPage(const QString &path, QStringView html);
    QList<SearchHit> search(const SearchQuery &query,
                            const std::atomic_bool &cancel) const override;
    int pageCount() const { return int(m_paths.size()); }
    const QStringList &pagePaths() const { return m_paths; }
    // True when the memory bound stopped the index short of the whole file.
    bool isTruncated() const { return m_truncated; }

private:
    struct Posting
    {
        quint32 page;
        quint16 hits;
        quint16 titleHits;
        quint32 places; // where the word's places in the page begin in m_places
    };
    using Places = QHash<quint32, QList<quint32>>; // by page

    // Places of the query's term in every page that has it.
    Places placesOf(const SearchQuery &query, qsizetype term) const;
    // Calls `each` with the postings of every word that counts as the term.
    template <typename Each>
    void forEachMatch(const SearchQuery &query, qsizetype term, const std::atomic_bool &cancel,
                      Each each) const;

    QStringList m_paths;
    QStringList m_titles;
    QHash<QString, QList<Posting>> m_postings;
    // Each page's word numbers by word, title first; hits + titleHits of them per posting.
    QList<quint32> m_places;
    qsizetype m_postingCount = 0;
    bool m_truncated = false;
};

} // namespace qvx::help

#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class ChmFile;

// One page a search found.
struct SearchHit
{
    QString path; // inside the file, with its leading "/"
    QString title;
    int score = 0;
};

// Where a search looks: the file's own full-text index or one built here.
class SearchSource
{
public:
    virtual ~SearchSource() = default;
    // Pages holding every term, best first; stops early once `cancel` is set.
    virtual QList<SearchHit> search(const QStringList &terms,
                                    const std::atomic_bool &cancel) const = 0;
};

// The words of a query, case-folded, duplicates dropped; a trailing "*" asks for every word
// that starts so.
QStringList searchTerms(const QString &query);
bool termMatches(const QString &term, const QString &word);

// Runs of letters and digits, case-folded; overlong runs are cut.
QStringList textWords(QStringView text);

struct PageText
{
    QString title;
    QString body;
};
// What a reader sees of a page: its title, and its text without tags, scripts, styles or
// entities.
PageText pageText(QStringView html);

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

    using Progress = std::function<void(int done, int total)>;
    // Reads every page of the file (each within the viewer's page limit).
    static std::shared_ptr<SearchIndex> build(const ChmFile &file, const std::atomic_bool &cancel,
                                              const Progress &progress = {});

    void addPage(const QString &path, QStringView html);
    QList<SearchHit> search(const QStringList &terms,
                            const std::atomic_bool &cancel) const override;
    int pageCount() const { return int(m_paths.size()); }
    // True when the memory bound stopped the index short of the whole file.
    bool isTruncated() const { return m_truncated; }

private:
    struct Posting
    {
        quint32 page;
        quint16 hits;
        quint16 titleHits;
    };

    QStringList m_paths;
    QStringList m_titles;
    QHash<QString, QList<Posting>> m_postings;
    qsizetype m_postingCount = 0;
    bool m_truncated = false;
};

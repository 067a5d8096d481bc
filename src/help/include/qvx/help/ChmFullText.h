#pragma once

#include "qvx/help/SearchIndex.h"

#include "qvx/chm/FullText.h"
#include "qvx/chm/Topics.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace qvx::help {

// Search through the full-text index a help compiler stores in the file ($FIftiMain), with the
// tables that turn its topic numbers into pages and titles.
class ChmFullText : public SearchSource
{
public:
    struct Objects
    {
        QByteArray index;      // $FIftiMain
        QByteArray topics;     // #TOPICS
        QByteArray urlTable;   // #URLTBL
        QByteArray urlStrings; // #URLSTR
        QByteArray strings;    // #STRINGS
    };

    // Nothing when the file has no index or one this reader cannot use.
    static std::shared_ptr<ChmFullText> fromFile(const ChmFile &file);
    // `encoding` is the file's code page, which its words and titles are written in unless
    // they are UTF-8.
    static std::shared_ptr<ChmFullText> fromObjects(Objects objects, const QByteArray &encoding);

    QList<SearchHit> search(const SearchQuery &query,
                            const std::atomic_bool &cancel) const override;
    // Whether the index holds a word for every term of the query. A compiler that could not
    // split a script's text leaves its words out (or keeps stray letters of it), so a term it
    // lacks is no proof that no page holds it.
    bool holdsTermsOf(const SearchQuery &query) const;

private:
    struct DocumentHits
    {
        int hits = 0;
        bool inTitle = false;
        // Word numbers, kept only for the terms of phrases.
        QList<quint32> titlePlaces;
        QList<quint32> places;
    };
    struct IndexWord
    {
        qvx::chm::FullTextIndex::Word word;
        QString text; // decoded, case-folded
        // The words this one is made of as pages are split here, when it differs ("4.x" is
        // "4" and "x"): compilers keep dots and the like inside words.
        QStringList parts;
    };

    ChmFullText(qvx::chm::FullTextIndex index, qvx::chm::TopicTable topics,
                const QByteArray &encoding);
    std::optional<SearchHit> topic(quint32 number) const;
    QString decode(QByteArrayView bytes) const;
    bool wordMatches(const SearchQuery &query, qsizetype term, const IndexWord &word) const;
    bool phraseFound(const QStringList &terms, const QStringList &phrase,
                     const QList<const DocumentHits *> &hits) const;

    qvx::chm::FullTextIndex m_index;
    // Decoded once: a search then only compares.
    std::vector<IndexWord> m_words;
    // Every word and part, sorted, to tell at once whether a term is there.
    QStringList m_held;
    qvx::chm::TopicTable m_topics;
    QByteArray m_encoding;
    bool m_textsUtf8 = false; // titles and paths
};

} // namespace qvx::help

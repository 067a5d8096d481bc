#pragma once

#include "qvx/helpviewer/SearchIndex.h"

#include "qvx/chm/FullText.h"
#include "qvx/chm/Topics.h"

#include <QByteArray>

#include <optional>

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
    // `encoding` is the file's code page, which its words and titles are written in.
    static std::shared_ptr<ChmFullText> fromObjects(Objects objects, const QByteArray &encoding);

    QList<SearchHit> search(const QStringList &terms,
                            const std::atomic_bool &cancel) const override;

private:
    struct DocumentHits
    {
        int hits = 0;
        bool inTitle = false;
    };

    ChmFullText(qvx::chm::FullTextIndex index, qvx::chm::TopicTable topics,
                const QByteArray &encoding);
    std::optional<SearchHit> topic(quint32 number) const;
    QString decode(QByteArrayView bytes) const;

    qvx::chm::FullTextIndex m_index;
    qvx::chm::TopicTable m_topics;
    QByteArray m_encoding;
};

#pragma once

#include "qvx/helpviewer/SearchIndex.h"

#include <QByteArray>

#include <optional>

// The full-text index a help compiler stores in the file ($FIftiMain), with the tables that
// turn its topic numbers into pages and titles. Every offset and count in it is checked: a
// damaged or hostile index finds less, never reads out of bounds or loops.
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
    struct Header
    {
        quint32 rootOffset = 0;
        quint32 nodeLength = 0;
        int depth = 0;
        int documentRoot = 0;
        int countRoot = 0;
        int locationRoot = 0;
    };
    struct DocumentHits
    {
        int hits = 0;
        bool inTitle = false;
    };

    ChmFullText(Objects objects, const QByteArray &encoding, const Header &header);
    quint32 firstLeaf() const;
    void readWordHits(quint32 offset, quint32 size, quint64 count, bool inTitle,
                      QHash<quint32, DocumentHits> &found) const;
    std::optional<SearchHit> topic(quint32 number) const;
    QString decode(const QByteArray &bytes) const;

    Objects m_objects;
    QByteArray m_encoding;
    Header m_header;
};

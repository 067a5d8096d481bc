#pragma once

#include "qvx/chm/Topics.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>

namespace qvx::help {

class ChmObjects;

// The compiled file's table of pages, by number.
using ChmTopics = qvx::chm::TopicTable;

// Texts a file stores, many of them through one converter: in the file's code page, or in
// UTF-8 for the strings that are valid UTF-8 where the table they come from is written in it.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(const QByteArray &encoding, bool utf8 = false);
    QString operator()(QByteArrayView bytes);

private:
    QStringDecoder m_decoder;
    bool m_utf8 = false;
};

// Whether a table's strings are written in UTF-8: most of those that go past ASCII are valid
// UTF-8. A few strings of a code page can be valid UTF-8 by chance, but not most of them.
class Utf8Vote
{
public:
    void add(QByteArrayView bytes);
    bool isUtf8() const { return m_utf8 > m_other; }

private:
    qsizetype m_utf8 = 0;
    qsizetype m_other = 0;
};

// The converter for the titles and paths of a file's topic table; `encoding` is the file's
// code page.
CodePageDecoder topicDecoder(const QByteArray &encoding, const ChmTopics &topics);

// The tables of an open file; empty when it has none.
ChmTopics readChmTopics(const ChmObjects &file);

// The key under which a page's title is found: its path in lower case, without the leading
// "/" or a fragment, percent-decoded.
QString topicKey(const QString &local);
// Every page's own title by its key (the first title where a page is listed twice).
QHash<QString, QString> topicTitles(const ChmObjects &file, const QByteArray &encoding);

} // namespace qvx::help

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringDecoder>

#include <optional>

class ChmFile;

// The compiled file's table of pages: #TOPICS, with each page's path through #URLTBL and
// #URLSTR and its title in #STRINGS. The binary index refers to pages by their number here.
class ChmTopics
{
public:
    // Texts as stored, in the file's code page.
    struct Topic
    {
        QByteArray title; // empty when the page has none
        QByteArray local;
    };

    ChmTopics() = default;
    ChmTopics(QByteArray topics, QByteArray urlTable, QByteArray urlStrings, QByteArray strings);

    qsizetype count() const { return m_topics.size() / entrySize; }
    // Nothing for a number past the table or an entry that points outside its tables.
    std::optional<Topic> topic(quint32 number) const;

private:
    static constexpr qsizetype entrySize = 16;

    QByteArray m_topics;
    QByteArray m_urlTable;
    QByteArray m_urlStrings;
    QByteArray m_strings;
};

// Texts of a file's code page, many of them through one converter.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(const ChmFile &file);
    QString operator()(const QByteArray &bytes);

private:
    QStringDecoder m_decoder;
};

// The tables of an open file; empty when it has none.
ChmTopics readChmTopics(const ChmFile &file);

// The key under which a page's title is found: its path in lower case, without the leading
// "/" or a fragment, percent-decoded.
QString topicKey(const QString &local);
// Every page's own title by its key (the first title where a page is listed twice).
QHash<QString, QString> topicTitles(const ChmFile &file);

#pragma once

#include "qvx/chm/Topics.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>

class ChmFile;

// The compiled file's table of pages, by number.
using ChmTopics = qvx::chm::TopicTable;

// Texts of a file's code page, many of them through one converter.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(const ChmFile &file);
    QString operator()(QByteArrayView bytes);

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

#include "qvx/help/ChmTopics.h"

#include "qvx/help/ChmObjects.h"
#include "qvx/help/ChmSystem.h"

#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace qvx::help {

ChmTopics readChmTopics(const ChmObjects &file)
{
    const auto object = [&file](const char *name) {
        return file.read(QString::fromLatin1(name)).value_or(QByteArray()).toStdString();
    };
    return ChmTopics(object("/#TOPICS"), object("/#URLTBL"), object("/#URLSTR"),
                     object("/#STRINGS"));
}

QString topicKey(const QString &local)
{
    QString key = local;
    if (const qsizetype hash = key.indexOf(QLatin1Char('#')); hash >= 0)
        key.truncate(hash);
    if (key.contains(QLatin1Char('%')))
        key = QUrl::fromPercentEncoding(key.toUtf8());
    while (key.startsWith(QLatin1Char('/')))
        key.remove(0, 1);
    return key.toLower();
}

CodePageDecoder::CodePageDecoder(const QByteArray &encoding, bool utf8)
    : m_decoder(encoding.constData()), m_utf8(utf8)
{
}

QString CodePageDecoder::operator()(QByteArrayView bytes)
{
    if (m_utf8 && isMultiByteUtf8(bytes))
        return QString::fromUtf8(bytes);
    if (!m_decoder.isValid())
        return QString::fromLatin1(bytes);
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}

void Utf8Vote::add(QByteArrayView bytes)
{
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; }))
        return;
    ++(isMultiByteUtf8(bytes) ? m_utf8 : m_other);
}

CodePageDecoder topicDecoder(const QByteArray &encoding, const ChmTopics &topics)
{
    Utf8Vote vote;
    for (quint32 i = 0; i < quint32(topics.count()); ++i) {
        if (const std::optional<ChmTopics::Topic> topic = topics.topic(i)) {
            vote.add(QByteArrayView(topic->title));
            vote.add(QByteArrayView(topic->local));
        }
    }
    return CodePageDecoder(encoding, vote.isUtf8());
}

QHash<QString, QString> topicTitles(const ChmObjects &file, const QByteArray &encoding)
{
    const ChmTopics topics = readChmTopics(file);
    CodePageDecoder decode = topicDecoder(encoding, topics);
    QHash<QString, QString> titles;
    titles.reserve(qsizetype(topics.count()));
    for (quint32 i = 0; i < quint32(topics.count()); ++i) {
        const std::optional<ChmTopics::Topic> topic = topics.topic(i);
        if (!topic || topic->title.empty())
            continue;
        const QString key = topicKey(decode(topic->local));
        if (!titles.contains(key))
            titles.insert(key, decode(topic->title));
    }
    return titles;
}

} // namespace qvx::help

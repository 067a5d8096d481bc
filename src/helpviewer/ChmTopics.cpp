#include "qvx/helpviewer/ChmTopics.h"

#include "qvx/helpviewer/ChmFile.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

std::optional<quint32> readU32(const QByteArray &data, qint64 at)
{
    if (at < 0 || at + 4 > data.size())
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 |
           quint32(bytes[3]) << 24;
}

// A zero-terminated string at `at`; one that runs off the end is cut there.
QByteArray readString(const QByteArray &data, qint64 at)
{
    if (at < 0 || at >= data.size())
        return {};
    const qsizetype end = data.indexOf('\0', qsizetype(at));
    return data.mid(qsizetype(at), (end < 0 ? data.size() : end) - qsizetype(at));
}

} // namespace

ChmTopics::ChmTopics(QByteArray topics, QByteArray urlTable, QByteArray urlStrings,
                     QByteArray strings)
    : m_topics(std::move(topics)), m_urlTable(std::move(urlTable)),
      m_urlStrings(std::move(urlStrings)), m_strings(std::move(strings))
{
}

std::optional<ChmTopics::Topic> ChmTopics::topic(quint32 number) const
{
    if (qint64(number) >= count())
        return std::nullopt;
    const qint64 entry = qint64(number) * entrySize;
    const std::optional<quint32> titleAt = readU32(m_topics, entry + 4);
    const std::optional<quint32> urlAt = readU32(m_topics, entry + 8);
    if (!titleAt || !urlAt)
        return std::nullopt;
    // A #URLTBL entry: a hash, the topic's number, the offset of its #URLSTR entry.
    const std::optional<quint32> stringAt = readU32(m_urlTable, qint64(*urlAt) + 8);
    if (!stringAt)
        return std::nullopt;
    // A #URLSTR entry: two offsets (of a web address and a frame name), then the path.
    Topic topic;
    topic.local = readString(m_urlStrings, qint64(*stringAt) + 8);
    if (topic.local.isEmpty())
        return std::nullopt;
    if (*titleAt != 0xFFFFFFFFu)
        topic.title = readString(m_strings, *titleAt);
    return topic;
}

ChmTopics readChmTopics(const ChmFile &file)
{
    const auto object = [&file](const char *name) {
        return file.read(QString::fromLatin1(name)).value_or(QByteArray());
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

CodePageDecoder::CodePageDecoder(const ChmFile &file) : m_decoder(file.encoding().constData()) {}

QString CodePageDecoder::operator()(const QByteArray &bytes)
{
    if (!m_decoder.isValid())
        return QString::fromLatin1(bytes);
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}

QHash<QString, QString> topicTitles(const ChmFile &file)
{
    const ChmTopics topics = readChmTopics(file);
    CodePageDecoder decode(file);
    QHash<QString, QString> titles;
    titles.reserve(topics.count());
    for (quint32 i = 0; i < quint32(topics.count()); ++i) {
        const std::optional<ChmTopics::Topic> topic = topics.topic(i);
        if (!topic || topic->title.isEmpty())
            continue;
        const QString key = topicKey(decode(topic->local));
        if (!titles.contains(key))
            titles.insert(key, decode(topic->title));
    }
    return titles;
}

#include "qvx/helpviewer/ChmBinaryIndex.h"

#include "qvx/helpviewer/ChmFile.h"
#include "qvx/helpviewer/ChmTopics.h"

#include <QSet>
#include <QStringDecoder>

namespace {

constexpr qsizetype headerSize = 0x4C;
constexpr qsizetype blockHeaderSize = 12;
constexpr quint16 signature = 0x293B;
constexpr quint16 seeAlsoFlag = 2;

// Reads little-endian values and zero-terminated UTF-16 strings inside [at, end).
class Cursor
{
public:
    Cursor(const QByteArray &data, qsizetype at, qsizetype end) : m_data(data), m_at(at), m_end(end)
    {
    }

    bool ok() const { return m_ok; }

    quint32 take(int bytes)
    {
        if (!m_ok || m_at + bytes > m_end) {
            m_ok = false;
            return 0;
        }
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(m_data[m_at + i]);
        m_at += bytes;
        return value;
    }

    QString takeString()
    {
        QString text;
        while (m_ok) {
            const auto unit = char16_t(take(2));
            if (!m_ok || unit == 0)
                break;
            text.append(QChar(unit));
        }
        return text;
    }

    void skip(qint64 bytes)
    {
        if (!m_ok || bytes > m_end - m_at)
            m_ok = false;
        else
            m_at += qsizetype(bytes);
    }

private:
    const QByteArray &m_data;
    qsizetype m_at;
    qsizetype m_end;
    bool m_ok = true;
};

quint32 headerValue(const QByteArray &btree, qsizetype at, int bytes)
{
    Cursor cursor(btree, at, btree.size());
    return cursor.take(bytes);
}

} // namespace

QList<SitemapEntry> parseBinaryIndex(const QByteArray &btree, const TopicResolver &resolve)
{
    QList<SitemapEntry> entries;
    if (btree.size() < headerSize || headerValue(btree, 0, 2) != signature)
        return entries;
    const qsizetype blockSize = qsizetype(headerValue(btree, 4, 2));
    if (blockSize <= blockHeaderSize)
        return entries;
    // The listing blocks come first, in keyword order; the blocks after them only lead the way
    // down the tree.
    const qint64 blocksStored = (btree.size() - headerSize) / blockSize;
    const qint64 listingBlocks = qMin(qint64(headerValue(btree, 0x1A, 4)) + 1, blocksStored);
    for (qint64 block = 0; block < listingBlocks; ++block) {
        const qsizetype start = headerSize + qsizetype(block) * blockSize;
        Cursor cursor(btree, start, start + blockSize);
        cursor.take(2); // free space at the block's end
        const quint32 count = cursor.take(2);
        cursor.skip(8); // the previous and next blocks
        for (quint32 i = 0; i < count && cursor.ok(); ++i) {
            const QString keyword = cursor.takeString();
            const quint32 flags = cursor.take(2);
            const quint32 depth = cursor.take(2);
            const quint32 levelStart = cursor.take(4); // where the last level's text begins
            cursor.take(4);
            const quint32 pairs = cursor.take(4);
            SitemapEntry entry;
            entry.depth = int(qMin(depth, quint32(maxSitemapDepth)));
            entry.name = depth > 0 && levelStart < quint32(keyword.size()) ? keyword.mid(levelStart)
                                                                           : keyword;
            if (flags == seeAlsoFlag) {
                cursor.takeString(); // the keyword to see instead; it has no page of its own
            } else {
                QSet<QString> seen;
                for (quint32 pair = 0; pair < pairs && cursor.ok(); ++pair) {
                    const quint32 topic = cursor.take(4);
                    if (!cursor.ok() || entry.targets.size() >= maxSitemapTargets)
                        continue;
                    std::optional<SitemapTarget> target = resolve(topic);
                    if (!target || target->local.isEmpty() || seen.contains(target->local))
                        continue;
                    seen.insert(target->local);
                    if (target->title.isEmpty())
                        target->title = entry.name;
                    entry.targets.append(std::move(*target));
                }
            }
            cursor.skip(8); // a constant and the entry's running number
            if (!cursor.ok())
                break;
            if (!entry.name.isEmpty())
                entries.append(std::move(entry));
            if (entries.size() >= maxSitemapEntries)
                return entries;
        }
    }
    return entries;
}

QList<SitemapEntry> readBinaryIndex(const ChmFile &file)
{
    const std::optional<QByteArray> btree = file.read(QStringLiteral("/$WWKeywordLinks/BTree"));
    if (!btree)
        return {};
    const ChmTopics topics = readChmTopics(file);
    CodePageDecoder decode(file);
    return parseBinaryIndex(*btree, [&](quint32 number) -> std::optional<SitemapTarget> {
        const std::optional<ChmTopics::Topic> topic = topics.topic(number);
        if (!topic)
            return std::nullopt;
        return SitemapTarget{decode(topic->title), decode(topic->local)};
    });
}

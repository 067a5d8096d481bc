#include "qvx/helpviewer/ChmFullText.h"

#include "qvx/helpviewer/ChmFile.h"

#include <QMap>
#include <QStringDecoder>

namespace {

constexpr qsizetype headerLength = 0x32;
constexpr qsizetype topicEntryLength = 16;
constexpr qsizetype maxStringLength = 1024;
constexpr int titleWeight = 10;
constexpr int maxResults = 1000;

std::optional<quint32> u32At(const QByteArray &data, qint64 at)
{
    if (at < 0 || at + 4 > data.size())
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

std::optional<quint16> u16At(const QByteArray &data, qint64 at)
{
    if (at < 0 || at + 2 > data.size())
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

// A number in 7-bit groups, lowest first, the top bit saying another follows.
std::optional<quint64> encIntAt(const QByteArray &data, qint64 end, qint64 &at)
{
    quint64 value = 0;
    for (int shift = 0; shift < 63; shift += 7) {
        if (at >= end)
            return std::nullopt;
        const auto byte = uchar(data[at++]);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
    return std::nullopt;
}

QByteArray stringAt(const QByteArray &data, qint64 at)
{
    if (at < 0 || at >= data.size())
        return {};
    const qsizetype end = data.indexOf('\0', at);
    const qsizetype length = (end < 0 ? data.size() : end) - at;
    return data.mid(at, qMin(length, maxStringLength));
}

// The bit stream of a word's locations: bits taken from the top of each byte down.
class BitReader
{
public:
    BitReader(const QByteArray &data, qint64 begin, qint64 end)
        : m_data(data), m_byte(begin), m_end(end)
    {
    }

    bool ok() const { return m_ok; }
    void alignToByte()
    {
        if (m_bit != 7) {
            ++m_byte;
            m_bit = 7;
        }
    }

    // The scale-and-root code with scale 2: a run of ones ended by a zero picks the width.
    quint64 scaleRoot(int root)
    {
        int ones = 0;
        while (m_ok && bit()) {
            if (++ones > 32)
                m_ok = false;
        }
        if (ones == 0)
            return bits(root);
        const int width = root + ones - 1;
        return quint64(1) << width | bits(width);
    }

private:
    int bit()
    {
        if (m_byte >= m_end) {
            m_ok = false;
            return 0;
        }
        const int value = (uchar(m_data[m_byte]) >> m_bit) & 1;
        if (m_bit == 0) {
            m_bit = 7;
            ++m_byte;
        } else {
            --m_bit;
        }
        return value;
    }
    quint64 bits(int count)
    {
        quint64 value = 0;
        for (int i = 0; i < count && m_ok; ++i)
            value = value << 1 | quint64(bit());
        return value;
    }

    const QByteArray &m_data;
    qint64 m_byte;
    qint64 m_end;
    int m_bit = 7;
    bool m_ok = true;
};

} // namespace

std::shared_ptr<ChmFullText> ChmFullText::fromFile(const ChmFile &file)
{
    const auto read = [&](const char *name) {
        return file.read(QString::fromLatin1(name)).value_or(QByteArray());
    };
    Objects objects;
    objects.index = read("/$FIftiMain");
    if (objects.index.isEmpty())
        return nullptr;
    objects.topics = read("/#TOPICS");
    objects.urlTable = read("/#URLTBL");
    objects.urlStrings = read("/#URLSTR");
    objects.strings = read("/#STRINGS");
    return fromObjects(std::move(objects), file.encoding());
}

std::shared_ptr<ChmFullText> ChmFullText::fromObjects(Objects objects, const QByteArray &encoding)
{
    const QByteArray &index = objects.index;
    if (index.size() < headerLength || objects.topics.isEmpty())
        return nullptr;
    Header header;
    header.rootOffset = *u32At(index, 0x14);
    header.depth = *u16At(index, 0x18);
    header.nodeLength = *u32At(index, 0x2e);
    // Each of the three codes must use scale 2, the only one writers use.
    for (int at : {0x1e, 0x20, 0x22}) {
        if (index[at] != 2 || uchar(index[at + 1]) > 32)
            return nullptr;
    }
    header.documentRoot = uchar(index[0x1f]);
    header.countRoot = uchar(index[0x21]);
    header.locationRoot = uchar(index[0x23]);
    if (header.depth < 1 || header.depth > 16 || header.nodeLength < 16 ||
        header.nodeLength > 65536 || qint64(header.rootOffset) + header.nodeLength > index.size())
        return nullptr;
    return std::shared_ptr<ChmFullText>(new ChmFullText(std::move(objects), encoding, header));
}

ChmFullText::ChmFullText(Objects objects, const QByteArray &encoding, const Header &header)
    : m_objects(std::move(objects)), m_encoding(encoding), m_header(header)
{
}

QString ChmFullText::decode(const QByteArray &bytes) const
{
    QStringDecoder decoder(m_encoding.constData());
    return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
}

// Index nodes lead to the leaves through their first entry; the leaves then chain in order.
quint32 ChmFullText::firstLeaf() const
{
    const QByteArray &index = m_objects.index;
    quint32 offset = m_header.rootOffset;
    for (int level = 1; level < m_header.depth; ++level) {
        const qint64 entry = qint64(offset) + 2;
        if (entry >= index.size())
            return 0;
        const int length = uchar(index[entry]);
        const std::optional<quint32> child = u32At(index, entry + 1 + length);
        if (!child || qint64(*child) + m_header.nodeLength > index.size())
            return 0;
        offset = *child;
    }
    return offset;
}

QList<SearchHit> ChmFullText::search(const QStringList &terms, const std::atomic_bool &cancel) const
{
    if (terms.isEmpty())
        return {};
    const QByteArray &index = m_objects.index;
    const qint64 nodeLength = m_header.nodeLength;
    QList<QHash<quint32, DocumentHits>> found(terms.size());
    quint32 leaf = firstLeaf();
    // A chain that loops back is cut off by the number of nodes the object can hold.
    for (qint64 visits = index.size() / nodeLength + 1; leaf != 0 && visits > 0 && !cancel;
         --visits) {
        if (qint64(leaf) + nodeLength > index.size())
            break;
        const qint64 node = leaf;
        const quint32 next = *u32At(index, node);
        const qint64 end = node + nodeLength - qMin<qint64>(*u16At(index, node + 6), nodeLength);
        QByteArray word;
        qint64 at = node + 8;
        while (at + 2 <= end) {
            const int length = uchar(index[at]);
            const int shared = uchar(index[at + 1]);
            if (length < 1 || shared > word.size() || at + 2 + length > end)
                break;
            word = word.left(shared) + index.mid(at + 2, length - 1);
            const bool inTitle = index[at + 1 + length] != 0;
            at += 2 + length;
            const std::optional<quint64> count = encIntAt(index, end, at);
            const std::optional<quint32> offset = u32At(index, at);
            at += 6;
            const std::optional<quint64> size =
                count && offset ? encIntAt(index, end, at) : std::nullopt;
            if (!size || at > end)
                break;
            const QString text = decode(word).toCaseFolded();
            for (qsizetype t = 0; t < terms.size(); ++t) {
                if (termMatches(terms[t], text))
                    readWordHits(*offset, quint32(qMin<quint64>(*size, 0xffffffffu)), *count,
                                 inTitle, found[t]);
            }
        }
        leaf = next;
    }
    QHash<quint32, int> scores;
    for (auto it = found[0].cbegin(); it != found[0].cend(); ++it)
        scores.insert(it.key(), 0);
    for (const QHash<quint32, DocumentHits> &termHits : found) {
        for (auto it = scores.begin(); it != scores.end();) {
            const auto hit = termHits.constFind(it.key());
            if (hit == termHits.cend()) {
                it = scores.erase(it);
                continue;
            }
            *it += hit->hits + (hit->inTitle ? titleWeight : 0);
            ++it;
        }
    }
    QList<SearchHit> hits;
    for (auto it = scores.cbegin(); it != scores.cend() && !cancel; ++it) {
        std::optional<SearchHit> hit = topic(it.key());
        if (!hit)
            continue;
        hit->score = *it;
        hits.append(*hit);
    }
    rankHits(hits);
    if (hits.size() > maxResults)
        hits.resize(maxResults);
    return hits;
}

void ChmFullText::readWordHits(quint32 offset, quint32 size, quint64 count, bool inTitle,
                               QHash<quint32, DocumentHits> &found) const
{
    const qint64 end = qMin(qint64(offset) + size, qint64(m_objects.index.size()));
    BitReader bits(m_objects.index, offset, end);
    const qint64 topicCount = m_objects.topics.size() / topicEntryLength;
    quint64 document = 0;
    for (quint64 i = 0; i < count && i < quint64(topicCount); ++i) {
        if (i > 0)
            bits.alignToByte();
        document += bits.scaleRoot(m_header.documentRoot);
        const quint64 locations = bits.scaleRoot(m_header.countRoot);
        // Each location costs at least one bit, so the stream's own length bounds the loop.
        for (quint64 j = 0; j < locations && bits.ok(); ++j)
            bits.scaleRoot(m_header.locationRoot);
        if (!bits.ok() || document >= quint64(topicCount))
            return;
        DocumentHits &hits = found[quint32(document)];
        if (inTitle)
            hits.inTitle = true;
        else
            hits.hits += int(qMin<quint64>(locations, 100000));
    }
}

std::optional<SearchHit> ChmFullText::topic(quint32 number) const
{
    const qint64 entry = qint64(number) * topicEntryLength;
    const std::optional<quint32> titleAt = u32At(m_objects.topics, entry + 4);
    const std::optional<quint32> urlEntry = u32At(m_objects.topics, entry + 8);
    if (!titleAt || !urlEntry)
        return std::nullopt;
    const std::optional<quint32> urlAt = u32At(m_objects.urlTable, qint64(*urlEntry) + 8);
    if (!urlAt)
        return std::nullopt;
    QString url = decode(stringAt(m_objects.urlStrings, qint64(*urlAt) + 8));
    // Pages of other files, and the like, are not this viewer's to open.
    if (url.isEmpty() || url.contains(QLatin1String("::")) || url.contains(u':'))
        return std::nullopt;
    if (!url.startsWith(u'/'))
        url.prepend(u'/');
    SearchHit hit;
    hit.path = url;
    if (*titleAt != 0xffffffffu)
        hit.title = decode(stringAt(m_objects.strings, *titleAt)).trimmed();
    if (hit.title.isEmpty())
        hit.title = url.mid(1);
    return hit;
}

#include "qvx/chm/FullText.h"

#include "qvx/chm/Bytes.h"

#include <algorithm>

namespace qvx::chm {

namespace {

constexpr std::size_t headerLength = 0x32;

// The bit stream of a word's locations: bits taken from the top of each byte down.
class BitReader
{
public:
    BitReader(std::string_view data, std::size_t begin, std::size_t end)
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
    std::uint64_t scaleRoot(int root)
    {
        int ones = 0;
        while (m_ok && bit()) {
            if (++ones > 32)
                m_ok = false;
        }
        if (ones == 0)
            return bits(root);
        const int width = root + ones - 1;
        return std::uint64_t(1) << width | bits(width);
    }

private:
    int bit()
    {
        if (m_byte >= m_end) {
            m_ok = false;
            return 0;
        }
        const int value = (static_cast<unsigned char>(m_data[m_byte]) >> m_bit) & 1;
        if (m_bit == 0) {
            m_bit = 7;
            ++m_byte;
        } else {
            --m_bit;
        }
        return value;
    }
    std::uint64_t bits(int count)
    {
        std::uint64_t value = 0;
        for (int i = 0; i < count && m_ok; ++i)
            value = value << 1 | std::uint64_t(bit());
        return value;
    }

    std::string_view m_data;
    std::size_t m_byte;
    std::size_t m_end;
    int m_bit = 7;
    bool m_ok = true;
};

} // namespace

std::optional<FullTextIndex> FullTextIndex::parse(std::string index)
{
    if (index.size() < headerLength)
        return std::nullopt;
    Header header;
    header.rootOffset = *u32At(index, 0x14);
    header.depth = *u16At(index, 0x18);
    header.nodeLength = *u32At(index, 0x2e);
    // Each of the three codes must use scale 2, the only one writers use.
    for (std::size_t at : {0x1e, 0x20, 0x22}) {
        if (index[at] != 2 || static_cast<unsigned char>(index[at + 1]) > 32)
            return std::nullopt;
    }
    header.documentRoot = static_cast<unsigned char>(index[0x1f]);
    header.countRoot = static_cast<unsigned char>(index[0x21]);
    header.locationRoot = static_cast<unsigned char>(index[0x23]);
    if (header.depth < 1 || header.depth > 16 || header.nodeLength < 16 ||
        header.nodeLength > 65536 ||
        std::uint64_t(header.rootOffset) + header.nodeLength > index.size())
        return std::nullopt;
    return FullTextIndex(std::move(index), header);
}

FullTextIndex::FullTextIndex(std::string index, const Header &header)
    : m_index(std::move(index)), m_header(header)
{
}

// Index nodes lead to the leaves through their first entry; the leaves then chain in order.
std::uint32_t FullTextIndex::firstLeaf() const
{
    std::uint32_t offset = m_header.rootOffset;
    for (int level = 1; level < m_header.depth; ++level) {
        ByteCursor cursor(m_index, std::size_t(offset) + 2);
        cursor.skip(cursor.u8());
        const std::uint32_t child = cursor.u32();
        if (!cursor.ok() || std::uint64_t(child) + m_header.nodeLength > m_index.size())
            return 0;
        offset = child;
    }
    return offset;
}

void FullTextIndex::forEachWord(const std::function<bool(const Word &)> &each) const
{
    const std::uint64_t nodeLength = m_header.nodeLength;
    std::uint32_t leaf = firstLeaf();
    // A chain that loops back is cut off by the number of nodes the object can hold.
    for (std::uint64_t visits = m_index.size() / nodeLength + 1; leaf != 0 && visits > 0;
         --visits) {
        if (leaf + nodeLength > m_index.size())
            return;
        const std::size_t node = leaf;
        const std::uint32_t next = *u32At(m_index, node);
        const std::size_t end =
            node + nodeLength - std::min<std::uint64_t>(*u16At(m_index, node + 6), nodeLength);
        ByteCursor cursor(std::string_view(m_index).substr(0, end), node + 8);
        std::string text;
        while (cursor.left() >= 2) {
            const std::uint8_t length = cursor.u8();
            const std::uint8_t shared = cursor.u8();
            if (length < 1 || shared > text.size() || cursor.left() < length)
                break;
            text.resize(shared);
            text += cursor.bytes(length - 1u);
            Word word;
            word.inTitle = cursor.u8() != 0;
            const std::optional<std::uint64_t> documents = cursor.encodedNumberLowFirst();
            word.offset = cursor.u32();
            cursor.skip(2);
            const std::optional<std::uint64_t> size = cursor.encodedNumberLowFirst();
            if (!documents || !size || !cursor.ok())
                break;
            word.text = text;
            word.documents = *documents;
            word.size = std::uint32_t(std::min<std::uint64_t>(*size, 0xffffffffu));
            if (!each(word))
                return;
        }
        leaf = next;
    }
}

void FullTextIndex::forEachDocument(
    const Word &word, std::uint64_t documentLimit,
    const std::function<void(std::uint32_t, std::uint64_t)> &each) const
{
    const std::size_t end = std::size_t(
        std::min(std::uint64_t(word.offset) + word.size, std::uint64_t(m_index.size())));
    BitReader bits(m_index, word.offset, end);
    std::uint64_t document = 0;
    for (std::uint64_t i = 0; i < word.documents && i < documentLimit; ++i) {
        if (i > 0)
            bits.alignToByte();
        document += bits.scaleRoot(m_header.documentRoot);
        const std::uint64_t locations = bits.scaleRoot(m_header.countRoot);
        // Each location costs at least one bit, so the stream's own length bounds the loop.
        for (std::uint64_t j = 0; j < locations && bits.ok(); ++j)
            bits.scaleRoot(m_header.locationRoot);
        if (!bits.ok() || document >= documentLimit)
            return;
        each(std::uint32_t(document), locations);
    }
}

void FullTextIndex::forEachLocatedDocument(
    const Word &word, std::uint64_t documentLimit, std::size_t locationLimit,
    const std::function<void(std::uint32_t, const std::vector<std::uint32_t> &)> &each) const
{
    const std::size_t end = std::size_t(
        std::min(std::uint64_t(word.offset) + word.size, std::uint64_t(m_index.size())));
    BitReader bits(m_index, word.offset, end);
    std::uint64_t document = 0;
    std::vector<std::uint32_t> places;
    for (std::uint64_t i = 0; i < word.documents && i < documentLimit; ++i) {
        if (i > 0)
            bits.alignToByte();
        document += bits.scaleRoot(m_header.documentRoot);
        const std::uint64_t locations = bits.scaleRoot(m_header.countRoot);
        places.clear();
        // Each location is the distance from the one before.
        std::uint64_t place = 0;
        for (std::uint64_t j = 0; j < locations && bits.ok(); ++j) {
            place += bits.scaleRoot(m_header.locationRoot);
            if (places.size() < locationLimit && place <= 0xffffffffu)
                places.push_back(std::uint32_t(place));
        }
        if (!bits.ok() || document >= documentLimit)
            return;
        each(std::uint32_t(document), places);
    }
}

} // namespace qvx::chm

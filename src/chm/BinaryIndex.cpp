#include "qvx/chm/BinaryIndex.h"

#include "qvx/chm/Bytes.h"

#include <algorithm>

namespace qvx::chm {

namespace {

constexpr std::size_t headerSize = 0x4C;
constexpr std::size_t blockHeaderSize = 12;
constexpr std::uint16_t signature = 0x293B;
constexpr std::uint16_t seeAlsoFlag = 2;

} // namespace

void forEachIndexKeyword(std::string_view btree,
                         const std::function<bool(const IndexKeyword &)> &each)
{
    if (btree.size() < headerSize || u16At(btree, 0) != signature)
        return;
    const std::size_t blockSize = u16At(btree, 4).value_or(0);
    if (blockSize <= blockHeaderSize)
        return;
    // The listing blocks come first, in keyword order; the blocks after them only lead the way
    // down the tree.
    const std::uint64_t blocksStored = (btree.size() - headerSize) / blockSize;
    const std::uint64_t listingBlocks =
        std::min(std::uint64_t(u32At(btree, 0x1A).value_or(0)) + 1, blocksStored);
    for (std::uint64_t block = 0; block < listingBlocks; ++block) {
        const std::size_t start = headerSize + std::size_t(block) * blockSize;
        ByteCursor cursor(btree.substr(start, blockSize));
        cursor.u16(); // free space at the block's end
        const std::uint32_t count = cursor.u16();
        cursor.skip(8); // the previous and next blocks
        for (std::uint32_t i = 0; i < count && cursor.ok(); ++i) {
            const std::u16string keyword = cursor.utf16String();
            const std::uint16_t flags = cursor.u16();
            IndexKeyword entry;
            entry.depth = cursor.u16();
            const std::uint32_t levelStart = cursor.u32(); // where the last level's text begins
            cursor.u32();
            const std::uint32_t pairs = cursor.u32();
            entry.name = entry.depth > 0 && levelStart < keyword.size() ? keyword.substr(levelStart)
                                                                        : keyword;
            entry.seeAlso = flags == seeAlsoFlag;
            if (entry.seeAlso) {
                cursor.utf16String(); // the keyword to see instead
            } else {
                for (std::uint32_t pair = 0; pair < pairs && cursor.ok(); ++pair) {
                    const std::uint32_t topic = cursor.u32();
                    if (cursor.ok())
                        entry.topics.push_back(topic);
                }
            }
            cursor.skip(8); // a constant and the entry's running number
            if (!cursor.ok())
                break;
            if (!each(entry))
                return;
        }
    }
}

} // namespace qvx::chm

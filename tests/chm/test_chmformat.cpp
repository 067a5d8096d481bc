#include "qvx/chm/BinaryIndex.h"
#include "qvx/chm/Bytes.h"
#include "qvx/chm/Container.h"
#include "qvx/chm/FullText.h"
#include "qvx/chm/Sitemap.h"
#include "qvx/chm/System.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using namespace qvx::chm;
using namespace std::string_literals;

namespace {

void putU32(std::string &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = char(value >> (8 * i));
}

// An LZX control data object and a reset table head with the given parameters.
std::string controlData(std::uint32_t version, std::uint32_t resetInterval, std::uint32_t window,
                        std::uint32_t windowsPerReset)
{
    std::string bytes(0x1C, '\0');
    bytes.replace(4, 4, "LZXC");
    putU32(bytes, 8, version);
    putU32(bytes, 12, resetInterval);
    putU32(bytes, 16, window);
    putU32(bytes, 20, windowsPerReset);
    return bytes;
}

ResetTable tableWithBlocks(std::uint64_t blockLength)
{
    ResetTable table;
    table.version = 2;
    table.blockLength = blockLength;
    return table;
}

// One line per entry: "depth name -> title=local, ...".
std::string describe(const std::vector<SitemapEntry> &entries)
{
    std::string out;
    for (const SitemapEntry &entry : entries) {
        out += (out.empty() ? "" : "\n") + std::to_string(entry.depth) + ' ' + entry.name;
        for (std::size_t i = 0; i < entry.targets.size(); ++i) {
            out += (i == 0 ? " -> " : ", ") + entry.targets[i].title + '=' + entry.targets[i].local;
        }
    }
    return out;
}

std::string sitemapEntry(std::initializer_list<std::string> params)
{
    std::string text = "<LI><OBJECT type=\"text/sitemap\">";
    for (auto param = params.begin(); param + 1 < params.end(); param += 2)
        text += "<param name=\"" + param[0] + "\" value=\"" + param[1] + "\">";
    return text + "</OBJECT>";
}

void putU16(std::string &bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = char(value);
    bytes[at + 1] = char(value >> 8);
}

std::string u16Text(std::u16string_view text)
{
    std::string bytes(2 * text.size() + 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        putU16(bytes, 2 * i, text[i]);
    return bytes;
}

std::string lowFirstNumber(std::uint64_t value)
{
    std::string bytes;
    do {
        const auto low = char(value & 0x7f);
        value >>= 7;
        bytes += char(low | (value ? 0x80 : 0));
    } while (value);
    return bytes;
}

// Bits from the top of each byte down, as the full-text index stores a word's places.
class BitWriter
{
public:
    void bit(bool one)
    {
        if (m_used == 0)
            m_bytes += '\0';
        if (one)
            m_bytes.back() = char(m_bytes.back() | (0x80 >> m_used));
        m_used = (m_used + 1) % 8;
    }
    void bits(std::uint64_t value, int width)
    {
        for (int i = width - 1; i >= 0; --i)
            bit((value >> i) & 1);
    }
    // The scale-2 code: a value below 2^root is a zero and root bits; a larger one has as many
    // ones as its width exceeds root by plus one, a zero, and its bits under the top one.
    void scaleRoot(std::uint64_t value, int root)
    {
        int width = 0;
        while (width < 63 && (std::uint64_t(1) << (width + 1)) <= value)
            ++width;
        if (value < (std::uint64_t(1) << root)) {
            bit(false);
            bits(value, root);
            return;
        }
        for (int i = 0; i < width - root + 1; ++i)
            bit(true);
        bit(false);
        bits(value, width);
    }
    void align() { m_used = 0; }
    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    int m_used = 0;
};

struct IndexedWord
{
    std::string text;
    int shared = 0;
    // Each document with its places.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> documents;
};

constexpr std::uint32_t kNodeLength = 64;
constexpr int kDocumentRoot = 1;
constexpr int kCountRoot = 3;
constexpr int kLocationRoot = 2;

// A $FIftiMain of one level: the header, then leaves of kNodeLength bytes, chained in order, then
// the words' bit streams. `nextOfLast` is where the last leaf claims the chain goes on.
std::string fullTextIndex(const std::vector<std::vector<IndexedWord>> &leaves,
                          std::uint32_t nextOfLast = 0)
{
    std::string index(0x32, '\0');
    putU32(index, 0x14, 0x32);
    putU16(index, 0x18, 1);
    const char codes[] = {2, kDocumentRoot, 2, kCountRoot, 2, kLocationRoot};
    index.replace(0x1e, 6, codes, 6);
    putU32(index, 0x2e, kNodeLength);
    const std::size_t streams = 0x32 + leaves.size() * kNodeLength;
    std::string stream;
    for (std::size_t leaf = 0; leaf < leaves.size(); ++leaf) {
        std::string node(8, '\0');
        putU32(node, 0,
               leaf + 1 < leaves.size() ? std::uint32_t(0x32 + (leaf + 1) * kNodeLength)
                                        : nextOfLast);
        for (const IndexedWord &word : leaves[leaf]) {
            BitWriter bits;
            std::uint32_t before = 0;
            for (const auto &[document, places] : word.documents) {
                bits.align();
                bits.scaleRoot(document - before, kDocumentRoot);
                before = document;
                bits.scaleRoot(places.size(), kCountRoot);
                std::uint32_t last = 0;
                for (const std::uint32_t place : places) {
                    bits.scaleRoot(place - last, kLocationRoot);
                    last = place;
                }
            }
            node += char(word.text.size() + 1 - std::size_t(word.shared));
            node += char(word.shared);
            node += word.text.substr(std::size_t(word.shared));
            node += '\0'; // not in a title
            node += lowFirstNumber(word.documents.size());
            std::string offset(4, '\0');
            putU32(offset, 0, std::uint32_t(streams + stream.size()));
            node += offset + std::string(2, '\0') + lowFirstNumber(bits.bytes().size());
            stream += bits.bytes();
        }
        const std::size_t used = node.size();
        node.resize(kNodeLength, '\0');
        putU16(node, 6, std::uint16_t(kNodeLength - used));
        index += node;
    }
    return index + stream;
}

// "word: document@place,place document@place" for every word, in stored order.
std::string describe(const FullTextIndex &index)
{
    std::string out;
    index.forEachWord([&](const FullTextIndex::Word &word) {
        out += (out.empty() ? "" : "\n") + std::string(word.text) + ':';
        index.forEachLocatedDocument(
            word, 1000, 100, [&](std::uint32_t document, const std::vector<std::uint32_t> &at) {
                out += ' ' + std::to_string(document) + '@';
                for (std::size_t i = 0; i < at.size(); ++i)
                    out += (i ? "," : "") + std::to_string(at[i]);
            });
        return true;
    });
    return out;
}

// A keyword index of one listing block holding the given entries.
std::string keywordIndex(const std::vector<std::string> &entries)
{
    constexpr std::size_t blockSize = 256;
    std::string btree(0x4C, '\0');
    putU16(btree, 0, 0x293B);
    putU16(btree, 4, blockSize);
    std::string block(12, '\0');
    putU16(block, 2, std::uint16_t(entries.size()));
    for (const std::string &entry : entries)
        block += entry;
    block.resize(blockSize, '\0');
    return btree + block;
}

std::string keywordEntry(std::u16string_view keyword, std::uint16_t flags,
                         const std::vector<std::uint32_t> &topics, std::u16string_view seeAlso = {})
{
    // Its flags, depth, where its last level starts, a constant, and the count of its pages.
    std::string entry = u16Text(keyword) + std::string(16, '\0');
    putU16(entry, entry.size() - 16, flags);
    putU32(entry, entry.size() - 4, std::uint32_t(topics.size()));
    if (flags == 2)
        entry += u16Text(seeAlso);
    for (std::size_t i = 0; flags != 2 && i < topics.size(); ++i) {
        std::string number(4, '\0');
        putU32(number, 0, topics[i]);
        entry += number;
    }
    return entry + std::string(8, '\0');
}

} // namespace

// Values that run past the end fail and leave the cursor failed, whatever follows.
TEST(ByteCursor, NeverReadsPastItsEnd)
{
    const std::string bytes = "\x01\x02\x03\x04\x05"s;
    ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.u32(), 0x04030201u);
    EXPECT_TRUE(cursor.ok());
    EXPECT_EQ(cursor.u16(), 0u);
    EXPECT_FALSE(cursor.ok());
    EXPECT_EQ(cursor.u8(), 0u);
    EXPECT_EQ(cursor.left(), 0u);

    ByteCursor unterminated(std::string_view("abc"));
    EXPECT_TRUE(unterminated.string().empty());
    EXPECT_FALSE(unterminated.ok());
    ByteCursor huge(bytes);
    huge.skip(~std::uint64_t(0));
    EXPECT_FALSE(huge.ok());
    EXPECT_FALSE(ByteCursor(bytes, 6).ok());

    EXPECT_EQ(u32At(bytes, 1), 0x05040302u);
    EXPECT_FALSE(u32At(bytes, 2));
    EXPECT_FALSE(u64At(bytes, ~std::uint64_t(0) - 2));
    EXPECT_EQ(stringAt("ab\0cd"s, 3), "cd");
    EXPECT_EQ(stringAt("abcd", 1, 2), "bc");
    EXPECT_TRUE(stringAt("abcd", 9).empty());
}

TEST(ByteCursor, ReadsBothKindsOfEncodedNumbers)
{
    const std::string directoryBytes = "\x81\x00\x05"s;
    ByteCursor directory(directoryBytes);
    EXPECT_EQ(directory.encodedNumber(), 128u);
    EXPECT_EQ(directory.encodedNumber(), 5u);
    EXPECT_FALSE(directory.encodedNumber());
    // Ten continuation bytes are no number, and one cut short is none either.
    const std::string continuations(10, '\x80');
    EXPECT_FALSE(ByteCursor(continuations).encodedNumber());
    EXPECT_FALSE(ByteCursor(std::string_view("\x80\x80")).encodedNumberLowFirst());
    const std::string fullTextBytes = "\x81\x01"s;
    ByteCursor fullText(fullTextBytes);
    EXPECT_EQ(fullText.encodedNumberLowFirst(), 129u);

    // Nine bytes hold 63 bits, the most either kind takes; a tenth would overflow 64 bits.
    const std::string nine = std::string(8, '\xff') + '\x7f';
    const std::string ten = std::string(9, '\x81') + '\x01';
    EXPECT_EQ(ByteCursor(nine).encodedNumber(), 0x7fffffffffffffffu);
    EXPECT_FALSE(ByteCursor(ten).encodedNumber());
    EXPECT_EQ(ByteCursor(nine).encodedNumberLowFirst(), 0x7fffffffffffffffu);
    EXPECT_FALSE(ByteCursor(ten).encodedNumberLowFirst());
    const std::string large = lowFirstNumber(0x123456789);
    EXPECT_EQ(ByteCursor(large).encodedNumberLowFirst(), 0x123456789u);
}

TEST(FullText, ReadsWordsAndTheirPlaces)
{
    // Places and counts past each code's root, and numbers that tell the three codes apart.
    const std::vector<std::vector<IndexedWord>> leaves{
        {{"order", 0, {{0, {1}}, {5, {2, 9, 40}}}},
         {"ordering", 5, {{3, {1, 2, 3, 4, 5, 6, 7, 8, 9}}}}},
        {{"price", 0, {{200, {17}}}}}};
    const std::optional<FullTextIndex> index = FullTextIndex::parse(fullTextIndex(leaves));
    ASSERT_TRUE(index);
    EXPECT_EQ(describe(*index), "order: 0@1 5@2,9,40\nordering: 3@1,2,3,4,5,6,7,8,9\n"
                                "price: 200@17");

    // Header fields that do not hold together.
    std::string bytes = fullTextIndex(leaves);
    for (const auto &[at, value] : std::initializer_list<std::pair<std::size_t, char>>{
             {0x1e, 3}, {0x20, 1}, {0x22, 0}, {0x21, 33}, {0x18, 0}, {0x18, 17}}) {
        std::string damaged = bytes;
        damaged[at] = value;
        EXPECT_FALSE(FullTextIndex::parse(damaged)) << at;
    }
    std::string shortNodes = bytes;
    putU32(shortNodes, 0x2e, 15);
    EXPECT_FALSE(FullTextIndex::parse(shortNodes));
    EXPECT_FALSE(FullTextIndex::parse(bytes.substr(0, 0x32 + kNodeLength - 1)));
}

// A hostile index yields less, never words from outside its bounds.
TEST(FullText, StopsAtWhatCannotBeTrue)
{
    // A word that claims to share more than the word before it holds ends its leaf.
    const std::optional<FullTextIndex> sharing = FullTextIndex::parse(
        fullTextIndex({{{"abc", 0, {{1, {1}}}}, {"abcdef", 4, {{2, {1}}}}, {"z", 0, {{3, {1}}}}}}));
    ASSERT_TRUE(sharing);
    EXPECT_EQ(describe(*sharing), "abc: 1@1");

    // A leaf that the chain says comes next but that runs past the index's end.
    const std::string whole =
        fullTextIndex({{{"first", 0, {{1, {1}}}}}, {{"second", 0, {{2, {2}}}}}});
    for (const std::uint32_t next : {0x32u + kNodeLength, 0x32u + 2 * kNodeLength - 4}) {
        std::string pastTheEnd = whole.substr(0, 0x32 + 2 * kNodeLength - 1);
        putU32(pastTheEnd, 0x32, next);
        const std::optional<FullTextIndex> cut = FullTextIndex::parse(pastTheEnd);
        ASSERT_TRUE(cut);
        EXPECT_EQ(describe(*cut), "first:") << next;
    }
    // A chain that loops back ends.
    const std::optional<FullTextIndex> loop =
        FullTextIndex::parse(fullTextIndex({{{"again", 0, {{1, {1}}}}}}, 0x32));
    ASSERT_TRUE(loop);
    std::size_t words = 0;
    loop->forEachWord([&](const FullTextIndex::Word &) { return ++words < 1000; });
    EXPECT_LT(words, 1000u);
}

// Only the flag that says so makes an entry point at another keyword instead of pages.
TEST(BinaryIndex, ReadsPagesUnlessTheEntrySaysSeeAlso)
{
    std::vector<std::string> entries;
    for (const std::uint16_t flags : {0, 1, 2, 3, 4, 0x102})
        entries.push_back(keywordEntry(u"k" + std::u16string(1, char16_t('0' + flags % 10)), flags,
                                       {7, 9}, u"other"));
    std::string found;
    forEachIndexKeyword(keywordIndex(entries), [&](const IndexKeyword &keyword) {
        found += std::string(1, char(keyword.name.back())) + (keyword.seeAlso ? "=see" : "=") +
                 std::to_string(keyword.topics.size()) + ' ';
        return true;
    });
    EXPECT_EQ(found, "0=2 1=2 2=see0 3=2 4=2 8=2 ");
}

TEST(SystemRecords, ReadsRecordsAndDropsOnesPastTheEnd)
{
    const std::string data =
        "\3\0\0\0"s + "\2\0\6\0a.htm\0"s + "\4\0\2\0\x19\x04"s + "\3\0\x40\0cut"s;
    const SystemRecords records = parseSystem(data);
    EXPECT_TRUE(records.valid);
    EXPECT_EQ(records.defaultTopic, "a.htm");
    EXPECT_EQ(records.lcid, 0x419u);
    EXPECT_TRUE(records.title.empty());
    EXPECT_STREQ(encodingForLcid(records.lcid), "windows-1251");
    EXPECT_FALSE(parseSystem("\3\0\0"s).valid);
}

TEST(SystemRecords, ChoosesTheCodePageOfEachLanguage)
{
    const std::pair<std::uint32_t, const char *> rows[] = {
        {0x0404, "Big5"},         {0x0804, "GBK"},          {0x0C04, "Big5"},
        {0x1004, "GBK"},          {0x1404, "Big5"},         {0x0411, "Shift_JIS"},
        {0x0412, "windows-949"},  {0x041E, "windows-874"},  {0x042A, "windows-1258"},
        {0x0419, "windows-1251"}, {0x0C1A, "windows-1251"}, {0x041A, "windows-1250"},
        {0x0405, "windows-1250"}, {0x0408, "windows-1253"}, {0x041F, "windows-1254"},
        {0x082C, "windows-1251"}, {0x042C, "windows-1254"}, {0x040D, "windows-1255"},
        {0x0401, "windows-1256"}, {0x0425, "windows-1257"}, {0x0409, "windows-1252"},
        {0x0809, "windows-1252"}, {0x0000, "windows-1252"}};
    for (const auto &[lcid, encoding] : rows)
        EXPECT_STREQ(encodingForLcid(lcid), encoding) << std::hex << lcid;
}

// A listing chunk's entries up to the first one it cannot hold, and none when its free space
// claims more than the chunk.
TEST(Directory, ListsEntriesInsideTheChunk)
{
    std::string chunk = "PMGL"s + std::string(0x10, '\0');
    chunk += "\x04/a.h\x00\x81\x00\x07"s; // "/a.h" in section 0 at 128, 7 bytes
    chunk += "\x7f/b"s;                   // a name longer than what is left
    putU32(chunk, 4, 0);
    std::vector<std::pair<std::string, DirectoryEntry>> found;
    forEachListingEntry(chunk, [&](std::string_view name, const DirectoryEntry &entry) {
        found.emplace_back(std::string(name), entry);
    });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, "/a.h");
    EXPECT_EQ(found[0].second.start, 128u);
    EXPECT_EQ(found[0].second.length, 7u);

    putU32(chunk, 4, std::uint32_t(chunk.size()));
    int calls = 0;
    forEachListingEntry(chunk, [&](std::string_view, const DirectoryEntry &) { ++calls; });
    EXPECT_EQ(calls, 0);
    // The entry fits the used part exactly, or misses it by a byte; free space that leaves
    // no room for the chunk's own header lists nothing.
    const std::size_t used = 0x14 + 9;
    const std::pair<std::uint32_t, int> freeSpaces[] = {
        {std::uint32_t(chunk.size() - used), 1},     {std::uint32_t(chunk.size() - used + 1), 0},
        {std::uint32_t(chunk.size() - 0x14), 0},     {std::uint32_t(chunk.size() - 0x14 + 1), 0},
        {std::uint32_t(chunk.size() - used - 1), 1}, {0xFFFFFFFFu, 0}};
    for (const auto &[freeSpace, expected] : freeSpaces) {
        putU32(chunk, 4, freeSpace);
        int listed = 0;
        forEachListingEntry(chunk, [&](std::string_view, const DirectoryEntry &) { ++listed; });
        EXPECT_EQ(listed, expected) << freeSpace;
    }
    EXPECT_TRUE(isListingChunk(chunk));
    EXPECT_EQ(nextListingChunk(chunk), 0);
    EXPECT_EQ(nextListingChunk("PMGL"), -1);
}

TEST(Directory, ContentStartsWhereTheVersionSays)
{
    std::string header = "ITSF"s + std::string(0x5C, '\0');
    putU32(header, 0x48, 0x100); // the directory
    putU32(header, 0x50, 0x40);  // its length
    putU32(header, 0x58, 0x999); // the content, as version 3 states it
    putU32(header, 4, 2);
    EXPECT_EQ(parseFileHeader(header)->contentOffset, 0x140u);
    putU32(header, 4, 3);
    EXPECT_EQ(parseFileHeader(header)->contentOffset, 0x999u);
    // A version 3 header cut before the content's place falls back on the directory.
    EXPECT_EQ(parseFileHeader(header.substr(0, 0x58))->contentOffset, 0x140u);
    EXPECT_FALSE(parseFileHeader("ITSP"s + std::string(0x5C, '\0')));
}

// Parameters a decompressor cannot be set up from, or that make it divide by zero.
TEST(Compression, RefusesParametersNoDecoderTakes)
{
    const auto sound = [](const std::string &control, std::uint64_t blockLength = 0x8000) {
        return compressionParametersSound(*parseControlData(control), tableWithBlocks(blockLength));
    };
    EXPECT_TRUE(sound(controlData(2, 2, 2, 1)));             // 64 KiB window, in 32 KiB units
    EXPECT_TRUE(sound(controlData(1, 0x10000, 0x10000, 1))); // the same in bytes
    EXPECT_FALSE(sound(controlData(2, 2, 2, 1), 0));         // no block length
    EXPECT_FALSE(sound(controlData(2, 2, 3, 1)));            // not a power of two
    EXPECT_FALSE(sound(controlData(2, 2, 128, 1)));          // over 2 MiB
    EXPECT_FALSE(sound(controlData(2, 0, 2, 1)));            // no reset interval
    // The reset interval in bytes must be whole half windows.
    EXPECT_TRUE(sound(controlData(1, 0x8000, 0x10000, 1)));
    EXPECT_TRUE(sound(controlData(1, 0x18000, 0x10000, 1)));
    EXPECT_FALSE(sound(controlData(1, 0x8001, 0x10000, 1)));
    EXPECT_FALSE(sound(controlData(1, 0x4000, 0x10000, 1)));
    EXPECT_FALSE(sound(controlData(1, 0xC000, 0x10000, 1)));
    EXPECT_FALSE(sound(controlData(1, 0x10000, 0x4000, 1))); // a window under 32 KiB
    EXPECT_FALSE(sound(controlData(2, 2, 2, 0x80000000u)));  // blocks that wrap to zero
    EXPECT_FALSE(sound(controlData(2, 2, 2, 0)));            // no blocks between resets
    // A window size that wraps to zero in the library's 32-bit arithmetic.
    EXPECT_FALSE(sound(controlData(2, 2, 0x20000, 1)));
    EXPECT_FALSE(parseControlData(controlData(2, 2, 2, 1).replace(4, 4, "LZXD")));
    EXPECT_FALSE(parseResetTable(std::string(0x27, '\0')));
}

TEST(Sitemap, ReadsContentsAndIndexEntries)
{
    EXPECT_EQ(describe(parseSitemap("<UL>" + sitemapEntry({"Name", "Top", "Local", "top.htm"}) +
                                    "<UL>" + sitemapEntry({"Name", "Inner", "Local", "in.htm"}) +
                                    "</UL>" + sitemapEntry({"Name", "Next"}) + "</UL>")),
              "0 Top -> Top=top.htm\n1 Inner -> Inner=in.htm\n0 Next");
    // A keyword names the entry; each page takes the name before it, else the keyword.
    EXPECT_EQ(
        describe(parseSitemap(sitemapEntry({"Keyword", "Prices", "Local", "p.htm", "Name",
                                            "Ordering", "Local", "o.htm", "Keyword", "Later"}))),
        "0 Prices -> Prices=p.htm, Ordering=o.htm");
    EXPECT_EQ(describe(parseSitemap(
                  "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\"></OBJECT>"
                  "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"> -->"
                  "<!-- a > b <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hid\"> -->"
                  "<UL>" +
                  sitemapEntry({"Local", "nameless.htm"}) + sitemapEntry({"Name", "Shown"}))),
              "0 Shown");
}

TEST(Sitemap, ReadsMarkupAsHandEditingLeavesIt)
{
    EXPECT_EQ(describe(parseSitemap(
                  "<ul><li><object type='TEXT/SITEMAP'><param name=Name value='A page'>"
                  "<param NAME=local value=a.htm value=b.htm name=ignored><li>"
                  "<object type=text/sitemap />"
                  "<PARAM name = 'Name' value = B /><param name='Local' value='b>c.htm'>")),
              "0 A page -> A page=a.htm\n0 B -> B=b>c.htm");
    EXPECT_EQ(describe(parseSitemap("</UL></UL><UL>" + sitemapEntry({"Name", "A"}) + "</UL></UL>" +
                                    sitemapEntry({"Name", "B"}))),
              "0 A\n0 B");
    // Text that is not UTF-8 passes through; cut-off tags end the entry.
    EXPECT_EQ(describe(parseSitemap(sitemapEntry({"Name", "Caf\xE9 &amp; \xF0"}) +
                                    "<OBJECT type=\"text/sitemap\"><param name=\"Name\" "
                                    "value=\"Cut\"><param na")),
              "0 Caf\xE9 & \xF0\n0 Cut");
    EXPECT_EQ(describe(parseSitemap("<<<>>> <= =< <'\"<!--")), "");
}

TEST(Sitemap, StaysWithinItsLimits)
{
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<UL>";
    EXPECT_EQ(describe(parseSitemap(deep + sitemapEntry({"Name", "Deep"}))),
              std::to_string(maxSitemapDepth) + " Deep");

    std::string pages = "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Many\">";
    for (std::size_t i = 0; i < maxSitemapTargets + 10; ++i)
        pages += "<param name=\"Local\" value=\"" + std::to_string(i) + ".htm\">";
    const std::vector<SitemapEntry> many = parseSitemap(pages);
    ASSERT_EQ(many.size(), 1u);
    EXPECT_EQ(many[0].targets.size(), maxSitemapTargets);
    EXPECT_EQ(many[0].targets.back().local, std::to_string(maxSitemapTargets - 1) + ".htm");

    std::string entries;
    for (std::size_t i = 0; i < maxSitemapEntries + 2; ++i)
        entries += "<object type=text/sitemap><param name=name value=" + std::to_string(i) + ">";
    const std::vector<SitemapEntry> capped = parseSitemap(entries);
    ASSERT_EQ(capped.size(), maxSitemapEntries);
    EXPECT_EQ(capped.back().name, std::to_string(maxSitemapEntries - 1));
}

TEST(Sitemap, DecodesEntitiesToUtf8)
{
    EXPECT_EQ(decodeHtmlEntities("&lt;a&gt; &quot;b&quot; &apos;&nbsp;&mdash;"),
              "<a> \"b\" '\u00A0\u2014");
    EXPECT_EQ(decodeHtmlEntities("Caf&#233; &#XE9;&#x7f;&#x1F600;"),
              "Caf\u00E9 \u00E9\x7F\U0001F600");
    // Each length of UTF-8 at both its ends.
    EXPECT_EQ(decodeHtmlEntities("&#x80;&#x7FF;&#x800;&#xFFFF;&#x10000;&#x10FFFF;"),
              "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    // Unknown, invalid, overlong and unterminated references stay as written.
    for (const char *kept : {"&bogus;", "&AMP;", "&#xZZ;", "&#0;", "&#xD800;", "&#x110000;",
                             "&#99999999999;", "&# 65;", "&#+65;", "&#x;", "Tom & Jerry", "&amp"})
        EXPECT_EQ(decodeHtmlEntities(kept), kept);
    EXPECT_EQ(decodeHtmlEntities("&&amp;;"), "&&;");
}

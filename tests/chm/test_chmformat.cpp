#include "qvx/chm/Bytes.h"
#include "qvx/chm/Container.h"
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
                  "<UL>" +
                  sitemapEntry({"Local", "nameless.htm"}) + sitemapEntry({"Name", "Shown"}))),
              "0 Shown");
}

TEST(Sitemap, ReadsMarkupAsHandEditingLeavesIt)
{
    EXPECT_EQ(describe(parseSitemap(
                  "<ul><li><object type='TEXT/SITEMAP'><param name=Name value='A page'>"
                  "<param NAME=local value=a.htm name=ignored><li><object type=text/sitemap />"
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
    // Unknown, invalid, overlong and unterminated references stay as written.
    for (const char *kept : {"&bogus;", "&AMP;", "&#xZZ;", "&#0;", "&#xD800;", "&#x110000;",
                             "&#99999999999;", "&# 65;", "&#+65;", "&#x;", "Tom & Jerry", "&amp"})
        EXPECT_EQ(decodeHtmlEntities(kept), kept);
    EXPECT_EQ(decodeHtmlEntities("&&amp;;"), "&&;");
}

// The format library's readers on raw input, each structure on its own: no crash, no hang, no
// read outside the data, and what they hand out lies inside it (or, for the sitemap's decoded
// text, is no longer than it).
#include "qvx/chm/BinaryIndex.h"
#include "qvx/chm/Container.h"
#include "qvx/chm/FullText.h"
#include "qvx/chm/Sitemap.h"
#include "qvx/chm/System.h"
#include "qvx/chm/Topics.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool inside(std::string_view part, std::string_view whole)
{
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

// Well-formed UTF-8, without surrogates or values past U+10FFFF.
bool validUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || at + length > text.size())
            return false;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        at += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    using namespace qvx::chm;

    // Decoding only shortens text, and keeps UTF-8 whole.
    const bool utf8 = validUtf8(bytes);
    const std::string decoded = decodeHtmlEntities(bytes);
    require(decoded.size() <= size && (!utf8 || validUtf8(decoded)));
    const std::vector<SitemapEntry> entries = parseSitemap(bytes);
    require(entries.size() <= maxSitemapEntries);
    for (const SitemapEntry &entry : entries) {
        require(!entry.name.empty() && entry.name.size() <= size &&
                (!utf8 || validUtf8(entry.name)));
        require(entry.depth >= 0 && entry.depth <= maxSitemapDepth);
        require(entry.targets.size() <= maxSitemapTargets);
        for (const SitemapTarget &target : entry.targets)
            require(target.title.size() <= size && target.local.size() <= size &&
                    (!utf8 || (validUtf8(target.title) && validUtf8(target.local))));
    }

    const SystemRecords system = parseSystem(bytes);
    require(system.title.size() < size + 1 && system.defaultTopic.size() < size + 1);

    parseFileHeader(bytes);
    parseDirectoryHeader(bytes);
    forEachListingEntry(bytes, [&](std::string_view name, const DirectoryEntry &) {
        require(inside(name, bytes));
    });
    const std::optional<ResetTable> table = parseResetTable(bytes);
    if (const std::optional<LzxControl> control = parseControlData(bytes); control && table)
        compressionParametersSound(*control, *table);

    forEachIndexKeyword(bytes, [&](const IndexKeyword &keyword) {
        require(keyword.name.size() * 2 <= size && keyword.topics.size() * 4 <= size);
        return true;
    });

    // One input as all four topic tables, and as a full-text index over them.
    const TopicTable topics{std::string(bytes), std::string(bytes), std::string(bytes),
                            std::string(bytes)};
    for (std::uint32_t i = 0; i < topics.count() && i < 256; ++i) {
        if (const std::optional<TopicTable::Topic> topic = topics.topic(i))
            require(!topic->local.empty() && topic->local.size() < size);
    }
    if (const std::optional<FullTextIndex> index = FullTextIndex::parse(std::string(bytes))) {
        int words = 0;
        index->forEachWord([&](const FullTextIndex::Word &word) {
            index->forEachDocument(
                word, topics.count(),
                [&](std::uint32_t document, std::uint64_t) { require(document < topics.count()); });
            index->forEachLocatedDocument(
                word, topics.count(), 64,
                [&](std::uint32_t document, const std::vector<std::uint32_t> &places) {
                    require(document < topics.count() && places.size() <= 64 &&
                            std::is_sorted(places.begin(), places.end()));
                });
            return ++words < 100000;
        });
    }
    return 0;
}

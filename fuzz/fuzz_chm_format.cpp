// The format library's readers on raw input, each structure on its own: no crash, no hang, no
// read outside the data, and what they hand out lies inside it.
#include "qvx/chm/BinaryIndex.h"
#include "qvx/chm/Container.h"
#include "qvx/chm/FullText.h"
#include "qvx/chm/System.h"
#include "qvx/chm/Topics.h"

#include <cstdlib>
#include <string>
#include <string_view>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    using namespace qvx::chm;

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
            return ++words < 100000;
        });
    }
    return 0;
}

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::chm {

// The full-text index a help compiler stores in the file ($FIftiMain). Every offset and count in
// it is checked: a damaged or hostile index yields less, never reads out of bounds or loops.
class FullTextIndex
{
public:
    // One word of the index's leaves.
    struct Word
    {
        std::string_view text; // in the file's code page
        bool inTitle = false;
        std::uint64_t documents = 0;
        std::uint32_t offset = 0; // of its documents' bit stream
        std::uint32_t size = 0;
    };

    // Nothing when the index is cut short or uses codes this reader does not know.
    static std::optional<FullTextIndex> parse(std::string index);

    // Calls `each` with every word in stored order until it returns false.
    void forEachWord(const std::function<bool(const Word &)> &each) const;
    // Calls `each` with every document of the word below `documentLimit`, and how many
    // times the word is found there.
    void forEachDocument(const Word &word, std::uint64_t documentLimit,
                         const std::function<void(std::uint32_t, std::uint64_t)> &each) const;
    // The same, with the word's places in each document: word numbers counted from the start of
    // its text (or of its title, for a title word), ascending. At most `locationLimit` each.
    void forEachLocatedDocument(
        const Word &word, std::uint64_t documentLimit, std::size_t locationLimit,
        const std::function<void(std::uint32_t, const std::vector<std::uint32_t> &)> &each) const;

private:
    struct Header
    {
        std::uint32_t rootOffset = 0;
        std::uint32_t nodeLength = 0;
        int depth = 0;
        int documentRoot = 0;
        int countRoot = 0;
        int locationRoot = 0;
    };

    FullTextIndex(std::string index, const Header &header);
    std::uint32_t firstLeaf() const;

    std::string m_index;
    Header m_header;
};

} // namespace qvx::chm

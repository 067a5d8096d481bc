#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::chm {

// One entry of the keyword index compiled into a file ($WWKeywordLinks/BTree).
struct IndexKeyword
{
    std::u16string name;               // a sub-keyword's own level only
    std::uint32_t depth = 0;           // 0 at the top level
    bool seeAlso = false;              // names another keyword instead of pages
    std::vector<std::uint32_t> topics; // numbers in the topic table
};

// Calls `each` with the index's keywords in their stored order until it returns false. Never
// fails; whatever lies outside the blocks' bounds is left out.
void forEachIndexKeyword(std::string_view btree,
                         const std::function<bool(const IndexKeyword &)> &each);

} // namespace qvx::chm

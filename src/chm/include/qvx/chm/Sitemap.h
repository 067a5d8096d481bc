#pragma once

// The contents (.hhc) and index (.hhk) sitemaps: HTML lists of <OBJECT type="text/sitemap">
// entries, read leniently, as help compilers and hand editing leave them.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::chm {

// Limits that keep a hostile file from costing much; deeper entries stay at the deepest level.
inline constexpr int maxSitemapDepth = 32;
inline constexpr std::size_t maxSitemapEntries = 100000;
inline constexpr std::size_t maxSitemapTargets = 256;

// One page an entry points at. Text is UTF-8.
struct SitemapTarget
{
    std::string title;
    std::string local; // as written in the file
};

// One entry, in file order. A contents heading may have no target; an index keyword may have
// several.
struct SitemapEntry
{
    std::string name; // the index's keyword, else the entry's name
    std::vector<SitemapTarget> targets;
    int depth = 0; // 0 at the top level
};

// Reads UTF-8 sitemap text: missing closing tags, any quoting, entities. Never fails; bytes
// that are not UTF-8 pass through as they are.
std::vector<SitemapEntry> parseSitemap(std::string_view text);

// Decodes character references and the common named entities to UTF-8; unknown and invalid
// ones stay as written.
std::string decodeHtmlEntities(std::string_view text);

} // namespace qvx::chm

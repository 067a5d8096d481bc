#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::chm {

// The compiled file's table of pages: #TOPICS, with each page's path through #URLTBL and
// #URLSTR and its title in #STRINGS. The binary and full-text indexes refer to pages by their
// number here.
class TopicTable
{
public:
    // Texts as stored, in the file's code page.
    struct Topic
    {
        std::string title; // empty when the page has none
        std::string local;
    };

    TopicTable() = default;
    TopicTable(std::string topics, std::string urlTable, std::string urlStrings,
               std::string strings);

    std::size_t count() const { return m_topics.size() / entrySize; }
    // Nothing for a number past the table or an entry that points outside its tables.
    std::optional<Topic> topic(std::uint32_t number) const;

private:
    static constexpr std::size_t entrySize = 16;

    std::string m_topics;
    std::string m_urlTable;
    std::string m_urlStrings;
    std::string m_strings;
};

} // namespace qvx::chm

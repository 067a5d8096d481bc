#include "qvx/chm/Topics.h"

#include "qvx/chm/Bytes.h"

namespace qvx::chm {

TopicTable::TopicTable(std::string topics, std::string urlTable, std::string urlStrings,
                       std::string strings)
    : m_topics(std::move(topics)), m_urlTable(std::move(urlTable)),
      m_urlStrings(std::move(urlStrings)), m_strings(std::move(strings))
{
}

std::optional<TopicTable::Topic> TopicTable::topic(std::uint32_t number) const
{
    if (number >= count())
        return std::nullopt;
    const std::uint64_t entry = std::uint64_t(number) * entrySize;
    const std::optional<std::uint32_t> titleAt = u32At(m_topics, entry + 4);
    const std::optional<std::uint32_t> urlAt = u32At(m_topics, entry + 8);
    if (!titleAt || !urlAt)
        return std::nullopt;
    // A #URLTBL entry: a hash, the topic's number, the offset of its #URLSTR entry.
    const std::optional<std::uint32_t> stringAt = u32At(m_urlTable, std::uint64_t(*urlAt) + 8);
    if (!stringAt)
        return std::nullopt;
    // A #URLSTR entry: two offsets (of a web address and a frame name), then the path.
    Topic topic;
    topic.local = std::string(qvx::chm::stringAt(m_urlStrings, std::uint64_t(*stringAt) + 8));
    if (topic.local.empty())
        return std::nullopt;
    if (*titleAt != 0xFFFFFFFFu)
        topic.title = std::string(qvx::chm::stringAt(m_strings, *titleAt));
    return topic;
}

} // namespace qvx::chm

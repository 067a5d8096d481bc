#include "qvx/chm/Bytes.h"

#include <algorithm>

namespace qvx::chm {

namespace {

template <typename Value> std::optional<Value> valueAt(std::string_view data, std::uint64_t at)
{
    if (at > data.size() || data.size() - at < sizeof(Value))
        return std::nullopt;
    Value value = 0;
    for (std::size_t i = sizeof(Value); i-- > 0;)
        value = Value(value << 8 | static_cast<unsigned char>(data[std::size_t(at) + i]));
    return value;
}

} // namespace

std::optional<std::uint16_t> u16At(std::string_view data, std::uint64_t at)
{
    return valueAt<std::uint16_t>(data, at);
}

std::optional<std::uint32_t> u32At(std::string_view data, std::uint64_t at)
{
    return valueAt<std::uint32_t>(data, at);
}

std::optional<std::uint64_t> u64At(std::string_view data, std::uint64_t at)
{
    return valueAt<std::uint64_t>(data, at);
}

std::string_view stringAt(std::string_view data, std::uint64_t at, std::size_t limit)
{
    if (at >= data.size())
        return {};
    const std::string_view rest = data.substr(std::size_t(at));
    return rest.substr(0, std::min(rest.find('\0'), limit));
}

ByteCursor::ByteCursor(std::string_view data, std::size_t at)
    : m_data(data), m_at(at), m_ok(at <= data.size())
{
}

std::uint64_t ByteCursor::take(int width)
{
    const std::string_view taken = bytes(std::uint64_t(width));
    std::uint64_t value = 0;
    for (std::size_t i = taken.size(); i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(taken[i]);
    return value;
}

std::string_view ByteCursor::bytes(std::uint64_t count)
{
    if (!m_ok || count > m_data.size() - m_at) {
        m_ok = false;
        return {};
    }
    const std::string_view taken = m_data.substr(m_at, std::size_t(count));
    m_at += std::size_t(count);
    return taken;
}

std::string_view ByteCursor::string()
{
    if (!m_ok)
        return {};
    const std::size_t end = m_data.find('\0', m_at);
    if (end == std::string_view::npos) {
        m_ok = false;
        return {};
    }
    const std::string_view text = m_data.substr(m_at, end - m_at);
    m_at = end + 1;
    return text;
}

std::u16string ByteCursor::utf16String()
{
    std::u16string text;
    while (m_ok) {
        const auto unit = char16_t(u16());
        if (!m_ok || unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

std::optional<std::uint64_t> ByteCursor::encodedNumber()
{
    std::uint64_t value = 0;
    for (int count = 0; m_ok && count < 9; ++count) {
        const std::uint8_t byte = u8();
        if (!m_ok)
            break;
        value = value << 7 | (byte & 0x7f);
        if (byte < 0x80)
            return value;
    }
    m_ok = false;
    return std::nullopt;
}

std::optional<std::uint64_t> ByteCursor::encodedNumberLowFirst()
{
    std::uint64_t value = 0;
    for (int shift = 0; m_ok && shift < 63; shift += 7) {
        const std::uint8_t byte = u8();
        if (!m_ok)
            break;
        value |= std::uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
    m_ok = false;
    return std::nullopt;
}

} // namespace qvx::chm

#pragma once

// Little-endian reading of a help file's structures: every read is checked against the end of
// the bytes it was given, so that no value in a file can lead a reader outside them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::chm {

// A fixed-width little-endian value at `at`; nothing when it does not fit.
std::optional<std::uint16_t> u16At(std::string_view data, std::uint64_t at);
std::optional<std::uint32_t> u32At(std::string_view data, std::uint64_t at);
std::optional<std::uint64_t> u64At(std::string_view data, std::uint64_t at);

// A zero-terminated string at `at`, cut at the end of the data (and at `limit` bytes); empty
// when `at` lies outside.
std::string_view stringAt(std::string_view data, std::uint64_t at,
                          std::size_t limit = std::string_view::npos);

// Reads values one after the other inside its bytes. A read past the end fails, gives zero
// and leaves the cursor failed: check ok() once after a group of reads.
class ByteCursor
{
public:
    explicit ByteCursor(std::string_view data, std::size_t at = 0);
    // It only looks at the bytes: a string that ends with the statement would leave it
    // reading freed memory.
    ByteCursor(std::string &&, std::size_t = 0) = delete;

    bool ok() const { return m_ok; }
    std::size_t at() const { return m_at; }
    std::size_t left() const { return m_ok ? m_data.size() - m_at : 0; }

    std::uint8_t u8() { return std::uint8_t(take(1)); }
    std::uint16_t u16() { return std::uint16_t(take(2)); }
    std::uint32_t u32() { return std::uint32_t(take(4)); }
    std::uint64_t u64() { return take(8); }
    // `count` bytes as they are.
    std::string_view bytes(std::uint64_t count);
    void skip(std::uint64_t count) { bytes(count); }
    // Up to the next NUL, which is passed; fails when none comes.
    std::string_view string();
    // UTF-16 code units up to the next zero unit, which is passed; fails when none comes.
    std::u16string utf16String();
    // The directory's numbers: seven bits a byte, highest first, the last byte below 0x80; at
    // most nine bytes.
    std::optional<std::uint64_t> encodedNumber();
    // The full-text index's numbers: seven bits a byte, lowest first, the top bit saying
    // another follows; at most nine bytes.
    std::optional<std::uint64_t> encodedNumberLowFirst();

private:
    std::uint64_t take(int width);

    std::string_view m_data;
    std::size_t m_at;
    bool m_ok;
};

} // namespace qvx::chm

#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Texts are UTF-8. File names are bytes on some systems and need not be valid UTF-8: a
// path's text keeps its bytes, and only what is shown replaces what does not decode.
namespace qvx::text {

// The path as text: its bytes where the system names files by bytes, else UTF-8.
std::string fromPath(const std::filesystem::path &path);
// The exact inverse of fromPath.
std::filesystem::path toPath(std::string_view text);

// What the user sees: valid UTF-8, each byte that does not decode as U+FFFD.
std::string display(std::string_view bytes);

// One character of a text that may hold undecodable bytes: a code point, or a lone byte.
struct Character
{
    char32_t codePoint = 0; // U+FFFD for a lone byte
    std::size_t length = 0; // bytes taken, 1 to 4
    bool valid = false;
};
Character characterAt(std::string_view bytes, std::size_t at);
std::string encode(char32_t codePoint);

} // namespace qvx::text

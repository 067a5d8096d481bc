#pragma once

#include "qvx/platform/Win32.h"

#include <string>
#include <string_view>

// UTF-8, the core's texts, to and from the system's UTF-16. Inline, so that a tool that links
// nothing of the platform can use them too.
namespace qvx {

// With MB_ERR_INVALID_CHARS in `flags`, a text that is not UTF-8 gives an empty result.
inline std::wstring wide(std::string_view utf8, DWORD flags = 0)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), int(utf8.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring text(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, utf8.data(), int(utf8.size()), text.data(), size);
    return text;
}

inline std::string narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

} // namespace qvx

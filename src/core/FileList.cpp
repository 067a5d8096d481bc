#include "qvx/core/FileList.h"

#include "qvx/core/Text.h"

#include <algorithm>

namespace qvx {
namespace {

char32_t foldAscii(char32_t c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

} // namespace

bool FileList::matches(std::string_view name, std::string_view pattern)
{
    // Characters, not bytes: '?' takes a whole character, or one undecodable byte.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        const text::Character c = text::characterAt(name, n);
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            const text::Character q = text::characterAt(pattern, p);
            if (pattern[p] == '?' ||
                (c.valid == q.valid && foldAscii(c.codePoint) == foldAscii(q.codePoint) &&
                 (c.valid || name[n] == pattern[p]))) {
                p += q.length;
                n += c.length;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP + 1;
        starN += text::characterAt(name, starN).length;
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

void FileList::setPath(const std::filesystem::path &folder)
{
    m_path = folder;
    refresh();
}

void FileList::setPattern(std::string_view pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileList::refresh()
{
    m_names.clear();
    if (m_path.empty())
        return;
    if (m_folders) {
        for (const FolderNames::Name &name : m_folders->read(m_path)) {
            if (matches(name.bytes, m_pattern))
                m_names.push_back(name.path);
        }
    } else {
        for (std::filesystem::path &name : m_platform.listVisibleFiles(m_path)) {
            if (matches(text::fromPath(name), m_pattern))
                m_names.push_back(std::move(name));
        }
    }
    m_platform.sortNames(m_names);
}

} // namespace qvx

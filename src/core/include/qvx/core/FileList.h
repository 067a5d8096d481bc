#pragma once

#include "qvx/core/FolderNames.h"
#include "qvx/core/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// The hidden file list `filDemoFiles`: the names of one folder's files that match a
// pattern, in alphabetical order without regard to case. Read by index like a list box.
class FileList
{
public:
    // With folders given, what it reads is kept there for later look-ups.
    explicit FileList(Platform &platform, FolderNames *folders = nullptr)
        : m_platform(platform), m_folders(folders)
    {
    }

    void setPath(const std::filesystem::path &folder);
    const std::filesystem::path &path() const { return m_path; }
    void setPattern(std::string_view pattern);
    const std::string &pattern() const { return m_pattern; }

    std::size_t listCount() const { return m_names.size(); }
    const std::filesystem::path &list(std::size_t index) const { return m_names.at(index); }
    const std::vector<std::filesystem::path> &names() const { return m_names; }

    // '*' matches any run of characters and '?' any one character; ASCII letters match
    // either case.
    static bool matches(std::string_view name, std::string_view pattern);

private:
    void refresh();

    Platform &m_platform;
    FolderNames *m_folders;
    std::filesystem::path m_path;
    std::string m_pattern = "*.*";
    std::vector<std::filesystem::path> m_names;
};

} // namespace qvx

#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qvx {

// The visible file names of folders, each folder read again only when it may have changed:
// a folder of many thousand demos is read for its listing, not again at every Play.
class FolderNames
{
public:
    struct Name
    {
        std::filesystem::path path;
        std::string bytes;
        // As the demo list shows it.
        std::string shown;
    };

    explicit FolderNames(Platform &platform) : m_platform(platform) {}

    const std::vector<Name> &of(const std::filesystem::path &folder);

private:
    struct Listing
    {
        std::string state; // empty: not to be trusted again
        std::vector<Name> names;
    };

    Platform &m_platform;
    std::map<std::filesystem::path, Listing> m_listings;
};

} // namespace qvx

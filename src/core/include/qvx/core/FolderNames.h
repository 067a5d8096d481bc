#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qvx {

// The visible file names of folders. A listing reads its folders as they are now; a look-up
// takes the names the last reading kept while the folder's stamp says nothing changed: a
// folder of many thousand demos is read for its listing, not again at every Play. A stamp
// need not see every change (on Windows, hiding a file leaves the folder's time alone), so
// only a look-up may trust it.
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

    // Kept names while the folder is unchanged by its stamp, else read again.
    const std::vector<Name> &of(const std::filesystem::path &folder);
    // Read now, and kept for the look-ups that follow.
    const std::vector<Name> &read(const std::filesystem::path &folder);

private:
    const std::vector<Name> &names(const std::filesystem::path &folder, bool trustStamp);

    struct Listing
    {
        std::string state; // empty: not to be trusted again
        std::vector<Name> names;
    };

    Platform &m_platform;
    std::map<std::filesystem::path, Listing> m_listings;
};

} // namespace qvx

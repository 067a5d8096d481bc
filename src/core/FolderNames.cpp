#include "qvx/core/FolderNames.h"

#include "qvx/core/Text.h"

#include <optional>

namespace qvx {

const std::vector<FolderNames::Name> &FolderNames::of(const std::filesystem::path &folder)
{
    return names(folder, true);
}

const std::vector<FolderNames::Name> &FolderNames::read(const std::filesystem::path &folder)
{
    return names(folder, false);
}

const std::vector<FolderNames::Name> &FolderNames::names(const std::filesystem::path &folder,
                                                         bool trustStamp)
{
    // Stamped before reading, so that a change during the reading shows at the next look.
    const std::optional<FolderStamp> stamp = m_platform.folderStamp(folder);
    Listing &listing = m_listings[folder];
    const bool trusted = stamp && stamp->settled && !stamp->state.empty();
    if (trustStamp && trusted && listing.state == stamp->state)
        return listing.names;
    listing.state = trusted ? stamp->state : std::string();
    listing.names.clear();
    for (std::filesystem::path &name : m_platform.listVisibleFiles(folder)) {
        std::string bytes = text::fromPath(name);
        std::string shown = text::display(bytes);
        listing.names.push_back({std::move(name), std::move(bytes), std::move(shown)});
    }
    return listing.names;
}

} // namespace qvx

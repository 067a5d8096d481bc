#include "qvx/core/Catalogue.h"

#include "qvx/core/Text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qvx::Catalogue {
namespace {

struct SharedDemo
{
    std::string_view name;
    std::string_view note;
};

// Recorded with the Junior edition, but standing for the regular version too.
constexpr std::array<SharedDemo, 3> sharedDemos{{
    {"reports", "This QVX Jr demo also applies to the regular version with regard to basic "
                "functionality. The reports illustrated are different."},
    {"ticket setup",
     "This QVX Jr demo also applies to the regular version with regard to all functionality."},
    {"help", "This QVX Jr demo also applies to the regular version with regard to basic "
             "functionality. The general content is different."},
}};

const SharedDemo *findShared(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; });
    for (const SharedDemo &demo : sharedDemos) {
        if (lower == demo.name)
            return &demo;
    }
    return nullptr;
}

std::filesystem::path findInFolder(Platform &platform, FolderNames &folders,
                                   const std::filesystem::path &folder, std::string_view fileName)
{
    if (folder.empty())
        return {};
    const std::filesystem::path exact = folder / text::toPath(fileName);
    if (platform.isFile(exact))
        return exact;
    std::vector<std::string_view> shownSo;
    std::vector<std::string_view> shownSoButForCase;
    for (const FolderNames::Name &name : folders.of(folder)) {
        // A kept listing may name what has since stopped being a file.
        const auto take = [&](std::vector<std::string_view> &into) {
            if (platform.isFile(folder / text::toPath(name.bytes)))
                into.push_back(name.bytes);
        };
        if (name.shown == fileName)
            take(shownSo);
        else if (platform.sameNameIgnoringCase(name.shown, fileName))
            take(shownSoButForCase);
    }
    std::vector<std::string_view> &candidates = shownSo.empty() ? shownSoButForCase : shownSo;
    if (candidates.empty())
        return {};
    // The first in code-point order, whatever order the folder gives.
    return folder / text::toPath(*std::min_element(candidates.begin(), candidates.end()));
}

} // namespace

std::filesystem::path editionFolder(const std::filesystem::path &appFolder, int index)
{
    return appFolder / "Demos" / (index == 0 ? "QVX" : "QVX Jr");
}

std::string editionTag(int index)
{
    return index == 0 ? "QVX3" : "QVXJr";
}

std::filesystem::path sharedFolder(const std::filesystem::path &appFolder)
{
    return appFolder / "Demos" / "Both";
}

std::filesystem::path helpFile(const std::filesystem::path &appFolder)
{
    return appFolder / "Quorvex Demos.chm";
}

std::string displayName(const std::filesystem::path &fileName)
{
    const std::string bytes = text::fromPath(fileName);
    // The listing only holds names ending in ".exe", four single-byte characters.
    return text::display(
        std::string_view(bytes).substr(0, bytes.size() < 4 ? 0 : bytes.size() - 4));
}

bool isSharedDemoName(std::string_view text)
{
    return findShared(text) != nullptr;
}

std::string noteFor(std::string_view text)
{
    const SharedDemo *demo = findShared(text);
    return demo ? std::string(demo->note) : std::string();
}

std::filesystem::path resolvePlayPath(Platform &platform, const std::filesystem::path &appFolder,
                                      const std::filesystem::path &demoFolder,
                                      std::string_view text)
{
    FolderNames folders(platform);
    return resolvePlayPath(platform, folders, appFolder, demoFolder, text);
}

std::filesystem::path resolvePlayPath(Platform &platform, FolderNames &folders,
                                      const std::filesystem::path &appFolder,
                                      const std::filesystem::path &demoFolder,
                                      std::string_view text)
{
    if (text.empty())
        return {};
    const std::string fileName = std::string(text) + ".exe";
    const std::filesystem::path shared = sharedFolder(appFolder);
    const bool isShared = isSharedDemoName(text);
    const std::filesystem::path &first = isShared ? shared : demoFolder;
    const std::filesystem::path &second = isShared ? demoFolder : shared;
    std::filesystem::path path = findInFolder(platform, folders, first, fileName);
    if (path.empty() && !second.empty() && second != first)
        path = findInFolder(platform, folders, second, fileName);
    return path;
}

} // namespace qvx::Catalogue

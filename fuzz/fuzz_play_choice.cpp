// Which file Play starts, from any folder listing and any typed name. The first line is the
// typed text; each further line is a file, its first byte choosing the folder (even: the
// edition's, odd: the shared one) and whether the file is hidden (bit 1). The answer is a
// file of one of the two folders that the text names, the same whether the folders' listings
// are read afresh or kept, and empty only when no file fits.
#include "RecordingPlatform.h"
#include "qvx/core/Catalogue.h"
#include "qvx/core/Text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<std::string_view> lines(std::string_view data)
{
    std::vector<std::string_view> found;
    while (true) {
        const std::size_t end = data.find('\n');
        found.push_back(data.substr(0, end));
        if (end == std::string_view::npos)
            return found;
        data.remove_prefix(end + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string_view> input =
        lines(std::string_view(reinterpret_cast<const char *>(data), size));
    if (input.size() > 64)
        return 0;
    const std::string typed(input[0]);
    // A typed path ("./X", "../Both/X") names its file itself, beyond what a listing says.
    if (typed.find_first_of("/\\") != std::string::npos)
        return 0;
    const std::string editionFolder = "/app/Demos/QVX", sharedFolder = "/app/Demos/Both";

    RecordingPlatform platform;
    platform.folders.insert({"/app/Demos", editionFolder, sharedFolder});
    for (std::size_t i = 1; i < input.size(); ++i) {
        if (input[i].size() < 2)
            continue;
        const std::string name(input[i].substr(1));
        if (name.find('/') != std::string::npos || name == "." || name == "..")
            continue;
        const std::string path = (input[i][0] & 1 ? sharedFolder : editionFolder) + '/' + name;
        platform.addFile(path);
        if (input[i][0] & 2)
            platform.hidden.insert(path);
    }

    const std::filesystem::path chosen =
        qvx::Catalogue::resolvePlayPath(platform, "/app", editionFolder, typed);
    // The same from kept listings, the second time from what the first kept.
    platform.stamps[editionFolder] = {"1", true};
    platform.stamps[sharedFolder] = {"1", true};
    qvx::FolderNames kept(platform);
    for (int round = 0; round < 2; ++round)
        require(qvx::Catalogue::resolvePlayPath(platform, kept, "/app", editionFolder, typed) ==
                chosen);

    const std::string wanted = typed + ".exe";
    bool anyFits = false;
    for (const auto &[path, contents] : platform.files) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::string shown = qvx::text::display(name);
        if (!platform.hidden.count(path) &&
            (shown == wanted || platform.sameNameIgnoringCase(shown, wanted)))
            anyFits = true;
    }
    if (chosen.empty()) {
        require(typed.empty() || !anyFits);
        return 0;
    }
    const std::string path = qvx::text::fromPath(chosen);
    require(platform.files.count(path) != 0);
    const std::string folder = path.substr(0, path.rfind('/'));
    require(folder == editionFolder || folder == sharedFolder);
    const std::string shown = qvx::text::display(path.substr(folder.size() + 1));
    require(path == folder + '/' + wanted || shown == wanted ||
            platform.sameNameIgnoringCase(shown, wanted));
    // A file of exactly the name in the folder tried first always wins.
    const std::string first =
        qvx::Catalogue::isSharedDemoName(typed) ? sharedFolder : editionFolder;
    if (platform.files.count(first + '/' + wanted))
        require(path == first + '/' + wanted);
    return 0;
}

// The reader's decompression library behind its own Archive code, the input as a help file:
// open it, list the objects and read each one in chunks, as the reader would answer requests.
// Bounded, so that a file claiming huge objects costs time only for what it really holds.
#include "Archive.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kMaxObjects = 64;
constexpr std::uint32_t kChunk = 64 * 1024;
constexpr std::uint64_t kMaxBytesPerObject = 256 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace qvx::chmreader;
    static const int fd = memfd_create("help", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    auto archive = Archive::open(fd);
    if (!archive)
        return 0;
    std::vector<std::string> paths;
    archive->list([&](std::string_view path, std::uint64_t) {
        paths.emplace_back(path);
        return paths.size() < kMaxObjects;
    });
    // Names the viewer asks for whether listed or not, which some libraries look up apart.
    paths.insert(paths.end(), {"/#SYSTEM", "/#TOPICS", "/index.html", "/Missing.htm"});
    std::string bytes;
    for (const std::string &path : paths) {
        // The first chunk tells the object's size.
        std::uint64_t total = 0;
        for (std::uint64_t offset = 0;
             offset == 0 || (offset < total && offset < kMaxBytesPerObject); offset += kChunk)
            if (archive->read(path, offset, kChunk, &bytes, &total) != Status::Ok)
                break;
    }
    return 0;
}

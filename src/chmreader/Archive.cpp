#include "Archive.h"

#include "qvx/chm/Container.h"

#include <cerrno>
#include <limits>
#include <string>
#include <unistd.h>

namespace qvx::chmreader {

namespace {

std::string readAt(int descriptor, std::uint64_t offset, std::size_t length)
{
    std::string bytes(length, '\0');
    if (offset > std::uint64_t(std::numeric_limits<off_t>::max()))
        return {};
    ssize_t got;
    do
        got = ::pread(descriptor, bytes.data(), length, off_t(offset));
    while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? std::size_t(got) : 0);
    return bytes;
}

} // namespace

bool Archive::headersSound(int descriptor)
{
    const std::optional<chm::FileHeader> file =
        chm::parseFileHeader(readAt(descriptor, 0, chm::FileHeader::readLength));
    if (!file)
        return false;
    const std::optional<chm::DirectoryHeader> directory = chm::parseDirectoryHeader(
        readAt(descriptor, file->directoryOffset, chm::DirectoryHeader::length));
    // The library shifts by the density, and adds offsets to where the content starts in a
    // signed type: values past those bounds would make its arithmetic undefined.
    return directory && directory->quickRefDensity < 31 &&
           file->contentOffset <= std::uint64_t(std::numeric_limits<off_t>::max());
}

} // namespace qvx::chmreader

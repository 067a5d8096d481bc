#pragma once

// The help file check's reading, on chmlib alone: the probe program runs it, and so may tools
// that cannot start the program for every file (the fuzz targets).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ChmProbeReading {

struct Object
{
    int space;
    std::uint64_t start;
    std::uint64_t length;
};

// The file's objects, as listed in the first stage and read in the second.
struct Listing
{
    std::uint64_t budget; // entries listed at most; a listing going past it loops
    std::vector<Object> objects;
    bool looping = false;
};

// A listing's budget for a file of this size.
Listing listingFor(std::uint64_t fileSize);

// Reads, on a handle of its own and in the viewer's order, what the viewer needs to show the
// first page; `cleared` gets the paths that came through. False when the file is refused.
bool readFirstStage(const char *path, Listing *listing, std::vector<std::string> *cleared);
// Puts the listing in the order the data lies, so that each compressed block is decompressed
// once in the second stage.
void sortByPlace(Listing *listing);
// The second stage, or part of it: the objects [from, to) of a sorted listing, on a handle of
// its own. False when the file does not open.
bool readObjects(const char *path, const std::vector<Object> &objects, std::size_t from,
                 std::size_t to);
// Both stages in this process, as one verdict. It does not guard against chmlib's faults: the
// caller does, and bounds the time.
bool readWholeFile(const char *path, std::uint64_t fileSize);

} // namespace ChmProbeReading

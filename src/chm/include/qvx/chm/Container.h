#pragma once

// The container a compiled help file is: its headers, the directory's listing chunks and the
// compression's tables, as far as the checks made before a decompression library sees a file
// need them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace qvx::chm {

// Objects the compressed section is described by.
inline constexpr const char *resetTablePath =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";
inline constexpr const char *controlDataPath = "::DataSpace/Storage/MSCompressed/ControlData";
inline constexpr const char *contentPath = "::DataSpace/Storage/MSCompressed/Content";

// The file's first header ("ITSF").
struct FileHeader
{
    static constexpr std::size_t readLength = 0x60; // what to read to parse it
    std::uint64_t directoryOffset = 0;
    std::uint64_t contentOffset = 0; // where the objects of section 0 start
};
std::optional<FileHeader> parseFileHeader(std::string_view bytes);

// The directory's header ("ITSP").
struct DirectoryHeader
{
    static constexpr std::size_t length = 0x54;
    std::uint32_t headerLength = 0; // as the file states it
    std::uint32_t blockLength = 0;
    std::uint32_t quickRefDensity =
        0; // a listing chunk has a quick reference every 2^n + 1 entries
    std::int32_t firstListing = -1;
    std::uint32_t blocks = 0;
};
std::optional<DirectoryHeader> parseDirectoryHeader(std::string_view bytes);

// A directory chunk that lists objects ("PMGL"), and the listing chunk after it (-1 for none).
bool isListingChunk(std::string_view chunk);
std::int32_t nextListingChunk(std::string_view chunk);

struct DirectoryEntry
{
    std::uint64_t space = 0;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};
// Calls `each` with every entry of a listing chunk, up to the first one it cannot read.
void forEachListingEntry(std::string_view chunk,
                         const std::function<void(std::string_view, const DirectoryEntry &)> &each);

// The head of the reset table: where each compressed block starts.
struct ResetTable
{
    static constexpr std::size_t headerLength = 0x28;
    std::uint32_t version = 0;
    std::uint32_t blockCount = 0;
    std::uint32_t tableOffset = 0;
    std::uint64_t compressedLength = 0;
    std::uint64_t blockLength = 0;
};
std::optional<ResetTable> parseResetTable(std::string_view bytes);

// The LZX parameters of the control data, with the sizes the decompression library computes
// from them in 32 bits, wrapping where its arithmetic wraps.
struct LzxControl
{
    std::uint32_t version = 0;
    std::uint32_t resetInterval = 0;
    std::uint32_t windowSize = 0;
    std::uint32_t windowsPerReset = 0;
};
std::optional<LzxControl> parseControlData(std::string_view bytes);

// Whether a decompressor can be set up from the parameters: an LZX window of 2^15 to 2^21
// bytes, a reset interval of whole half windows, and no division by zero on the way.
bool compressionParametersSound(const LzxControl &control, const ResetTable &table);

} // namespace qvx::chm

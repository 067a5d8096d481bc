#pragma once
// What the program and qvx-chmreader say to each other over their socket pair. Each message
// is a frame: a little-endian u32 length, then that many bytes. The reader speaks first, once,
// to say whether it opened the file; then each request gets exactly one answer. Every value is
// checked against the end of its frame, and a frame with bytes left over does not decode.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::chmreader {

// The library matches paths of up to 512 characters; twice that leaves room for UTF-8.
inline constexpr std::uint32_t kMaxPathBytes = 1024;
inline constexpr std::uint32_t kMaxRequestBytes = kMaxPathBytes + 32;
// One read answers at most this much; larger objects are read in ranges. The largest pages of
// real help files are under 1 MiB, so a page usually takes one request.
inline constexpr std::uint32_t kMaxChunkBytes = 1024 * 1024;
// A listing page fills at most this much of its answer.
inline constexpr std::uint32_t kListPageBytes = 512 * 1024;
inline constexpr std::uint32_t kMaxAnswerBytes = kMaxChunkBytes + 64;

enum class Op : std::uint8_t {
    Hello = 1, // from the reader, unasked: the file is open or not
    List = 2,  // the objects from index `first` on, as many as fit a page
    Read = 4,  // `length` bytes of an object from `offset` (fewer at its end), and its size
};

enum class Status : std::uint8_t {
    Ok = 0,
    NotFound = 1, // no such object
    Failed = 2,   // the library could not open the file or read the object
};

// The walls the reader stands behind, as its Hello tells them: a bit for each layer in force.
enum Layer : std::uint32_t {
    kLayerNoPrivileges = 1u << 0,     // holds no capability and is not root
    kLayerNoNewPrivileges = 1u << 1,  // no program it could start gains any
    kLayerSystemCallFilter = 1u << 2, // only the calls reading and answering need
    kLayerNamespaces = 1u << 3,       // a network of nothing and an empty file system
    kLayerLandlock = 1u << 4,         // no file system access through any path
    kLayerDescriptors = 1u << 5,      // holds the file and the socket, nothing else
};

struct Request
{
    Op op = Op::List;
    std::uint32_t first = 0;
    std::string path;
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
};

struct Entry
{
    std::string path;
    std::uint64_t size = 0;

    bool operator==(const Entry &) const = default;
};

struct Answer
{
    Op op = Op::Hello;
    Status status = Status::Ok;
    // Hello: the reader's Layer bits.
    std::uint32_t layers = 0;
    // List: how many objects there are in all, whether the listing stopped at a damaged
    // directory, and this page's part of them.
    std::uint32_t total = 0;
    bool partial = false;
    std::vector<Entry> entries;
    // Read: the object's whole size.
    std::uint64_t size = 0;
    // Read: the range asked for.
    std::string bytes;
};

std::string encodeRequest(const Request &request);
std::optional<Request> decodeRequest(std::string_view payload);
std::string encodeAnswer(const Answer &answer);
std::optional<Answer> decodeAnswer(std::string_view payload);

// The payload with its length in front.
std::string framed(std::string_view payload);
// The length a frame's four header bytes announce, if it is within the limit.
std::optional<std::uint32_t> frameLength(const unsigned char header[4], std::uint32_t limit);

// What a list entry costs in a listing answer.
std::size_t encodedSize(const Entry &entry);

} // namespace qvx::chmreader

#include "Archive.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mspack.h>
#include <new>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace qvx::chmreader {

namespace {

// libmspack reads and writes through a table of functions: the help file is read from the
// descriptor the reader was handed, each handle at its own place, and what it extracts goes to
// the string the current read fills. Nothing is opened by name, which the confined reader may
// not do.
struct Handle
{
    int fd = -1;         // the help file, when reading
    off_t at = 0;        // where this handle reads next
    std::string *sink{}; // the extracted bytes, when writing
    std::size_t limit{}; // the most the sink takes
};

struct System
{
    mspack_system base;  // first, so that libmspack's pointer is ours
    int fd = -1;         // the help file
    std::string *sink{}; // where the next extraction goes
    std::size_t limit{};
};

mspack_file *openFile(mspack_system *self, const char *, int mode)
{
    auto *system = reinterpret_cast<System *>(self);
    auto *handle = new (std::nothrow) Handle;
    if (handle == nullptr)
        return nullptr;
    if (mode == MSPACK_SYS_OPEN_WRITE && system->sink != nullptr) {
        handle->sink = system->sink;
        handle->limit = system->limit;
    } else if (mode == MSPACK_SYS_OPEN_READ && system->fd >= 0) {
        handle->fd = system->fd;
    } else {
        delete handle;
        return nullptr;
    }
    return reinterpret_cast<mspack_file *>(handle);
}

void closeFile(mspack_file *file)
{
    delete reinterpret_cast<Handle *>(file);
}

// The header's two class identifiers, as the library insists on them. Some help compilers
// write the first one twice; nothing is decoded from either, so such a file is read as if it
// carried the second.
constexpr std::size_t kSecondGuidAt = 0x28;
constexpr unsigned char kGuids[2][16] = {{0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11, 0x9E,
                                          0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC},
                                         {0x11, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11, 0x9E,
                                          0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC}};

int readFile(mspack_file *file, void *buffer, int bytes)
{
    auto *handle = reinterpret_cast<Handle *>(file);
    if (handle->fd < 0 || bytes < 0)
        return -1;
    const off_t at = handle->at;
    ssize_t got;
    do
        got = ::pread(handle->fd, buffer, std::size_t(bytes), at);
    while (got < 0 && errno == EINTR);
    if (got > 0)
        handle->at += got;
    auto *read = static_cast<unsigned char *>(buffer);
    if (at == 0 && got >= ssize_t(kSecondGuidAt + 16) &&
        std::memcmp(read + kSecondGuidAt, kGuids[0], 16) == 0)
        std::memcpy(read + kSecondGuidAt, kGuids[1], 16);
    return int(got);
}

int writeFile(mspack_file *file, void *buffer, int bytes)
{
    auto *handle = reinterpret_cast<Handle *>(file);
    if (handle->sink == nullptr || bytes < 0 ||
        std::size_t(bytes) > handle->limit - handle->sink->size())
        return -1;
    handle->sink->append(static_cast<const char *>(buffer), std::size_t(bytes));
    return bytes;
}

int seekFile(mspack_file *file, off_t offset, int mode)
{
    auto *handle = reinterpret_cast<Handle *>(file);
    if (handle->fd < 0)
        return -1;
    off_t base = 0;
    if (mode == MSPACK_SYS_SEEK_CUR)
        base = handle->at;
    else if (mode == MSPACK_SYS_SEEK_END && (base = ::lseek(handle->fd, 0, SEEK_END)) < 0)
        return -1;
    off_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0)
        return -1;
    handle->at = to;
    return 0;
}

off_t tellFile(mspack_file *file)
{
    auto *handle = reinterpret_cast<Handle *>(file);
    return handle->fd < 0 ? off_t(-1) : handle->at;
}

// Its complaints about a damaged file are answered by the status of the request.
void message(mspack_file *, const char *, ...) {}

void *allocate(mspack_system *, std::size_t bytes)
{
    return std::malloc(bytes);
}

void release(void *pointer)
{
    std::free(pointer);
}

void copy(void *from, void *to, std::size_t bytes)
{
    std::memmove(to, from, bytes);
}

std::string folded(std::string_view path)
{
    std::string key(path);
    for (char &c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return key;
}

class MspackArchive final : public Archive
{
public:
    MspackArchive() = default;
    ~MspackArchive() override
    {
        if (m_header != nullptr)
            m_chm->close(m_chm, m_header);
        if (m_chm != nullptr)
            mspack_destroy_chm_decompressor(m_chm);
    }
    MspackArchive(const MspackArchive &) = delete;
    MspackArchive &operator=(const MspackArchive &) = delete;

    bool open(int descriptor)
    {
        m_system.base = {openFile, closeFile, readFile, writeFile, seekFile, tellFile,
                         message,  allocate,  release,  copy,      nullptr};
        m_system.fd = descriptor;
        m_chm = mspack_create_chm_decompressor(&m_system.base);
        if (m_chm == nullptr)
            return false;
        // The library keeps the name, not a copy, to reopen the file for each extraction; the
        // name stands for the descriptor.
        m_header = m_chm->open(m_chm, kName);
        if (m_header == nullptr)
            return false;
        // Ordinary objects come in directory order, the system's ones (names beginning
        // "::", which sort after them) reversed.
        for (mschmd_file *file = m_header->files; file != nullptr; file = file->next)
            m_objects.push_back(file);
        const std::size_t ordinary = m_objects.size();
        for (mschmd_file *file = m_header->sysfiles; file != nullptr; file = file->next)
            m_objects.push_back(file);
        std::reverse(m_objects.begin() + std::ptrdiff_t(ordinary), m_objects.end());
        // Names are found regardless of ASCII case, as help files' links expect; the first
        // of two that differ only so wins.
        for (mschmd_file *file : m_objects)
            m_byName.try_emplace(folded(file->filename), file);
        return true;
    }

    using Visit = std::function<bool(std::string_view, std::uint64_t)>;

    void list(const Visit &visit) override
    {
        for (mschmd_file *file : m_objects)
            if (!visit(file->filename, std::uint64_t(file->length)))
                return;
    }

    Status read(const std::string &path, std::uint64_t offset, std::uint32_t length,
                std::string *bytes, std::uint64_t *size) override
    {
        const mschmd_file *file = find(path);
        if (file == nullptr)
            return Status::NotFound;
        const std::uint64_t total = std::uint64_t(file->length);
        *size = total;
        bytes->clear();
        if (offset >= total || length == 0)
            return Status::Ok;
        const std::uint64_t wanted = std::min<std::uint64_t>(length, total - offset);
        // A range is the same section's bytes further on: extracting that span alone lets
        // the library start from the nearest reset point instead of the object's start.
        constexpr auto kMaxOffset = std::uint64_t(std::numeric_limits<off_t>::max());
        if (std::uint64_t(file->offset) > kMaxOffset - offset)
            return Status::Failed;
        // The library adds where the uncompressed section starts in a signed type.
        if (file->section->id == 0 && std::uint64_t(m_header->sec0.offset) >
                                          kMaxOffset - std::uint64_t(file->offset) - offset)
            return Status::Failed;
        mschmd_file span = *file;
        span.next = nullptr;
        span.offset = off_t(std::uint64_t(file->offset) + offset);
        span.length = off_t(wanted);
        bytes->reserve(std::size_t(wanted));
        m_system.sink = bytes;
        m_system.limit = std::size_t(wanted);
        const int error = m_chm->extract(m_chm, &span, "");
        m_system.sink = nullptr;
        if (error != MSPACK_ERR_OK || bytes->size() != wanted) {
            bytes->clear();
            return Status::Failed;
        }
        return Status::Ok;
    }

private:
    const mschmd_file *find(const std::string &path)
    {
        const std::string key = folded(path);
        if (const auto found = m_byName.find(key); found != m_byName.end())
            return found->second;
        // Some help compilers name a later chunk as the directory's first, and the library
        // lists from there; the directory's index still finds what comes before it.
        if (const auto found = m_foundApart.find(key); found != m_foundApart.end())
            return &found->second;
        mschmd_file file{};
        if (path.find('\0') != std::string::npos ||
            m_chm->fast_find(m_chm, m_header, path.c_str(), &file, int(sizeof file)) !=
                MSPACK_ERR_OK ||
            file.section == nullptr)
            return nullptr;
        file.next = nullptr;
        file.filename = nullptr;
        return &m_foundApart.emplace(key, file).first->second;
    }

    static constexpr char kName[] = "help file";
    System m_system{};
    mschm_decompressor *m_chm = nullptr;
    mschmd_header *m_header = nullptr;
    std::vector<mschmd_file *> m_objects;
    std::unordered_map<std::string, mschmd_file *> m_byName;
    std::unordered_map<std::string, mschmd_file> m_foundApart;
};

} // namespace

const bool Archive::kOpensByName = false;

std::unique_ptr<Archive> Archive::open(int descriptor)
{
    if (!headersSound(descriptor))
        return nullptr;
    auto archive = std::make_unique<MspackArchive>();
    if (!archive->open(descriptor))
        return nullptr;
    return archive;
}

} // namespace qvx::chmreader

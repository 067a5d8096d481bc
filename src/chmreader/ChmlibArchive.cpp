#include "Archive.h"

#include "qvx/posix/Descriptor.h"

#include <string>

#include <algorithm>
#include <chm_lib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvx::chmreader {

namespace {

class ChmlibArchive final : public Archive
{
public:
    ChmlibArchive(chmFile *file, int descriptor) : m_file(file), m_descriptor(descriptor) {}
    ~ChmlibArchive() override { chm_close(m_file); }
    ChmlibArchive(const ChmlibArchive &) = delete;
    ChmlibArchive &operator=(const ChmlibArchive &) = delete;

    using Visit = std::function<bool(std::string_view, std::uint64_t)>;

    void list(const Visit &visit) override
    {
        // Directory names are not objects, and not every library lists them.
        chm_enumerate(
            m_file, CHM_ENUMERATE_ALL & ~CHM_ENUMERATE_DIRS,
            [](chmFile *, chmUnitInfo *unit, void *context) {
                const Visit &call = *static_cast<const Visit *>(context);
                return call(unit->path, unit->length) ? CHM_ENUMERATOR_CONTINUE
                                                      : CHM_ENUMERATOR_SUCCESS;
            },
            const_cast<void *>(static_cast<const void *>(&visit)));
    }

    Status read(const std::string &path, std::uint64_t offset, std::uint32_t length,
                std::string *bytes, std::uint64_t *size) override
    {
        chmUnitInfo unit{};
        if (!resolve(path, &unit))
            return Status::NotFound;
        *size = unit.length;
        bytes->clear();
        if (offset >= unit.length || length == 0)
            return Status::Ok;
        const std::uint64_t wanted = std::min<std::uint64_t>(length, unit.length - offset);
        bytes->resize(std::size_t(wanted));
        const LONGINT64 got =
            chm_retrieve_object(m_file, &unit, reinterpret_cast<unsigned char *>(bytes->data()),
                                offset, LONGINT64(wanted));
        if (got != LONGINT64(wanted)) {
            bytes->clear();
            return Status::Failed;
        }
        return Status::Ok;
    }

private:
    bool resolve(const std::string &path, chmUnitInfo *unit)
    {
        // The library copies the path into a buffer of its own size.
        return path.size() <= CHM_MAX_PATHLEN && path.find('\0') == std::string::npos &&
               chm_resolve_object(m_file, path.c_str(), unit) == CHM_RESOLVE_SUCCESS;
    }

    int ownDescriptor() const override { return m_descriptor; }

    chmFile *m_file;
    int m_descriptor;
};

// Where the next open lands: the lowest free descriptor, as the reader runs one thread.
int nextDescriptor()
{
    const posix::Descriptor probe(::dup(0));
    return probe.get();
}

} // namespace

const bool Archive::kOpensByName = true;

std::unique_ptr<Archive> Archive::open(int descriptor)
{
    if (!headersSound(descriptor))
        return nullptr;
    const int next = nextDescriptor();
    chmFile *file = chm_open(("/proc/self/fd/" + std::to_string(descriptor)).c_str());
    if (file == nullptr)
        return nullptr;
    // The library keeps no way to ask it for its descriptor: it is the one it just took.
    struct stat handed
    {
    };
    struct stat opened
    {
    };
    if (next < 0 || ::fstat(descriptor, &handed) != 0 || ::fstat(next, &opened) != 0 ||
        handed.st_dev != opened.st_dev || handed.st_ino != opened.st_ino) {
        chm_close(file);
        return nullptr;
    }
    return std::make_unique<ChmlibArchive>(file, next);
}

} // namespace qvx::chmreader

#include "Archive.h"

#include <algorithm>
#include <chm_lib.h>

namespace qvx::chmreader {

namespace {

class ChmlibArchive final : public Archive
{
public:
    explicit ChmlibArchive(chmFile *file) : m_file(file) {}
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

    Status size(const std::string &path, std::uint64_t *size) override
    {
        chmUnitInfo unit{};
        if (!resolve(path, &unit))
            return Status::NotFound;
        *size = unit.length;
        return Status::Ok;
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

    chmFile *m_file;
};

} // namespace

std::unique_ptr<Archive> Archive::open(const std::string &name)
{
    chmFile *file = chm_open(name.c_str());
    if (file == nullptr)
        return nullptr;
    return std::make_unique<ChmlibArchive>(file);
}

} // namespace qvx::chmreader

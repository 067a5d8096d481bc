#pragma once
// The help file as the decompression library sees it. Only the reader program links this;
// changing the library means changing the one file behind this interface.
#include "qvx/chmreader/Protocol.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qvx::chmreader {

class Archive
{
public:
    // Our own bounds-checked look at the file's headers, before any library sees them: false
    // for a file the library would misread.
    static bool headersSound(int descriptor);
    // Reads the file behind the descriptor, if its headers are sound; null when the library
    // refuses it.
    static std::unique_ptr<Archive> open(int descriptor);
    // Whether the library opens the file by a name of its own, which a confined reader cannot:
    // then the file is opened before the confinement.
    static const bool kOpensByName;
    // The descriptor such a library opened for itself, which the reader keeps; or -1.
    virtual int ownDescriptor() const { return -1; }
    virtual ~Archive() = default;

    // Calls `visit` for each object in directory order until it returns false.
    virtual void
    list(const std::function<bool(std::string_view path, std::uint64_t size)> &visit) = 0;
    // Up to `length` bytes from `offset`, fewer only at the object's end, and the object's
    // size.
    virtual Status read(const std::string &path, std::uint64_t offset, std::uint32_t length,
                        std::string *bytes, std::uint64_t *size) = 0;
};

} // namespace qvx::chmreader

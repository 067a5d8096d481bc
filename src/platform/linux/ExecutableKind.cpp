#include "qvx/platform/ExecutableKind.h"

namespace qvx::posix {

ExecutableKind classifyExecutable(std::string_view head, std::uint64_t fileSize)
{
    using namespace std::string_view_literals;
    if (head.starts_with("\x7f"
                         "ELF"sv))
        return ExecutableKind::Native;
    if (head.starts_with("#!"sv))
        return ExecutableKind::Script;
    if (head.size() >= 0x40 && head.starts_with("MZ"sv)) {
        std::uint64_t peOffset = 0;
        for (int i = 3; i >= 0; --i)
            peOffset = peOffset << 8 | static_cast<unsigned char>(head[0x3C + std::size_t(i)]);
        // The signature must lie inside both the file and what we read of it.
        if (peOffset + 4 <= fileSize && peOffset + 4 <= head.size() &&
            head.substr(std::size_t(peOffset), 4) == "PE\0\0"sv)
            return ExecutableKind::Windows;
    }
    return ExecutableKind::NotExecutable;
}

} // namespace qvx::posix

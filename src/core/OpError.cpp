#include "qvx/core/OpError.h"

#include "qvx/core/Text.h"

namespace qvx::OpError {

static std::string_view describe(int number)
{
    switch (number) {
    case FileNotFound:
        return "File not found";
    case DiskFull:
        return "Disk full";
    case PermissionDenied:
        return "Permission denied";
    case PathNotFound:
        return "Path not found";
    default:
        return "Path/File access error";
    }
}

OpResult make(int number, std::string_view detail)
{
    std::string text(describe(number));
    if (!detail.empty())
        text += ": " + text::display(detail);
    return {number, text};
}

} // namespace qvx::OpError

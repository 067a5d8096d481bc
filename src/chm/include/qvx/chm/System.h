#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::chm {

// What a help file says about itself in its #SYSTEM object, as stored: texts in the file's code
// page, paths without a leading "/".
struct SystemRecords
{
    bool valid = false;
    std::uint32_t lcid = 0;
    std::string contentsFile;
    std::string indexFile;
    std::string defaultTopic;
    std::string title;
};

// Reads a whole #SYSTEM object; records that run past its end are dropped.
SystemRecords parseSystem(std::string_view data);

// The Windows code page of a language (LCID), by the name text converters know it by.
const char *encodingForLcid(std::uint32_t lcid);

} // namespace qvx::chm

#pragma once

#include "qvx/core/Platform.h"

#include <cstddef>
#include <string>
#include <string_view>

// Names and texts of the preparation of delivered demo archives.
namespace qvx::Prepare {

// The names that an archive's file name leads to, as path texts.
struct DerivedNames
{
    // The file the running archive is expected to write, such as "Qvx3_Tic.exe".
    std::string unpackedFile;
    // The prepared demo, such as "QVX3 Ticket Setup.exe".
    std::string demoFile;
};

// Applies the naming rules to an archive's file name (name and extension, no folder).
// Rules count characters, never cutting one; a byte that does not decode counts as one
// and keeps its value.
DerivedNames deriveNames(Platform &platform, std::string_view archiveName);

// The question asked before anything is touched; lines break with a lone carriage return.
std::string promptText(std::size_t archiveCount, bool bCalledFromButtonClick);

// What the user is told when a step fails.
std::string failureText(const OpResult &failure);

} // namespace qvx::Prepare

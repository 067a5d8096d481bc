#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvx::posix {

enum class ExecutableKind { NotExecutable, Native, Script, Windows };

// Tells what kind of program a file holds from its first bytes. `head` is the start of the
// file (enough to reach the PE header when there is one), `fileSize` its full size.
ExecutableKind classifyExecutable(std::string_view head, std::uint64_t fileSize);

// How many leading bytes classifyExecutable may need.
inline constexpr std::size_t executableHeadSize = 4096;

} // namespace qvx::posix

#pragma once

#include "qvx/core/Platform.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// File operations on a system that names files by bytes, reporting failures with the
// user-facing numbers. Details in the descriptions show the path as the user sees it.
namespace qvx::posix {

// Maps a C errno value met while working on a file to the failure numbers.
OpResult resultFromErrno(int err, std::string_view detail = {});
// The same for a failure on a path: a missing file whose folder is missing too is a
// missing path.
OpResult resultForFile(int err, const std::filesystem::path &path);

bool isFolder(const std::filesystem::path &path);
bool isFile(const std::filesystem::path &path);
// Does not follow a final link.
bool exists(const std::filesystem::path &path);
bool sameFile(const std::filesystem::path &first, const std::filesystem::path &second);
// A descriptor open for reading (close-on-exec), or -1 with errno set. Never waits on a
// FIFO or a device, and opens nothing but a regular file (EINVAL otherwise).
int openForReading(const std::filesystem::path &path);

// Regular files only, dot files and broken links left out, in the folder's order.
std::vector<std::filesystem::path> listVisibleFiles(const std::filesystem::path &folder);
// From the folder's identity and its change times; none for what is not a folder.
std::optional<FolderStamp> folderStamp(const std::filesystem::path &folder);

// Writes the copy beside the destination as ".qvx-copy-XXXXXX", locked while it is written,
// and renames it over the destination.
OpResult copyReplacing(const std::filesystem::path &source,
                       const std::filesystem::path &destination);
// Removes the unlocked partial copies of that naming in the folder (not in its sub-folders):
// those a killed run left. How many it removed.
int removeLeftoverCopies(const std::filesystem::path &folder);
OpResult makeWritable(const std::filesystem::path &path);
OpResult makeExecutable(const std::filesystem::path &path);
OpResult remove(const std::filesystem::path &path);
OpResult canCreateFiles(const std::filesystem::path &folder);

} // namespace qvx::posix

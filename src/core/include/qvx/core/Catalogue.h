#pragma once

#include "qvx/core/FolderNames.h"
#include "qvx/core/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>

// Where demos lie, how their names are shown, which shared demos carry a note, and which
// file Play starts.
namespace qvx::Catalogue {

// Index 0 is Quorvex; any other index is Quorvex Junior.
std::filesystem::path editionFolder(const std::filesystem::path &appFolder, int index);
std::string editionTag(int index);
std::filesystem::path sharedFolder(const std::filesystem::path &appFolder);
std::filesystem::path helpFile(const std::filesystem::path &appFolder);

// A demo's file name less its last four characters, as shown in the list.
std::string displayName(const std::filesystem::path &fileName);

// Whether the whole text, in lower case, is one of the three shared demo names.
bool isSharedDemoName(std::string_view text);
// The note shown for a shared demo while Quorvex is selected; empty for any other name.
std::string noteFor(std::string_view text);

// The file Play starts for the text of the demo list, or empty when there is none.
// The shared names play from the shared folder and the rest from the edition folder;
// when that folder lacks the file, the other one is tried. Without an exact match, a name
// shown as the text is taken (names that do not decode are shown with replacements), then
// one that differs only in letter case, as file names do on Windows.
std::filesystem::path resolvePlayPath(Platform &platform, const std::filesystem::path &appFolder,
                                      const std::filesystem::path &demoFolder,
                                      std::string_view text);
// The same, taking the folders' names from listings that are kept while they stay fresh.
std::filesystem::path resolvePlayPath(Platform &platform, FolderNames &folders,
                                      const std::filesystem::path &appFolder,
                                      const std::filesystem::path &demoFolder,
                                      std::string_view text);

} // namespace qvx::Catalogue

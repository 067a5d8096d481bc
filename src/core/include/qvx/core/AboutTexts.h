#pragma once

#include <string>
#include <string_view>

// The texts the About window sets at load. Lines break with a lone carriage return.
namespace qvx::about {

std::string captionText();
std::string titleText();
std::string descriptionText();
// "Version 2.0.0", a carriage return, then the copyright text.
std::string versionText(std::string_view legalCopyright);
// The maker's five contact lines.
std::string contactText();

} // namespace qvx::about

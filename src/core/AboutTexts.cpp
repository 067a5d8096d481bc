#include "qvx/core/AboutTexts.h"

#include "BuildInfo.h"

namespace qvx::about {

std::string captionText()
{
    return std::string("About ") + BuildInfo::productName;
}

std::string titleText()
{
    return BuildInfo::productName;
}

std::string descriptionText()
{
    return "The Quorvex Demo Player allows you to easily select and view various demos of "
           "Quorvex and Quorvex Junior.";
}

std::string versionText(std::string_view legalCopyright)
{
    return "Version " + std::to_string(BuildInfo::versionMajor) + '.' +
           std::to_string(BuildInfo::versionMinor) + '.' +
           std::to_string(BuildInfo::versionRevision) + '\r' + std::string(legalCopyright);
}

std::string contactText()
{
    // The spaces line the values up in the window's proportional font.
    return std::string("Brenlowe\rPhone:  ") + BuildInfo::makerPhone +
           "\rFax:       " + BuildInfo::makerFax + "\rE-mail:   " + BuildInfo::makerEmail +
           "\rWeb:     " + BuildInfo::makerWeb;
}

} // namespace qvx::about

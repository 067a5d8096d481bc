#include "qvx/core/DemoNames.h"

#include "qvx/core/Text.h"

namespace qvx::Prepare {
namespace {

constexpr int droppedLeadingChars = 4;
constexpr int unpackedNameChars = 3;
constexpr int maxUnderscoresReplaced = 11;

// Where the character `count` characters after `from` begins, or the end of the text.
std::size_t skipChars(std::string_view text, std::size_t from, int count)
{
    while (count-- > 0 && from < text.size())
        from += text::characterAt(text, from).length;
    return from;
}

void upperCaseAt(Platform &platform, std::string &name, std::size_t at)
{
    if (at >= name.size())
        return;
    const text::Character c = text::characterAt(name, at);
    if (!c.valid)
        return;
    const char32_t upper = platform.upperCase(c.codePoint);
    if (upper != c.codePoint)
        name.replace(at, c.length, text::encode(upper));
}

} // namespace

DerivedNames deriveNames(Platform &platform, std::string_view archiveName)
{
    std::string name(archiveName.substr(skipChars(archiveName, 0, droppedLeadingChars)));
    upperCaseAt(platform, name, 0);

    DerivedNames names;
    names.unpackedFile = "Qvx3_" + name.substr(0, skipChars(name, 0, unpackedNameChars)) + ".exe";

    for (int pass = 0; pass < maxUnderscoresReplaced; ++pass) {
        const std::size_t at = name.find('_');
        if (at == std::string::npos)
            break;
        name[at] = ' ';
        upperCaseAt(platform, name, at + 1);
    }
    names.demoFile = "QVX3 " + name;
    return names;
}

std::string promptText(std::size_t archiveCount, bool bCalledFromButtonClick)
{
    std::string text;
    if (!bCalledFromButtonClick)
        text = archiveCount == 1 ? "A new demo has been found." : "New demos have been found.";
    return text + " The program will take a moment to prepare the files.\r\r"
                  "The DOS window will open as the files are extracted. If it does not close "
                  "automatically, you may close it when the process is finished.";
}

std::string failureText(const OpResult &failure)
{
    return std::to_string(failure.number) + ' ' + failure.description +
           "\r\rCan not prepare demo. Contact Brenlowe for assistance.";
}

} // namespace qvx::Prepare

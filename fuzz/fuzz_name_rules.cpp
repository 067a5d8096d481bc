// The naming rules on any archive name: no crash, no read outside the text, and results
// of the promised shape. The first byte chooses how the rest is read: as the name's bytes,
// or as UTF-16 units turned into UTF-8 (lone surrogates into bytes that do not decode).
#include "qvx/core/DemoNames.h"
#include "qvx/core/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Only the letter-case rule is asked for; it maps some characters to longer or shorter
// encodings, as real case rules do.
class CasePlatform final : public qvx::Platform
{
public:
    char32_t upperCase(char32_t c) override
    {
        if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            return c - 0x20;
        if (c == 0x131) // dotless i: two bytes to one
            return U'I';
        if (c == 0x250) // turned a: two bytes to three
            return 0x2C6F;
        return c;
    }

    std::filesystem::path applicationFolder() const override { return {}; }
    void setApplicationHelpFile(const std::filesystem::path &) override {}
    void setPointer(qvx::Pointer) override {}
    void processEvents() override {}
    qvx::OpResult startProgram(const std::filesystem::path &,
                               const std::filesystem::path &) override
    {
        return {};
    }
    qvx::OpResult startTracked(const std::filesystem::path &, const std::filesystem::path &,
                               std::unique_ptr<qvx::TrackedProgram> &) override
    {
        return {};
    }
    void shellOpen(const std::string &) override {}
    void htmlHelp(qvx::WindowHandle, const std::string &, qvx::HelpCommand) override {}
    qvx::Answer messageBox(const std::string &, qvx::MessageIcon, qvx::MessageButtons,
                           const std::string &) override
    {
        return qvx::Answer::Ok;
    }
    std::vector<std::filesystem::path> listVisibleFiles(const std::filesystem::path &) override
    {
        return {};
    }
    bool isFile(const std::filesystem::path &) override { return false; }
    bool exists(const std::filesystem::path &) override { return false; }
    bool sameFile(const std::filesystem::path &, const std::filesystem::path &) override
    {
        return false;
    }
    qvx::OpResult canCreateFiles(const std::filesystem::path &) override { return {}; }
    qvx::OpResult copyFile(const std::filesystem::path &, const std::filesystem::path &) override
    {
        return {};
    }
    qvx::OpResult resetAttributes(const std::filesystem::path &) override { return {}; }
    qvx::OpResult makeExecutable(const std::filesystem::path &) override { return {}; }
    qvx::OpResult deleteFile(const std::filesystem::path &) override { return {}; }
    std::filesystem::path tempFolder() override { return {}; }
    void sortNames(std::vector<std::filesystem::path> &) override {}
    bool sameNameIgnoringCase(std::string_view, std::string_view) override { return false; }
    double monotonicSeconds() override { return 0; }
    void waitForEvents(double) override {}
};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Where `count` characters after `from` end; a byte that does not decode is one.
std::size_t skip(std::string_view text, std::size_t from, std::size_t count)
{
    for (; count > 0 && from < text.size(); --count)
        from += qvx::text::characterAt(text, from).length;
    return from;
}

std::size_t characters(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += qvx::text::characterAt(text, at).length)
        ++count;
    return count;
}

// UTF-16 units to UTF-8; a lone surrogate keeps its three-byte form.
std::string fromUtf16(const uint8_t *data, size_t size)
{
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char32_t unit = char32_t(data[i] | data[i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
            const char32_t low = char32_t(data[i + 2] | data[i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += char(0xE0 | unit >> 12);
            out += char(0x80 | ((unit >> 6) & 0x3F));
            out += char(0x80 | (unit & 0x3F));
        } else {
            out += qvx::text::encode(unit);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string archive =
        data[0] & 1 ? fromUtf16(data + 1, size - 1)
                    : std::string(reinterpret_cast<const char *>(data + 1), size - 1);
    // What is left once the first four characters are dropped.
    const std::string_view rest = std::string_view(archive).substr(skip(archive, 0, 4));
    const auto count = [](std::string_view text, char c) {
        return std::size_t(std::count(text.begin(), text.end(), c));
    };

    CasePlatform platform;
    const qvx::Prepare::DerivedNames names = qvx::Prepare::deriveNames(platform, archive);

    const std::string_view prefix = "QVX3 ";
    require(names.demoFile.starts_with(prefix));
    const std::string_view derived = std::string_view(names.demoFile).substr(prefix.size());
    require(characters(derived) == characters(rest));
    const std::size_t underscores = count(rest, '_');
    const std::size_t replaced = std::min<std::size_t>(underscores, 11);
    require(count(derived, '_') == underscores - replaced);
    require(count(derived, ' ') == count(rest, ' ') + replaced);
    require(count(derived, '/') == count(rest, '/'));

    const std::string_view unpacked = names.unpackedFile;
    require(unpacked.starts_with("Qvx3_") && unpacked.ends_with(".exe"));
    const std::string_view taken = unpacked.substr(5, unpacked.size() - 9);
    require(characters(taken) == std::min<std::size_t>(characters(rest), 3));
    return 0;
}

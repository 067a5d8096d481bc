#include "qvx/helpviewer/ChmProbeReading.h"

#include "qvx/chm/Container.h"
#include "qvx/chm/Limits.h"
#include "qvx/chm/System.h"

#include <chm_lib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace ChmProbeReading {

namespace {

// As in the viewer, which refuses larger objects rather than read them.
constexpr std::uint64_t maxObjectSize = qvx::chm::maxObjectBytes;
// What the probe reads at most; a real file's pages stay far below it.
constexpr std::uint64_t maxBytes = 512ull * 1024 * 1024;
// No help file holds this many objects; a listing that goes on past it loops.
constexpr std::uint64_t maxObjects = 4'000'000;
// As the viewer's limits for #SYSTEM, and for the pictures and style sheets of a page.
constexpr std::uint64_t maxSystemSize = qvx::chm::maxSystemBytes;
constexpr std::uint64_t maxResourceSize = qvx::chm::maxImageBytes;
// How much of the first page is searched for what it loads, and how many of those are read.
constexpr std::size_t maxScannedPage = 2 * 1024 * 1024;
constexpr std::size_t maxReferences = 64;
// chmlib refuses longer paths.
constexpr std::size_t maxPathBytes = 512;

int collect(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *listing = static_cast<Listing *>(context);
    // Each entry takes bytes of the file: more entries than bytes means a loop.
    if (listing->budget == 0) {
        listing->looping = true;
        return CHM_ENUMERATOR_FAILURE;
    }
    --listing->budget;
    if (unit->length > 0 && unit->length <= maxObjectSize)
        listing->objects.push_back({unit->space, unit->start, unit->length});
    return CHM_ENUMERATOR_CONTINUE;
}

void readAll(chmFile *handle, const std::vector<Object> &objects, std::size_t from, std::size_t to)
{
    std::uint64_t left = maxBytes;
    std::vector<unsigned char> buffer;
    for (std::size_t i = from; i < to && objects[i].length <= left; ++i) {
        left -= objects[i].length;
        chmUnitInfo unit{};
        unit.space = objects[i].space;
        unit.start = objects[i].start;
        unit.length = objects[i].length;
        buffer.resize(objects[i].length);
        chm_retrieve_object(handle, &unit, buffer.data(), 0, LONGINT64(unit.length));
    }
}

// The viewer's path rules: "\" and "/" separate, "." and ".." are steps, and the result
// starts with "/". Empty when nothing is left or chmlib would refuse it.
std::string normalise(const std::string &path)
{
    std::vector<std::string> steps;
    std::string step;
    const auto take = [&] {
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        step.clear();
    };
    for (const char c : path) {
        if (c == '/' || c == '\\')
            take();
        else
            step += c;
    }
    take();
    std::string result;
    for (const std::string &each : steps)
        result += '/' + each;
    return result.size() > maxPathBytes ? std::string() : result;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string percentDecoded(const std::string &text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            result += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string lowered(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsWith(const std::string &text, const char *suffix)
{
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && lowered(text.substr(text.size() - length)) == suffix;
}

// The first stage: reads what the viewer reads to show the first page.
class FirstStage
{
public:
    explicit FirstStage(chmFile *handle) : m_handle(handle) {}

    // An object read as the viewer reads it; the path is cleared once it came through.
    bool read(const std::string &path, std::uint64_t limit, std::string *into = nullptr)
    {
        if (path.empty())
            return false;
        chmUnitInfo unit{};
        if (chm_resolve_object(m_handle, path.c_str(), &unit) != CHM_RESOLVE_SUCCESS ||
            unit.length > limit)
            return false;
        std::string bytes(unit.length, '\0');
        if (unit.length > 0 &&
            chm_retrieve_object(m_handle, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                                LONGINT64(unit.length)) != LONGINT64(unit.length))
            return false;
        if (path.find_first_of(std::string("\n\r\0", 3)) == std::string::npos)
            m_cleared.push_back(path);
        if (into)
            *into = std::move(bytes);
        return true;
    }

    const std::vector<std::string> &cleared() const { return m_cleared; }

private:
    chmFile *m_handle;
    std::vector<std::string> m_cleared;
};

struct Suffix
{
    const char *suffix;
    std::string found;
};

int findBySuffix(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *wanted = static_cast<Suffix *>(context);
    const std::string path(unit->path, strnlen(unit->path, CHM_MAX_PATHLEN));
    if (std::count(path.begin(), path.end(), '/') == 1 && endsWith(path, wanted->suffix)) {
        wanted->found = path;
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

std::string sitemapPath(chmFile *handle, const std::string &named, const char *suffix)
{
    if (!named.empty())
        return normalise(named);
    Suffix wanted{suffix, {}};
    chm_enumerate_dir(handle, "/", CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, findBySuffix,
                      &wanted);
    return normalise(wanted.found);
}

// The value of the attribute `name` in the tag text, quoted or not.
std::string attribute(const std::string &tag, const std::string &lowerTag, const char *name)
{
    for (std::size_t at = lowerTag.find(name); at != std::string::npos;
         at = lowerTag.find(name, at + 1)) {
        std::size_t i = at + std::strlen(name);
        const bool wordStart = at > 0 && std::isspace(static_cast<unsigned char>(lowerTag[at - 1]));
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (!wordStart || i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const std::size_t end = tag.find(tag[i], i + 1);
            return tag.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        }
        const std::size_t end = tag.find_first_of(" \t\r\n>", i);
        return tag.substr(i, end == std::string::npos ? std::string::npos : end - i);
    }
    return {};
}

// Calls `each` with every tag of the text, up to `limit` tags.
template <typename Each> void forEachTag(const std::string &text, std::size_t limit, Each each)
{
    for (std::size_t at = text.find('<'); at != std::string::npos && limit > 0;
         at = text.find('<', at + 1), --limit) {
        const std::size_t end = text.find('>', at);
        const std::string tag = text.substr(at, end == std::string::npos ? 256 : end - at);
        if (!each(tag, lowered(tag)))
            return;
    }
}

// The first page of the contents, when #SYSTEM names none.
std::string firstContentsPage(const std::string &sitemap)
{
    std::string found;
    forEachTag(sitemap, 100'000, [&](const std::string &tag, const std::string &lower) {
        if (lower.rfind("<param", 0) != 0 || lowered(attribute(tag, lower, "name")) != "local")
            return true;
        found = attribute(tag, lower, "value");
        return found.empty();
    });
    return found;
}

// A page reference as the viewer turns it into a path: no file part, fragment or query.
std::string pagePath(std::string reference)
{
    if (const std::size_t separator = reference.find("::"); separator != std::string::npos)
        reference.erase(0, separator + 2);
    reference = reference.substr(0, reference.find('#'));
    return normalise(percentDecoded(reference));
}

// The pictures and style sheets the page loads, in the order they appear.
std::vector<std::string> pageResources(const std::string &page, const std::string &pagePath)
{
    const std::string folder = pagePath.substr(0, pagePath.rfind('/') + 1);
    std::vector<std::string> found;
    forEachTag(
        page.substr(0, maxScannedPage), maxScannedPage,
        [&](const std::string &tag, const std::string &lower) {
            for (const char *name : {"src", "href"}) {
                std::string reference = attribute(tag, lower, name);
                reference = reference.substr(0, reference.find_first_of("#?"));
                const std::size_t colon = reference.find(':');
                if (reference.empty() ||
                    (colon != std::string::npos && colon < reference.find('/')) // another scheme
                    || endsWith(reference, ".htm") || endsWith(reference, ".html"))
                    continue;
                const std::string path = normalise((reference[0] == '/' ? std::string() : folder) +
                                                   percentDecoded(reference));
                if (!path.empty() && std::find(found.begin(), found.end(), path) == found.end())
                    found.push_back(path);
            }
            return found.size() < maxReferences;
        });
    return found;
}

// Reads, in the viewer's order, #SYSTEM, the compression tables, the listing of objects (kept
// for the full pass), the sitemaps or binary index, the first page and what it loads.
// False when the file is refused already.
bool readFirstStageOn(chmFile *handle, Listing *listing, std::vector<std::string> *cleared)
{
    FirstStage stage(handle);
    std::string system;
    if (!stage.read("/#SYSTEM", maxSystemSize, &system))
        return false;
    for (const char *table : {qvx::chm::controlDataPath, qvx::chm::resetTablePath}) {
        chmUnitInfo unit{};
        std::string bytes;
        if (chm_resolve_object(handle, table, &unit) == CHM_RESOLVE_SUCCESS &&
            unit.length <= maxSystemSize) {
            bytes.resize(unit.length);
            chm_retrieve_object(handle, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                                LONGINT64(unit.length));
        }
    }
    chm_enumerate(handle, CHM_ENUMERATE_ALL, collect, listing);
    if (listing->looping)
        return false;
    const qvx::chm::SystemRecords names = qvx::chm::parseSystem(system);
    std::string contents;
    stage.read(sitemapPath(handle, names.contentsFile, ".hhc"), maxObjectSize, &contents);
    stage.read(sitemapPath(handle, names.indexFile, ".hhk"), maxObjectSize);
    // The binary index, which the viewer falls back on.
    if (stage.read("/$WWKeywordLinks/BTree", maxObjectSize)) {
        for (const char *table : {"/#TOPICS", "/#URLTBL", "/#URLSTR", "/#STRINGS"})
            stage.read(table, maxObjectSize);
    }
    const std::string page =
        pagePath(names.defaultTopic.empty() ? firstContentsPage(contents) : names.defaultTopic);
    std::string html;
    if (stage.read(page, maxObjectSize, &html)) {
        for (const std::string &resource : pageResources(html, page))
            stage.read(resource, maxResourceSize);
    }
    *cleared = stage.cleared();
    return true;
}

} // namespace

Listing listingFor(std::uint64_t fileSize)
{
    return Listing{std::min(fileSize, maxObjects), {}};
}

bool readFirstStage(const char *path, Listing *listing, std::vector<std::string> *cleared)
{
    chmFile *handle = chm_open(path);
    if (!handle)
        return false;
    const bool read = readFirstStageOn(handle, listing, cleared);
    chm_close(handle);
    return read;
}

void sortByPlace(Listing *listing)
{
    std::sort(listing->objects.begin(), listing->objects.end(),
              [](const Object &a, const Object &b) {
                  return a.space != b.space ? a.space < b.space : a.start < b.start;
              });
}

bool readObjects(const char *path, const std::vector<Object> &objects, std::size_t from,
                 std::size_t to)
{
    chmFile *handle = chm_open(path);
    if (!handle)
        return false;
    readAll(handle, objects, from, std::min(to, objects.size()));
    chm_close(handle);
    return true;
}

bool readWholeFile(const char *path, std::uint64_t fileSize)
{
    Listing listing = listingFor(fileSize);
    std::vector<std::string> cleared;
    if (!readFirstStage(path, &listing, &cleared))
        return false;
    sortByPlace(&listing);
    return readObjects(path, listing.objects, 0, listing.objects.size());
}

} // namespace ChmProbeReading

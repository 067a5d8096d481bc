#include "qvx/chm/Sitemap.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace qvx::chm {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// `word` is in lower case.
bool equalsIgnoringCase(std::string_view text, std::string_view word)
{
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(),
                      [](char a, char b) { return asciiLower(a) == b; });
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Digits only: no sign, no spaces, no prefix.
std::optional<char32_t> characterReference(std::string_view digits, bool hex)
{
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && asciiLower(c) >= 'a' && asciiLower(c) <= 'f')
            digit = asciiLower(c) - 'a' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + std::uint64_t(digit);
        if (value > 0x10FFFF)
            return std::nullopt;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return char32_t(value);
}

std::optional<char32_t> namedEntity(std::string_view name)
{
    static constexpr std::pair<std::string_view, char32_t> named[] = {
        {"amp", U'&'},    {"lt", U'<'},      {"gt", U'>'},      {"quot", U'"'},    {"apos", U'\''},
        {"nbsp", 0xA0},   {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"middot", 0xB7},
        {"eacute", 0xE9}, {"egrave", 0xE8},  {"auml", 0xE4},    {"ouml", 0xF6},    {"uuml", 0xFC},
        {"szlig", 0xDF},  {"ndash", 0x2013}, {"mdash", 0x2014},
    };
    for (const auto &[entity, code] : named) {
        if (entity == name)
            return code;
    }
    return std::nullopt;
}

enum class TagKind { Other, List, ListEnd, Object, ObjectEnd, Param };

// The attributes the sitemap uses, as written; the first of each name counts.
struct Tag
{
    TagKind kind = TagKind::Other;
    std::optional<std::string_view> type;
    std::optional<std::string_view> name;
    std::optional<std::string_view> value;
};

TagKind tagKind(std::string_view name)
{
    if (!name.empty() && name.back() == '/')
        name.remove_suffix(1);
    if (equalsIgnoringCase(name, "ul"))
        return TagKind::List;
    if (equalsIgnoringCase(name, "/ul"))
        return TagKind::ListEnd;
    if (equalsIgnoringCase(name, "object"))
        return TagKind::Object;
    if (equalsIgnoringCase(name, "/object"))
        return TagKind::ObjectEnd;
    if (equalsIgnoringCase(name, "param"))
        return TagKind::Param;
    return TagKind::Other;
}

// Reads the tag that starts at text[at] == '<'; leaves `at` just past its '>' (or the end).
Tag readTag(std::string_view text, std::size_t &at)
{
    Tag tag;
    const std::size_t size = text.size();
    ++at;
    const std::size_t nameStart = at;
    while (at < size && !isSpace(text[at]) && text[at] != '>')
        ++at;
    tag.kind = tagKind(text.substr(nameStart, at - nameStart));
    while (at < size) {
        while (at < size && (isSpace(text[at]) || text[at] == '/'))
            ++at;
        if (at >= size)
            break;
        if (text[at] == '>') {
            ++at;
            break;
        }
        const std::size_t keyStart = at;
        while (at < size && !isSpace(text[at]) && text[at] != '=' && text[at] != '>')
            ++at;
        const std::string_view key = text.substr(keyStart, at - keyStart);
        while (at < size && isSpace(text[at]))
            ++at;
        std::string_view value;
        if (at < size && text[at] == '=') {
            ++at;
            while (at < size && isSpace(text[at]))
                ++at;
            if (at < size && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const std::size_t valueStart = at;
                at = std::min(text.find(quote, at), size);
                value = text.substr(valueStart, at - valueStart);
                if (at < size)
                    ++at;
            } else {
                const std::size_t valueStart = at;
                while (at < size && !isSpace(text[at]) && text[at] != '>')
                    ++at;
                value = text.substr(valueStart, at - valueStart);
            }
        }
        if (tag.kind == TagKind::Other)
            continue;
        if (!tag.type && equalsIgnoringCase(key, "type"))
            tag.type = value;
        else if (!tag.name && equalsIgnoringCase(key, "name"))
            tag.name = value;
        else if (!tag.value && equalsIgnoringCase(key, "value"))
            tag.value = value;
    }
    return tag;
}

std::string decoded(std::optional<std::string_view> value)
{
    return value ? decodeHtmlEntities(*value) : std::string();
}

class SitemapBuilder
{
public:
    std::vector<SitemapEntry> entries;

    void openObject(const Tag &tag, int depth)
    {
        closeObject();
        if (!equalsIgnoringCase(decoded(tag.type), "text/sitemap"))
            return;
        m_open = true;
        m_entry = SitemapEntry();
        m_entry.depth = depth;
        m_keyword.clear();
        m_firstName.clear();
        m_lastName.clear();
    }

    void param(const Tag &tag)
    {
        if (!m_open)
            return;
        const std::string name = decoded(tag.name);
        if (equalsIgnoringCase(name, "keyword")) {
            if (m_keyword.empty())
                m_keyword = decoded(tag.value);
        } else if (equalsIgnoringCase(name, "name")) {
            m_lastName = decoded(tag.value);
            if (m_firstName.empty())
                m_firstName = m_lastName;
        } else if (equalsIgnoringCase(name, "local")) {
            if (m_entry.targets.size() < maxSitemapTargets)
                m_entry.targets.push_back({m_lastName, decoded(tag.value)});
        }
    }

    void closeObject()
    {
        if (!m_open)
            return;
        m_open = false;
        m_entry.name = m_keyword.empty() ? m_firstName : m_keyword;
        for (SitemapTarget &target : m_entry.targets) {
            if (target.title.empty())
                target.title = m_entry.name;
        }
        if (entries.size() < maxSitemapEntries && !m_entry.name.empty())
            entries.push_back(std::move(m_entry));
    }

private:
    bool m_open = false;
    SitemapEntry m_entry;
    std::string m_keyword;
    std::string m_firstName;
    std::string m_lastName;
};

} // namespace

std::vector<SitemapEntry> parseSitemap(std::string_view text)
{
    SitemapBuilder builder;
    std::size_t listDepth = 0; // open <UL>s; the top list holds depth-0 entries
    std::size_t at = 0;
    const std::size_t size = text.size();
    while (at < size) {
        at = text.find('<', at);
        if (at == std::string_view::npos)
            break;
        if (text.substr(at, 4) == "<!--") {
            const std::size_t end = text.find("-->", at + 4);
            at = end == std::string_view::npos ? size : end + 3;
            continue;
        }
        const Tag tag = readTag(text, at);
        switch (tag.kind) {
        case TagKind::List:
            builder.closeObject();
            ++listDepth;
            break;
        case TagKind::ListEnd:
            builder.closeObject();
            if (listDepth > 0)
                --listDepth;
            break;
        case TagKind::Object:
            builder.openObject(tag, int(std::min<std::size_t>(listDepth > 0 ? listDepth - 1 : 0,
                                                              std::size_t(maxSitemapDepth))));
            break;
        case TagKind::ObjectEnd:
            builder.closeObject();
            break;
        case TagKind::Param:
            builder.param(tag);
            break;
        case TagKind::Other:
            break;
        }
        if (builder.entries.size() >= maxSitemapEntries)
            break;
    }
    builder.closeObject();
    return std::move(builder.entries);
}

std::string decodeHtmlEntities(std::string_view text)
{
    std::size_t at = text.find('&');
    if (at == std::string_view::npos)
        return std::string(text);
    std::string out(text.substr(0, at));
    out.reserve(text.size());
    while (at < text.size()) {
        const char c = text[at];
        const std::size_t semicolon = c == '&' ? text.find(';', at + 1) : std::string_view::npos;
        // A reference is short; a lone '&' stays as it is.
        if (semicolon == std::string_view::npos || semicolon - at > 10) {
            out += c;
            ++at;
            continue;
        }
        const std::string_view body = text.substr(at + 1, semicolon - at - 1);
        std::optional<char32_t> code;
        if (!body.empty() && body[0] == '#') {
            const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
            code = characterReference(body.substr(hex ? 2 : 1), hex);
        } else {
            code = namedEntity(body);
        }
        if (!code) {
            out += c;
            ++at;
            continue;
        }
        appendUtf8(out, *code);
        at = semicolon + 1;
    }
    return out;
}

} // namespace qvx::chm

#include "qvx/chm/System.h"

#include "qvx/chm/Bytes.h"

namespace qvx::chm {

namespace {

// A record's text: up to its first NUL.
std::string recordText(std::string_view record)
{
    return std::string(record.substr(0, record.find('\0')));
}

} // namespace

SystemRecords parseSystem(std::string_view data)
{
    enum Code : std::uint16_t {
        contentsCode = 0,
        indexCode = 1,
        defaultTopicCode = 2,
        titleCode = 3,
        lcidCode = 4,
    };
    SystemRecords info;
    ByteCursor cursor(data);
    cursor.skip(4); // the version
    if (!cursor.ok())
        return info;
    info.valid = true;
    while (cursor.left() >= 4) {
        const std::uint16_t code = cursor.u16();
        const std::uint16_t length = cursor.u16();
        const std::string_view record = cursor.bytes(length);
        if (!cursor.ok())
            break;
        switch (code) {
        case contentsCode:
            info.contentsFile = recordText(record);
            break;
        case indexCode:
            info.indexFile = recordText(record);
            break;
        case defaultTopicCode:
            info.defaultTopic = recordText(record);
            break;
        case titleCode:
            info.title = recordText(record);
            break;
        case lcidCode:
            if (const std::optional<std::uint16_t> lcid = u16At(record, 0))
                info.lcid = *lcid;
            break;
        default:
            break;
        }
    }
    return info;
}

const char *encodingForLcid(std::uint32_t lcid)
{
    const std::uint32_t language = lcid & 0x3FF;
    switch (language) {
    case 0x04: // Chinese: traditional in Taiwan, Hong Kong and Macau
        return (lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404) ? "Big5" : "GBK";
    case 0x11:
        return "Shift_JIS";
    case 0x12:
        return "windows-949";
    case 0x1E:
        return "windows-874";
    case 0x2A:
        return "windows-1258";
    case 0x02: // Bulgarian
    case 0x19: // Russian
    case 0x22: // Ukrainian
    case 0x23: // Belarusian
    case 0x2F: // Macedonian
    case 0x3F: // Kazakh
    case 0x40: // Kyrgyz
    case 0x44: // Tatar
    case 0x50: // Mongolian
        return "windows-1251";
    case 0x1A: // Croatian, Serbian and Bosnian: Cyrillic or Latin by sublanguage
        return (lcid == 0x0C1A || lcid == 0x1C1A || lcid == 0x201A) ? "windows-1251"
                                                                    : "windows-1250";
    case 0x05: // Czech
    case 0x0E: // Hungarian
    case 0x15: // Polish
    case 0x18: // Romanian
    case 0x1B: // Slovak
    case 0x1C: // Albanian
    case 0x24: // Slovenian
        return "windows-1250";
    case 0x08:
        return "windows-1253";
    case 0x1F: // Turkish
    case 0x2C: // Azeri (Latin)
        return lcid == 0x082C ? "windows-1251" : "windows-1254";
    case 0x0D:
        return "windows-1255";
    case 0x01: // Arabic
    case 0x20: // Urdu
    case 0x29: // Farsi
        return "windows-1256";
    case 0x25: // Estonian
    case 0x26: // Latvian
    case 0x27: // Lithuanian
        return "windows-1257";
    default:
        return "windows-1252";
    }
}

} // namespace qvx::chm

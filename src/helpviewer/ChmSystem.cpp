#include "qvx/helpviewer/ChmSystem.h"

#include <QStringDecoder>

namespace {

quint16 readU16(QByteArrayView data, qsizetype at)
{
    return quint16(quint8(data[at]) | quint8(data[at + 1]) << 8);
}

// A record's text: up to its first NUL.
QByteArray recordText(QByteArrayView record)
{
    const qsizetype end = record.indexOf('\0');
    return (end < 0 ? record : record.first(end)).toByteArray();
}

} // namespace

ChmSystemInfo parseChmSystem(QByteArrayView data)
{
    enum Code : quint16 {
        contentsCode = 0,
        indexCode = 1,
        defaultTopicCode = 2,
        titleCode = 3,
        lcidCode = 4,
    };
    ChmSystemInfo info;
    if (data.size() < 4)
        return info;
    info.valid = true;
    QByteArray contents, index, topic, title;
    qsizetype at = 4;
    while (at + 4 <= data.size()) {
        const quint16 code = readU16(data, at);
        const quint16 length = readU16(data, at + 2);
        at += 4;
        if (length > data.size() - at)
            break;
        const QByteArrayView record = data.sliced(at, length);
        at += length;
        switch (code) {
        case contentsCode:
            contents = recordText(record);
            break;
        case indexCode:
            index = recordText(record);
            break;
        case defaultTopicCode:
            topic = recordText(record);
            break;
        case titleCode:
            title = recordText(record);
            break;
        case lcidCode:
            if (record.size() >= 2)
                info.lcid = readU16(record, 0);
            break;
        default:
            break;
        }
    }
    // The texts are in the file's own code page, which the LCID record gives.
    QStringDecoder decoder(encodingForLcid(info.lcid).constData());
    info.contentsFile = decoder.decode(contents);
    info.indexFile = decoder.decode(index);
    info.defaultTopic = decoder.decode(topic);
    info.title = decoder.decode(title);
    return info;
}

QByteArray encodingForLcid(quint32 lcid)
{
    const quint32 language = lcid & 0x3FF;
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

#include "qvx/helpviewer/NativeName.h"

namespace NativeName {
namespace {

constexpr char16_t escapeBase = 0xDC00;
constexpr char16_t firstEscape = 0xDC80;
constexpr char16_t lastEscape = 0xDCFF;
constexpr char16_t replacement = 0xFFFD;

bool isEscape(char16_t unit)
{
    return unit >= firstEscape && unit <= lastEscape;
}

// The length of the well-formed UTF-8 sequence at `at` and its code point, or 0 when
// there is none: no overlong forms, no surrogates, nothing past U+10FFFF.
qsizetype sequenceAt(QByteArrayView bytes, qsizetype at, char32_t &point)
{
    const auto byte = [&](qsizetype i) { return quint8(bytes[at + i]); };
    const quint8 lead = byte(0);
    qsizetype length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        point = point << 6 | (byte(i) & 0x3F);
    }
    if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray &out, char32_t point)
{
    if (point < 0x80) {
        out.append(char(point));
    } else if (point < 0x800) {
        out.append(char(0xC0 | point >> 6));
        out.append(char(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.append(char(0xE0 | point >> 12));
        out.append(char(0x80 | (point >> 6 & 0x3F)));
        out.append(char(0x80 | (point & 0x3F)));
    } else {
        out.append(char(0xF0 | point >> 18));
        out.append(char(0x80 | (point >> 12 & 0x3F)));
        out.append(char(0x80 | (point >> 6 & 0x3F)));
        out.append(char(0x80 | (point & 0x3F)));
    }
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t point = 0;
        const qsizetype length = sequenceAt(bytes, at, point);
        if (length == 0) {
            name.append(QChar(char16_t(escapeBase + quint8(bytes[at]))));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(point)) {
            name.append(QChar::highSurrogate(point));
            name.append(QChar::lowSurrogate(point));
        } else {
            name.append(QChar(char16_t(point)));
        }
        at += length;
    }
    return name;
}

QByteArray encode(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        if (isEscape(unit)) {
            bytes.append(char(unit - escapeBase));
        } else if (QChar::isHighSurrogate(unit) && at + 1 < name.size() &&
                   name[at + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, name[at + 1].unicode()));
            ++at;
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, replacement);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QString display(QStringView name)
{
    QString shown = name.toString();
    for (qsizetype at = 0; at < shown.size(); ++at) {
        // The second half of a pair may fall in the escapes' range; it is no escape.
        if (shown[at].isHighSurrogate() && at + 1 < shown.size() && shown[at + 1].isLowSurrogate())
            ++at;
        else if (isEscape(shown[at].unicode()))
            shown[at] = QChar(replacement);
    }
    return shown;
}

} // namespace NativeName

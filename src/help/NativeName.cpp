#include "qvx/help/NativeName.h"

#include "qvx/core/Text.h"

#include <string>
#include <string_view>

namespace qvx::help {

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

void appendUtf8(QByteArray &out, char32_t point)
{
    const std::string bytes = qvx::text::encode(point);
    out.append(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    const std::string_view text(bytes.data(), std::size_t(bytes.size()));
    for (std::size_t at = 0; at < text.size();) {
        const qvx::text::Character character = qvx::text::characterAt(text, at);
        const char32_t point = character.codePoint;
        if (!character.valid)
            name.append(QChar(char16_t(escapeBase + quint8(text[at]))));
        else if (QChar::requiresSurrogates(point))
            name.append(QChar(QChar::highSurrogate(point)))
                .append(QChar(QChar::lowSurrogate(point)));
        else
            name.append(QChar(char16_t(point)));
        at += character.length;
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

} // namespace qvx::help

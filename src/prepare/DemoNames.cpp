#include "prepare/DemoNames.h"

namespace Prepare {
namespace {

constexpr int droppedLeadingChars = 4;
constexpr int unpackedNameChars = 3;
constexpr int maxUnderscoresReplaced = 11;

qsizetype charLength(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate() ? 2
                                                                                               : 1;
}

// Where the character `count` characters after `from` begins, or the end of the text.
qsizetype skipChars(QStringView text, qsizetype from, int count)
{
    while (count-- > 0 && from < text.size())
        from += charLength(text, from);
    return from;
}

void upperCaseAt(QString &text, qsizetype at)
{
    if (at >= text.size())
        return;
    const qsizetype length = charLength(text, at);
    const char32_t original =
        length == 2 ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
    const char32_t upper = QChar::toUpper(original);
    if (upper == original)
        return;
    // The simple mapping keeps one character; it may still change its number of units.
    const auto replacement = QChar::fromUcs4(upper);
    const QStringView units = replacement;
    text.replace(at, length, units.data(), units.size());
}

} // namespace

DerivedNames deriveNames(const QString &archiveName)
{
    QString name = archiveName.mid(skipChars(archiveName, 0, droppedLeadingChars));
    upperCaseAt(name, 0);

    DerivedNames names;
    names.unpackedFile = QStringLiteral("Qvx3_") +
                         name.left(skipChars(name, 0, unpackedNameChars)) + QStringLiteral(".exe");

    for (int pass = 0; pass < maxUnderscoresReplaced; ++pass) {
        const qsizetype at = name.indexOf(QLatin1Char('_'));
        if (at < 0)
            break;
        name[at] = QLatin1Char(' ');
        upperCaseAt(name, at + 1);
    }
    names.demoFile = QStringLiteral("QVX3 ") + name;
    return names;
}

QString promptText(qsizetype archiveCount, bool bCalledFromButtonClick)
{
    QString text;
    if (!bCalledFromButtonClick) {
        text = archiveCount == 1 ? QStringLiteral("A new demo has been found.")
                                 : QStringLiteral("New demos have been found.");
    }
    return text + QStringLiteral(" The program will take a moment to prepare the files.") +
           QStringLiteral("\r\r") +
           QStringLiteral("The DOS window will open as the files are extracted. If it does not "
                          "close automatically, you may close it when the process is finished.");
}

QString failureText(const OpResult &failure)
{
    return QString::number(failure.number) + QLatin1Char(' ') + failure.description +
           QStringLiteral("\r\r") +
           QStringLiteral("Can not prepare demo. Contact Brenlowe for assistance.");
}

} // namespace Prepare

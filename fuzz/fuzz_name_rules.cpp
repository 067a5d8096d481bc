// The naming rules on any archive name: no crash, no read outside the text, and results
// of the promised shape. The first byte chooses how the rest is read: as UTF-8 or as raw
// UTF-16 units, lone surrogates included.
#include "prepare/DemoNames.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool pairAt(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate();
}

qsizetype characters(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype at = 0; at < text.size(); at += pairAt(text, at) ? 2 : 1)
        ++count;
    return count;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QString archive;
    if (data[0] & 1) {
        std::vector<char16_t> units((size - 1) / 2);
        if (!units.empty())
            std::memcpy(units.data(), data + 1, units.size() * sizeof(char16_t));
        archive = QString::fromUtf16(units.data(), qsizetype(units.size()));
    } else {
        archive = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    }

    // What is left once the first four characters are dropped.
    qsizetype restStart = 0;
    for (int dropped = 0; dropped < 4 && restStart < archive.size(); ++dropped)
        restStart += pairAt(archive, restStart) ? 2 : 1;
    const QStringView rest = QStringView(archive).mid(restStart);

    const Prepare::DerivedNames names = Prepare::deriveNames(archive);

    const QString prefix = QStringLiteral("QVX3 ");
    require(names.demoFile.startsWith(prefix));
    const QStringView derived = QStringView(names.demoFile).mid(prefix.size());
    require(characters(derived) == characters(rest));
    const qsizetype underscores = rest.count(QLatin1Char('_'));
    const qsizetype replaced = underscores < 11 ? underscores : 11;
    require(derived.count(QLatin1Char('_')) == underscores - replaced);
    require(derived.count(QLatin1Char(' ')) == rest.count(QLatin1Char(' ')) + replaced);
    require(derived.count(QLatin1Char('/')) == rest.count(QLatin1Char('/')));

    require(names.unpackedFile.startsWith(QStringLiteral("Qvx3_")));
    require(names.unpackedFile.endsWith(QStringLiteral(".exe")));
    const QStringView taken = QStringView(names.unpackedFile).mid(5).chopped(4);
    const qsizetype restChars = characters(rest);
    require(characters(taken) == (restChars < 3 ? restChars : 3));
    return 0;
}

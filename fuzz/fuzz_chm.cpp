// Help files from anywhere: the #SYSTEM and sitemap readers on the raw input, and the whole
// loading of a file (chmlib opens by path, so the input goes to a scratch file first). No
// crash, no hang, no read outside the data, and results within the promised limits.
//
// The readers are built with coverage here (see fuzz/CMakeLists.txt) rather than taken from the
// viewer library, which has none: the fuzzer needs to see their branches.
#include "ChmInProcess.h"

#include <QByteArray>
#include <QString>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkSitemap(const QList<SitemapEntry> &entries)
{
    require(entries.size() <= maxSitemapEntries);
    for (const SitemapEntry &entry : entries) {
        require(entry.depth >= 0 && entry.depth <= maxSitemapDepth);
        require(entry.targets.size() <= maxSitemapTargets);
        require(!entry.name.isEmpty());
        for (const SitemapTarget &target : entry.targets) {
            const QUrl url = chmPageUrl(target.local);
            if (url.isValid() && !url.isEmpty())
                require(chmLookupPath(url).startsWith(QLatin1Char('/')));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    parseChmSystem(bytes);
    checkSitemap(parseSitemap(QString::fromLatin1(bytes)));
    const QString text = QString::fromUtf8(bytes);
    checkSitemap(parseSitemap(text));
    if (const std::optional<HelpAddress> address = parseHelpAddress(text))
        require(!address->file.trimmed().isEmpty());
    const QString path = normaliseChmPath(text);
    require(path.isEmpty() || (path.startsWith(QLatin1Char('/')) && path.toUtf8().size() <= 512 &&
                               !path.contains(QLatin1String("//"))));

    // Whole files only when they could be one; the rest stops at the signature check.
    if (size < 4 || bytes.left(4) != "ITSF")
        return 0;
    ChmFile chm;
    if (!openAsTheProgramDoes(chm, data, size))
        return 0;
    checkSitemap(chm.contents());
    checkSitemap(chm.index());
    if (const std::optional<QByteArray> page = chm.read(chm.defaultTopic()))
        chm.decodePage(*page);
    int reads = 0;
    for (const SitemapEntry &entry : chm.contents()) {
        for (const SitemapTarget &target : entry.targets) {
            if (++reads > 16)
                return 0;
            if (const std::optional<QByteArray> page =
                    chm.read(chmLookupPath(chmPageUrl(target.local))))
                require(page->size() <= ChmFile::maxObjectSize);
        }
    }
    return 0;
}

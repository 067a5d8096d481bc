// Pages of a help file from anywhere, shown as the viewer shows them: the browser loads each
// page with its style sheets and images from the file, lays it out and paints it. No crash and
// no read outside the data. Pages are bounded here; the viewer's own limits are another matter.
#include "ChmInProcess.h"

#include "qvx/helpviewer/HelpBrowser.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QSet>

#include <memory>

namespace {

constexpr qsizetype maxPageBytes = 256 * 1024;
constexpr int maxPages = 6;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4 || std::memcmp(data, "ITSF", 4) != 0)
        return 0;
    const auto file = std::make_shared<ChmFile>();
    if (!openAsTheProgramDoes(*file, data, size))
        return 0;

    QStringList pages{file->defaultTopic()};
    const QList<SitemapEntry> index = file->index();
    for (const QList<SitemapEntry> *sitemap : {&file->contents(), &index}) {
        for (const SitemapEntry &entry : *sitemap) {
            for (const SitemapTarget &target : entry.targets)
                pages.append(target.local);
        }
    }
    const auto browser =
        std::make_unique<HelpBrowser>(QString::fromStdString(scratchPath()), nullptr);
    browser->setFile(file);
    browser->resize(400, 300);
    QSet<QString> shown;
    for (const QString &page : pages) {
        const QUrl url = chmPageUrl(page);
        const QString lookup = chmLookupPath(url);
        if (!url.isValid() || lookup.isEmpty() || shown.contains(lookup))
            continue;
        const std::optional<QByteArray> bytes = file->read(lookup);
        if (bytes && bytes->size() > maxPageBytes)
            continue;
        shown.insert(lookup);
        browser->setSource(url);
        browser->document()->documentLayout()->documentSize();
        browser->grab();
        if (shown.size() == maxPages)
            break;
    }
    return 0;
}

// Sitemaps from anywhere, as the viewer's panes show them: the contents tree and the keyword
// index built from what the parser makes of the input, walked row by row with every role the
// panes ask for, and keywords looked up by prefixes the input gives. No crash, no index that
// leads elsewhere than it came from, and lookups that land on a row that fits.
#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmSitemap.h"
#include "qvx/help/ContentsModel.h"
#include "qvx/help/IndexModel.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

using namespace qvx::help;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Checks each row under `parent` and below; returns how many it saw.
qsizetype walk(const ContentsModel &model, const QModelIndex &parent, int depth)
{
    require(depth <= maxSitemapDepth + 1);
    qsizetype seen = 0;
    const int rows = model.rowCount(parent);
    require(!model.index(rows, 0, parent).isValid() && !model.index(0, 1, parent).isValid());
    for (int row = 0; row < rows; ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        require(child.isValid() && child.row() == row && model.parent(child) == parent);
        model.data(child, Qt::DisplayRole);
        model.data(child, Qt::DecorationRole);
        const QUrl url = model.data(child, ContentsModel::urlRole).toUrl();
        require(url == model.url(child));
        // The first entry of a page is found by its address, and shows that page.
        const QModelIndex page = model.indexOfPage(url);
        if (page.isValid())
            require(
                chmLookupPath(model.url(page)).compare(chmLookupPath(url), Qt::CaseInsensitive) ==
                0);
        seen += 1 + walk(model, child, depth + 1);
    }
    return seen;
}

void lookUp(const IndexModel &model, const QString &text)
{
    const int row = model.findKeyword(text);
    require(row >= -1 && row < model.rowCount());
    const QString wanted = text.trimmed();
    if (wanted.isEmpty() || model.rowCount() == 0) {
        require(row == -1);
        return;
    }
    bool anyBegins = false;
    for (int each = 0; each < model.rowCount() && !anyBegins; ++each)
        anyBegins = model.entry(each)->name.startsWith(wanted, Qt::CaseInsensitive);
    if (anyBegins)
        require(row >= 0 && model.entry(row)->name.startsWith(wanted, Qt::CaseInsensitive));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<SitemapEntry> entries = parseSitemap(QString::fromUtf8(bytes));

    ContentsModel contents;
    contents.setEntries(entries);
    require(walk(contents, {}, 0) == entries.size());

    IndexModel index;
    index.setEntries(entries);
    require(index.rowCount() == entries.size());
    for (int row = 0; row < index.rowCount(); ++row) {
        const QModelIndex at = index.index(row);
        index.data(at, Qt::DisplayRole);
        index.data(at, IndexModel::keywordRole);
    }
    // Prefixes of the keywords, as typed, of lengths the input's last bytes choose; and the
    // input's own first line.
    for (qsizetype i = 0; i < qMin<qsizetype>(entries.size(), 16); ++i) {
        const qsizetype length = size > 0 ? data[(size - 1 - i % size)] % 8 : 0;
        lookUp(index, entries[i].name.left(length));
        lookUp(index, entries[i].name.left(length).toUpper());
    }
    lookUp(index, QString::fromUtf8(bytes.left(bytes.indexOf('\n'))).left(64));
    return 0;
}

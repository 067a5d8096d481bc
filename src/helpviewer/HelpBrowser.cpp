#include "qvx/helpviewer/HelpBrowser.h"

#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmSitemap.h"
#include "qvx/help/SearchIndex.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QByteArrayMatcher>
#include <QCoreApplication>
#include <QImageReader>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QtConcurrent>

#include <cmath>

namespace qvx::helpviewer {

using namespace qvx::help;

using qvx::chmreader::Outcome;

namespace {

constexpr int maxHighlights = 5000;

QString messagePage(const QString &heading, const QString &detail)
{
    return QStringLiteral("<html><body><h2>%1</h2><p>%2</p></body></html>")
        .arg(heading.toHtmlEscaped(), detail.toHtmlEscaped());
}

int tableCells(const QByteArray &page)
{
    static const QByteArrayMatcher cell("<td", 3);
    static const QByteArrayMatcher headerCell("<th", 3);
    const QByteArray lower = page.toLower();
    int cells = 0;
    for (const QByteArrayMatcher *matcher : {&cell, &headerCell}) {
        for (qsizetype at = matcher->indexIn(lower); at >= 0; at = matcher->indexIn(lower, at + 3))
            ++cells;
    }
    return cells;
}

} // namespace

HelpBrowser::HelpBrowser(const QString &filePath, QWidget *parent)
    : QTextBrowser(parent), m_filePath(filePath)
{
    // Links are routed by the viewer: pages inside, web addresses to the desktop.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // Lines break between words only, as in a web browser: an identifier in a narrow table
    // column stays whole and the table grows wider, to scroll sideways.
    setWordWrapMode(QTextOption::WordWrap);
    m_basePointSize = font().pointSizeF();
    m_widening.setSingleShot(true);
    m_widening.setInterval(200);
    connect(&m_widening, &QTimer::timeout, this, [this] { widenColumnsForWholeLines(false); });
    // Marks belong to the page they were found in.
    connect(this, &QTextBrowser::sourceChanged, this, [this] {
        setExtraSelections({});
        scaleFixedSizes();
        widenColumnsForWholeLines(false);
    });
}

void HelpBrowser::resizeEvent(QResizeEvent *event)
{
    QTextBrowser::resizeEvent(event);
    // Narrower, a column may no longer hold what cannot break; wider, it keeps its width.
    // Measured once the resizing stops: a long page takes a moment to lay out.
    m_widening.start();
}

void HelpBrowser::setFile(std::shared_ptr<const ChmFile> file)
{
    m_file = std::move(file);
    m_fetched.clear();
    m_fetching.clear();
    m_failed.clear();
    m_cachedBytes = 0;
    ++m_generation;
    stopWaiting();
}

void HelpBrowser::stopWaiting()
{
    if (!m_pending)
        return;
    m_pending.reset();
    emit waitingForFile(false);
}

QString HelpBrowser::resourceKey(int type, const QUrl &url)
{
    // Limits differ by kind, so a page and a picture of one name are kept apart.
    const int kind = type == QTextDocument::StyleSheetResource ? 1
                     : type == QTextDocument::ImageResource    ? 2
                                                               : 0;
    return QString::number(kind) + u':' + chmLookupPath(url);
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    // What failed is asked for again when the user next asks for a page: the reader may have
    // been ended on that object, or it may have been slow. Never by itself: a file that fails
    // every time would be asked without end.
    if (!m_showingArrived) {
        for (const QString &key : std::as_const(m_failed))
            m_fetched.remove(key);
        m_failed.clear();
    }
    if (!isPage || !m_file || !m_file->isOpen() || url.scheme() != chmScheme() ||
        m_fetched.contains(resourceKey(type, url))) {
        stopWaiting();
        QTextBrowser::doSetSource(name, type);
        return;
    }
    // The latest request is served; earlier ones are dropped, as the user moved on.
    const bool wasWaiting = m_pending.has_value();
    m_pending = Request{url, type, ++m_generation, 0, {}};
    if (!wasWaiting)
        emit waitingForFile(true);
    fetch(type, url, true);
}

void HelpBrowser::fetch(int type, const QUrl &url, bool forPending)
{
    const QString key = resourceKey(type, url);
    if (forPending)
        ++m_pending->outstanding;
    else if (m_fetching.contains(key))
        return;
    m_fetching.insert(key);
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    const qint64 limit = isPage                                      ? maxPageBytes
                         : type == QTextDocument::StyleSheetResource ? maxStyleSheetBytes
                                                                     : maxImageBytes;
    m_file->fetchLater(chmLookupPath(url), limit, this,
                       [this, type, url, forPending, generation = m_generation,
                        file = m_file](const ChmFile::Object &object) {
                           if (file == m_file)
                               arrived(type, url, object, forPending, generation);
                       });
}

void HelpBrowser::arrived(int type, const QUrl &url, const ChmFile::Object &object, bool forPending,
                          quint64 generation)
{
    if (object.status == Outcome::Changed) {
        m_fetching.remove(resourceKey(type, url));
        // Nothing more is asked of this file: the viewer opens it again.
        const QUrl wanted = m_pending ? m_pending->url : source();
        stopWaiting();
        emit fileChanged(wanted);
        return;
    }
    // Decoding a large page, counting its cells and looking for what it names, and decoding
    // pictures, are done off the GUI thread.
    QPointer<HelpBrowser> self(this);
    const std::shared_ptr<const ChmFile> file = m_file;
    const QString filePath = m_filePath;
    (void)QtConcurrent::run([self, file, filePath, type, url, object, forPending, generation] {
        Fetched fetched = convert(*file, filePath, type, url, object);
        QList<Reference> references;
        if (object.status == Outcome::Ok && fetched.value.typeId() == QMetaType::QString &&
            (type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource))
            references = referencesOf(url, fetched.value.toString());
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [self, file, type, url, status = object.status, fetched = std::move(fetched),
             references = std::move(references), forPending, generation] {
                if (self && file == self->m_file)
                    self->prepared(type, url, status, fetched, references, forPending, generation);
            },
            Qt::QueuedConnection);
    });
}

void HelpBrowser::prepared(int type, const QUrl &url, Outcome status, const Fetched &fetched,
                           const QList<Reference> &references, bool forPending, quint64 generation)
{
    const QString key = resourceKey(type, url);
    m_fetching.remove(key);
    m_cachedBytes += fetched.bytes;
    m_fetched.insert(key, fetched);
    if (status == Outcome::Unreadable)
        m_failed.insert(key);
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    if (forPending && m_pending && m_pending->generation == generation) {
        for (const Reference &reference : references) {
            if (!m_fetched.contains(resourceKey(reference.type, reference.url)))
                fetch(reference.type, reference.url, true);
        }
        if (--m_pending->outstanding == 0)
            finishPending();
        return;
    }
    if (forPending)
        return; // for a page the user has left
    // Something the page asked for while it was laid out: lay it out again with it.
    if (isPage || type == QTextDocument::StyleSheetResource) {
        if (!m_pending && !m_reloadWanted) {
            m_reloadWanted = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_reloadWanted = false;
                    if (!m_pending)
                        reloadArrived();
                },
                Qt::QueuedConnection);
        }
    } else if (fetched.value.isValid()) {
        document()->addResource(type, url, fetched.value);
        document()->markContentsDirty(0, document()->characterCount());
    }
}

HelpBrowser::Fetched HelpBrowser::convert(const ChmFile &file, const QString &filePath, int type,
                                          const QUrl &url, const ChmFile::Object &object)
{
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    const QString shownPath = url.path(QUrl::FullyDecoded).mid(1);
    switch (object.status) {
    case Outcome::Ok:
        break;
    case Outcome::NotFound:
        return {isPage ? QVariant(pageMessage(shownPath)) : QVariant(), 0};
    case Outcome::TooLarge:
        return {isPage ? QVariant(tooLargeMessage(shownPath, object.size)) : QVariant(), 0};
    case Outcome::CannotOpen:
        return {isPage ? QVariant(fileMessage(filePath)) : QVariant(), 0};
    case Outcome::Unreadable:
    case Outcome::Changed:
        return {isPage ? QVariant(unreadableMessage(shownPath)) : QVariant(), 0};
    }
    const qint64 bytes = object.bytes.size();
    switch (type) {
    case QTextDocument::HtmlResource:
    case QTextDocument::UnknownResource:
        if (tableCells(object.bytes) > maxTableCells)
            return {tooLargeMessage(shownPath, bytes), 0};
        return {file.decodePage(object.bytes), bytes};
    case QTextDocument::StyleSheetResource:
        return {file.decode(object.bytes), bytes};
    case QTextDocument::ImageResource: {
        const QImage image = decodeImage(object.bytes);
        return {image.isNull() ? QVariant() : QVariant(image), image.sizeInBytes()};
    }
    default:
        return {object.bytes, bytes};
    }
}

QList<HelpBrowser::Reference> HelpBrowser::referencesOf(const QUrl &page, const QString &html)
{
    // Pictures, backgrounds and style sheets: what the layout asks for before the page shows.
    static const QRegularExpression reference(
        QStringLiteral("<(img|link|body|table|td|th)\\b[^>]*?\\b(src|href|background)\\s*=\\s*"
                       "(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
        QRegularExpression::CaseInsensitiveOption);
    // A real page shows a few dozen; a hostile one may name thousands.
    constexpr int maxPrefetched = 256;
    QList<Reference> found;
    QSet<QString> seen;
    for (auto it = reference.globalMatch(html); it.hasNext() && found.size() < maxPrefetched;) {
        const QRegularExpressionMatch match = it.next();
        const QString tag = match.captured(1).toLower();
        const QString attribute = match.captured(2).toLower();
        if ((tag == QLatin1String("link")) != (attribute == QLatin1String("href")))
            continue;
        if (tag == QLatin1String("img") && attribute != QLatin1String("src"))
            continue;
        const QString target = match.captured(3) + match.captured(4) + match.captured(5);
        const QUrl url = page.resolved(QUrl(decodeHtmlEntities(target.trimmed())));
        if (!url.isValid() || url.scheme() != chmScheme())
            continue;
        const int type = tag == QLatin1String("link") ? QTextDocument::StyleSheetResource
                                                      : QTextDocument::ImageResource;
        if (!seen.contains(resourceKey(type, url))) {
            seen.insert(resourceKey(type, url));
            found.append({type, url});
        }
    }
    return found;
}

void HelpBrowser::finishPending()
{
    const Request request = *m_pending;
    stopWaiting();
    trimCache();
    // The browser only scrolls when asked for the page it shows: that page is laid out again
    // with what arrived for it.
    if (request.url.adjusted(QUrl::RemoveFragment) == source().adjusted(QUrl::RemoveFragment))
        reloadArrived();
    else
        QTextBrowser::doSetSource(request.url, request.type);
    if (!request.terms.isEmpty())
        highlight(request.terms);
}

void HelpBrowser::reloadArrived()
{
    const QScopedValueRollback<bool> showing(m_showingArrived, true);
    reload();
}

void HelpBrowser::trimCache()
{
    // Recent pages stay for Back and Forward; beyond this all but the page shown go.
    constexpr qint64 maxCachedBytes = 32 * 1024 * 1024;
    if (m_cachedBytes <= maxCachedBytes)
        return;
    m_fetched.clear();
    m_cachedBytes = 0;
}

QString HelpBrowser::fileMessage(const QString &filePath)
{
    return messagePage(tr("Cannot open the file"),
                       tr("The help file \"%1\" cannot be opened: it is missing, unreadable "
                          "or damaged.")
                           .arg(filePath));
}

QString HelpBrowser::pageMessage(const QString &page)
{
    return messagePage(tr("Page not found"),
                       tr("The page \"%1\" is not in this help file.").arg(page));
}

QString HelpBrowser::unreadableMessage(const QString &page)
{
    return messagePage(tr("This page cannot be read from the help file"),
                       tr("The page \"%1\" is damaged in the help file, or could not be read "
                          "in time.")
                           .arg(page));
}

QString HelpBrowser::tooLargeMessage(const QString &page, qint64 bytes)
{
    const QLocale locale;
    return messagePage(
        tr("This page is too large to show"),
        tr("The page \"%1\" takes %2; this viewer shows pages of up to %3 and "
           "%4 table cells.")
            .arg(page, locale.formattedDataSize(bytes), locale.formattedDataSize(maxPageBytes))
            .arg(maxTableCells));
}

QImage HelpBrowser::decodeImage(const QByteArray &bytes)
{
    if (bytes.size() > maxImageBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header tells the size before anything is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxImagePixels)
        return {};
    return reader.read();
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const bool isPage =
        type == QTextDocument::HtmlResource || type == QTextDocument::UnknownResource;
    if (!m_file || !m_file->isOpen())
        return isPage ? QVariant(fileMessage(m_filePath)) : QVariant();
    if (url.scheme() != chmScheme())
        return {};
    const auto found = m_fetched.constFind(resourceKey(type, url));
    if (found != m_fetched.cend())
        return found->value;
    // Back and Forward, or something the page names in a way not looked for ahead.
    constexpr int maxFetching = 256;
    if (m_fetching.size() < maxFetching)
        fetch(type, url, false);
    return isPage ? QVariant(QString()) : QVariant();
}

void HelpBrowser::showFound(const QUrl &url, const QStringList &terms)
{
    if (url != source())
        setSource(url, QTextDocument::HtmlResource);
    if (m_pending)
        m_pending->terms = terms;
    else
        highlight(terms);
}

void HelpBrowser::highlight(const QStringList &terms)
{
    QList<ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(QColor(255, 230, 80));
    format.setForeground(Qt::black);
    for (const QString &term : terms) {
        const bool prefix = term.endsWith(u'*');
        const QString word = QRegularExpression::escape(prefix ? term.chopped(1) : term);
        // A character that is a word of its own stands among others with no break between.
        const bool single = term.size() <= 2 && isCharacterWord(term.toUcs4().value(0));
        const QRegularExpression pattern(
            single ? word
                   : QStringLiteral("(?<![\\p{L}\\p{N}])%1%2")
                         .arg(word, prefix ? QStringLiteral("[\\p{L}\\p{N}]*")
                                           : QStringLiteral("(?![\\p{L}\\p{N}])")),
            QRegularExpression::CaseInsensitiveOption |
                QRegularExpression::UseUnicodePropertiesOption);
        for (QTextCursor found = document()->find(pattern);
             !found.isNull() && marks.size() < maxHighlights;
             found = document()->find(pattern, found)) {
            marks.append({found, format});
        }
    }
    std::sort(marks.begin(), marks.end(), [](const ExtraSelection &a, const ExtraSelection &b) {
        return a.cursor.selectionStart() < b.cursor.selectionStart();
    });
    setExtraSelections(marks);
    if (marks.isEmpty())
        return;
    QTextCursor first(document());
    first.setPosition(marks.first().cursor.selectionStart());
    setTextCursor(first);
    ensureCursorVisible();
}

void HelpBrowser::setZoom(int percent)
{
    m_zoom = qBound(minZoom, percent, maxZoom);
    QFont zoomed = font();
    zoomed.setPointSizeF(m_basePointSize * m_zoom / 100.0);
    setFont(zoomed);
    scaleFixedSizes();
    widenColumnsForWholeLines(true);
}

void HelpBrowser::scaleFixedSizes()
{
    // Sizes a page's style sheet sets do not follow the default font: they are scaled from
    // the size the page gave, kept beside it, so that zooming back and forth does not drift.
    constexpr int givenPointSize = QTextFormat::UserProperty + 1;
    constexpr int givenPixelSize = QTextFormat::UserProperty + 2;
    const qreal factor = m_zoom / 100.0;
    QTextCursor cursor(document());
    bool editing = false;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            const bool points = format.hasProperty(QTextFormat::FontPointSize);
            const bool pixels = format.hasProperty(QTextFormat::FontPixelSize);
            if (!points && !pixels)
                continue;
            if (points) {
                if (!format.hasProperty(givenPointSize)) {
                    if (m_zoom == 100)
                        continue;
                    format.setProperty(givenPointSize, format.fontPointSize());
                }
                format.setFontPointSize(format.doubleProperty(givenPointSize) * factor);
            } else {
                if (!format.hasProperty(givenPixelSize)) {
                    if (m_zoom == 100)
                        continue;
                    format.setProperty(givenPixelSize,
                                       format.intProperty(QTextFormat::FontPixelSize));
                }
                format.setProperty(QTextFormat::FontPixelSize,
                                   qMax(1, qRound(format.intProperty(givenPixelSize) * factor)));
            }
            if (!editing) {
                cursor.beginEditBlock();
                editing = true;
            }
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    if (editing)
        cursor.endEditBlock();
}

namespace {

// True when a table holds another.
bool collectTables(QTextFrame *frame, QList<QTextTable *> &tables)
{
    bool nested = false;
    for (QTextFrame *child : frame->childFrames()) {
        // Inner tables first: an outer column is measured with its inner tables widened.
        const int before = int(tables.size());
        nested = collectTables(child, tables) || nested;
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            nested = nested || tables.size() > before;
            tables.append(table);
        }
    }
    return nested;
}

// How much wider each column must be for its widest line, whose words the layout cannot
// break (a run of non-breaking spaces, "white-space: nowrap"), not to run into the next.
// Columns are measured on one row; a cell's lines by their own widths, which the layout
// keeps: a page of thousands of rows is measured in a few milliseconds.
QList<qreal> shortfalls(QTextDocument *document, QTextTable *table, QList<qreal> &widths)
{
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    const int columns = table->columns();
    QList<qreal> missing(columns, 0);
    widths.fill(0, columns);
    int measured = -1;
    for (int row = 0; row < table->rows() && measured < 0; ++row) {
        bool plain = true;
        for (int column = 0; column < columns && plain; ++column)
            plain = table->cellAt(row, column).columnSpan() == 1;
        if (plain)
            measured = row;
    }
    if (measured < 0)
        return missing;
    QList<qreal> left(columns + 1, layout->frameBoundingRect(table).right());
    for (int column = 0; column < columns; ++column)
        left[column] = layout
                           ->blockBoundingRect(
                               document->findBlock(table->cellAt(measured, column).firstPosition()))
                           .left();
    for (int column = 0; column < columns; ++column)
        widths[column] = left[column + 1] - left[column];
    for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < columns; ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() != row || cell.column() != column || cell.columnSpan() != 1)
                continue;
            qreal widest = 0;
            // The cell's own paragraphs; tables inside it are measured on their own.
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                const QTextBlock block = it.currentBlock();
                if (!block.isValid() || !block.layout())
                    continue;
                const QTextBlockFormat format = block.blockFormat();
                const qreal indent = format.leftMargin() + format.textIndent() +
                                     format.indent() * document->indentWidth();
                const QTextLayout *lines = block.layout();
                for (int i = 0; i < lines->lineCount(); ++i)
                    widest = qMax(widest, indent + lines->lineAt(i).naturalTextWidth());
            }
            if (widest > widths[column] + 0.5)
                missing[column] = qMax(missing[column], widest - widths[column]);
        }
    }
    return missing;
}

} // namespace

void HelpBrowser::widenColumnsForWholeLines(bool fresh)
{
    // Laid out for no width yet: every column would seem too narrow.
    if (!isVisible() || viewport()->width() <= 0)
        return;
    // The page's own widths, kept beside the ones set here.
    constexpr int givenColumns = QTextFormat::UserProperty + 3;
    constexpr int givenWidth = QTextFormat::UserProperty + 4;
    QList<QTextTable *> tables;
    const bool nested = collectTables(document()->rootFrame(), tables);
    for (QTextTable *table : tables) {
        QTextTableFormat format = table->format();
        if (!fresh || !format.hasProperty(givenColumns))
            continue;
        format.setColumnWidthConstraints(format.property(givenColumns).value<QList<QTextLength>>());
        format.setWidth(format.property(givenWidth).value<QTextLength>());
        table->setFormat(format);
    }
    // Measuring lays the page out, and so does widening: a round more only where a widened
    // inner table can make its outer column too narrow.
    for (int round = 0; round < (nested ? 3 : 1); ++round) {
        // Every table measured before any is widened, which lays out again all that follows.
        QList<std::pair<QTextTable *, QList<QTextLength>>> widened;
        for (QTextTable *table : tables) {
            QList<qreal> widths;
            const QList<qreal> missing = shortfalls(document(), table, widths);
            QList<QTextLength> constraints = table->format().columnWidthConstraints();
            if (constraints.size() != table->columns())
                constraints = QList<QTextLength>(table->columns());
            bool changed = false;
            for (int column = 0; column < table->columns(); ++column) {
                if (missing[column] <= 0)
                    continue;
                constraints[column] = QTextLength(QTextLength::FixedLength,
                                                  std::ceil(widths[column] + missing[column]));
                changed = true;
            }
            if (changed)
                widened.append({table, constraints});
        }
        for (const auto &[table, constraints] : widened) {
            QTextTableFormat format = table->format();
            if (!format.hasProperty(givenColumns)) {
                format.setProperty(givenColumns,
                                   QVariant::fromValue(format.columnWidthConstraints()));
                format.setProperty(givenWidth, QVariant::fromValue(format.width()));
            }
            format.setColumnWidthConstraints(constraints);
            // As in a web browser, a table whose page sets its width grows past it.
            format.setWidth(QTextLength());
            table->setFormat(format);
        }
        if (widened.isEmpty())
            break;
    }
}

void HelpBrowser::printPage(QPagedPaintDevice *printer) const
{
    print(printer);
}

} // namespace qvx::helpviewer

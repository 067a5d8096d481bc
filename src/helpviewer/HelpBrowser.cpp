#include "qvx/helpviewer/HelpBrowser.h"

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmFile.h"

#include <QBuffer>
#include <QByteArrayMatcher>
#include <QImageReader>
#include <QLocale>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

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
    m_basePointSize = font().pointSizeF();
    // Marks belong to the page they were found in.
    connect(this, &QTextBrowser::sourceChanged, this, [this] {
        setExtraSelections({});
        scaleFixedSizes();
    });
}

void HelpBrowser::setFile(std::shared_ptr<const ChmFile> file)
{
    m_file = std::move(file);
    stopWaiting();
}

void HelpBrowser::stopWaiting()
{
    if (!m_waiting)
        return;
    m_waiting.reset();
    emit waitingForFile(false);
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (m_file && m_file->isOpen() && !m_file->isVerified() && url.scheme() == chmScheme() &&
        !m_file->isReadable(chmLookupPath(url))) {
        // The latest request waits; earlier ones are dropped, as the user moved on.
        const bool wasWaiting = m_waiting.has_value();
        m_waiting = Request{url, type};
        if (!wasWaiting)
            emit waitingForFile(true);
        return;
    }
    stopWaiting();
    m_withheld = false;
    QTextBrowser::doSetSource(name, type);
}

void HelpBrowser::fileSettled()
{
    if (!m_file || !m_file->isOpen()) {
        stopWaiting();
        return;
    }
    if (const std::optional<Request> waiting = m_waiting) {
        stopWaiting();
        setSource(waiting->url, waiting->type);
    } else if (m_withheld) {
        reload();
    }
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
    const QString path = chmLookupPath(url);
    const QString shownPath = url.path(QUrl::FullyDecoded).mid(1);
    if (!m_file->isReadable(path)) {
        m_withheld = true;
        return isPage ? QVariant(QString()) : QVariant();
    }
    const qint64 limit = isPage                                      ? maxPageBytes
                         : type == QTextDocument::StyleSheetResource ? maxStyleSheetBytes
                                                                     : maxImageBytes;
    // Judged by the stored length, so an oversized object is never unpacked.
    const std::optional<qint64> size = m_file->objectSize(path);
    if (size && *size > limit)
        return isPage ? QVariant(tooLargeMessage(shownPath, *size)) : QVariant();
    const std::optional<QByteArray> bytes = size ? m_file->read(path) : std::nullopt;
    if (!bytes) {
        if (!isPage)
            return {};
        return pageMessage(shownPath);
    }
    switch (type) {
    case QTextDocument::HtmlResource:
    case QTextDocument::UnknownResource:
        if (tableCells(*bytes) > maxTableCells)
            return tooLargeMessage(shownPath, bytes->size());
        return m_file->decodePage(*bytes);
    case QTextDocument::StyleSheetResource:
        return m_file->decode(*bytes);
    case QTextDocument::ImageResource: {
        const QImage image = decodeImage(*bytes);
        return image.isNull() ? QVariant() : QVariant(image);
    }
    default:
        return *bytes;
    }
}

void HelpBrowser::showFound(const QUrl &url, const QStringList &terms)
{
    if (url != source())
        setSource(url, QTextDocument::HtmlResource);
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
        const QRegularExpression pattern(QStringLiteral("(?<![\\p{L}\\p{N}])%1%2")
                                             .arg(word, prefix
                                                            ? QStringLiteral("[\\p{L}\\p{N}]*")
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

void HelpBrowser::printPage(QPagedPaintDevice *printer) const
{
    print(printer);
}

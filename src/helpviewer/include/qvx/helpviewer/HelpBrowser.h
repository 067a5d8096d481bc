#pragma once

#include "qvx/chm/Limits.h"

#include <QTextBrowser>

#include <memory>
#include <optional>

class ChmFile;
class QPagedPaintDevice;

// Shows pages, images and style sheets from inside one help file (chm:///page.htm URLs).
// A page the file lacks, or a file that could not be read, shows the viewer's own message.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    // Limits fit for a help page: bytes as the format library sets them for every reader, and
    // what the layout can take. The text layout needs about 3 s per MiB of table HTML, so
    // cells are bounded too.
    static constexpr qint64 maxPageBytes = qvx::chm::maxPageBytes;
    static constexpr int maxTableCells = 12000;
    // Pictures: a full-screen 4K screenshot fits (its decoded form takes 4 bytes a pixel).
    static constexpr qint64 maxImageBytes = qvx::chm::maxImageBytes;
    static constexpr qint64 maxImagePixels = qint64(1) << 23;
    static constexpr qint64 maxStyleSheetBytes = qvx::chm::maxStyleSheetBytes;

    static constexpr int minZoom = 50;
    static constexpr int maxZoom = 300;

    HelpBrowser(const QString &filePath, QWidget *parent);

    // The file the pages come from; none (or one not open) shows the file's message.
    void setFile(std::shared_ptr<const ChmFile> file);

    QVariant loadResource(int type, const QUrl &name) override;

    // Until the file's verdict comes, a page the probe has not cleared waits for it, and the
    // pictures and style sheets it has not cleared stay out. Call this when the verdict came.
    void fileSettled();
    bool isWaitingForFile() const { return m_waiting.has_value(); }

    // Opens a page with every occurrence of the terms (as searchTerms() makes them) marked,
    // scrolled to the first.
    void showFound(const QUrl &url, const QStringList &terms);
    int highlightCount() const { return int(extraSelections().size()); }

    // Text size in percent of the normal size; kept from page to page.
    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    // Prints the page, or the selection when there is one.
    void printPage(QPagedPaintDevice *printer) const;

    static QString fileMessage(const QString &filePath);
    static QString pageMessage(const QString &page);
    static QString tooLargeMessage(const QString &page, qint64 bytes);
    // A picture within the limits, decoded; a null image otherwise.
    static QImage decodeImage(const QByteArray &bytes);

signals:
    void waitingForFile(bool waiting);

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    struct Request
    {
        QUrl url;
        QTextDocument::ResourceType type;
    };

    void stopWaiting();
    void highlight(const QStringList &terms);
    void scaleFixedSizes();

    std::shared_ptr<const ChmFile> m_file;
    QString m_filePath;
    std::optional<Request> m_waiting;
    bool m_withheld = false; // the page shown lacks something not cleared yet
    int m_zoom = 100;
    qreal m_basePointSize = 0;
};

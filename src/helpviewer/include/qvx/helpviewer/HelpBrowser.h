#pragma once

#include "qvx/chm/Limits.h"

#include "qvx/help/ChmFile.h"

#include <QHash>
#include <QSet>
#include <QTextBrowser>
#include <QTimer>

#include <memory>
#include <optional>

class QPagedPaintDevice;

namespace qvx::helpviewer {

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
    void setFile(std::shared_ptr<const help::ChmFile> file);

    // Hands out only what was fetched already: the GUI thread never waits for the file's
    // reader. What is missing is fetched, and the page laid out again once it is here.
    QVariant loadResource(int type, const QUrl &name) override;

    // Whether a page, or what it shows, is on its way from the file.
    bool isWaitingForFile() const { return m_pending.has_value(); }

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
    static QString unreadableMessage(const QString &page);
    static QString tooLargeMessage(const QString &page, qint64 bytes);
    // A picture within the limits, decoded; a null image otherwise.
    static QImage decodeImage(const QByteArray &bytes);

signals:
    void waitingForFile(bool waiting);
    // A request found the help file changed since it was opened: the page wanted is not shown.
    void fileChanged(const QUrl &wanted);

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // What came of one object, ready to hand out.
    struct Fetched
    {
        QVariant value;
        qint64 bytes = 0;
    };
    struct Request
    {
        QUrl url;
        QTextDocument::ResourceType type;
        quint64 generation = 0;
        int outstanding = 0;
        QStringList terms; // to mark once it is shown
    };

    struct Reference
    {
        int type;
        QUrl url;
    };

    static QString resourceKey(int type, const QUrl &url);
    void fetch(int type, const QUrl &url, bool forPending);
    void arrived(int type, const QUrl &url, const help::ChmFile::Object &object, bool forPending,
                 quint64 generation);
    void prepared(int type, const QUrl &url, qvx::chmreader::Outcome status, const Fetched &fetched,
                  const QList<Reference> &references, bool forPending, quint64 generation);
    // Off the GUI thread: the object as the browser hands it out, and what a page names.
    static Fetched convert(const help::ChmFile &file, const QString &filePath, int type,
                           const QUrl &url, const help::ChmFile::Object &object);
    static QList<Reference> referencesOf(const QUrl &page, const QString &html);
    void finishPending();
    void stopWaiting();
    // Lays the page out again with what has arrived, failures included, asking for nothing
    // again.
    void reloadArrived();
    void trimCache();
    void highlight(const QStringList &terms);
    void scaleFixedSizes();
    // Table columns whose lines cannot break where the layout wanted them to are made wide
    // enough for them; `fresh` first gives the page's own column widths back.
    void widenColumnsForWholeLines(bool fresh);

    std::shared_ptr<const help::ChmFile> m_file;
    QString m_filePath;
    std::optional<Request> m_pending;
    quint64 m_generation = 0;
    QHash<QString, Fetched> m_fetched;
    QSet<QString> m_fetching;
    QSet<QString> m_failed; // kept only until the user next asks for a page
    qint64 m_cachedBytes = 0;
    bool m_reloadWanted = false;
    // Laying out what has arrived, which asks for nothing again.
    bool m_showingArrived = false;
    int m_zoom = 100;
    QTimer m_widening;
    qreal m_basePointSize = 0;
};

} // namespace qvx::helpviewer

#pragma once

#include "qvx/help/ChmFile.h"

#include <QHash>
#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QPagedPaintDevice;
class QLineEdit;
class QTabWidget;
class QToolBar;

namespace qvx::helpviewer {

class ContentsPane;
class FavoritesPane;
class FindBar;
class HelpBrowser;
class IndexPane;
class SearchPane;

// The program's own help viewer: one window per help file, with its contents as a tree, its
// keyword index with a filter box, and the pages.
class HelpViewer : public QMainWindow
{
    Q_OBJECT

public:
    // Web links leave the viewer through `openLink`.
    using LinkOpener = std::function<void(const QString &address)>;
    HelpViewer(LinkOpener openLink, const QString &filePath);
    ~HelpViewer() override;

    const QString &filePath() const { return m_filePath; }
    bool isFileOpen() const { return m_file && m_file->isOpen(); }
    // The file is being opened; requests wait for it.
    bool isLoading() const { return m_loading; }
    // Whether the file and its index are loaded and the page asked for is shown.
    bool isSettled() const { return !m_loading && m_settled && !isPageWaiting(); }

    // The three requests; each opens the file again if it could not be read before and has
    // changed since. While the file opens they wait, and are served in order once it has.
    void showContents();
    void showIndex();
    void showTopic(const QString &page);
    // Shows the window, restored and in front.
    void bringForward();

    // Opens a page of this file (chm:///...), or hands a web address to the desktop.
    void followLink(const QUrl &link);

    // Prints the page shown (the print action asks for the printer first).
    void printPage(QPagedPaintDevice *printer) const;

    // The window came back where the user last left a viewer.
    bool hasRememberedPlace() const { return m_placeRemembered; }

    // A saved window rectangle made to fit the screen's free area.
    static QRect fitToScreen(const QRect &saved, const QRect &available);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

signals:
    // The file has been opened, or found missing or damaged.
    void fileLoaded();
    // The user chose another help file to open, with File > Open or Open Recent.
    void openRequested(const QString &file);

private:
    void createActions();
    void createControls();
    void createSearchPane();
    void createFavoritesPane();
    void createTopicActions(QToolBar *toolBar);
    void createPageActions();
    void prepareSearch();
    void restorePlacement();
    // The window's inside placed at `wanted`, moved and shrunk so that all of it, `frame`
    // included, is on a screen; invalid when there is nothing to place.
    QRect wholeOnScreen(const QRect &wanted, const QMargins &frame) const;
    // Once the frame is known, fits the window again with it.
    void watchFrame();
    void savePlacement() const;
    void loadFile();
    void fileArrived(std::shared_ptr<const help::ChmFile> file);
    void serveWaiting();
    void fileIndexed();
    // The file changed since it was opened: open it again, then show `wanted`.
    void reopen(const QUrl &wanted);
    bool isPageWaiting() const;
    // Runs `request` now, or once the file has loaded.
    void whenLoaded(std::function<void()> request);
    void fillContents();
    void fillIndex();
    void indexItemActivated(int row);
    void openPage(const QUrl &url);
    void clearOpening();
    void selectContentsEntry(const QUrl &url);
    // The page shown, as the favourites and the topic buttons see it.
    void pageShown();
    void saveFavorites() const;
    void openFavorite(const QString &title, const QString &page);

    LinkOpener m_openLink;
    QString m_filePath;
    std::shared_ptr<const help::ChmFile> m_file;
    bool m_loading = false;
    bool m_settled = false;
    bool m_reopening = false;    // an open file changed and is opened again
    bool m_indexWanted = false;  // the index is loaded and waits for the page to show
    bool m_showsOpening = false; // the page still says the file is being opened
    QList<std::function<void()>> m_waiting;
    QTabWidget *tabNavigation = nullptr;
    ContentsPane *treContents = nullptr;
    IndexPane *m_indexPane = nullptr;
    QLineEdit *txtIndexFilter = nullptr; // the index pane's
    HelpBrowser *txtPage = nullptr;
    SearchPane *m_searchPane = nullptr;
    FindBar *m_findBar = nullptr;
    FavoritesPane *m_favoritesPane = nullptr;
    QAction *actPreviousTopic = nullptr;
    QAction *actNextTopic = nullptr;
    QUrl m_offeredPage; // the page and title the favourites last offered
    QString m_offeredTitle;
    bool m_pageShownQueued = false;
    bool m_placementRestored = false;
    bool m_placeRemembered = false;
};

} // namespace qvx::helpviewer

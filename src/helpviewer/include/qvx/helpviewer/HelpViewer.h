#pragma once

#include "qvx/helpviewer/ChmFile.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class FindBar;
class HelpBrowser;
class QPagedPaintDevice;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class SearchPane;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

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

    // The three requests; each opens the file again if it could not be read before.
    void showContents();
    void showIndex();
    void showTopic(const QString &page);
    // Shows the window, restored and in front.
    void bringForward();

    // Opens a page of this file (chm:///...), or hands a web address to the desktop.
    void followLink(const QUrl &link);

    // Prints the page shown (the print action asks for the printer first).
    void printPage(QPagedPaintDevice *printer) const;

    // A saved window rectangle made to fit the screen's free area.
    static QRect fitToScreen(const QRect &saved, const QRect &available);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void createControls();
    void createSearchPane();
    void createPageActions();
    void fileLoaded();
    void restorePlacement();
    void savePlacement() const;
    void loadFile();
    void fillContents();
    void fillIndex();
    void filterIndex(const QString &text);
    void indexItemActivated(QListWidgetItem *item);
    void openPage(const QUrl &url);
    void selectContentsEntry(const QUrl &url);

    LinkOpener m_openLink;
    QString m_filePath;
    std::shared_ptr<const ChmFile> m_file;
    QTabWidget *tabNavigation = nullptr;
    QTreeWidget *treContents = nullptr;
    QLineEdit *txtIndexFilter = nullptr;
    QListWidget *lstIndex = nullptr;
    QLabel *lblTopicsFound = nullptr;
    QListWidget *lstTopicsFound = nullptr;
    HelpBrowser *txtPage = nullptr;
    QHash<QString, QTreeWidgetItem *> m_contentsByPath;
    SearchPane *m_searchPane = nullptr;
    FindBar *m_findBar = nullptr;
    bool m_placementRestored = false;
};

#pragma once

#include "qvx/help/SearchIndex.h"

#include <QFutureWatcher>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace qvx::help {
class ChmFile;
class ChmFullText;
} // namespace qvx::help

namespace qvx::helpviewer {

// The Search tab: finds pages by their words, through the file's own full-text index or,
// when it has none or none of the query's script, one built on another thread. Searches run on
// another thread too; a new one cancels the last. Results the file's tables leave untitled get
// their pages' own titles, read in the background.
class SearchPane : public QWidget
{
    Q_OBJECT

public:
    explicit SearchPane(QWidget *parent);
    ~SearchPane() override;

    // Starts reading or building the index of the file; none clears the pane.
    void setFile(std::shared_ptr<const help::ChmFile> file);
    // The file is on its way: a search asked for meanwhile runs once it is set.
    void awaitFile();
    void search(const QString &query);
    // True once searches can run (the index is read or built).
    bool isReady() const { return m_fileIndex || m_builtIndex; }
    // True when an index is built here rather than read from the file.
    bool isBuilt() const { return m_builtIndex != nullptr; }

    struct Options
    {
        help::SearchOptions match;
        bool previousResults = false; // searches only the results listed
    };
    Options options() const;
    void setOptions(const Options &options);

signals:
    // A result was opened: the page, and the terms to mark in it.
    void pageChosen(const QUrl &url, const QStringList &terms);
    // The user changed an option.
    void optionsChanged();

private:
    struct Prepared
    {
        std::shared_ptr<const help::ChmFullText> fileIndex;
        std::shared_ptr<const help::SearchIndex> builtIndex;
    };

    void cancelAll();
    void startSearch(const QString &query, const std::optional<QSet<QString>> &within);
    // The results listed now, when the next search is to look among them.
    std::optional<QSet<QString>> previousResults() const;
    void buildIndex();
    void prepared();
    void showResults();
    void showProgress(int done, int total);
    void readTitles(const QList<help::SearchHit> &hits);
    void openResult(QListWidgetItem *item);

    std::shared_ptr<const help::ChmFile> m_file;
    std::shared_ptr<const help::ChmFullText> m_fileIndex;
    std::shared_ptr<const help::SearchIndex> m_builtIndex;
    bool m_preparing = false;
    QString m_pendingQuery;
    std::optional<QSet<QString>> m_pendingWithin;
    bool m_searchedWithin = false;
    bool m_awaitingFile = false;
    QStringList m_terms;
    std::shared_ptr<std::atomic_bool> m_prepareCancel;
    std::shared_ptr<std::atomic_bool> m_searchCancel;
    QFutureWatcher<Prepared> m_prepareWatcher;
    QFutureWatcher<QList<help::SearchHit>> m_searchWatcher;
    QList<QFuture<void>> m_running;

    QLineEdit *txtSearch = nullptr;
    QListWidget *lstSearchResults = nullptr;
    QLabel *lblSearchStatus = nullptr;
    QCheckBox *chkSearchPrevious = nullptr;
    QCheckBox *chkSimilarWords = nullptr;
    QCheckBox *chkTitlesOnly = nullptr;
};

} // namespace qvx::helpviewer

#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QListWidget;

namespace qvx::help {
class IndexModel;
struct SitemapEntry;
} // namespace qvx::help

namespace qvx::helpviewer {

// The index tab: every keyword always listed; typing selects the first that begins with the
// text, the arrow and page keys move the list from the text field, Enter, a double click or
// Display opens the keyword. A keyword with several pages lists them to choose from.
class IndexPane : public QWidget
{
    Q_OBJECT

public:
    // One page on offer for a keyword.
    struct Topic
    {
        QString title;
        QUrl url;
    };

    explicit IndexPane(QWidget *parent = nullptr);

    help::IndexModel *indexModel() const { return m_model; }
    QLineEdit *keywordBox() const { return txtIndexFilter; }
    void setEntries(const QList<help::SitemapEntry> &entries);
    void selectKeyword(const QString &text);
    void showTopics(const QList<Topic> &topics);
    void hideTopics();

signals:
    void keywordChosen(int row);
    void topicChosen(const QUrl &url);

private:
    void chooseCurrent();

    help::IndexModel *m_model;
    QLineEdit *txtIndexFilter;
    QListView *lstIndex;
    QLabel *lblTopicsFound;
    QListWidget *lstTopicsFound;
};

} // namespace qvx::helpviewer

#pragma once

#include <QTreeView>

class ContentsModel;
struct SitemapEntry;

// The contents tab: books start closed; a click opens an entry's page, or a book without one.
class ContentsPane : public QTreeView
{
    Q_OBJECT

public:
    explicit ContentsPane(QWidget *parent = nullptr);

    ContentsModel *contentsModel() const { return m_model; }
    void setEntries(const QList<SitemapEntry> &entries);
    // Opens the books above the page's entry and selects it; false when no entry has the page.
    bool selectPage(const QUrl &url);

signals:
    void pageChosen(const QUrl &url);

private:
    void choose(const QModelIndex &index);

    ContentsModel *m_model;
};

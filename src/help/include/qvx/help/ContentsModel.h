#pragma once

#include "qvx/help/ChmSitemap.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QUrl>

namespace qvx::help {

// The file's contents as a tree: books (entries with entries under them) and pages.
class ContentsModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    static constexpr int urlRole = Qt::UserRole;

    explicit ContentsModel(QObject *parent = nullptr);

    void setEntries(const QList<SitemapEntry> &entries);
    // What a book and a page show beside their names: the view's icons, which the model, free
    // of widgets, does not choose. A view repaints to show new ones.
    void setDecorations(const QVariant &book, const QVariant &page);

    // The entry of a page (the first, where several point at it); invalid when none does.
    QModelIndex indexOfPage(const QUrl &url) const;
    QUrl url(const QModelIndex &index) const;
    // The page of the next entry (`step` 1) or the one before (-1) in reading order that opens
    // another page of the file; empty at the ends, or when no entry has the page.
    QUrl neighbourPage(const QUrl &url, int step) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    struct Node
    {
        QString name;
        QUrl url;
        int parent = -1; // a node number, -1 at the top
        int row = 0;     // under its parent
        QList<int> children;
    };

    const Node *node(const QModelIndex &index) const;
    const QList<int> &childrenOf(const QModelIndex &parent) const;

    QList<Node> m_nodes;
    QList<int> m_top;
    QHash<QString, int> m_byPath; // lower-case lookup path to node
    QVariant m_bookDecoration;
    QVariant m_pageDecoration;
};

} // namespace qvx::help

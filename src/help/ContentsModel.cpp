#include "qvx/help/ContentsModel.h"

#include "qvx/help/ChmAddress.h"

namespace qvx::help {

namespace {

QString pageKey(const QUrl &url)
{
    return url.scheme() == chmScheme() ? chmLookupPath(url).toLower() : QString();
}

} // namespace

ContentsModel::ContentsModel(QObject *parent) : QAbstractItemModel(parent) {}

void ContentsModel::setEntries(const QList<SitemapEntry> &entries)
{
    beginResetModel();
    m_nodes.clear();
    m_top.clear();
    m_byPath.clear();
    m_nodes.reserve(entries.size());
    QList<int> parents; // the last node at each depth
    for (const SitemapEntry &entry : entries) {
        parents.resize(qMin(entry.depth, int(parents.size())));
        Node node;
        node.name = entry.name;
        node.parent = parents.isEmpty() ? -1 : parents.last();
        if (!entry.targets.isEmpty())
            node.url = sitemapTargetUrl(entry.targets.first().local);
        const int number = int(m_nodes.size());
        QList<int> &siblings = node.parent < 0 ? m_top : m_nodes[node.parent].children;
        node.row = int(siblings.size());
        siblings.append(number);
        if (const QString key = pageKey(node.url); !key.isEmpty() && !m_byPath.contains(key))
            m_byPath.insert(key, number);
        m_nodes.append(std::move(node));
        parents.append(number);
    }
    endResetModel();
}

QModelIndex ContentsModel::indexOfPage(const QUrl &url) const
{
    const auto found = m_byPath.constFind(pageKey(url));
    if (found == m_byPath.constEnd())
        return {};
    return createIndex(m_nodes[*found].row, 0, quintptr(*found));
}

QUrl ContentsModel::neighbourPage(const QUrl &url, int step) const
{
    const QString key = pageKey(url);
    const auto found = m_byPath.constFind(key);
    if (found == m_byPath.constEnd())
        return {};
    // Nodes are kept in reading order. A book often opens the page of its first entry, and
    // web addresses are no pages of the file: both are passed over.
    for (qsizetype number = *found + step; number >= 0 && number < m_nodes.size(); number += step) {
        const QString other = pageKey(m_nodes[number].url);
        if (!other.isEmpty() && other != key)
            return m_nodes[number].url;
    }
    return {};
}

void ContentsModel::setDecorations(const QVariant &book, const QVariant &page)
{
    m_bookDecoration = book;
    m_pageDecoration = page;
}

QUrl ContentsModel::url(const QModelIndex &index) const
{
    const Node *entry = node(index);
    return entry ? entry->url : QUrl();
}

const ContentsModel::Node *ContentsModel::node(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.internalId() >= quintptr(m_nodes.size()))
        return nullptr;
    return &m_nodes[qsizetype(index.internalId())];
}

const QList<int> &ContentsModel::childrenOf(const QModelIndex &parent) const
{
    const Node *entry = node(parent);
    return entry ? entry->children : m_top;
}

QModelIndex ContentsModel::index(int row, int column, const QModelIndex &parent) const
{
    const QList<int> &children = childrenOf(parent);
    if (column != 0 || row < 0 || row >= children.size())
        return {};
    return createIndex(row, 0, quintptr(children[row]));
}

QModelIndex ContentsModel::parent(const QModelIndex &child) const
{
    const Node *entry = node(child);
    if (!entry || entry->parent < 0)
        return {};
    return createIndex(m_nodes[entry->parent].row, 0, quintptr(entry->parent));
}

int ContentsModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(childrenOf(parent).size());
}

int ContentsModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ContentsModel::data(const QModelIndex &index, int role) const
{
    const Node *entry = node(index);
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return entry->name;
    case Qt::DecorationRole: {
        const bool book = !entry->children.isEmpty() || entry->url.isEmpty();
        return book ? m_bookDecoration : m_pageDecoration;
    }
    case urlRole:
        return entry->url;
    default:
        return {};
    }
}

} // namespace qvx::help

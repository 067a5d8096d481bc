#include "qvx/help/IndexModel.h"

#include <algorithm>

namespace qvx::help {

namespace {

constexpr int indentWidth = 4;

// Index compilers sort letter case aside, some by lower case and some by upper case: the
// two disagree where a keyword has "_" or "[" beside a letter.
int compareKeywords(const QString &a, const QString &b, bool byUpperCase)
{
    if (!byUpperCase)
        return a.compare(b, Qt::CaseInsensitive);
    const qsizetype common = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = a[i].toUpper().unicode();
        const char16_t y = b[i].toUpper().unicode();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

IndexModel::IndexModel(QObject *parent) : QAbstractListModel(parent) {}

void IndexModel::setEntries(const QList<SitemapEntry> &entries)
{
    beginResetModel();
    m_entries = entries;
    m_topRows.clear();
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_entries[row].depth == 0)
            m_topRows.append(int(row));
    }
    m_sorted = false;
    for (const bool byUpperCase : {false, true}) {
        m_sorted = std::is_sorted(m_topRows.cbegin(), m_topRows.cend(), [&](int a, int b) {
            return compareKeywords(m_entries[a].name, m_entries[b].name, byUpperCase) < 0;
        });
        m_byUpperCase = byUpperCase;
        if (m_sorted)
            break;
    }
    endResetModel();
}

const SitemapEntry *IndexModel::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? &m_entries[row] : nullptr;
}

int IndexModel::findKeyword(const QString &text) const
{
    const QString wanted = text.trimmed();
    if (wanted.isEmpty() || m_entries.isEmpty())
        return -1;
    const auto begins = [&wanted](const SitemapEntry &entry) {
        return entry.name.startsWith(wanted, Qt::CaseInsensitive);
    };
    qsizetype place = -1; // in m_topRows, where the text would stand
    if (m_sorted) {
        const auto found = std::lower_bound(
            m_topRows.cbegin(), m_topRows.cend(), wanted, [this](int row, const QString &key) {
                return compareKeywords(m_entries[row].name, key, m_byUpperCase) < 0;
            });
        place = found - m_topRows.cbegin();
        if (found != m_topRows.cend() && begins(m_entries[*found]))
            return *found;
    } else {
        for (const int row : m_topRows) {
            if (begins(m_entries[row]))
                return row;
        }
    }
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_entries[row].depth > 0 && begins(m_entries[row]))
            return int(row);
    }
    if (place < 0 || m_topRows.isEmpty())
        return -1;
    return m_topRows[qMin(place, m_topRows.size() - 1)];
}

int IndexModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant IndexModel::data(const QModelIndex &index, int role) const
{
    const SitemapEntry *keyword = index.isValid() ? entry(index.row()) : nullptr;
    if (!keyword)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString(QString(keyword->depth * indentWidth, QLatin1Char(' ')) + keyword->name);
    case Qt::ToolTipRole:
    case keywordRole:
        return keyword->name;
    default:
        return {};
    }
}

} // namespace qvx::help

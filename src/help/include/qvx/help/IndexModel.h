#pragma once

#include "qvx/help/ChmSitemap.h"

#include <QAbstractListModel>

namespace qvx::help {

// The file's keyword index as one list in the file's order, sub-keywords indented under their
// keyword.
class IndexModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int keywordRole = Qt::UserRole; // the keyword without its indent

    explicit IndexModel(QObject *parent = nullptr);

    void setEntries(const QList<SitemapEntry> &entries);
    const SitemapEntry *entry(int row) const;

    // The row to select for typed text: the first top-level keyword that begins with it
    // (letter case aside), else the first sub-keyword that does, else the place the text
    // would take in a sorted list. -1 for empty text or an empty index.
    int findKeyword(const QString &text) const;
    // Whether the top-level keywords are in order, so that a lookup may halve its way there.
    bool isSorted() const { return m_sorted; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<SitemapEntry> m_entries;
    QList<int> m_topRows;
    bool m_sorted = false;
    bool m_byUpperCase = false; // the order the keywords are sorted in
};

} // namespace qvx::help

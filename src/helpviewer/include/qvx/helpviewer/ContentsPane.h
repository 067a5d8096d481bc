#pragma once

#include <QTreeView>

namespace qvx::help {
class ContentsModel;
struct SitemapEntry;
} // namespace qvx::help

namespace qvx::helpviewer {

// The contents tab: books start closed; a click opens an entry's page, or a book without one.
class ContentsPane : public QTreeView
{
    Q_OBJECT

public:
    explicit ContentsPane(QWidget *parent = nullptr);

    help::ContentsModel *contentsModel() const { return m_model; }
    void setEntries(const QList<help::SitemapEntry> &entries);
    // Opens the books above the page's entry and selects it; false when no entry has the page.
    bool selectPage(const QUrl &url);

signals:
    void pageChosen(const QUrl &url);

protected:
    void changeEvent(QEvent *event) override;

private:
    void choose(const QModelIndex &index);
    // Books and pages show the style's folder and file icons.
    void showStyleIcons();

    help::ContentsModel *m_model;
};

} // namespace qvx::helpviewer

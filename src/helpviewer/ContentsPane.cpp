#include "qvx/helpviewer/ContentsPane.h"

#include "qvx/help/ContentsModel.h"

#include <QEvent>
#include <QStyle>

namespace qvx::helpviewer {

using namespace qvx::help;

ContentsPane::ContentsPane(QWidget *parent) : QTreeView(parent), m_model(new ContentsModel(this))
{
    setObjectName(QStringLiteral("treContents"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    // A click already opens and closes books; a double click would undo it.
    setExpandsOnDoubleClick(false);
    showStyleIcons();
    setModel(m_model);
    connect(this, &QTreeView::clicked, this, &ContentsPane::choose);
    connect(this, &QTreeView::activated, this, [this](const QModelIndex &index) {
        const QUrl url = m_model->url(index);
        if (url.isValid() && !url.isEmpty())
            emit pageChosen(url);
    });
}

void ContentsPane::showStyleIcons()
{
    m_model->setDecorations(style()->standardIcon(QStyle::SP_DirIcon),
                            style()->standardIcon(QStyle::SP_FileIcon));
}

void ContentsPane::changeEvent(QEvent *event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::StyleChange) {
        showStyleIcons();
        viewport()->update();
    }
}

void ContentsPane::setEntries(const QList<SitemapEntry> &entries)
{
    m_model->setEntries(entries);
}

bool ContentsPane::selectPage(const QUrl &url)
{
    const QModelIndex index = m_model->indexOfPage(url);
    if (!index.isValid())
        return false;
    for (QModelIndex book = index.parent(); book.isValid(); book = book.parent())
        expand(book);
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void ContentsPane::choose(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (m_model->hasChildren(index))
        setExpanded(index, !isExpanded(index));
    const QUrl url = m_model->url(index);
    if (url.isValid() && !url.isEmpty())
        emit pageChosen(url);
}

} // namespace qvx::helpviewer

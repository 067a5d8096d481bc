#include "qvx/helpviewer/IndexPane.h"

#include "ListKeys.h"

#include "qvx/help/IndexModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvx::helpviewer {

using namespace qvx::help;

namespace {

constexpr int urlRole = Qt::UserRole;

} // namespace

IndexPane::IndexPane(QWidget *parent)
    : QWidget(parent), m_model(new IndexModel(this)), txtIndexFilter(new QLineEdit(this)),
      lstIndex(new QListView(this)), lblTopicsFound(new QLabel(tr("Topics found:"), this)),
      lstTopicsFound(new QListWidget(this))
{
    setObjectName(QStringLiteral("pnlIndex"));
    auto *filterLabel = new QLabel(tr("&Type in the keyword to find:"), this);
    txtIndexFilter->setObjectName(QStringLiteral("txtIndexFilter"));
    txtIndexFilter->setClearButtonEnabled(true);
    filterLabel->setBuddy(txtIndexFilter);

    lstIndex->setObjectName(QStringLiteral("lstIndex"));
    // Rows of one height let the view lay out tens of thousands of keywords at once.
    lstIndex->setUniformItemSizes(true);
    lstIndex->setModel(m_model);
    new ListKeys(txtIndexFilter, lstIndex);

    auto *cmdDisplay = new QPushButton(tr("&Display"), this);
    cmdDisplay->setObjectName(QStringLiteral("cmdIndexDisplay"));

    lstTopicsFound->setObjectName(QStringLiteral("lstTopicsFound"));
    lblTopicsFound->setBuddy(lstTopicsFound);
    lblTopicsFound->hide();
    lstTopicsFound->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(filterLabel);
    layout->addWidget(txtIndexFilter);
    layout->addWidget(lstIndex, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdDisplay);
    layout->addLayout(buttons);
    layout->addWidget(lblTopicsFound);
    layout->addWidget(lstTopicsFound, 1);

    connect(txtIndexFilter, &QLineEdit::textChanged, this, &IndexPane::selectKeyword);
    connect(txtIndexFilter, &QLineEdit::returnPressed, this, &IndexPane::chooseCurrent);
    connect(cmdDisplay, &QPushButton::clicked, this, &IndexPane::chooseCurrent);
    connect(lstIndex, &QListView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit keywordChosen(index.row());
    });
    const auto openTopic = [this](QListWidgetItem *item) {
        emit topicChosen(item->data(urlRole).toUrl());
    };
    connect(lstTopicsFound, &QListWidget::itemActivated, this, openTopic);
    connect(lstTopicsFound, &QListWidget::itemClicked, this, openTopic);
}

void IndexPane::setEntries(const QList<SitemapEntry> &entries)
{
    hideTopics();
    m_model->setEntries(entries);
    if (m_model->rowCount() > 0)
        lstIndex->setCurrentIndex(m_model->index(0));
    selectKeyword(txtIndexFilter->text());
}

void IndexPane::selectKeyword(const QString &text)
{
    const int row = m_model->findKeyword(text);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    lstIndex->setCurrentIndex(index);
    lstIndex->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void IndexPane::showTopics(const QList<Topic> &topics)
{
    lstTopicsFound->clear();
    for (const Topic &topic : topics) {
        auto *item = new QListWidgetItem(topic.title, lstTopicsFound);
        item->setData(urlRole, topic.url);
    }
    lstTopicsFound->setCurrentRow(0);
    lblTopicsFound->show();
    lstTopicsFound->show();
}

void IndexPane::hideTopics()
{
    lstTopicsFound->clear();
    lblTopicsFound->hide();
    lstTopicsFound->hide();
}

void IndexPane::chooseCurrent()
{
    const QModelIndex current = lstIndex->currentIndex();
    if (current.isValid())
        emit keywordChosen(current.row());
}

} // namespace qvx::helpviewer

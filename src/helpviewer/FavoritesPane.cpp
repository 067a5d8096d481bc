#include "qvx/helpviewer/FavoritesPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvx::helpviewer {

namespace {

constexpr int pageRole = Qt::UserRole;

} // namespace

FavoritesPane::FavoritesPane(QWidget *parent)
    : QWidget(parent), txtFavoriteTitle(new QLineEdit(this)),
      cmdFavoriteAdd(new QPushButton(tr("&Add"), this)), lstFavorites(new QListWidget(this)),
      cmdFavoriteRemove(new QPushButton(tr("&Remove"), this)),
      cmdFavoriteDisplay(new QPushButton(tr("&Display"), this))
{
    setObjectName(QStringLiteral("paneFavorites"));
    auto *topicsLabel = new QLabel(tr("&Topics:"), this);
    topicsLabel->setBuddy(lstFavorites);
    lstFavorites->setObjectName(QStringLiteral("lstFavorites"));
    cmdFavoriteRemove->setObjectName(QStringLiteral("cmdFavoriteRemove"));
    cmdFavoriteDisplay->setObjectName(QStringLiteral("cmdFavoriteDisplay"));
    auto *currentLabel = new QLabel(tr("C&urrent topic:"), this);
    currentLabel->setBuddy(txtFavoriteTitle);
    txtFavoriteTitle->setObjectName(QStringLiteral("txtFavoriteTitle"));
    cmdFavoriteAdd->setObjectName(QStringLiteral("cmdFavoriteAdd"));
    cmdFavoriteAdd->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(topicsLabel);
    layout->addWidget(lstFavorites, 1);
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(cmdFavoriteRemove);
    listButtons->addStretch();
    listButtons->addWidget(cmdFavoriteDisplay);
    layout->addLayout(listButtons);
    layout->addWidget(currentLabel);
    layout->addWidget(txtFavoriteTitle);
    layout->addWidget(cmdFavoriteAdd, 0, Qt::AlignRight);

    const auto updateButtons = [this] {
        const bool chosen = lstFavorites->currentItem() != nullptr;
        cmdFavoriteRemove->setEnabled(chosen);
        cmdFavoriteDisplay->setEnabled(chosen);
    };
    updateButtons();
    connect(lstFavorites, &QListWidget::currentItemChanged, this, updateButtons);
    connect(lstFavorites, &QListWidget::itemActivated, this, &FavoritesPane::chooseCurrent);
    connect(cmdFavoriteDisplay, &QPushButton::clicked, this, &FavoritesPane::chooseCurrent);
    connect(cmdFavoriteRemove, &QPushButton::clicked, this, &FavoritesPane::removeCurrent);
    connect(cmdFavoriteAdd, &QPushButton::clicked, this, &FavoritesPane::add);
    connect(txtFavoriteTitle, &QLineEdit::returnPressed, this, &FavoritesPane::add);
    connect(txtFavoriteTitle, &QLineEdit::textChanged, this, [this](const QString &text) {
        cmdFavoriteAdd->setEnabled(!m_page.isEmpty() && !text.trimmed().isEmpty());
    });
}

QList<FavoritesPane::Favorite> FavoritesPane::favorites() const
{
    QList<Favorite> favorites;
    for (int row = 0; row < lstFavorites->count(); ++row) {
        const QListWidgetItem *item = lstFavorites->item(row);
        favorites.append({item->text(), item->data(pageRole).toString()});
    }
    return favorites;
}

void FavoritesPane::setFavorites(const QList<Favorite> &favorites)
{
    lstFavorites->clear();
    for (const Favorite &favorite : favorites) {
        auto *item = new QListWidgetItem(favorite.title, lstFavorites);
        item->setData(pageRole, favorite.page);
        item->setToolTip(favorite.page);
    }
    if (lstFavorites->count() > 0)
        lstFavorites->setCurrentRow(0);
}

void FavoritesPane::setCurrentPage(const QString &page, const QString &title)
{
    m_page = page;
    txtFavoriteTitle->setText(page.isEmpty() ? QString() : title);
    cmdFavoriteAdd->setEnabled(!page.isEmpty() && !title.trimmed().isEmpty());
}

void FavoritesPane::add()
{
    const QString title = txtFavoriteTitle->text().simplified();
    if (m_page.isEmpty() || title.isEmpty())
        return;
    // A page already kept takes the new title rather than a second place in the list.
    QListWidgetItem *item = nullptr;
    for (int row = 0; row < lstFavorites->count() && !item; ++row) {
        if (lstFavorites->item(row)->data(pageRole).toString().compare(m_page,
                                                                       Qt::CaseInsensitive) == 0)
            item = lstFavorites->item(row);
    }
    if (item) {
        item->setText(title);
    } else if (lstFavorites->count() >= maxFavorites) {
        emit listFull();
        return;
    } else {
        item = new QListWidgetItem(title, lstFavorites);
        item->setData(pageRole, m_page);
        item->setToolTip(m_page);
    }
    lstFavorites->setCurrentItem(item);
    emit favoritesChanged();
}

void FavoritesPane::removeCurrent()
{
    const int row = lstFavorites->currentRow();
    if (row < 0)
        return;
    delete lstFavorites->takeItem(row);
    if (lstFavorites->count() > 0)
        lstFavorites->setCurrentRow(qMin(row, lstFavorites->count() - 1));
    emit favoritesChanged();
}

void FavoritesPane::chooseCurrent()
{
    if (const QListWidgetItem *item = lstFavorites->currentItem())
        emit favoriteChosen({item->text(), item->data(pageRole).toString()});
}

} // namespace qvx::helpviewer

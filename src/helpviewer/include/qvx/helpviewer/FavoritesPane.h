#pragma once

#include <QList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace qvx::helpviewer {

// The Favorites tab: the current page under a title the user may change, added to a list of
// pages to come back to; Display, Enter or a double click opens one, Remove takes it away.
class FavoritesPane : public QWidget
{
    Q_OBJECT

public:
    struct Favorite
    {
        QString title;
        QString page; // the page's path in the file, with its fragment if any
    };

    // As many as are kept across runs: a new page beyond them is refused, not lost later.
    static constexpr int maxFavorites = 1000;

    explicit FavoritesPane(QWidget *parent = nullptr);

    QList<Favorite> favorites() const;
    void setFavorites(const QList<Favorite> &favorites);
    // The page shown now, offered for adding under `title`; an empty page offers nothing.
    void setCurrentPage(const QString &page, const QString &title);

signals:
    // The list was changed by the user: added to, retitled or removed from.
    void favoritesChanged();
    void favoriteChosen(const Favorite &favorite);
    // A new page was not added: the list holds `maxFavorites` already.
    void listFull();

private:
    void add();
    void removeCurrent();
    void chooseCurrent();

    QString m_page;
    QLineEdit *txtFavoriteTitle;
    QPushButton *cmdFavoriteAdd;
    QListWidget *lstFavorites;
    QPushButton *cmdFavoriteRemove;
    QPushButton *cmdFavoriteDisplay;
};

} // namespace qvx::helpviewer

#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmFile.h"
#include "qvx/helpviewer/FavoritesPane.h"
#include "qvx/helpviewer/HelpViewer.h"

#include "PageWait.h"
#include "qvx/help/IndexModel.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using namespace qvx::help;
using namespace qvx::helpviewer;

using namespace Qt::StringLiterals;

namespace {

const QString navigationFile = QStringLiteral(QVX_TEST_NAVIGATION_FILE);
const QString indexOnlyFile = QStringLiteral(QVX_TEST_INDEX_ONLY_FILE);

// A viewer window and the parts of it the tests look at.
struct View
{
    HelpViewer *window = nullptr;

    template <typename T> T *part(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QTreeView *tree() const { return part<QTreeView>("treContents"); }
    QListView *list() const { return part<QListView>("lstIndex"); }
    QLineEdit *box() const { return part<QLineEdit>("txtIndexFilter"); }
    QString path() const
    {
        waitForPage(part<QTextBrowser>("txtPage"));
        return chmLookupPath(part<QTextBrowser>("txtPage")->source());
    }
    int tab() const { return part<QTabWidget>("tabNavigation")->currentIndex(); }
    // A contents entry by its row at each level.
    QModelIndex entry(std::initializer_list<int> rows) const
    {
        QModelIndex index;
        for (const int row : rows)
            index = tree()->model()->index(row, 0, index);
        return index;
    }
    QString currentEntry() const { return tree()->currentIndex().data().toString(); }
    QString currentKeyword() const
    {
        return list()->currentIndex().data(IndexModel::keywordRole).toString();
    }
    QStringList keywords() const
    {
        QStringList rows;
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            if (!list()->isRowHidden(row))
                rows.append(list()->model()->index(row, 0).data().toString());
        }
        return rows;
    }
    void type(const QString &text) const
    {
        box()->clear();
        QTest::keyClicks(box(), text);
    }
};

// Favourites of the navigation file kept from an earlier run, as title and page; `claimed`
// overrides the count the settings give.
void keepFavorites(const QList<std::pair<QString, QString>> &favorites, int claimed = -1)
{
    QSettings settings(u"QVXDemos"_s, u"QVXDemos"_s);
    settings.beginGroup(u"HelpViewer/Favorites"_s);
    settings.beginWriteArray(u"Navigation.chm"_s);
    for (qsizetype i = 0; i < favorites.size(); ++i) {
        settings.setArrayIndex(int(i));
        settings.setValue(u"title"_s, favorites[i].first);
        settings.setValue(u"page"_s, favorites[i].second);
    }
    settings.endArray();
    if (claimed >= 0)
        settings.setValue(u"Navigation.chm/size"_s, claimed);
}

} // namespace

class TestHelpNavigation : public QObject
{
    Q_OBJECT

    QStringList m_links;

    View open(const QString &file, int command = HelpViewers::displayContents)
    {
        View view{HelpViewers::request([this](const QString &link) { m_links.append(link); },
                                       nullptr, file, command)};
        if (view.window && !QTest::qWaitFor([&view] {
                return view.window->isFileOpen() && view.window->isSettled();
            }))
            view.window = nullptr;
        return view;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
    }

    void cleanup()
    {
        HelpViewers::closeAll();
        m_links.clear();
    }

    void contentsShowOnlyTheCurrentPagesBook()
    {
        const View view = open(navigationFile);
        QVERIFY(view.window);
        const QModelIndex bookOne = view.entry({1});
        const QModelIndex innerBook = view.entry({1, 1});
        const QModelIndex bookTwo = view.entry({2});
        QCOMPARE(bookOne.data().toString(), u"Book one"_s);
        QCOMPARE(view.entry({1, 1, 0}).data().toString(), u"Page C"_s);
        QTRY_COMPARE(view.currentEntry(), u"Start"_s);
        QVERIFY(!view.tree()->isExpanded(bookOne) && !view.tree()->isExpanded(bookTwo));

        emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"c.htm"_s));
        QCOMPARE(view.path(), u"/c.htm"_s);
        QCOMPARE(view.currentEntry(), u"Page C"_s);
        QVERIFY(view.tree()->isExpanded(bookOne) && view.tree()->isExpanded(innerBook));
        QVERIFY(!view.tree()->isExpanded(bookTwo));

        // After the user closed everything and went to the index, Locate finds the page again.
        view.tree()->collapseAll();
        view.tree()->setCurrentIndex(view.entry({0}));
        view.part<QTabWidget>("tabNavigation")->setCurrentIndex(1);
        view.part<QAction>("actLocate")->trigger();
        QCOMPARE(view.tab(), 0);
        QCOMPARE(view.currentEntry(), u"Page C"_s);
        QVERIFY(view.tree()->isExpanded(bookOne) && view.tree()->isExpanded(innerBook));

        // A book without a page opens and closes on a click; the page stays.
        emit view.tree()->clicked(bookTwo);
        QVERIFY(view.tree()->isExpanded(bookTwo));
        emit view.tree()->clicked(bookTwo);
        QVERIFY(!view.tree()->isExpanded(bookTwo));
        QCOMPARE(view.path(), u"/c.htm"_s);
    }

    void webAddressesInContentsAndIndexGoToTheBrowser()
    {
        const View view = open(navigationFile);
        QVERIFY(view.window);
        QTRY_COMPARE(view.path(), u"/start.htm"_s);
        emit view.tree()->clicked(view.entry({3}));
        view.type(u"web"_s);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(m_links,
                 QStringList({u"https://www.example.org/"_s, u"https://www.example.org/help"_s}));
        QCOMPARE(view.path(), u"/start.htm"_s);
    }

    void indexSelectsAsTypedAndKeepsEveryKeyword()
    {
        const View view = open(navigationFile, HelpViewers::displayIndex);
        QVERIFY(view.window);
        const QStringList all{u"alpha"_s, u"Beta"_s,     u"    nested"_s, u"Charlie"_s,
                              u"Delta"_s, u"multiple"_s, u"web site"_s};
        QCOMPARE(view.keywords(), all);
        const QList<std::pair<QString, QString>> typed{
            {u"CH"_s, u"Charlie"_s},
            {u"b"_s, u"Beta"_s},
            {u"nest"_s, u"nested"_s},  // a sub-keyword when no keyword begins so
            {u"car"_s, u"Charlie"_s},  // where it would stand
            {u"zz"_s, u"web site"_s}}; // past the end: the last
        for (const auto &[text, keyword] : typed) {
            view.type(text);
            QCOMPARE(view.currentKeyword(), keyword);
            QCOMPARE(view.keywords(), all);
        }
        // The arrow and page keys move the list while the text field keeps the focus.
        view.type(u"b"_s);
        QTest::keyClick(view.box(), Qt::Key_Down);
        QCOMPARE(view.currentKeyword(), u"nested"_s);
        QTest::keyClick(view.box(), Qt::Key_Down);
        QCOMPARE(view.currentKeyword(), u"Charlie"_s);
        QTest::keyClick(view.box(), Qt::Key_Up);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(view.path(), u"/b.htm"_s);
        QCOMPARE(view.part<QTextBrowser>("txtPage")->source().fragment(), u"nested"_s);
        QTest::keyClick(view.box(), Qt::Key_PageDown);
        QCOMPARE(view.currentKeyword(), u"web site"_s);
        QTest::keyClick(view.box(), Qt::Key_PageUp);
        QCOMPARE(view.currentKeyword(), u"alpha"_s);
        QCOMPARE(view.box()->text(), u"b"_s);
    }

    void keywordWithSeveralPagesOffersTheirTitles()
    {
        const View view = open(navigationFile, HelpViewers::displayIndex);
        QVERIFY(view.window);
        QTRY_COMPARE(view.path(), u"/start.htm"_s);
        view.type(u"mult"_s);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(view.path(), u"/start.htm"_s); // nothing opens before the choice
        auto *topics = view.part<QListWidget>("lstTopicsFound");
        QVERIFY(topics->isVisible());
        QStringList titles;
        for (int row = 0; row < topics->count(); ++row)
            titles.append(topics->item(row)->text());
        // The index repeats the keyword for each page: the pages' own titles tell them apart.
        QCOMPARE(titles, QStringList({u"alpha"_s, u"Charlie"_s}));
        emit topics->itemActivated(topics->item(1));
        QCOMPARE(view.path(), u"/c.htm"_s);
    }

    // No contents and no start page: the file opens on an empty page with its index in front,
    // for the index as for the contents (asked for once the file is known).
    void fileWithOnlyAnIndexOpensOnIt_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("index") << HelpViewers::displayIndex;
        QTest::newRow("contents") << HelpViewers::displayContents;
    }
    void fileWithOnlyAnIndexOpensOnIt()
    {
        QFETCH(int, command);
        const View view = open(indexOnlyFile, command);
        QVERIFY(view.window);
        auto *page = view.part<QTextBrowser>("txtPage");
        QCOMPARE(page->toPlainText(), QString());
        QCOMPARE(view.window->windowTitle(), u"IndexOnly"_s);
        QCOMPARE(view.tab(), 1);
        QCOMPARE(view.keywords(), QStringList({u"alpha"_s, u"Beta"_s}));
        view.type(u"b"_s);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(view.path(), u"/b.htm"_s);
    }

    void favoritesAreAddedOpenedRemovedAndKept()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        // One kept from before, whose page the file has lost since.
        keepFavorites({{u"Gone"_s, u"/gone.htm"_s}});
        const auto titles = [](const View &view) {
            QStringList shown;
            auto *list = view.part<QListWidget>("lstFavorites");
            for (int row = 0; row < list->count(); ++row)
                shown.append(list->item(row)->text());
            return shown;
        };
        {
            const View view = open(navigationFile);
            QVERIFY(view.window);
            auto *tabs = view.part<QTabWidget>("tabNavigation");
            QCOMPARE(tabs->tabText(3), u"Favor&ites"_s);
            tabs->setCurrentIndex(3);
            QCOMPARE(titles(view), QStringList{u"Gone"_s});
            auto *title = view.part<QLineEdit>("txtFavoriteTitle");
            auto *add = view.part<QPushButton>("cmdFavoriteAdd");
            emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"a.htm#top"_s));
            QCOMPARE(view.path(), u"/a.htm"_s);
            QTRY_COMPARE(title->text(), u"Alpha page"_s);
            title->setText(u"First letter"_s);
            add->click();
            emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"c.htm"_s));
            QCOMPARE(view.path(), u"/c.htm"_s);
            QTRY_COMPARE(title->text(), u"Charlie page"_s);
            add->click();
            // The same page again takes the title given now.
            emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"a.htm#top"_s));
            QTRY_COMPARE(title->text(), u"Alpha page"_s);
            title->clear();
            QTest::keyClicks(title, u"Alpha, renamed"_s);
            QTest::keyClick(title, Qt::Key_Return);
            QCOMPARE(titles(view),
                     QStringList({u"Gone"_s, u"Alpha, renamed"_s, u"Charlie page"_s}));
        }
        HelpViewers::closeAll();
        const View view = open(navigationFile);
        QVERIFY(view.window);
        QCOMPARE(titles(view), QStringList({u"Gone"_s, u"Alpha, renamed"_s, u"Charlie page"_s}));
        auto *list = view.part<QListWidget>("lstFavorites");
        list->setCurrentRow(1);
        view.part<QPushButton>("cmdFavoriteDisplay")->click();
        QCOMPARE(view.path(), u"/a.htm"_s);
        QCOMPARE(view.part<QTextBrowser>("txtPage")->source().fragment(), u"top"_s);
        list->setCurrentRow(0);
        emit list->itemActivated(list->currentItem());
        QCOMPARE(view.path(), u"/gone.htm"_s);
        QVERIFY(view.part<QTextBrowser>("txtPage")->toPlainText().contains(u"Page not found"_s));
        QTRY_COMPARE(view.window->statusBar()->currentMessage(),
                     u"The favorite \"Gone\" is not in this help file."_s);
        view.part<QPushButton>("cmdFavoriteRemove")->click();
        QCOMPARE(titles(view), QStringList({u"Alpha, renamed"_s, u"Charlie page"_s}));
        HelpViewers::closeAll();
        const View again = open(navigationFile);
        QVERIFY(again.window);
        QCOMPARE(titles(again), QStringList({u"Alpha, renamed"_s, u"Charlie page"_s}));
    }

    // A damaged settings file claiming two billion favourites: the window opens at once,
    // with those that are there.
    void favoritesSurviveADamagedCount()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        keepFavorites({{u"Kept"_s, u"/a.htm"_s}}, 2'000'000'000);
        const View view = open(navigationFile);
        QVERIFY(view.window);
        auto *list = view.part<QListWidget>("lstFavorites");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), u"Kept"_s);
    }

    // A full list refuses a new page and says so, rather than keep it only until the next
    // run, which reads no more; a page already in it still takes a new title.
    void aFullListOfFavoritesRefusesANewPage()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QList<std::pair<QString, QString>> kept;
        for (int i = 1; i < FavoritesPane::maxFavorites; ++i)
            kept.append({u"Page %1"_s.arg(i), u"/p%1.htm"_s.arg(i)});
        kept.append({u"Alpha"_s, u"/a.htm"_s});
        keepFavorites(kept);
        const View view = open(navigationFile);
        QVERIFY(view.window);
        auto *list = view.part<QListWidget>("lstFavorites");
        auto *title = view.part<QLineEdit>("txtFavoriteTitle");
        auto *add = view.part<QPushButton>("cmdFavoriteAdd");
        QCOMPARE(list->count(), FavoritesPane::maxFavorites);
        emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"c.htm"_s));
        QTRY_COMPARE(title->text(), u"Charlie page"_s);
        add->click();
        QCOMPARE(list->count(), FavoritesPane::maxFavorites);
        QCOMPARE(view.window->statusBar()->currentMessage(),
                 u"At most 1,000 favorites are kept: remove one to add another."_s);
        emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"a.htm"_s));
        QTRY_COMPARE(title->text(), u"Alpha page"_s);
        add->click();
        QCOMPARE(list->count(), FavoritesPane::maxFavorites);
        QCOMPARE(list->item(FavoritesPane::maxFavorites - 1)->text(), u"Alpha page"_s);
    }

    void toolbarShowsEveryButtonAndGoesThroughTheContents()
    {
        const View view = open(navigationFile);
        QVERIFY(view.window);
        QTRY_COMPARE(view.path(), u"/start.htm"_s);
        auto *toolBar = view.part<QToolBar>("tbrNavigation");
        for (const char *name :
             {"actBack", "actForward", "actHome", "actLocate", "actPreviousTopic", "actNextTopic",
              "actFind", "actZoomIn", "actZoomOut", "actPrint"}) {
            auto *action = view.part<QAction>(name);
            QVERIFY2(action && toolBar->widgetForAction(action), name);
            QVERIFY2(!action->icon().isNull() && !action->toolTip().isEmpty(), name);
            const QString key = action->shortcut().toString(QKeySequence::NativeText);
            QVERIFY2(action->toolTip().endsWith(u" ("_s + key + u')') || key.isEmpty(), name);
        }
        QCOMPARE(view.part<QAction>("actZoomIn")->toolTip(), u"Zoom In (Ctrl++)"_s);

        auto *previous = view.part<QAction>("actPreviousTopic");
        auto *next = view.part<QAction>("actNextTopic");
        QTRY_VERIFY(!previous->isEnabled() && next->isEnabled());
        // Books without a page of their own and web addresses are passed over.
        for (const QString &page : {u"/a.htm"_s, u"/b.htm"_s, u"/c.htm"_s, u"/d.htm"_s}) {
            QTRY_VERIFY(next->isEnabled());
            next->trigger();
            QCOMPARE(view.path(), page);
        }
        QTRY_VERIFY(!next->isEnabled() && previous->isEnabled());
        QTest::keyClick(view.window, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(view.path(), u"/c.htm"_s);
        QTRY_VERIFY(next->isEnabled());
        emit view.part<QTextBrowser>("txtPage")->anchorClicked(QUrl(u"nowhere.htm"_s));
        QCOMPARE(view.path(), u"/nowhere.htm"_s);
        QTRY_VERIFY(!previous->isEnabled() && !next->isEnabled());

        auto *findBar = view.part<QWidget>("barFind");
        QVERIFY(!findBar->isVisible());
        qobject_cast<QToolButton *>(toolBar->widgetForAction(view.part<QAction>("actFind")))
            ->click();
        QVERIFY(findBar->isVisible());

        // The search field moves through the results as the index field does through keywords.
        view.part<QTabWidget>("tabNavigation")->setCurrentIndex(2);
        auto *query = view.part<QLineEdit>("txtSearch");
        QTest::keyClicks(query, u"start"_s);
        QTest::keyClick(query, Qt::Key_Return);
        auto *results = view.part<QListWidget>("lstSearchResults");
        QTRY_COMPARE(results->count(), 5);
        QCOMPARE(results->currentRow(), 0);
        QTest::keyClick(query, Qt::Key_Down);
        QTest::keyClick(query, Qt::Key_Down);
        QCOMPARE(results->currentRow(), 2);
        QTest::keyClick(query, Qt::Key_Up);
        QCOMPARE(results->currentRow(), 1);
    }

    void binaryIndexServesWhenTheFileHasNoIndexSitemap()
    {
        // The same file with its index sitemap renamed in the file's directory: what is left of
        // the index is the compiled one.
        QFile source(navigationFile);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        const qsizetype entry = bytes.indexOf(QByteArray("\x0a/index.hhk"));
        QVERIFY(entry >= 0);
        bytes[entry + 10] = 'x';
        QTemporaryDir dir;
        const QString copy = dir.filePath(u"Binary.chm"_s);
        QFile target(copy);
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write(bytes) == bytes.size());
        target.close();

        const View view = open(copy, HelpViewers::displayIndex);
        QVERIFY(view.window);
        QCOMPARE(view.keywords(), QStringList({u"alpha"_s, u"Beta"_s, u"    nested"_s, u"Charlie"_s,
                                               u"Delta"_s, u"multiple"_s, u"web site"_s}));
        view.type(u"del"_s);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(view.path(), u"/d.htm"_s);
        view.type(u"web"_s);
        QTest::keyClick(view.box(), Qt::Key_Return);
        QCOMPARE(m_links, QStringList{u"https://www.example.org/help"_s});
    }
};

QTEST_MAIN(TestHelpNavigation)
#include "tst_helpnavigation.moc"

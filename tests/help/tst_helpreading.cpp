#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmFullText.h"
#include "qvx/help/ChmTopics.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/HelpViewer.h"

#include "PageWait.h"
#include "qvx/help/SearchIndex.h"
#include "qvx/helpviewer/SearchPane.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextTable>
#include <QtEndian>

#include <memory>

using namespace qvx::help;
using namespace qvx::helpviewer;

using namespace Qt::StringLiterals;

namespace {

const QString searchFile = QStringLiteral(QVX_TEST_SEARCH_FILE);
const QString tablesFile = QStringLiteral(QVX_TEST_TABLES_FILE);
const QString noIndexFile = QStringLiteral(QVX_TEST_NOINDEX_FILE);
const QString bombFile = QStringLiteral(QVX_TEST_BOMB_FILE);
const QString cjkFile = QStringLiteral(QVX_TEST_CJK_FILE);
const QString russianFile = QStringLiteral(QVX_TEST_RUSSIAN_FILE);
const QString untitledFile = QStringLiteral(QVX_TEST_UNTITLED_FILE);
const QString manyFile = QStringLiteral(QVX_TEST_MANY_FILE);
const QString utf8File = QStringLiteral(QVX_TEST_UTF8_FILE);
// Files made by other people's tools, where the machine has them.
const QString sharedHelpDir = QStringLiteral(QVX_TEST_SHARED_HELP_DIR);

std::unique_ptr<HelpViewer> openViewer(const QString &file)
{
    auto viewer = std::make_unique<HelpViewer>(nullptr, file);
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    // Files open in the background; these tests begin once it has.
    if (!QTest::qWaitFor([&viewer] { return viewer->isSettled(); }, 30000))
        qWarning("the help file is still opening");
    return viewer;
}

QStringList paths(const QList<SearchHit> &hits)
{
    QStringList result;
    for (const SearchHit &hit : hits)
        result.append(hit.path);
    return result;
}

// The peak resident memory of this process so far, in KiB.
qint64 peakMemory()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

} // namespace

class TestHelpReading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
        QStandardPaths::setTestModeEnabled(true);
        QSettings(u"QVXDemos"_s, u"QVXDemos"_s).remove(u"HelpViewer"_s);
    }

    void fileIndexFindsRankedPages()
    {
        ChmFile file;
        QVERIFY(file.open(searchFile));
        const std::shared_ptr<ChmFullText> index = ChmFullText::fromFile(file);
        QVERIFY(index);
        const std::atomic_bool going(false);
        const QList<SearchHit> zebra = index->search(parseSearchQuery(u"Zebra"_s), going);
        // The page with the word in its title first.
        QCOMPARE(paths(zebra), QStringList({u"/zebra.htm"_s, u"/savanna.htm"_s}));
        QCOMPARE(zebra.first().title, u"Zebra Stripes"_s);
        QVERIFY(zebra[0].score > zebra[1].score);

        ChmFile bare;
        QVERIFY(bare.open(noIndexFile));
        QVERIFY(!ChmFullText::fromFile(bare));
    }

    // The index built here agrees with the one the compiler wrote for the same pages, with
    // each search option too.
    void builtIndexFindsWhatTheFileIndexFinds_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("similar");
        QTest::addColumn<bool>("titles");
        QTest::addColumn<QStringList>("within"); // the previous results, when any
        const QString savanna = u"/savanna.htm"_s;
        const QString zebra = u"/zebra.htm"_s;
        const auto row = [](const char *name, const QString &query, const QStringList &expected,
                            bool similar = false, bool titles = false,
                            const QStringList &within = {}) {
            QTest::newRow(name) << query << expected << similar << titles << within;
        };
        row("one word", u"zebra"_s, {savanna, zebra});
        row("every word", u"GIRAFFES zebra"_s, {savanna});
        row("prefix", u"zeb*"_s, {savanna, zebra});
        row("whole words", u"whale"_s, {});
        row("title only", u"stripes"_s, {zebra});
        row("phrase", u"\"zebra has\" stripes"_s, {zebra});
        row("phrase out of order", u"\"has zebra\""_s, {});
        row("phrase apart", u"\"zebra savanna\""_s, {});
        row("exact word only", u"giraffe"_s, {});
        row("similar: ending added", u"giraffe"_s, {savanna}, true);
        row("similar: ending taken off", u"zebras"_s, {savanna, zebra}, true);
        row("similar: in a phrase", u"\"zebras has stripe\""_s, {zebra}, true);
        row("similar: prefix stays a prefix", u"strip*"_s, {zebra}, true);
        row("titles: text word", u"grassland"_s, {}, false, true);
        row("titles: title word", u"zebra"_s, {zebra}, false, true);
        row("titles: phrase only in a title", u"\"the savanna\""_s, {savanna}, false, true);
        row("titles and similar", u"stripe"_s, {zebra}, true, true);
        row("within previous", u"ocean"_s, {savanna}, false, false,
            {u"savanna.HTM"_s, u"zebra.htm"_s});
        row("within none of them", u"whales"_s, {}, false, false, {savanna});
    }
    void builtIndexFindsWhatTheFileIndexFinds()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        QFETCH(bool, similar);
        QFETCH(bool, titles);
        QFETCH(QStringList, within);
        ChmFile withIndex;
        ChmFile without;
        QVERIFY(withIndex.open(searchFile));
        QVERIFY(without.open(noIndexFile));
        const std::atomic_bool going(false);
        const std::shared_ptr<SearchIndex> built = SearchIndex::build(without, going);
        QCOMPARE(built->pageCount(), 3);
        const std::shared_ptr<ChmFullText> own = ChmFullText::fromFile(withIndex);
        QVERIFY(own);
        SearchQuery parsed = parseSearchQuery(query, {titles, similar});
        if (!within.isEmpty()) {
            parsed.within.emplace();
            for (const QString &page : within)
                parsed.within->insert(SearchQuery::resultKey(page));
        }
        for (const SearchSource *source : {static_cast<const SearchSource *>(own.get()),
                                           static_cast<const SearchSource *>(built.get())}) {
            QStringList found = paths(source->search(parsed, going));
            found.sort();
            QCOMPARE(found, expected);
        }
    }

    // Similar words undo and make the consonant that -ed and -ing double, and only that.
    void similarWordsKnowDoubledConsonants()
    {
        const auto similar = [](const QString &one, const QString &other) {
            return similarForms(one).contains(other) && similarForms(other).contains(one);
        };
        QVERIFY(similar(u"running"_s, u"run"_s));
        QVERIFY(similar(u"running"_s, u"runs"_s));
        QVERIFY(similar(u"stopped"_s, u"stopping"_s));
        QVERIFY(similar(u"falling"_s, u"fall"_s));
        QVERIFY(similar(u"passed"_s, u"pass"_s));
        QVERIFY(!similarForms(u"passed"_s).contains(u"pas"_s));
        QVERIFY(!similarForms(u"fall"_s).contains(u"fallling"_s));
        QVERIFY(!similarForms(u"need"_s).contains(u"needded"_s));
    }

    // The options are kept across runs; searching the previous results looks among those
    // listed.
    void searchOptionsAreKeptAndNarrowTheList()
    {
        // Kept apart, so that no other test's viewer searches with these options.
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const auto restore = qScopeGuard([] {
            QSettings::setPath(
                QSettings::NativeFormat, QSettings::UserScope,
                QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        });
        {
            auto viewer = openViewer(searchFile);
            auto *pane = viewer->findChild<SearchPane *>(u"paneSearch"_s);
            auto *results = viewer->findChild<QListWidget *>(u"lstSearchResults"_s);
            auto *status = viewer->findChild<QLabel *>(u"lblSearchStatus"_s);
            auto *previous = viewer->findChild<QCheckBox *>(u"chkSearchPrevious"_s);
            QVERIFY(!previous->isChecked());
            QTRY_VERIFY(pane->isReady());
            pane->search(u"ocean"_s);
            QTRY_COMPARE(results->count(), 2);
            previous->click();
            pane->search(u"zebra"_s);
            QTRY_COMPARE(results->count(), 1);
            QCOMPARE(results->item(0)->data(Qt::UserRole).toString(), u"/savanna.htm"_s);
            QCOMPARE(status->text(), u"1 topic found among the previous results."_s);
            pane->search(u"whales"_s);
            QTRY_COMPARE(status->text(), u"No topics found among the previous results."_s);
            viewer->findChild<QCheckBox *>(u"chkSimilarWords"_s)->click();
        }
        auto viewer = openViewer(searchFile);
        auto *pane = viewer->findChild<SearchPane *>(u"paneSearch"_s);
        QVERIFY(pane->options().previousResults);
        QVERIFY(pane->options().match.similarWords);
        QVERIFY(!pane->options().match.titlesOnly);
        // With nothing listed there is nothing to narrow; in the page, the forms found are
        // marked, not just the word typed.
        auto *results = viewer->findChild<QListWidget *>(u"lstSearchResults"_s);
        QTRY_VERIFY(pane->isReady());
        pane->search(u"whale"_s);
        QTRY_COMPARE(results->count(), 1);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                          results->visualItemRect(results->item(0)).center());
        auto *page = viewer->findChild<HelpBrowser *>();
        QTRY_VERIFY(!page->extraSelections().isEmpty());
        QCOMPARE(page->extraSelections().first().cursor.selectedText(), u"Whales"_s);
    }

    // The compiler's index holds neither CJK nor Cyrillic words: such queries are searched in
    // an index built here, where each ideograph, kana and hangul syllable is a word.
    void searchFindsWordsOfEveryScript_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        const QString together = u"/hotkey.htm"_s;
        const QString apart = u"/apart.htm"_s;
        QTest::newRow("ideographs together") << u"热键"_s << QStringList{together};
        QTest::newRow("ideographs apart") << u"热 键"_s << QStringList{apart, together};
        QTest::newRow("ideographs quoted") << u"\"热 键\""_s << QStringList{together};
        QTest::newRow("hangul together") << u"핫키"_s << QStringList{together};
        QTest::newRow("hangul apart") << u"핫 키"_s << QStringList{apart, together};
        QTest::newRow("kana") << u"カタカナ"_s << QStringList{together};
        QTest::newRow("mixed") << u"hotkey 热键"_s << QStringList{together};
        QTest::newRow("reversed") << u"键热"_s << QStringList{apart};
    }
    void searchFindsWordsOfEveryScript()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        ChmFile file;
        QVERIFY(file.open(cjkFile));
        const std::shared_ptr<ChmFullText> own = ChmFullText::fromFile(file);
        QVERIFY(own);
        const SearchQuery parsed = parseSearchQuery(query);
        QVERIFY(!own->holdsTermsOf(parsed));
        QVERIFY(own->holdsTermsOf(parseSearchQuery(u"hotkey"_s)));
        const std::atomic_bool going(false);
        QStringList found = paths(SearchIndex::build(file, going)->search(parsed, going));
        found.sort();
        QCOMPARE(found, expected);
    }

    // A compiler that could not split the file's code page keeps stray letters of its text in
    // the index and leaves its words out: every word of that script on every page is still
    // found, in any letter case; and so are the words the compiler kept within others ("4.x").
    void everyWordOfARealFileIsFound()
    {
        const QString path = sharedHelpDir + u"/xtreme3d-ru.chm"_s;
        if (!QFile::exists(path))
            QSKIP("the shared help files are not on this machine");
        ChmFile file;
        QVERIFY(file.open(path));
        const std::shared_ptr<ChmFullText> own = ChmFullText::fromFile(file);
        QVERIFY(own);
        const std::atomic_bool going(false);
        const std::shared_ptr<SearchIndex> built = SearchIndex::build(file, going);
        // As the search tab chooses.
        const auto search = [&](const QString &query) {
            const SearchQuery parsed = parseSearchQuery(query);
            const SearchSource *source = own->holdsTermsOf(parsed)
                                             ? static_cast<const SearchSource *>(own.get())
                                             : built.get();
            return paths(source->search(parsed, going));
        };
        QCOMPARE(search(u"окно"_s).size(), 5);
        QCOMPARE(search(u"ОКНО"_s), search(u"окно"_s));
        QCOMPARE(search(u"функция"_s).size(), 31);
        QCOMPARE(search(u"Функции"_s).size(), 38);
        QCOMPARE(search(u"texture"_s).size(), 3);
        QVERIFY(search(u"x"_s).contains(u"/faq.html"_s));
        QStringList missed;
        int searched = 0;
        QCOMPARE(built->pageCount(), 90);
        for (const QString &page : built->pagePaths()) {
            const ChmFile::Object object = file.fetch(page);
            QCOMPARE(object.status, qvx::chmreader::Outcome::Ok);
            const PageText text = pageText(file.decodePage(object.bytes));
            QStringList words = textWords(text.title) + textWords(text.body);
            words.removeDuplicates();
            for (const QString &word : std::as_const(words)) {
                if (std::none_of(word.cbegin(), word.cend(),
                                 [](QChar c) { return c.script() == QChar::Script_Cyrillic; }))
                    continue;
                ++searched;
                // Upper case, as a user may type it.
                if (!search(word.toUpper()).contains(page))
                    missed.append(word + u" in "_s + page);
            }
        }
        QVERIFY2(searched > 10000, qPrintable(QString::number(searched)));
        QVERIFY2(missed.isEmpty(), qPrintable(missed.mid(0, 10).join(u", "_s)));
    }

    // A file of the Chinese code page whose pages are UTF-8 keeps their titles, contents and
    // words as written; one in that code page throughout keeps it.
    void textsAreReadInTheEncodingTheyAreWrittenIn()
    {
        ChmFile file;
        QVERIFY(file.open(utf8File));
        QCOMPARE(file.encoding(), QByteArray("GBK"));
        QCOMPARE(file.contents().first().name, u"变量和表达式"_s);
        QCOMPARE(topicTitles(file, file.encoding()).value(u"keys.htm"_s), u"热键"_s);
        const std::atomic_bool going(false);
        const std::shared_ptr<ChmFullText> own = ChmFullText::fromFile(file);
        QVERIFY(own);
        const QList<SearchHit> variables = own->search(parseSearchQuery(u"variables"_s), going);
        QCOMPARE(variables.size(), 1);
        QCOMPARE(variables.first().title, u"变量和表达式"_s);
        // A compiler that stores words as the pages give them: two words of this one's
        // written over with the UTF-8 of two characters.
        ChmFullText::Objects objects;
        for (const auto &[object, name] :
             {std::pair{&objects.index, "/$FIftiMain"}, std::pair{&objects.topics, "/#TOPICS"},
              std::pair{&objects.urlTable, "/#URLTBL"}, std::pair{&objects.urlStrings, "/#URLSTR"},
              std::pair{&objects.strings, "/#STRINGS"}})
            *object = file.read(QString::fromLatin1(name)).value_or(QByteArray());
        QCOMPARE(objects.index.count("qqq"), 1);
        QCOMPARE(objects.index.count("zzz"), 1);
        objects.index.replace("qqq", u"热"_s.toUtf8()).replace("zzz", u"键"_s.toUtf8());
        const std::shared_ptr<ChmFullText> utf8Words =
            ChmFullText::fromObjects(objects, file.encoding());
        QVERIFY(utf8Words);
        const SearchQuery hotkey = parseSearchQuery(u"热键"_s);
        QVERIFY(utf8Words->holdsTermsOf(hotkey));
        QCOMPARE(paths(utf8Words->search(hotkey, going)), QStringList{u"/vars.htm"_s});

        const QString gbk = sharedHelpDir + u"/ahk-zh-old.chm"_s;
        if (!QFile::exists(gbk))
            QSKIP("the shared help files are not on this machine");
        ChmFile old;
        QVERIFY(old.open(gbk));
        QCOMPARE(old.contents().value(1).name, u"指南 (快速入门)"_s);
        const std::shared_ptr<ChmFullText> oldIndex = ChmFullText::fromFile(old);
        QVERIFY(oldIndex);
        QVERIFY(oldIndex->holdsTermsOf(hotkey));
        const QList<SearchHit> hits = oldIndex->search(hotkey, going);
        QCOMPARE(hits.size(), 118);
        QCOMPARE(hits.first().title, u"热键 (鼠标, 操纵杆和键盘快捷键)"_s);
    }

    // A query in Cyrillic builds an index; the previous results are kept meanwhile.
    void searchTabBuildsIndexForScriptTheFileLacks()
    {
        auto viewer = openViewer(russianFile);
        auto *pane = viewer->findChild<SearchPane *>(u"paneSearch"_s);
        auto *status = viewer->findChild<QLabel *>(u"lblSearchStatus"_s);
        auto *results = viewer->findChild<QListWidget *>(u"lstSearchResults"_s);
        QTRY_VERIFY(pane->isReady());
        pane->search(u"LoadTexture"_s);
        QTRY_COMPARE(results->count(), 1);
        QVERIFY(!pane->isBuilt());
        pane->setOptions({{}, true});
        pane->search(u"ФУНКЦИЯ"_s);
        QVERIFY2(status->text().startsWith(u"Building the search index"_s),
                 qPrintable(status->text()));
        QTRY_COMPARE(status->text(), u"1 topic found among the previous results."_s);
        QVERIFY(pane->isBuilt());
        QCOMPARE(results->item(0)->data(Qt::UserRole).toString(), u"/texture.htm"_s);
        pane->setOptions({});
        pane->search(u"ФУНКЦИЯ"_s);
        QTRY_COMPARE(results->count(), 2);
        pane->search(u"для текстуры"_s);
        QTRY_COMPARE(results->count(), 1);
        QCOMPARE(results->item(0)->text(), u"Текстура"_s);
    }

    // Untitled in the file's tables, titled ".", or not at all: the page's own title, its first
    // heading, else its name.
    void everyResultHasATitle()
    {
        auto viewer = openViewer(untitledFile);
        auto *pane = viewer->findChild<SearchPane *>(u"paneSearch"_s);
        auto *results = viewer->findChild<QListWidget *>(u"lstSearchResults"_s);
        pane->search(u"orbit"_s);
        QTRY_COMPARE(results->count(), 4);
        QVERIFY(!pane->isBuilt());
        const auto titles = [results] {
            QStringList shown;
            for (int row = 0; row < results->count(); ++row)
                shown.append(results->item(row)->text());
            shown.sort();
            return shown;
        };
        QTRY_COMPARE(titles(), QStringList({u"Dotted orbit"_s, u"Orbit Titled"_s,
                                            u"Orbit heading"_s, u"nothing"_s}));
    }

    // The file's listing starts at a later directory chunk; the topic table names every page.
    void builtIndexReadsPagesTheListingMisses()
    {
        ChmFile file;
        QVERIFY(file.open(manyFile));
        const std::atomic_bool going(false);
        const std::shared_ptr<SearchIndex> built = SearchIndex::build(file, going);
        QVERIFY2(built->pageCount() >= 299, qPrintable(QString::number(built->pageCount())));
        for (const QString &word : {u"word100"_s, u"word250"_s, u"word399"_s})
            QCOMPARE(paths(built->search(parseSearchQuery(word), going)),
                     QStringList{u"/p"_s + word.mid(4) + u".htm"_s});
    }

    void searchTabOpensPageWithWordsMarked_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("marked");
        // Built here: "lion&#115;" on another page is no hit for "lion".
        QTest::newRow("built index") << noIndexFile << u"lion"_s << QStringList{u"lion"_s};
        QTest::newRow("file's index")
            << searchFile << u"giraffes ZEBRA"_s << QStringList{u"Giraffes"_s, u"zebra"_s};
    }
    void searchTabOpensPageWithWordsMarked()
    {
        QFETCH(QString, file);
        QFETCH(QString, query);
        QFETCH(QStringList, marked);
        auto viewer = openViewer(file);
        viewer->resize(700, 300);
        viewer->show();
        auto *tabs = viewer->findChild<QTabWidget *>(u"tabNavigation"_s);
        QCOMPARE(tabs->tabText(2), u"&Search"_s);
        tabs->setCurrentIndex(2);
        // Typed at once: a search asked for while the index is prepared runs once it is.
        auto *text = viewer->findChild<QLineEdit *>(u"txtSearch"_s);
        QTest::keyClicks(text, query);
        QTest::keyClick(text, Qt::Key_Return);
        auto *results = viewer->findChild<QListWidget *>(u"lstSearchResults"_s);
        QTRY_COMPARE(results->count(), 1);
        QCOMPARE(results->item(0)->text(), u"The Savanna"_s);
        emit results->itemActivated(results->item(0));
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        waitForPage(page);
        QCOMPARE(page->source().path(), u"/savanna.htm"_s);
        QStringList found;
        for (const QTextEdit::ExtraSelection &mark : page->extraSelections())
            found.append(mark.cursor.selectedText());
        QCOMPARE(found, marked);
        if (file == noIndexFile)
            QVERIFY(page->verticalScrollBar()->value() > 0); // the word is far down
        // Marks go with their page.
        viewer->followLink(QUrl(u"zebra.htm"_s));
        waitForPage(page);
        QCOMPARE(page->highlightCount(), 0);
    }

    void findBarFindsForwardBackAndSaysNotFound()
    {
        auto viewer = openViewer(searchFile);
        viewer->show();
        viewer->showContents();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        waitForPage(page);
        auto *bar = viewer->findChild<QWidget *>(u"barFind"_s);
        auto *text = viewer->findChild<QLineEdit *>(u"txtFind"_s);
        QVERIFY(!bar->isVisible());
        QTest::keyClick(viewer.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClicks(text, u"zebra"_s);
        const int first = page->textCursor().selectionStart();
        QCOMPARE(page->textCursor().selectedText(), u"Zebra"_s);
        QTest::keyClick(viewer.get(), Qt::Key_F3);
        const int second = page->textCursor().selectionStart();
        QVERIFY(second > first);
        QTest::keyClick(viewer.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(page->textCursor().selectionStart(), first);
        auto *status = viewer->findChild<QLabel *>(u"lblFindStatus"_s);
        QVERIFY(status->text().isEmpty());
        QTest::keyClicks(text, u"qq"_s);
        QCOMPARE(status->text(), u"Not found"_s);
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
    }

    void zoomStaysFromPageToPage()
    {
        auto viewer = openViewer(searchFile);
        viewer->show();
        viewer->showContents();
        viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(viewer.get()));
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        const qreal normal = page->document()->defaultFont().pointSizeF();
        QTest::keyClick(viewer.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(viewer.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(page->zoom(), 120);
        viewer->followLink(QUrl(u"ocean.htm"_s));
        waitForPage(page);
        QCOMPARE(page->source().path(), u"/ocean.htm"_s);
        QCOMPARE(page->document()->defaultFont().pointSizeF(), normal * 1.2);
        // Text whose size the page sets itself (10pt) follows too, without drifting.
        const auto styledSize = [page] {
            return page->document()->begin().begin().fragment().charFormat().fontPointSize();
        };
        QCOMPARE(styledSize(), 12.0);
        QTest::keyClick(viewer.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(page->zoom(), 110);
        QCOMPARE(styledSize(), 11.0);
        QTest::keyClick(viewer.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(page->document()->defaultFont().pointSizeF(), normal);
        QCOMPARE(styledSize(), 10.0);
    }

    void linesThatCannotBreakStayInTheirColumn()
    {
        auto viewer = openViewer(tablesFile);
        viewer->resize(560, 400);
        viewer->show();
        viewer->showContents();
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        waitForPage(page);
        QTextDocument *document = page->document();
        QAbstractTextDocumentLayout *layout = document->documentLayout();
        const auto leftOf = [&](const QTextBlock &block) {
            return layout->blockBoundingRect(block).left();
        };
        for (const int zoom : {100, 200, 100}) {
            page->setZoom(zoom);
            QTest::qWait(0);
            QTextBlock block = document->findBlock(0);
            QTextTable *table = nullptr;
            for (; block.isValid() && !table; block = block.next())
                table = QTextCursor(block).currentTable();
            QVERIFY(table);
            for (int row = 0; row < table->rows(); ++row) {
                const QTextBlock first = document->findBlock(table->cellAt(row, 0).firstPosition());
                const QTextBlock second =
                    document->findBlock(table->cellAt(row, 2).firstPosition());
                // Each line whole, and clear of the next column.
                QCOMPARE(first.layout()->lineCount(), 1);
                QVERIFY2(leftOf(first) + first.layout()->lineAt(0).naturalTextWidth() <=
                             leftOf(second) + 0.5,
                         qPrintable(first.text()));
            }
            if (zoom == 200)
                QVERIFY(page->horizontalScrollBar()->maximum() > 0);
        }
    }

    void printsThePage()
    {
        auto viewer = openViewer(searchFile);
        viewer->showContents();
        const auto *print = viewer->findChild<QAction *>(u"actPrint"_s);
        QCOMPARE(print->shortcut(), QKeySequence(QKeySequence::Print));
        QTemporaryDir folder;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(u"page.pdf"_s));
        viewer->printPage(&printer);
        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY(bytes.contains("/Type /Page"));
    }

    void windowPlaceIsRemembered()
    {
        const QRect place(60, 80, 640, 420);
        {
            auto viewer = openViewer(searchFile);
            viewer->show();
            viewer->setGeometry(place);
            viewer->close();
        }
        auto viewer = openViewer(searchFile);
        viewer->show();
        QCOMPARE(viewer->geometry().size(), place.size());
    }

    // A small file whose start page unpacks to an 18 MB table: a message, at once, without
    // the memory the page would take.
    void pageBombShowsMessageNotPage()
    {
        auto calm = openViewer(searchFile);
        calm->show();
        calm->showContents();
        QVERIFY(QTest::qWaitForWindowExposed(calm.get()));
        QCoreApplication::processEvents();
        const qint64 atRest = peakMemory();

        auto viewer = openViewer(bombFile);
        viewer->show();
        QElapsedTimer blocked;
        blocked.start();
        viewer->showContents();
        QCoreApplication::processEvents();
        const qint64 ms = blocked.elapsed();
        const qint64 peak = peakMemory();
        qInfo("page bomb: GUI thread busy %lld ms; peak memory %lld KiB against %lld KiB at "
              "rest (%.2fx)",
              ms, peak, atRest, double(peak) / double(atRest));
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        waitForPage(page);
        QVERIFY(page->toPlainText().contains(u"This page is too large to show"_s));
        QVERIFY(ms < 100);
        QVERIFY(double(peak) / double(atRest) < 1.5);
        // Its other pages still show, once the whole file is checked.
        viewer->followLink(QUrl(u"small.htm"_s));
        QTRY_VERIFY(page->toPlainText().contains(u"A page of normal size."_s));
    }

    void savedPlaceFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("inside") << QRect(10, 20, 600, 400) << QRect(10, 20, 600, 400);
        QTest::newRow("off to the right")
            << QRect(2000, 100, 600, 400) << QRect(680, 100, 600, 400);
        QTest::newRow("above and left") << QRect(-300, -50, 600, 400) << QRect(0, 0, 600, 400);
        QTest::newRow("larger") << QRect(100, 100, 3000, 2000) << screen;
        QTest::newRow("none saved") << QRect() << QRect();
    }
    void savedPlaceFitsTheScreen()
    {
        QFETCH(QRect, saved);
        QFETCH(QRect, expected);
        QCOMPARE(HelpViewer::fitToScreen(saved, QRect(0, 0, 1280, 800)), expected);
    }

    // The size in a picture's header is judged before anything is decoded.
    void picturesOverTheLimitAreNotDecoded()
    {
        QByteArray bmp;
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "BMP");
        QVERIFY(!HelpBrowser::decodeImage(bmp).isNull());
        qToLittleEndian(qint32(20000), bmp.data() + 18);
        qToLittleEndian(qint32(20000), bmp.data() + 22);
        QVERIFY(HelpBrowser::decodeImage(bmp).isNull());
    }
};

QTEST_MAIN(TestHelpReading)
#include "tst_helpreading.moc"

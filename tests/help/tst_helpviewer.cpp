#include "BuildInfo.h"
#include "FakePlatform.h"
#include "help/HelpKey.h"
#include "help/viewer/ChmAddress.h"
#include "help/viewer/HelpViewer.h"
#include "help/viewer/HelpViewers.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>

namespace {

const QString helpFile = QStringLiteral(QVX_TEST_HELP_FILE);
const QString cyrillicFile = QStringLiteral(QVX_TEST_CYRILLIC_FILE);

QString topicAddress(const QString &file, const QString &topic)
{
    return QStringLiteral("ms-its:") + file + QStringLiteral("::/") + topic;
}

QString pagePath(HelpViewer *viewer)
{
    return chmLookupPath(viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"))->source());
}

QString pageText(HelpViewer *viewer)
{
    return viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"))->toPlainText();
}

QStringList visibleRows(QListWidget *list)
{
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) {
        if (!list->item(row)->isHidden())
            rows.append(list->item(row)->text().trimmed());
    }
    return rows;
}

QListWidgetItem *rowNamed(QListWidget *list, const QString &text)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().trimmed() == text)
            return list->item(row);
    }
    return nullptr;
}

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

int openViewers()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<HelpViewer *>(widget) ? 1 : 0;
    return count;
}

} // namespace

class TestHelpViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void contentsShowTreeBesideDefaultTopic();
    void contentsEntryOpensItsPage();
    void indexListsKeywordsAndFilters_data();
    void indexListsKeywordsAndFilters();
    void keywordWithSeveralPagesOffersChoice();
    void eachTopicOpensItsPage_data();
    void eachTopicOpensItsPage();
    void pagesCarryTheirImageAndStyles();
    void linksMoveBetweenPagesWithHistory();
    void webLinksGoToTheDesktop_data();
    void webLinksGoToTheDesktop();
    void missingFileIsReportedInTheViewer();
    void missingTopicIsReportedInTheViewer();
    void secondRequestReusesTheWindow();
    void unknownCommandOpensNothing();
    void viewerStaysOnTheOwnersScreen();
    void encodingFollowsTheFileLanguage();
    void damagedFileIsReportedWithoutCrash_data();
    void damagedFileIsReportedWithoutCrash();
    void closedViewerIsForgotten();
    void f1OpensTheApplicationHelpFile();

private:
    std::unique_ptr<FakePlatform> m_platform;
    // F1's handler lives as long as the application, so its platform does too.
    FakePlatform m_keyPlatform;
};

void TestHelpViewer::initTestCase()
{
    QVERIFY2(QFile::exists(helpFile), qPrintable(helpFile));
    QVERIFY2(QFile::exists(cyrillicFile), qPrintable(cyrillicFile));
}

void TestHelpViewer::init()
{
    m_platform = std::make_unique<FakePlatform>();
}

void TestHelpViewer::cleanup()
{
    HelpViewers::closeAll();
    QCOMPARE(openViewers(), 0);
    // Nothing the viewer does ends in a message box of the program's own.
    QVERIFY(m_platform->callsOf(QStringLiteral("message")).isEmpty());
    m_platform.reset();
}

void TestHelpViewer::contentsShowTreeBesideDefaultTopic()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayContents);
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->isFileOpen());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Quorvex Demo Player Help"));
    QCOMPARE(viewer->findChild<QTabWidget *>(QStringLiteral("tabNavigation"))->currentIndex(), 0);

    auto *tree = viewer->findChild<QTreeWidget *>(QStringLiteral("treContents"));
    QStringList top;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        top.append(tree->topLevelItem(i)->text(0));
    QCOMPARE(top, texts({"Welcome", "About the demos", "Quorvex", "Quorvex Junior",
                         "Ordering Quorvex", "Contacting Brenlowe"}));
    QTreeWidgetItem *quorvex = tree->topLevelItem(2);
    QCOMPARE(quorvex->childCount(), 3);
    QCOMPARE(quorvex->child(2)->text(0), QStringLiteral("Add-ons"));
    QCOMPARE(tree->topLevelItem(3)->childCount(), 2);

    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));
    QVERIFY(pageText(viewer).contains(QStringLiteral("Welcome to the Quorvex Demos")));
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
}

void TestHelpViewer::contentsEntryOpensItsPage()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayContents);
    auto *tree = viewer->findChild<QTreeWidget *>(QStringLiteral("treContents"));
    QTreeWidgetItem *juniorFeatures = tree->topLevelItem(3)->child(1);
    emit tree->itemClicked(juniorFeatures, 0);
    QCOMPARE(pagePath(viewer), QStringLiteral("/Key features of Quorvex Junior.htm"));
    // A heading without a page leaves the page as it is.
    emit tree->itemClicked(tree->topLevelItem(3), 0);
    QCOMPARE(pagePath(viewer), QStringLiteral("/Key features of Quorvex Junior.htm"));
}

void TestHelpViewer::indexListsKeywordsAndFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("visible");

    QTest::newRow("none") << ""
                          << texts({"Add-ons", "Brenlowe", "Choosing an edition", "Contacting us",
                                    "Demos", "playing", "shared", "E-mail", "Editions",
                                    "Key features", "Ordering", "Prices", "Quorvex",
                                    "Quorvex Junior", "Telephone", "Upgrading to Quorvex",
                                    "Welcome"});
    QTest::newRow("any letter case") << "KEY" << texts({"Key features"});
    QTest::newRow("subentry by its own keyword") << "shar" << texts({"shared"});
    QTest::newRow("subentries by their parent") << "demos" << texts({"Demos", "playing", "shared"});
    QTest::newRow("inside a keyword") << "junior" << texts({"Quorvex Junior"});
    QTest::newRow("nothing matches") << "zebra" << QStringList{};
}

void TestHelpViewer::indexListsKeywordsAndFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, visible);
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayIndex);
    QCOMPARE(viewer->findChild<QTabWidget *>(QStringLiteral("tabNavigation"))->currentIndex(), 1);
    auto *list = viewer->findChild<QListWidget *>(QStringLiteral("lstIndex"));
    auto *box = viewer->findChild<QLineEdit *>(QStringLiteral("txtIndexFilter"));
    QTest::keyClicks(box, filter);
    QCOMPARE(visibleRows(list), visible);
    if (visible.isEmpty()) {
        QVERIFY(!list->currentItem());
        return;
    }
    // Enter opens the first match.
    QCOMPARE(list->currentItem()->text().trimmed(), visible.first());
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!pageText(viewer).contains(QStringLiteral("Page not found")));
}

void TestHelpViewer::keywordWithSeveralPagesOffersChoice()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayIndex);
    auto *list = viewer->findChild<QListWidget *>(QStringLiteral("lstIndex"));
    auto *topics = viewer->findChild<QListWidget *>(QStringLiteral("lstTopicsFound"));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));

    emit list->itemActivated(rowNamed(list, QStringLiteral("Key features")));
    QVERIFY(topics->isVisible());
    QCOMPARE(visibleRows(topics),
             texts({"Key features of Quorvex", "Key features of Quorvex Junior"}));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));
    emit topics->itemActivated(topics->item(1));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Key features of Quorvex Junior.htm"));

    emit list->itemActivated(rowNamed(list, QStringLiteral("Ordering")));
    QVERIFY(!topics->isVisible());
    QCOMPARE(pagePath(viewer), QStringLiteral("/Ordering Quorvex.htm"));

    emit list->itemActivated(rowNamed(list, QStringLiteral("shared")));
    QCOMPARE(pagePath(viewer), QStringLiteral("/About the demos.htm"));
    QCOMPARE(viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"))->source().fragment(),
             QStringLiteral("shared"));
}

void TestHelpViewer::eachTopicOpensItsPage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("heading");

    const QList<QPair<const char *, const char *>> topics = {
        {"Welcome.htm", "Welcome to the Quorvex Demos"},
        {"About the demos.htm", "About the demos"},
        {"What is Quorvex.htm", "What is Quorvex?"},
        {"Key features of Quorvex.htm", "Key features of Quorvex"},
        {"Add-ons.htm", "Add-ons"},
        {"What is Quorvex Junior.htm", "What is Quorvex Junior?"},
        {"Key features of Quorvex Junior.htm", "Key features of Quorvex Junior"},
        {"Ordering Quorvex.htm", "Ordering Quorvex"},
        {"Contacting Brenlowe.htm", "Contacting Brenlowe"},
    };
    for (const auto &[topic, heading] : topics) {
        QTest::newRow(topic) << topicAddress(helpFile, QString::fromUtf8(topic))
                             << QStringLiteral("/") + QString::fromUtf8(topic)
                             << QString::fromUtf8(heading);
    }
    QTest::newRow("mk:@MSITStore address")
        << QStringLiteral("mk:@MSITStore:") + helpFile + QStringLiteral("::/Add-ons.htm")
        << "/Add-ons.htm"
        << "Add-ons";
    QTest::newRow("other letter case")
        << topicAddress(helpFile, QStringLiteral("welcome.HTM")) << "/welcome.HTM"
        << "Welcome to the Quorvex Demos";
}

void TestHelpViewer::eachTopicOpensItsPage()
{
    QFETCH(QString, address);
    QFETCH(QString, heading);
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, address, HelpViewers::displayContents);
    QVERIFY(viewer);
    QTEST(pagePath(viewer), "path");
    const QTextBrowser *page = viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"));
    QCOMPARE(page->document()
                 ->firstBlock()
                 .text()
                 .trimmed()
                 .remove(QChar::ObjectReplacementCharacter)
                 .trimmed(),
             heading);
    QVERIFY(!pageText(viewer).contains(QStringLiteral("Page not found")));
}

void TestHelpViewer::pagesCarryTheirImageAndStyles()
{
    HelpViewer *viewer = HelpViewers::request(
        *m_platform, nullptr, topicAddress(helpFile, QStringLiteral("Ordering Quorvex.htm")),
        HelpViewers::displayContents);
    auto *page = viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"));
    const QUrl imageUrl(QStringLiteral("images/camera.png"));
    const QVariant bytes = page->loadResource(QTextDocument::ImageResource, imageUrl);
    QCOMPARE(QImage::fromData(bytes.toByteArray()).size(), QSize(32, 32));
    // The page's layout asked for it (and keeps it as a decoded picture).
    const QVariant shown = page->document()->resource(QTextDocument::ImageResource, imageUrl);
    QVERIFY2(shown.userType() == QMetaType::QImage || shown.userType() == QMetaType::QPixmap,
             shown.typeName());
    // The style sheet's heading colour reached the heading.
    const QTextBlock heading = page->document()->firstBlock();
    const QTextCharFormat format = heading.begin().fragment().charFormat();
    QCOMPARE(format.foreground().color(), QColor(QStringLiteral("#1d4f91")));
    // The maker's values of this build are in the page.
    QVERIFY(pageText(viewer).contains(QLatin1String(BuildInfo::makerPhone)));
    QVERIFY(
        page->toHtml().contains(QStringLiteral("mailto:") + QLatin1String(BuildInfo::makerEmail)));
}

void TestHelpViewer::linksMoveBetweenPagesWithHistory()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayContents);
    auto *page = viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"));
    auto *back = viewer->findChild<QAction *>(QStringLiteral("actBack"));
    auto *forward = viewer->findChild<QAction *>(QStringLiteral("actForward"));
    QVERIFY(!back->isEnabled());
    // The link as it stands in the page, relative and with spaces.
    QVERIFY(page->toHtml().contains(QStringLiteral("href=\"What is Quorvex.htm\"")));
    emit page->anchorClicked(QUrl(QStringLiteral("What is Quorvex.htm")));
    QCOMPARE(pagePath(viewer), QStringLiteral("/What is Quorvex.htm"));
    emit page->anchorClicked(QUrl(QStringLiteral("Add-ons.htm")));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Add-ons.htm"));
    QVERIFY(back->isEnabled());
    QVERIFY(!forward->isEnabled());

    back->trigger();
    QCOMPARE(pagePath(viewer), QStringLiteral("/What is Quorvex.htm"));
    back->trigger();
    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));
    QVERIFY(!back->isEnabled());
    QVERIFY(forward->isEnabled());
    forward->trigger();
    QCOMPARE(pagePath(viewer), QStringLiteral("/What is Quorvex.htm"));

    // Within a page, and by an address naming this file.
    emit page->anchorClicked(QUrl(QStringLiteral("About the demos.htm#shared")));
    QCOMPARE(page->source().fragment(), QStringLiteral("shared"));
    emit page->anchorClicked(
        QUrl(QStringLiteral("ms-its:Quorvex Demos.chm::/Contacting Brenlowe.htm")));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Contacting Brenlowe.htm"));
    QVERIFY(m_platform->callsOf(QStringLiteral("open")).isEmpty());
}

void TestHelpViewer::webLinksGoToTheDesktop_data()
{
    QTest::addColumn<QString>("link");

    QTest::newRow("http") << QStringLiteral("http://") + QLatin1String(BuildInfo::makerWeb) +
                                 QStringLiteral("/");
    QTest::newRow("https") << "https://www.brenlowe.example/prices.htm";
    QTest::newRow("mailto") << QStringLiteral("mailto:") + QLatin1String(BuildInfo::makerEmail);
}

void TestHelpViewer::webLinksGoToTheDesktop()
{
    QFETCH(QString, link);
    HelpViewer *viewer = HelpViewers::request(
        *m_platform, nullptr, topicAddress(helpFile, QStringLiteral("Contacting Brenlowe.htm")),
        HelpViewers::displayContents);
    auto *page = viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"));
    emit page->anchorClicked(QUrl(link));
    QCOMPARE(m_platform->callsOf(QStringLiteral("open")),
             QStringList{QStringLiteral("open ") + link});
    // Through the program's own opener, with its pointer steps, and the page stays.
    QCOMPARE(m_platform->calls.filter(QStringLiteral("pointer")),
             texts({"pointer 11", "pointer 0"}));
    QCOMPARE(pagePath(viewer), QStringLiteral("/Contacting Brenlowe.htm"));
}

void TestHelpViewer::missingFileIsReportedInTheViewer()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("No Such Help.chm"));
    for (const QString &address : {missing, topicAddress(missing, QStringLiteral("Welcome.htm"))}) {
        HelpViewer *viewer =
            HelpViewers::request(*m_platform, nullptr, address, HelpViewers::displayContents);
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY(!viewer->isFileOpen());
        QVERIFY(pageText(viewer).contains(QStringLiteral("Cannot open the file")));
        QVERIFY(pageText(viewer).contains(missing));
    }
    // Once the file is there, the next request shows it in the same window.
    QVERIFY(QFile::copy(helpFile, missing));
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, missing, HelpViewers::displayContents);
    QVERIFY(viewer->isFileOpen());
    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));
    QCOMPARE(openViewers(), 1);
}

void TestHelpViewer::missingTopicIsReportedInTheViewer()
{
    HelpViewer *viewer = HelpViewers::request(*m_platform, nullptr,
                                              topicAddress(helpFile, QStringLiteral("Welcome.htm")),
                                              HelpViewers::displayContents);
    HelpViewers::request(*m_platform, nullptr,
                         topicAddress(helpFile, QStringLiteral("Not a page.htm")),
                         HelpViewers::displayContents);
    QVERIFY(pageText(viewer).contains(QStringLiteral("Page not found")));
    QVERIFY(pageText(viewer).contains(QStringLiteral("Not a page.htm")));
    // The message is a page like any other: back returns to the last one.
    viewer->findChild<QAction *>(QStringLiteral("actBack"))->trigger();
    QCOMPARE(pagePath(viewer), QStringLiteral("/Welcome.htm"));

    // A link to a page the file lacks says the same.
    auto *page = viewer->findChild<QTextBrowser *>(QStringLiteral("txtPage"));
    emit page->anchorClicked(QUrl(QStringLiteral("gone/away.htm")));
    QVERIFY(pageText(viewer).contains(QStringLiteral("Page not found")));
}

void TestHelpViewer::secondRequestReusesTheWindow()
{
    HelpViewer *first =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayContents);
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("Other.chm"));
    QVERIFY(QFile::copy(helpFile, other));
    HelpViewer *another =
        HelpViewers::request(*m_platform, nullptr, other, HelpViewers::displayContents);
    QVERIFY(another != first);
    QCOMPARE(openViewers(), 2);

    first->showMinimized();
    const QString spelledOtherwise =
        QFileInfo(helpFile).absolutePath() + QStringLiteral("/./") + QFileInfo(helpFile).fileName();
    HelpViewer *second =
        HelpViewers::request(*m_platform, nullptr,
                             topicAddress(spelledOtherwise, QStringLiteral("Ordering Quorvex.htm")),
                             HelpViewers::displayContents);
    QCOMPARE(second, first);
    QCOMPARE(openViewers(), 2);
    QVERIFY(!first->isMinimized());
    QCOMPARE(pagePath(first), QStringLiteral("/Ordering Quorvex.htm"));
    QCOMPARE(HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayIndex),
             first);
    QCOMPARE(first->findChild<QTabWidget *>(QStringLiteral("tabNavigation"))->currentIndex(), 1);
}

void TestHelpViewer::unknownCommandOpensNothing()
{
    QVERIFY(!HelpViewers::request(*m_platform, nullptr, helpFile, 0x12));
    QVERIFY(!HelpViewers::request(*m_platform, nullptr, QString(), HelpViewers::displayContents));
    QCOMPARE(openViewers(), 0);
}

void TestHelpViewer::viewerStaysOnTheOwnersScreen()
{
    QWidget owner;
    owner.setObjectName(QStringLiteral("frmPlayDemos"));
    const QRect area = owner.screen()->availableGeometry();
    owner.setGeometry(area.right() - 100, area.bottom() - 100, 80, 80);
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, &owner, helpFile, HelpViewers::displayContents);
    QVERIFY2(area.contains(viewer->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                    .arg(viewer->x())
                                                                    .arg(viewer->y())
                                                                    .arg(viewer->width())
                                                                    .arg(viewer->height())));
}

void TestHelpViewer::encodingFollowsTheFileLanguage()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, cyrillicFile, HelpViewers::displayContents);
    QVERIFY(viewer->isFileOpen());
    // The page declares no charset; its bytes are in the file's Russian code page.
    QVERIFY2(pageText(viewer).contains(QString::fromUtf8("Привет")), qPrintable(pageText(viewer)));
    auto *tree = viewer->findChild<QTreeWidget *>(QStringLiteral("treContents"));
    QCOMPARE(tree->topLevelItem(0)->text(0), QString::fromUtf8("Привет"));
}

void TestHelpViewer::damagedFileIsReportedWithoutCrash_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("opens");

    QFile file(helpFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray real = file.readAll();
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("not a help file") << QByteArray("<html>hello</html>") << false;
    QTest::newRow("header only") << real.left(0x60) << false;
    QTest::newRow("cut in half") << real.left(real.size() / 2) << false;
    QByteArray garbage = real.left(4);
    for (int i = 0; i < 8192; ++i)
        garbage.append(char((i * 7919 + 13) & 0xFF));
    QTest::newRow("signature then garbage") << garbage << false;
    QByteArray scrambled = real;
    for (qsizetype i = 0x400; i < scrambled.size(); i += 97)
        scrambled[i] = char(~scrambled[i]);
    QTest::newRow("scrambled body") << scrambled << true;
    // Found by fuzzing: the decompression settings cannot be read, and the library divides
    // by zero while opening the file.
    QFile fault(QStringLiteral(QVX_TEST_DATA_DIR "/chmlib-open-fpe.chm"));
    QVERIFY(fault.open(QIODevice::ReadOnly));
    QTest::newRow("library fault on opening") << fault.readAll() << false;
}

void TestHelpViewer::damagedFileIsReportedWithoutCrash()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Damaged.chm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, path, HelpViewers::displayContents);
    QVERIFY(viewer);
    HelpViewers::request(*m_platform, nullptr, path, HelpViewers::displayIndex);
    HelpViewers::request(*m_platform, nullptr, topicAddress(path, QStringLiteral("Add-ons.htm")),
                         HelpViewers::displayContents);
    if (!opens) {
        QVERIFY(!viewer->isFileOpen());
        QVERIFY(pageText(viewer).contains(QStringLiteral("Cannot open the file")));
    }
    // A file damaged only inside may open; whatever it shows, the viewer stays up.
    QVERIFY(viewer->isVisible());
}

void TestHelpViewer::closedViewerIsForgotten()
{
    HelpViewer *viewer =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayContents);
    QCOMPARE(HelpViewers::find(helpFile), viewer);
    viewer->close();
    QTRY_COMPARE(openViewers(), 0);
    QVERIFY(!HelpViewers::find(helpFile));
    HelpViewer *again =
        HelpViewers::request(*m_platform, nullptr, helpFile, HelpViewers::displayIndex);
    QVERIFY(again);
    QCOMPARE(openViewers(), 1);
}

void TestHelpViewer::f1OpensTheApplicationHelpFile()
{
    installHelpKey(m_keyPlatform);
    QWidget window;
    window.setObjectName(QStringLiteral("frmPlayDemos"));
    auto *field = new QLineEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();

    QTest::keyClick(field, Qt::Key_F1);
    QVERIFY(m_keyPlatform.callsOf(QStringLiteral("help")).isEmpty()); // no setting yet

    m_keyPlatform.helpFileSetting = helpFile;
    QTest::keyClick(field, Qt::Key_F1, Qt::ShiftModifier);
    QVERIFY(m_keyPlatform.callsOf(QStringLiteral("help")).isEmpty());
    QTest::keyClick(field, Qt::Key_F1);
    QCOMPARE(m_keyPlatform.callsOf(QStringLiteral("help")),
             QStringList{QStringLiteral("help frmPlayDemos | ") + helpFile +
                         QStringLiteral(" | 1 | 0")});
    QVERIFY(field->text().isEmpty());
}

QTEST_MAIN(TestHelpViewer)
#include "tst_helpviewer.moc"

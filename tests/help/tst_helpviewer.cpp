#include "BuildInfo.h"
#include "RecordingPlatform.h"
#include "qvx/app/HelpKey.h"
#include "qvx/app/ViewerHelpService.h"
#include "qvx/core/Module1.h"
#include "qvx/help/ChmAddress.h"
#include "qvx/helpviewer/HelpViewer.h"

#include "PageWait.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/platform/LinuxPlatform.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace qvx::help;
using namespace qvx::helpviewer;

using namespace Qt::StringLiterals;
using qvx::Module1::sHelpFile;
using qvx::Module1::sHelpTopic;

namespace {

const QString helpFile = QStringLiteral(QVX_TEST_HELP_FILE);
const QString cyrillicFile = QStringLiteral(QVX_TEST_CYRILLIC_FILE);
const QString notFound = u"Page not found"_s;
const QString cannotOpen = u"Cannot open the file"_s;

QString topic(const QString &file, const QString &page)
{
    return u"ms-its:" + file + u"::/" + page;
}

// Texts written as one, "|" between them.
QStringList split(const char *texts)
{
    return QString::fromUtf8(texts).split(u'|', Qt::SkipEmptyParts);
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

std::string bytes(const QString &name)
{
    return NativeName::encode(name).toStdString();
}

// A folder whose name is the given bytes, in a temporary folder; Qt cannot remove it.
class NativeFolder
{
public:
    explicit NativeFolder(const QByteArray &name)
        : m_path(QFile::encodeName(m_dir.path()) + '/' + name)
    {
        ::mkdir(m_path.constData(), 0755);
    }
    ~NativeFolder()
    {
        ::unlink(QByteArray(m_path + "/Quorvex Demos.chm").constData());
        ::rmdir(m_path.constData());
    }
    QByteArray path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};

// The viewer once its file has loaded (the file opens off the GUI thread).
HelpViewer *ready(HelpViewer *viewer)
{
    if (viewer)
        (void)QTest::qWaitFor([viewer] { return viewer->isSettled(); }, 30000);
    return viewer;
}

int openViewers()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return int(std::count_if(windows.begin(), windows.end(),
                             [](QWidget *window) { return qobject_cast<HelpViewer *>(window); }));
}

// A viewer window and the parts of it the tests look at.
struct View
{
    HelpViewer *window;

    HelpViewer *operator->() const { return window; }
    template <typename T> T *part(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QTextBrowser *page() const { return part<QTextBrowser>("txtPage"); }
    QString path() const
    {
        waitForPage(page());
        return chmLookupPath(page()->source());
    }
    QString text() const
    {
        waitForPage(page());
        return page()->toPlainText();
    }
    int tab() const { return part<QTabWidget>("tabNavigation")->currentIndex(); }
    // Clicks a link in the page or triggers an action; where the viewer went.
    QString follow(const QString &link) const
    {
        emit page()->anchorClicked(QUrl(link));
        return path();
    }
    QString trigger(const char *action) const
    {
        part<QAction>(action)->trigger();
        return path();
    }
};

} // namespace

class TestHelpViewer : public QObject
{
    Q_OBJECT

    // The web links the viewer handed on.
    QStringList m_links;
    // The program's own arrangement, F1 included: the viewer behind the Linux platform.
    qvx::LinuxPlatform m_system;
    qvx::app::ViewerHelpService m_service{m_system};

    View open(const QString &address, int command = HelpViewers::displayContents,
              QWidget *owner = nullptr)
    {
        return {ready(HelpViewers::request([this](const QString &link) { m_links.append(link); },
                                           owner, address, command))};
    }

private slots:
    void initTestCase()
    {
        // Viewers remember their place: not in the user's own settings.
        QStandardPaths::setTestModeEnabled(true);
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
        m_system.setHelpService(&m_service);
        qvx::app::installHelpKey(m_system);
    }

    void cleanup()
    {
        HelpViewers::closeAll();
        QCOMPARE(openViewers(), 0);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(),
                             [](QWidget *window) { return window->isVisible(); }));
        m_links.clear();
        m_system.setApplicationHelpFile({});
        sHelpFile.clear();
        sHelpTopic.clear();
    }

    void contentsTreeOpensPages()
    {
        const View view = open(helpFile);
        QVERIFY(view.window && view->isVisible() && view->isFileOpen());
        QCOMPARE(view->windowTitle(), u"Quorvex Demo Player Help"_s);
        QCOMPARE(view.tab(), 0);

        auto *tree = view.part<QTreeView>("treContents");
        const QAbstractItemModel *model = tree->model();
        const auto entry = [model](int row, int child = -1) {
            const QModelIndex top = model->index(row, 0);
            return child < 0 ? top : model->index(child, 0, top);
        };
        QStringList top;
        for (int i = 0; i < model->rowCount(); ++i)
            top.append(entry(i).data().toString() + u' ' +
                       QString::number(model->rowCount(entry(i))));
        QCOMPARE(top, split("Welcome 0|About the demos 0|Quorvex 3|Quorvex Junior 2|"
                            "Ordering Quorvex 0|Contacting Brenlowe 0"));
        QCOMPARE(entry(2, 2).data().toString(), u"Add-ons"_s);
        // The default topic is shown, its entry chosen.
        QCOMPARE(view.path(), u"/Welcome.htm"_s);
        QVERIFY(view.text().contains(u"Welcome to the Quorvex Demos"_s));
        QCOMPARE(tree->currentIndex(), entry(0));

        emit tree->clicked(entry(3, 1));
        QCOMPARE(view.path(), u"/Key features of Quorvex Junior.htm"_s);
        // A heading without a page leaves the page as it is.
        emit tree->clicked(entry(3));
        QCOMPARE(view.path(), u"/Key features of Quorvex Junior.htm"_s);
    }

    void indexSelectsTheKeywordTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");

        QTest::newRow("none") << ""
                              << "Add-ons";
        QTest::newRow("any letter case") << "KEY"
                                         << "Key features";
        QTest::newRow("subentry by its own keyword") << "shar"
                                                     << "shared";
        QTest::newRow("keyword before its subentries") << "demos"
                                                       << "Demos";
        QTest::newRow("two words") << "quorvex j"
                                   << "Quorvex Junior";
        QTest::newRow("nothing begins so") << "zebra"
                                           << "Welcome";
    }

    void indexSelectsTheKeywordTyped()
    {
        QFETCH(QString, typed);
        const View view = open(helpFile, HelpViewers::displayIndex);
        QCOMPARE(view.tab(), 1);
        auto *list = view.part<QListView>("lstIndex");
        auto *box = view.part<QLineEdit>("txtIndexFilter");
        QTest::keyClicks(box, typed);
        // Every keyword stays listed.
        QCOMPARE(list->model()->rowCount(), 17);
        QTEST(list->currentIndex().data().toString().trimmed(), "selected");
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!view.text().contains(notFound));
    }

    void keywordWithSeveralPagesOffersChoice()
    {
        const View view = open(helpFile, HelpViewers::displayIndex);
        auto *topics = view.part<QListWidget>("lstTopicsFound");
        const auto choose = [view](const QString &keyword) {
            auto *list = view.part<QListView>("lstIndex");
            const QModelIndexList found = list->model()->match(
                list->model()->index(0, 0), Qt::DisplayRole, keyword, 1, Qt::MatchEndsWith);
            emit list->activated(found.value(0));
            return view.path();
        };
        QCOMPARE(choose(u"Key features"_s), u"/Welcome.htm"_s); // nothing opens before the choice
        QVERIFY(topics->isVisible());
        QCOMPARE(visibleRows(topics),
                 split("Key features of Quorvex|Key features of Quorvex Junior"));
        emit topics->itemActivated(topics->item(1));
        QCOMPARE(view.path(), u"/Key features of Quorvex Junior.htm"_s);
        QCOMPARE(choose(u"Ordering"_s), u"/Ordering Quorvex.htm"_s);
        QVERIFY(!topics->isVisible());
        QCOMPARE(choose(u"shared"_s), u"/About the demos.htm"_s);
        QCOMPARE(view.page()->source().fragment(), u"shared"_s);
    }

    void eachTopicOpensItsPage_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("heading");

        const char *const topics[][2] = {
            {"Welcome.htm", "Welcome to the Quorvex Demos"},
            {"About the demos.htm", "About the demos"},
            {"What is Quorvex.htm", "What is Quorvex?"},
            {"Key features of Quorvex.htm", "Key features of Quorvex"},
            {"Add-ons.htm", "Add-ons"},
            {"What is Quorvex Junior.htm", "What is Quorvex Junior?"},
            {"Key features of Quorvex Junior.htm", "Key features of Quorvex Junior"},
            {"Ordering Quorvex.htm", "Ordering Quorvex"},
            {"Contacting Brenlowe.htm", "Contacting Brenlowe"}};
        for (const auto &[name, heading] : topics) {
            const QString page = QString::fromUtf8(name);
            QTest::newRow(name) << topic(helpFile, page) << QString(u'/' + page)
                                << QString::fromUtf8(heading);
        }
        QTest::newRow("mk:@MSITStore address")
            << QString(u"mk:@MSITStore:" + helpFile + u"::/Add-ons.htm") << "/Add-ons.htm"
            << "Add-ons";
        QTest::newRow("other letter case") << topic(helpFile, u"welcome.HTM"_s) << "/welcome.HTM"
                                           << "Welcome to the Quorvex Demos";
    }

    void eachTopicOpensItsPage()
    {
        QFETCH(QString, address);
        const View view = open(address);
        QVERIFY(view.window);
        QTEST(view.path(), "path");
        QString heading = view.page()->document()->firstBlock().text();
        QTEST(heading.remove(QChar::ObjectReplacementCharacter).trimmed(), "heading");
        QVERIFY(!view.text().contains(notFound));
    }

    void pagesCarryTheirImageAndStyles()
    {
        const View view = open(topic(helpFile, u"Ordering Quorvex.htm"_s));
        QTextDocument *document = view.page()->document();
        // The page's layout asked for its picture, and keeps it decoded.
        const QVariant image =
            document->resource(QTextDocument::ImageResource, QUrl(u"images/camera.png"_s));
        QCOMPARE(image.userType() == QMetaType::QPixmap ? image.value<QPixmap>().size()
                                                        : image.value<QImage>().size(),
                 QSize(32, 32));
        // The style sheet's heading colour reached the heading.
        QCOMPARE(document->firstBlock().begin().fragment().charFormat().foreground().color(),
                 QColor(u"#1d4f91"_s));
        // This build's maker values were put into the page.
        QVERIFY(view.text().contains(QLatin1String(BuildInfo::makerPhone)));
        QVERIFY(document->toHtml().contains(u"mailto:" + QLatin1String(BuildInfo::makerEmail)));
    }

    void linksMoveBetweenPagesWithHistory()
    {
        const View view = open(helpFile);
        auto *back = view.part<QAction>("actBack");
        auto *forward = view.part<QAction>("actForward");
        QVERIFY(!back->isEnabled());
        // The link as it stands in the page, relative and with spaces.
        QVERIFY(view.page()->toHtml().contains(u"href=\"What is Quorvex.htm\""_s));
        QCOMPARE(view.follow(u"What is Quorvex.htm"_s), u"/What is Quorvex.htm"_s);
        QCOMPARE(view.follow(u"Add-ons.htm"_s), u"/Add-ons.htm"_s);
        QVERIFY(back->isEnabled() && !forward->isEnabled());
        QCOMPARE(view.trigger("actBack"), u"/What is Quorvex.htm"_s);
        QCOMPARE(view.trigger("actBack"), u"/Welcome.htm"_s);
        QVERIFY(!back->isEnabled() && forward->isEnabled());
        QCOMPARE(view.trigger("actForward"), u"/What is Quorvex.htm"_s);

        // Within a page, and by an address naming this file; nothing leaves the viewer.
        QCOMPARE(view.follow(u"About the demos.htm#shared"_s), u"/About the demos.htm"_s);
        QCOMPARE(view.page()->source().fragment(), u"shared"_s);
        QCOMPARE(view.follow(u"ms-its:Quorvex Demos.chm::/Contacting Brenlowe.htm"_s),
                 u"/Contacting Brenlowe.htm"_s);
        QVERIFY(m_links.isEmpty());
    }

    void webLinksGoToTheDesktop_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("http") << QString(u"http://" + QLatin1String(BuildInfo::makerWeb) + u'/');
        QTest::newRow("https") << "https://www.brenlowe.example/prices.htm";
        QTest::newRow("mailto") << QString(u"mailto:" + QLatin1String(BuildInfo::makerEmail));
    }

    void webLinksGoToTheDesktop()
    {
        QFETCH(QString, link);
        RecordingPlatform desktop;
        qvx::app::ViewerHelpService service(desktop);
        service.show(0, bytes(topic(helpFile, u"Contacting Brenlowe.htm"_s)),
                     qvx::HelpCommand::Contents);
        const View view{ready(HelpViewers::find(helpFile))};
        QVERIFY(view.window);
        // The page stays; the link goes to the platform's opener, the busy pointer around it.
        QCOMPARE(view.follow(link), u"/Contacting Brenlowe.htm"_s);
        QCOMPARE(desktop.calls, (std::vector<std::string>{"pointer busy", "open " + bytes(link),
                                                          "pointer default"}));
    }

    void missingFileOrPageIsReportedInTheViewer()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"No Such Help.chm"_s);
        for (const QString &address : {missing, topic(missing, u"Welcome.htm"_s)}) {
            const View view = open(address);
            QVERIFY(view.window && view->isVisible() && !view->isFileOpen());
            QVERIFY(view.text().contains(cannotOpen) && view.text().contains(missing));
        }
        // Once the file is there, the next request shows it in the same window.
        QVERIFY(QFile::copy(helpFile, missing));
        const View view = open(missing);
        QVERIFY(view->isFileOpen());
        QCOMPARE(view.path(), u"/Welcome.htm"_s);
        QCOMPARE(openViewers(), 1);

        open(topic(missing, u"Not a page.htm"_s));
        QVERIFY(view.text().contains(notFound) && view.text().contains(u"Not a page.htm"_s));
        // The message is a page like any other: back returns to the last one.
        QCOMPARE(view.trigger("actBack"), u"/Welcome.htm"_s);
        // A link to a page the file lacks says the same.
        view.follow(u"gone/away.htm"_s);
        QVERIFY(view.text().contains(notFound));
    }

    // The platform's requests carry the file name's bytes as they are.
    void fileWhosePathIsNotUtf8()
    {
        const NativeFolder folder("help\xe9");
        const QByteArray file = folder.path() + "/Quorvex Demos.chm";
        const QString path = NativeName::decode(file);
        m_system.htmlHelp(0, file.toStdString(), qvx::HelpCommand::Contents);
        const View missing{ready(HelpViewers::find(path))};
        QVERIFY(missing.window && !missing->isFileOpen());
        QVERIFY(missing.text().contains(NativeName::display(path)));

        QFile source(helpFile);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray content = source.readAll();
        const int out = ::open(file.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(out >= 0);
        QCOMPARE(::write(out, content.constData(), size_t(content.size())),
                 ssize_t(content.size()));
        ::close(out);
        m_system.htmlHelp(0, "ms-its:" + file.toStdString() + "::/Add-ons.htm",
                          qvx::HelpCommand::Contents);
        QVERIFY(ready(missing.window)->isFileOpen());
        QCOMPARE(missing.path(), u"/Add-ons.htm"_s);
    }

    // The reader is found beside the program by the folder's bytes; Qt's decoding of them
    // names no file.
    void helpOpensFromAFolderWhoseNameIsNotUtf8()
    {
        namespace fs = std::filesystem;
        QTemporaryDir dir;
        const fs::path root = QFile::encodeName(dir.path()).toStdString();
        const fs::path folder = root / "Demo \xe9\xff";
        fs::create_directory(folder);
        for (const fs::path file : {QVX_HELP_BESIDE_PROGRAM, QVX_TEST_READER, QVX_TEST_HELP_FILE})
            fs::copy_file(file, folder / file.filename());
        // Started through a link with a UTF-8 name; the system reports the real path.
        fs::create_directory_symlink(folder.filename(), root / "link");
        QProcess program;
        program.start(dir.filePath(u"link/help_beside_program"_s));
        const bool ended = program.waitForFinished(60000);
        fs::remove_all(folder);
        QVERIFY(ended);
        QVERIFY2(program.exitCode() == 0, program.readAllStandardOutput().constData());
    }

    void oneWindowPerFileUntilClosed()
    {
        QVERIFY(!open(helpFile, 0x12).window); // a command the viewer does not know
        QVERIFY(!open(QString()).window);
        const View first = open(helpFile);
        QTemporaryDir dir;
        const QString other = dir.filePath(u"Other.chm"_s);
        QVERIFY(QFile::copy(helpFile, other));
        QVERIFY(open(other).window != first.window);
        QCOMPARE(openViewers(), 2);

        first->showMinimized();
        const QFileInfo info(helpFile);
        const QString spelledOtherwise = info.absolutePath() + u"/./" + info.fileName();
        QCOMPARE(open(topic(spelledOtherwise, u"Ordering Quorvex.htm"_s)).window, first.window);
        QCOMPARE(openViewers(), 2);
        QVERIFY(!first->isMinimized());
        QCOMPARE(first.path(), u"/Ordering Quorvex.htm"_s);
        QCOMPARE(open(helpFile, HelpViewers::displayIndex).window, first.window);
        QCOMPARE(first.tab(), 1);

        QCOMPARE(HelpViewers::find(helpFile), first.window);
        first->close();
        QTRY_COMPARE(openViewers(), 1);
        QVERIFY(!HelpViewers::find(helpFile));
        QVERIFY(open(helpFile).window);
        QCOMPARE(openViewers(), 2);
    }

    void viewerStaysOnTheOwnersScreen()
    {
        QWidget owner;
        const QRect area = owner.screen()->availableGeometry();
        owner.setGeometry(area.right() - 100, area.bottom() - 100, 80, 80);
        const QRect frame = open(helpFile, HelpViewers::displayContents, &owner)->frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(u"%1,%2 %3x%4"_s.arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
    }

    void encodingFollowsTheFileLanguage()
    {
        const View view = open(cyrillicFile);
        QVERIFY(view->isFileOpen());
        // The page declares no charset; its bytes are in the file's Russian code page.
        QVERIFY2(view.text().contains(u"Привет"_s), qPrintable(view.text()));
        QCOMPARE(view.part<QTreeView>("treContents")->model()->index(0, 0).data().toString(),
                 u"Привет"_s);
    }

    void damagedFileIsReportedWithoutCrash_data()
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
        // Found by fuzzing: the decompression settings cannot be read, and one library divides
        // by zero while opening the file. The reader opens it; its pages say they cannot be
        // read.
        QFile fault(QStringLiteral(QVX_TEST_DATA_DIR "/chmlib-open-fpe.chm"));
        QVERIFY(fault.open(QIODevice::ReadOnly));
        QTest::newRow("library fault on opening") << fault.readAll() << true;
        // Also found by fuzzing: a directory whose listing never ends.
        QFile loop(QStringLiteral(QVX_TEST_DATA_DIR "/chmlib-directory-loop.chm"));
        QVERIFY(loop.open(QIODevice::ReadOnly));
        QTest::newRow("directory listing in a loop") << loop.readAll() << false;
    }

    void damagedFileIsReportedWithoutCrash()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Damaged.chm"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QElapsedTimer timer;
        timer.start();
        const View view = open(path);
        QVERIFY(view.window);
        open(path, HelpViewers::displayIndex);
        open(topic(path, u"Add-ons.htm"_s));
        // A file damaged only inside may open; whatever it shows, the viewer stays up and
        // answers at once.
        QVERIFY(view->isVisible());
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        if (!opens)
            QVERIFY(!view->isFileOpen() && view.text().contains(cannotOpen));
    }

    void specialFilesAreRefusedWithoutWaiting_data()
    {
        QTest::addColumn<QString>("target"); // what the help file's name leads to
        QTest::addColumn<bool>("opens");
        QTest::newRow("FIFO") << "pipe" << false;
        QTest::newRow("link to a FIFO") << "@pipe" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("device") << "@/dev/null" << false;
        QTest::newRow("link to a help file") << u'@' + helpFile << true;
    }

    void specialFilesAreRefusedWithoutWaiting()
    {
        QFETCH(QString, target);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QByteArray pipe = QFile::encodeName(dir.filePath(u"pipe"_s));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        const QString path = dir.filePath(u"Quorvex Demos.chm"_s);
        if (target.startsWith(u'@'))
            QVERIFY(QFile::link(QDir(dir.path()).absoluteFilePath(target.mid(1)), path));
        else
            QVERIFY(QFile::rename(dir.filePath(target), path));

        // A viewer stuck waiting for a writer is let go after a while, and the case fails.
        std::atomic<bool> done = false;
        std::atomic<bool> stuck = false;
        std::thread watchdog([&] {
            const QByteArray name = QFile::encodeName(path);
            for (int i = 0; !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (i < 100 || done)
                    continue;
                stuck = true;
                if (const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
            }
        });
        const View view = open(path);
        open(topic(path, u"Welcome.htm"_s));
        done = true;
        watchdog.join();
        QVERIFY(!stuck);
        QCOMPARE(view->isFileOpen(), opens);
        QCOMPARE(view.text().contains(cannotOpen), !opens);
    }

    // The main window's help commands through the platform reach the viewer. Only an
    // "ms-its:" address is split at its "::"; the application folder may hold one too.
    void helpMenuReachesTheViewer_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "Demo Player";
        QTest::newRow("colons") << "Demo::Player";
        QTest::newRow("spaces and colons before a slash") << "Demo Player::/Quorvex";
    }

    void helpMenuReachesTheViewer()
    {
        QFETCH(QString, folder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(folder));
        const QString file = dir.filePath(folder + u"/Quorvex Demos.chm");
        QVERIFY(QFile::copy(helpFile, file));
        sHelpFile = bytes(file);
        const std::unique_ptr<qvx::qt::FrmPlayDemos> main(new qvx::qt::FrmPlayDemos(m_system));
        const auto choose = [&main](const char *item) {
            main->findChild<QAction *>(QLatin1String(item))->trigger();
        };

        choose("mnuHelpIndex");
        const View view{ready(HelpViewers::find(file))};
        QVERIFY(view.window && view->isFileOpen());
        QCOMPARE(view.tab(), 1);
        choose("mnuOrderingQuorvex");
        QCOMPARE(view.path(), u"/Ordering Quorvex.htm"_s);
        choose("mnuKeyFeaturesQVXJr");
        QCOMPARE(view.path(), u"/Key features of Quorvex Junior.htm"_s);
        choose("mnuHelpContents");
        QCOMPARE(view.tab(), 0);
        QCOMPARE(view.path(), u"/Welcome.htm"_s);
        QCOMPARE(openViewers(), 1);
    }

    // F1 in a modal window of the program opens a viewer that takes input while the modal
    // window still holds the main window.
    void viewerStaysUsableBesideModalWindows_data()
    {
        QTest::addColumn<bool>("aboutWindow"); // else a message box
        QTest::newRow("About window") << true;
        QTest::newRow("message box") << false;
    }

    void viewerStaysUsableBesideModalWindows()
    {
        QFETCH(bool, aboutWindow);
        m_system.setApplicationHelpFile(bytes(helpFile));
        qvx::qt::frmPlayDemos = new qvx::qt::FrmPlayDemos(m_system);
        const std::unique_ptr<qvx::qt::FrmPlayDemos> main(qvx::qt::frmPlayDemos);
        main->QMainWindow::show();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        auto *option = main->control<QRadioButton>(u"optDemoVersion_0"_s);
        QVERIFY(option);
        const QPoint onOption = option->mapTo(main.get(), QPoint(6, option->height() / 2));

        bool acted = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (acted || !modal || QApplication::activeWindow() != modal)
                return;
            acted = true;
            QTest::keyClick(modal, Qt::Key_F1);
            const View view{HelpViewers::find(helpFile)};
            QVERIFY(view.window);
            QVERIFY(QTest::qWaitForWindowExposed(view.window));
            QTabBar *tabs = view.part<QTabWidget>("tabNavigation")->tabBar();
            QTest::mouseClick(view->windowHandle(), Qt::LeftButton, {},
                              tabs->mapTo(view.window, tabs->tabRect(1).center()));
            QCOMPARE(view.tab(), 1);
            QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
            QVERIFY(!option->isChecked());
            QTest::keyClick(modal->windowHandle(), Qt::Key_Escape);
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        poll.start(10);
        guard.start(5000);
        if (aboutWindow) {
            main->findChild<QAction *>(u"mnuAbout"_s)->trigger();
        } else {
            // The answer still comes back: Esc is Cancel.
            QCOMPARE(m_system.messageBox("Prepare the new demos?", qvx::MessageIcon::Question,
                                         qvx::MessageButtons::OkCancel, "Demos"),
                     qvx::Answer::Cancel);
        }
        QVERIFY(acted && guard.isActive());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void f1OpensTheContentsFromAnyWindowButTheViewer()
    {
        QWidget window;
        auto *field = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();

        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(openViewers(), 0); // no help file set yet
        m_system.setApplicationHelpFile(bytes(helpFile));
        QTest::keyClick(field, Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(openViewers(), 0);
        QTest::keyClick(field, Qt::Key_F1);
        const View view{ready(HelpViewers::find(helpFile))};
        QVERIFY(view.window);
        QCOMPARE(view.tab(), 0);
        QVERIFY(field->text().isEmpty());

        // Inside the viewer F1 leaves the reader where they are.
        view.follow(u"Add-ons.htm"_s);
        view.part<QTabWidget>("tabNavigation")->setCurrentIndex(1);
        QTest::keyClick(view.part<QLineEdit>("txtIndexFilter"), Qt::Key_F1);
        QCOMPARE(view.tab(), 1);
        QCOMPARE(view.path(), u"/Add-ons.htm"_s);

        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(view.tab(), 0);
        QCOMPARE(view.path(), u"/Welcome.htm"_s);
        QCOMPARE(openViewers(), 1);
    }
};

QTEST_MAIN(TestHelpViewer)
#include "tst_helpviewer.moc"

#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/FileMenu.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewerapp/CommandLine.h"
#include "qvx/helpviewerapp/Program.h"
#include "qvx/helpviewerapp/ViewerService.h"

#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;
using namespace qvx::help;
using namespace qvx::helpviewer;
using namespace qvx::helpviewerapp;

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

const QByteArray appFolder = QByteArrayLiteral(QVX_TEST_APP_FOLDER);
const QString helpFile = QStringLiteral(QVX_TEST_APP_FOLDER "/Quorvex Demos.chm");

template <typename T> QList<T *> windowsOf()
{
    QList<T *> found;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *typed = qobject_cast<T *>(window))
            found.append(typed);
    return found;
}

// A process in a runtime folder of the test's own, without a display.
void startIn(QProcess &process, const QString &runtime, const QString &program,
             const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

HelpViewer *settledViewer()
{
    const QList<HelpViewer *> viewers = windowsOf<HelpViewer>();
    if (viewers.size() != 1)
        return nullptr;
    HelpViewer *viewer = viewers.first();
    return QTest::qWaitFor([viewer] { return viewer->isSettled(); }, 30000) ? viewer : nullptr;
}

} // namespace

class TestViewerProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
    }

    void cleanup()
    {
        HelpViewers::closeAll();
        for (StartWindow *window : windowsOf<StartWindow>())
            delete window;
    }

    void commandLine_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QByteArrayList>("addresses"); // as bytes
        QTest::addColumn<int>("command");
        using A = CommandLine::Action;
        const int contents = HelpViewers::displayContents;
        const int index = HelpViewers::displayIndex;
        QTest::newRow("nothing: an empty window")
            << QByteArrayList{} << A::Open << QByteArrayList{} << contents;
        QTest::newRow("a file") << QByteArrayList{"/h/a.chm"} << A::Open
                                << QByteArrayList{"/h/a.chm"} << contents;
        QTest::newRow("relative to the working folder")
            << QByteArrayList{"docs/a.chm", "./b.chm"} << A::Open
            << QByteArrayList{"/work dir/docs/a.chm", "/work dir/b.chm"} << contents;
        QTest::newRow("a page") << QByteArrayList{"a.chm::/pages/p q.htm", "/h/a.chm::p.htm"}
                                << A::Open
                                << QByteArrayList{"ms-its:/work dir/a.chm::/pages/p q.htm",
                                                  "ms-its:/h/a.chm::/p.htm"}
                                << contents;
        QTest::newRow("\"::\" in a folder, with and without a page")
            << QByteArrayList{"/h/x::y/a.chm::/p.htm", "/h/x::y/a.chm", "/h/x::/y/b.chm::/p.htm"}
            << A::Open
            << QByteArrayList{"ms-its:/h/x::y/a.chm::/p.htm", "/h/x::y/a.chm",
                              "ms-its:/h/x::/y/b.chm::/p.htm"}
            << contents;
        QTest::newRow("a missing file's page")
            << QByteArrayList{"/h/gone.chm::/p.htm"} << A::Open
            << QByteArrayList{"ms-its:/h/gone.chm::/p.htm"} << contents;
        QTest::newRow("an address stays as written")
            << QByteArrayList{"ms-its:/h/a.chm::/p.htm", "MK:@MSITStore:/h/b.chm"} << A::Open
            << QByteArrayList{"ms-its:/h/a.chm::/p.htm", "MK:@MSITStore:/h/b.chm"} << contents;
        QTest::newRow("index") << QByteArrayList{"--index", "/h/a.chm"} << A::Open
                               << QByteArrayList{"/h/a.chm"} << index;
        QTest::newRow("contents, option after the file")
            << QByteArrayList{"/h/a.chm", "--contents"} << A::Open << QByteArrayList{"/h/a.chm"}
            << contents;
        QTest::newRow("not UTF-8, byte for byte")
            << QByteArrayList{"caf\xe9 \xff\xfe.chm"} << A::Open
            << QByteArrayList{"/work dir/caf\xe9 \xff\xfe.chm"} << contents;
        QTest::newRow("a file named like an option after --")
            << QByteArrayList{"--", "--index", "-"} << A::Open
            << QByteArrayList{"/work dir/--index", "/work dir/-"} << contents;
        QTest::newRow("help") << QByteArrayList{"/h/a.chm", "--help"} << A::ShowUsage
                              << QByteArrayList{} << contents;
        QTest::newRow("version") << QByteArrayList{"--version"} << A::ShowVersion
                                 << QByteArrayList{} << contents;
        QTest::newRow("unknown option")
            << QByteArrayList{"--topic", "/h/a.chm"} << A::Fail << QByteArrayList{} << contents;
        QTest::newRow("both tabs") << QByteArrayList{"--index", "--contents", "/h/a.chm"} << A::Fail
                                   << QByteArrayList{"/h/a.chm"} << contents;
        QTest::newRow("empty name")
            << QByteArrayList{""} << A::Fail << QByteArrayList{} << contents;
    }

    void commandLine()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QByteArrayList, addresses);
        QFETCH(int, command);
        // The files there are: the rest are missing.
        const auto fileTest = [](const QByteArray &name) {
            return QByteArrayList{"/h/a.chm", "/h/x::y/a.chm", "/h/x::/y/b.chm"}.contains(name);
        };
        const CommandLine line = parseCommandLine(arguments, "/work dir", fileTest);
        QCOMPARE(line.action, action);
        QCOMPARE(line.error.isEmpty(), action != CommandLine::Action::Fail);
        if (action != CommandLine::Action::Open)
            return;
        QByteArrayList bytes;
        for (const QString &address : line.addresses)
            bytes.append(NativeName::encode(address));
        QCOMPARE(bytes, addresses);
        QCOMPARE(line.command, command);
    }

    // The product's own help file, at a page, at the index, and the same file twice in one
    // window.
    void opensTheFileAsAsked()
    {
        serve(parseCommandLine({"Quorvex Demos.chm::/Ordering Quorvex.htm"}, appFolder));
        HelpViewer *viewer = settledViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->filePath(), helpFile);
        QCOMPARE(viewer->windowTitle(), u"Quorvex Demo Player Help"_s);
        auto *page = viewer->findChild<QTextBrowser *>(u"txtPage"_s);
        QCOMPARE(chmLookupPath(page->source()), u"/Ordering Quorvex.htm"_s);

        serve(parseCommandLine({"--index", helpFile.toUtf8()}, {}));
        QCOMPARE(settledViewer(), viewer);
        QCOMPARE(viewer->findChild<QTabWidget *>(u"tabNavigation"_s)->currentIndex(), 1);
    }

    // Without a file: a window whose File > Open is there, and whose recent files open.
    void startsEmpty()
    {
        serve(parseCommandLine({}, appFolder));
        QCOMPARE(windowsOf<HelpViewer>().size(), 0);
        const QList<StartWindow *> starts = windowsOf<StartWindow>();
        QCOMPARE(starts.size(), 1);
        QVERIFY(starts.first()->findChild<QAction *>(u"actOpen"_s));
        QVERIFY(starts.first()->findChild<QMenu *>(u"mnuRecent"_s));
    }

    // Files opened before come back in the list, newest first, byte for byte and once each.
    void remembersRecentFiles()
    {
        const QString odd = NativeName::decode("/tmp/caf\xe9.chm");
        RecentFiles::add(u"/tmp/a.chm"_s);
        RecentFiles::add(odd);
        RecentFiles::add(u"/tmp/a.chm"_s);
        const QStringList files = RecentFiles::list();
        QCOMPARE(files.mid(0, 2), (QStringList{u"/tmp/a.chm"_s, odd}));
        QCOMPARE(files.count(u"/tmp/a.chm"_s), 1);
        QCOMPARE(NativeName::encode(files.at(1)), QByteArray("/tmp/caf\xe9.chm"));
    }

    // The program itself answers on its own command line without a display.
    void programStarts()
    {
        QProcess viewer;
        viewer.start(QStringLiteral(QVX_TEST_VIEWER), {u"--version"_s});
        QVERIFY(viewer.waitForFinished(10000));
        QCOMPARE(viewer.exitCode(), 0);
        QVERIFY(viewer.readAllStandardOutput().startsWith("qvx-helpviewer "));

        viewer.start(QStringLiteral(QVX_TEST_VIEWER), {u"--bogus"_s});
        QVERIFY(viewer.waitForFinished(10000));
        QCOMPARE(viewer.exitCode(), 2);
        QVERIFY(viewer.readAllStandardError().contains("--bogus"));
    }

    // A second start hands its request to the viewer that serves, as it was asked, names that
    // are not UTF-8 included, and ends at once.
    void secondStartHandsOver()
    {
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString name = runtime.filePath(u"qvx-helpviewer"_s);
        QList<CommandLine> served;
        ViewerService service([&served](const CommandLine &line) { served.append(line); });
        QCOMPARE(service.start(name, {}), ViewerService::Outcome::Serving);

        // A request that claims more names than it holds, and one too long to be ours (whose
        // rest would be waited for), are turned away without harm.
        for (const quint32 claimed : {0xfffffff0u, 1u << 30}) {
            QByteArray payload;
            QDataStream out(&payload, QIODevice::WriteOnly);
            out << quint32(1) << qint32(1) << claimed;
            QByteArray frame;
            QDataStream framed(&frame, QIODevice::WriteOnly);
            framed << quint32(claimed == 1u << 30 ? claimed : payload.size());
            QLocalSocket peer;
            peer.connectToServer(name);
            QVERIFY(peer.waitForConnected(5000));
            peer.write(frame + payload);
            QTRY_COMPARE(peer.state(), QLocalSocket::UnconnectedState);
        }
        QVERIFY(served.isEmpty());

        QProcess second;
        // Through the shell: QProcess passes its arguments as UTF-8.
        startIn(second, runtime.path(), u"/bin/sh"_s,
                {u"-c"_s, u"exec \"$0\" \"$1\" \"$(printf \"$2\")\""_s,
                 QStringLiteral(QVX_TEST_VIEWER), u"--index"_s,
                 u"/tmp/caf\\351 \\377.chm::/p.htm"_s});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(served.size(), 1);
        QCOMPARE(served.first().command, HelpViewers::displayIndex);
        QCOMPARE(served.first().addresses.size(), 1);
        QCOMPARE(NativeName::encode(served.first().addresses.first()),
                 QByteArray("ms-its:/tmp/caf\xe9 \xff.chm::/p.htm"));
    }

    // Two starts of the program: the first serves (over a crashed viewer's socket), the second
    // hands its page over to it and ends.
    void oneProcessServes()
    {
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString name = runtime.filePath(u"qvx-helpviewer"_s);
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();

        QProcess first;
        startIn(first, runtime.path(), QStringLiteral(QVX_TEST_VIEWER), {helpFile});
        QVERIFY(first.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [&name] { return QFileInfo(name).exists() && !QFileInfo(name).isFile(); }, 10000));
        QProcess second;
        startIn(second, runtime.path(), QStringLiteral(QVX_TEST_VIEWER),
                {helpFile + u"::/Welcome.htm"_s});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }
};

QTEST_MAIN(TestViewerProgram)
#include "tst_viewerprogram.moc"

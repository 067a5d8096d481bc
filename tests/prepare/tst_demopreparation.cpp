#include "FakePlatform.h"
#include "RecordingView.h"
#include "app/FrmPlayDemos.h"
#include "app/Twips.h"
#include "catalogue/FileListBox.h"
#include "platform/OpResult.h"
#include "prepare/DemoPreparation.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString prompt1 = QStringLiteral(
    "A new demo has been found. The program will take a moment to prepare the files.\r\rThe DOS "
    "window will open as the files are extracted. If it does not close automatically, you may "
    "close it when the process is finished.");
const QString helpLine = QStringLiteral("Can not prepare demo. Contact Brenlowe for assistance.");
const QString finished =
    QStringLiteral("message 64 | Finished | The new files are now ready to use.");

QString errorLine(const QString &numberAndDescription)
{
    return QStringLiteral("message 48 | Error | ") + numberAndDescription + QStringLiteral("\r\r") +
           helpLine;
}

// An application folder and a temporary folder with simulated archives: an archive's
// contents name the file it unpacks, and a started archive writes that file into its
// working folder during the next wait, as a real one would while the program waits.
class Bench
{
public:
    Bench()
    {
        fake.appFolder = app.path();
        fake.temp = temp.path() + QLatin1Char('/');
        fake.duringWait = [this](double) {
            unpackStarted();
            if (onWait)
                onWait(++waits);
        };
    }

    QString inApp(const QString &name) const { return app.filePath(name); }
    QString inTemp(const QString &name) const { return temp.filePath(name); }

    void addArchive(const QString &archive, const QString &unpacks, const QByteArray &demo)
    {
        write(inApp(archive), "unpacks " + unpacks.toUtf8() + '\n' + demo);
    }
    static void write(const QString &path, const QByteArray &contents)
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(contents);
    }
    static QByteArray read(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    }
    static QStringList files(const QTemporaryDir &dir)
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList appFiles() const { return files(app); }
    QStringList tempFiles() const { return files(temp); }

    DemoPreparation::Outcome run(bool calledFromButton = false)
    {
        return DemoPreparation(fake, view).run(calledFromButton);
    }

    QTemporaryDir app;
    QTemporaryDir temp;
    FakePlatform fake;
    RecordingView view{fake, fake.calls};
    int waits = 0;
    std::function<void(int)> onWait;

private:
    void unpackStarted()
    {
        const QStringList starts = fake.callsOf(QStringLiteral("start"));
        for (; m_unpacked < starts.size(); ++m_unpacked) {
            const QString line = starts[m_unpacked].mid(6);
            const qsizetype bar = line.lastIndexOf(QStringLiteral(" | "));
            const QByteArray contents = read(line.left(bar));
            const qsizetype end = contents.indexOf('\n');
            if (!contents.startsWith("unpacks ") || end < 0)
                continue;
            const QString name = QString::fromUtf8(contents.mid(8, end - 8));
            write(QDir(line.mid(bar + 3)).filePath(name), contents.mid(end + 1));
        }
    }
    qsizetype m_unpacked = 0;
};

} // namespace

class TestDemoPreparation : public QObject
{
    Q_OBJECT
private slots:
    void noArchiveShowsNothing();
    void promptThenCancelTouchesNothing_data();
    void promptThenCancelTouchesNothing();
    void preparesOneArchive();
    void preparesEachArchiveOnce();
    void replacesExistingDemo();
    void missingUnpackedFileStopsRun();
    void failureKeepsFilesAsFound_data();
    void failureKeepsFilesAsFound();
    void refusedDestinationKeepsEarlierDemo();
    void missingTempFolderStopsBeforeAsking();
    void namesAreTakenBeforeFirstWait();

    void windowShowsProgressWhileWorking();
    void editionChosenDuringRun();
    void windowListEmptiedWithoutArchives();
    void closingWindowStopsRun_data();
    void closingWindowStopsRun();
};

void TestDemoPreparation::noArchiveShowsNothing()
{
    Bench bench;
    for (const char *name : {"readme.txt", "Demo.exe", "XZIP_a.exe", "ZIP_a.txt"})
        Bench::write(bench.inApp(QLatin1String(name)), "x");

    QCOMPARE(bench.run(), DemoPreparation::Outcome::NoArchives);
    QCOMPARE(bench.fake.calls,
             (QStringList{
                 QStringLiteral("pointer 11"),
                 QStringLiteral("view list ") + bench.app.path() + QStringLiteral(" | ZIP*.exe"),
                 QStringLiteral("view clear list"),
                 QStringLiteral("pointer 0"),
             }));
}

void TestDemoPreparation::promptThenCancelTouchesNothing_data()
{
    QTest::addColumn<QStringList>("archives");
    QTest::addColumn<bool>("calledFromButton");
    QTest::addColumn<QString>("opening");

    const QStringList one{QStringLiteral("ZIP_ticket_setup.exe")};
    const QStringList three{QStringLiteral("ZIP_a.exe"), QStringLiteral("zip_b.EXE"),
                            QStringLiteral("ZIPc.exe")};
    const QString rest = QStringLiteral(" The program will take a moment");
    QTest::newRow("one") << one << false << QStringLiteral("A new demo has been found.") + rest;
    QTest::newRow("three") << three << false << QStringLiteral("New demos have been found.") + rest;
    QTest::newRow("button, one") << one << true << rest;
    QTest::newRow("button, three") << three << true << rest;
}

void TestDemoPreparation::promptThenCancelTouchesNothing()
{
    QFETCH(QStringList, archives);
    QFETCH(bool, calledFromButton);
    QFETCH(QString, opening);

    Bench bench;
    for (const QString &archive : archives)
        bench.addArchive(archive, QStringLiteral("Qvx3_X.exe"), "demo");
    bench.fake.messageAnswers = {2};

    QCOMPARE(bench.run(calledFromButton), DemoPreparation::Outcome::Cancelled);

    const QStringList messages = bench.fake.callsOf(QStringLiteral("message"));
    QCOMPARE(messages.size(), 1);
    const QString head = QStringLiteral("message 65 | Preparing New Files | ");
    QVERIFY(messages[0].startsWith(head + opening));
    QVERIFY(messages[0].endsWith(QStringLiteral(
        "prepare the files.\r\rThe DOS window will open as the files are extracted. If it does "
        "not close automatically, you may close it when the process is finished.")));
    QCOMPARE(bench.fake.calls.mid(bench.fake.calls.indexOf(messages[0]) + 1),
             QStringList{QStringLiteral("pointer 0")});
    QStringList sorted = archives;
    sorted.sort(Qt::CaseSensitive);
    QCOMPARE(bench.appFiles(), sorted);
    QCOMPARE(bench.tempFiles(), QStringList());
}

void TestDemoPreparation::preparesOneArchive()
{
    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
                     "ticket setup demo");
    const QString archive = bench.inApp(QStringLiteral("ZIP_ticket_setup.exe"));
    const QString copy = bench.inTemp(QStringLiteral("ZIP_ticket_setup.exe"));
    const QString unpacked = bench.inApp(QStringLiteral("Qvx3_Tic.exe"));
    const QString demo = bench.inApp(QStringLiteral("QVX3 Ticket Setup.exe"));

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);

    const QStringList expected{
        QStringLiteral("pointer 11"),
        QStringLiteral("view list ") + bench.app.path() + QStringLiteral(" | ZIP*.exe"),
        QStringLiteral("view clear list"),
        QStringLiteral("message 65 | Preparing New Files | ") + prompt1,
        QStringLiteral("view frame shown"),
        QStringLiteral("events"),
        QStringLiteral("view menus off"),
        QStringLiteral("copy ") + archive + QStringLiteral(" -> ") + copy,
        QStringLiteral("wait 3"),
        QStringLiteral("events"),
        QStringLiteral("start ") + copy + QStringLiteral(" | ") + bench.app.path(),
        QStringLiteral("wait 7"),
        QStringLiteral("events"),
        QStringLiteral("copy ") + unpacked + QStringLiteral(" -> ") + demo,
        QStringLiteral("wait 3"),
        QStringLiteral("events"),
        QStringLiteral("attributes ") + copy,
        QStringLiteral("delete ") + copy,
        QStringLiteral("attributes ") + archive,
        QStringLiteral("delete ") + archive,
        QStringLiteral("delete ") + unpacked,
        QStringLiteral("view menus on"),
        QStringLiteral("view reset text"),
        QStringLiteral("view frame hidden"),
        finished,
        QStringLiteral("pointer 0"),
    };
    QCOMPARE(bench.fake.calls, expected);
    QCOMPARE(bench.appFiles(), QStringList{QStringLiteral("QVX3 Ticket Setup.exe")});
    QCOMPARE(Bench::read(demo), QByteArray("ticket setup demo"));
    QCOMPARE(bench.tempFiles(), QStringList());
}

void TestDemoPreparation::preparesEachArchiveOnce()
{
    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "r");
    bench.addArchive(QStringLiteral("zip_help_me.exe"), QStringLiteral("Qvx3_Hel.exe"), "h");
    bench.addArchive(QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"), "t");

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);

    const QStringList starts = bench.fake.callsOf(QStringLiteral("start"));
    QCOMPARE(starts.size(), 3);
    QVERIFY(starts[0].contains(QStringLiteral("zip_help_me.exe")));
    QVERIFY(starts[1].contains(QStringLiteral("ZIP_reports.exe")));
    QVERIFY(starts[2].contains(QStringLiteral("ZIP_ticket_setup.exe")));
    QCOMPARE(bench.fake.callsOf(QStringLiteral("message 65")).size(), 1);
    QCOMPARE(bench.fake.callsOf(QStringLiteral("message")).last(), finished);
    QCOMPARE(bench.fake.callsOf(QStringLiteral("message")).size(), 2);
    QStringList waits = bench.fake.callsOf(QStringLiteral("wait"));
    QCOMPARE(waits.join(QLatin1Char(',')),
             QStringLiteral("wait 3,wait 7,wait 3,wait 3,wait 7,wait 3,wait 3,wait 7,wait 3"));
    QCOMPARE(bench.appFiles(),
             (QStringList{QStringLiteral("QVX3 Help Me.exe"), QStringLiteral("QVX3 Reports.exe"),
                          QStringLiteral("QVX3 Ticket Setup.exe")}));
    QCOMPARE(Bench::read(bench.inApp(QStringLiteral("QVX3 Help Me.exe"))), QByteArray("h"));
    QCOMPARE(Bench::read(bench.inApp(QStringLiteral("QVX3 Reports.exe"))), QByteArray("r"));
    QCOMPARE(Bench::read(bench.inApp(QStringLiteral("QVX3 Ticket Setup.exe"))), QByteArray("t"));
    QCOMPARE(bench.tempFiles(), QStringList());
}

void TestDemoPreparation::replacesExistingDemo()
{
    Bench bench;
    Bench::write(bench.inApp(QStringLiteral("QVX3 Reports.exe")), "old demo");
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "new");

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);
    QCOMPARE(Bench::read(bench.inApp(QStringLiteral("QVX3 Reports.exe"))), QByteArray("new"));
    QCOMPARE(bench.appFiles(), QStringList{QStringLiteral("QVX3 Reports.exe")});
}

void TestDemoPreparation::missingUnpackedFileStopsRun()
{
    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_alpha.exe"), QStringLiteral("Qvx3_Alp.exe"), "a");
    // Unpacks under a name the rules do not expect.
    bench.addArchive(QStringLiteral("ZIP_beta.exe"), QStringLiteral("Qvx3_Xyz.exe"), "b");
    bench.addArchive(QStringLiteral("ZIP_gamma.exe"), QStringLiteral("Qvx3_Gam.exe"), "g");
    const QString expected = bench.inApp(QStringLiteral("Qvx3_Bet.exe"));

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

    QCOMPARE(bench.fake.calls.mid(bench.fake.calls.size() - 4),
             (QStringList{errorLine(QStringLiteral("53 File not found: ") + expected),
                          QStringLiteral("view menus on"), QStringLiteral("view frame hidden"),
                          QStringLiteral("pointer 0")}));
    // The first archive stays prepared; the failing one keeps its archive and its copy; the
    // last one is never touched.
    QCOMPARE(bench.appFiles(),
             (QStringList{QStringLiteral("QVX3 Alpha.exe"), QStringLiteral("Qvx3_Xyz.exe"),
                          QStringLiteral("ZIP_beta.exe"), QStringLiteral("ZIP_gamma.exe")}));
    QCOMPARE(bench.tempFiles(), QStringList{QStringLiteral("ZIP_beta.exe")});
    QVERIFY(!bench.fake.calls.join(QLatin1Char('\n')).contains(QStringLiteral("gamma")));
}

// An injected failure at each file operation of one archive, and what it leaves.
void TestDemoPreparation::failureKeepsFilesAsFound_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("appLeft");
    QTest::addColumn<QStringList>("tempLeft");

    const QString archive = QStringLiteral("ZIP_ticket_setup.exe");
    const QString unpacked = QStringLiteral("Qvx3_Tic.exe");
    const QString demo = QStringLiteral("QVX3 Ticket Setup.exe");
    const QString inTemp = QStringLiteral("temp:");
    QTest::newRow("archive copy refused")
        << "copy" << archive << 61 << QStringList{archive} << QStringList{};
    QTest::newRow("start refused")
        << "start" << inTemp + archive << 75 << QStringList{archive} << QStringList{archive};
    QTest::newRow("demo copy refused")
        << "copy" << unpacked << 70 << QStringList{unpacked, archive} << QStringList{archive};
    QTest::newRow("copy attributes refused")
        << "attributes" << inTemp + archive << 70 << QStringList{demo, unpacked, archive}
        << QStringList{archive};
    QTest::newRow("copy in use") << "delete" << inTemp + archive << 75
                                 << QStringList{demo, unpacked, archive} << QStringList{archive};
    QTest::newRow("archive attributes refused")
        << "attributes" << archive << 70 << QStringList{demo, unpacked, archive} << QStringList{};
    QTest::newRow("archive deletion refused")
        << "delete" << archive << 70 << QStringList{demo, unpacked, archive} << QStringList{};
    QTest::newRow("unpacked file gone")
        << "delete" << unpacked << 53 << QStringList{demo, unpacked} << QStringList{};
}

void TestDemoPreparation::failureKeepsFilesAsFound()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(int, number);
    QFETCH(QStringList, appLeft);
    QFETCH(QStringList, tempLeft);

    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
                     "demo");
    const QString full =
        path.startsWith(QStringLiteral("temp:")) ? bench.inTemp(path.mid(5)) : bench.inApp(path);
    const OpResult failure = OpError::make(number, full);
    bench.fake.fail(operation, full, failure.number, failure.description);

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

    const QStringList &calls = bench.fake.calls;
    const QString failing = operation + QLatin1Char(' ') + full;
    const qsizetype at =
        calls.indexOf(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(failing) +
                                         QStringLiteral("( ->.*| \\|.*)?$")));
    QVERIFY2(at >= 0, qPrintable(failing));
    QCOMPARE(
        calls.mid(at + 1),
        (QStringList{errorLine(QString::number(number) + QLatin1Char(' ') + failure.description),
                     QStringLiteral("view menus on"), QStringLiteral("view frame hidden"),
                     QStringLiteral("pointer 0")}));
    QCOMPARE(bench.appFiles(), appLeft);
    QCOMPARE(bench.tempFiles(), tempLeft);
}

// As root, permission bits refuse nothing; an immutable demo file really refuses being
// replaced.
void TestDemoPreparation::refusedDestinationKeepsEarlierDemo()
{
    Bench bench;
    const QString demo = bench.inApp(QStringLiteral("QVX3 Reports.exe"));
    Bench::write(demo, "old demo");
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "new");

    const auto chattr = [&](const char *flag) {
        return QProcess::execute(QStringLiteral("chattr"), {QLatin1String(flag), demo}) == 0;
    };
    if (!chattr("+i"))
        QSKIP("this system cannot make a file immutable");
    const auto release = qScopeGuard([&] { chattr("-i"); });

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

    const QStringList messages = bench.fake.callsOf(QStringLiteral("message"));
    QVERIFY2(messages.last().startsWith(
                 QStringLiteral("message 48 | Error | 70 Permission denied: ") + demo),
             qPrintable(messages.last()));
    QVERIFY(messages.last().endsWith(QStringLiteral("\r\r") + helpLine));
    QCOMPARE(Bench::read(demo), QByteArray("old demo"));
    // No half-written file is left beside it.
    QCOMPARE(bench.appFiles(),
             (QStringList{QStringLiteral("QVX3 Reports.exe"), QStringLiteral("Qvx3_Rep.exe"),
                          QStringLiteral("ZIP_reports.exe")}));
}

void TestDemoPreparation::missingTempFolderStopsBeforeAsking()
{
    Bench bench;
    bench.fake.temp.clear();
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "r");

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);
    QCOMPARE(bench.fake.calls.mid(2),
             (QStringList{QStringLiteral("view clear list"),
                          errorLine(QStringLiteral("76 Path not found: temporary folder")),
                          QStringLiteral("view menus on"), QStringLiteral("view frame hidden"),
                          QStringLiteral("pointer 0")}));
    QCOMPARE(bench.appFiles(), QStringList{QStringLiteral("ZIP_reports.exe")});
}

void TestDemoPreparation::namesAreTakenBeforeFirstWait()
{
    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "r");
    bench.addArchive(QStringLiteral("ZIP_ticket.exe"), QStringLiteral("Qvx3_Tic.exe"), "t");
    bench.onWait = [&](int wait) {
        if (wait == 1)
            bench.addArchive(QStringLiteral("ZIP_late.exe"), QStringLiteral("Qvx3_Lat.exe"), "l");
    };

    QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);
    QCOMPARE(bench.fake.callsOf(QStringLiteral("view list")).size(), 1);
    QCOMPARE(bench.fake.callsOf(QStringLiteral("start")).size(), 2);
    QVERIFY(bench.appFiles().contains(QStringLiteral("ZIP_late.exe")));
}

namespace {

// An application folder whose editions each hold one demo.
void addDemoFolders(Bench &bench)
{
    const QDir app(bench.app.path());
    for (const char *folder : {"Demos/QVX Jr", "Demos/QVX", "Demos/Both"})
        QVERIFY(app.mkpath(QLatin1String(folder)));
    Bench::write(bench.inApp(QStringLiteral("Demos/QVX Jr/Junior Demo.exe")), "j");
    Bench::write(bench.inApp(QStringLiteral("Demos/QVX/Regular Demo.exe")), "q");
}

} // namespace

void TestDemoPreparation::windowShowsProgressWhileWorking()
{
    Bench bench;
    addDemoFolders(bench);
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "r");

    auto window = std::make_unique<FrmPlayDemos>(bench.fake);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->Form_Load();
    QCOMPARE(window->cboDemos->count(), 1);
    bench.fake.calls.clear();

    const Twips twips = Twips::forWidget(window.get());
    QStringList seen;
    bench.onWait = [&](int) {
        seen.append(QStringLiteral("frame %1 at %2,%3, menus %4 %5, list %6")
                        .arg(window->fraExtracting->isVisible())
                        .arg(window->fraExtracting->x() == twips.px(420))
                        .arg(window->fraExtracting->y() == twips.px(1860))
                        .arg(window->mnuFileHeader->menuAction()->isEnabled())
                        .arg(window->mnuHelpHeader->menuAction()->isEnabled())
                        .arg(window->cboDemos->count()));
    };

    window->func_UnzipDemos(false);

    QCOMPARE(seen, QStringList(3, QStringLiteral("frame 1 at 1,1, menus 0 0, list 0")));
    QCOMPARE(bench.fake.callsOf(QStringLiteral("message")).last(), finished);
    QCOMPARE(bench.appFiles(), QStringList{QStringLiteral("QVX3 Reports.exe")});
    QVERIFY(!window->fraExtracting->isVisible());
    QVERIFY(window->mnuFileHeader->menuAction()->isEnabled());
    QVERIFY(window->mnuHelpHeader->menuAction()->isEnabled());
    QCOMPARE(window->cboDemos->count(), 0);
    QCOMPARE(window->cboDemos->currentText(), QString());
    QCOMPARE(bench.fake.callsOf(QStringLiteral("pointer")),
             (QStringList{QStringLiteral("pointer 11"), QStringLiteral("pointer 0")}));
}

// Choosing an edition during a wait points the hidden file list at that edition's folder;
// the run goes on with the archives it found.
void TestDemoPreparation::editionChosenDuringRun()
{
    Bench bench;
    addDemoFolders(bench);
    bench.addArchive(QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"), "r");
    bench.addArchive(QStringLiteral("ZIP_ticket.exe"), QStringLiteral("Qvx3_Tic.exe"), "t");

    auto window = std::make_unique<FrmPlayDemos>(bench.fake);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->Form_Load();
    bench.onWait = [&](int wait) {
        if (wait == 1)
            window->optDemoVersion[0]->click();
    };

    window->func_UnzipDemos(false);

    QCOMPARE(bench.fake.callsOf(QStringLiteral("start")).size(), 2);
    QCOMPARE(bench.fake.callsOf(QStringLiteral("message")).last(), finished);
    QCOMPARE(bench.appFiles(),
             (QStringList{QStringLiteral("QVX3 Reports.exe"), QStringLiteral("QVX3 Ticket.exe")}));
    // The list that the choice filled stays; its text is its first entry.
    QCOMPARE(window->cboDemos->count(), 1);
    QCOMPARE(window->cboDemos->currentText(), QStringLiteral("Regular Demo"));
}

void TestDemoPreparation::windowListEmptiedWithoutArchives()
{
    Bench bench;
    auto window = std::make_unique<FrmPlayDemos>(bench.fake);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->cboDemos->addItems({QStringLiteral("One"), QStringLiteral("Two")});
    window->cboDemos->setEditText(QStringLiteral("One"));

    window->func_UnzipDemos(true);

    QCOMPARE(window->cboDemos->count(), 0);
    QCOMPARE(window->cboDemos->currentText(), QString());
    QCOMPARE(window->filDemoFiles->path(), bench.app.path());
    QCOMPARE(window->filDemoFiles->pattern(), QStringLiteral("ZIP*.exe"));
    QCOMPARE(bench.fake.calls,
             (QStringList{QStringLiteral("pointer 11"), QStringLiteral("pointer 0")}));
}

// The window is closed (and, being deleted on close, goes away) while events are handled
// inside the run: at the prompt or during a wait.
void TestDemoPreparation::closingWindowStopsRun_data()
{
    QTest::addColumn<int>("closeAtWait"); // 0: while the prompt is shown
    QTest::addColumn<bool>("deletedAtOnce");
    QTest::addColumn<QStringList>("appLeft");
    QTest::addColumn<QStringList>("tempLeft");

    const QString a = QStringLiteral("ZIP_alpha.exe");
    const QString b = QStringLiteral("ZIP_beta.exe");
    QTest::newRow("at the prompt") << 0 << true << QStringList{a, b} << QStringList{};
    QTest::newRow("at the prompt, deleted later")
        << 0 << false << QStringList{a, b} << QStringList{};
    QTest::newRow("after the first copy") << 1 << true << QStringList{a, b} << QStringList{a};
    QTest::newRow("after the first copy, deleted later")
        << 1 << false << QStringList{a, b} << QStringList{a};
    QTest::newRow("while unpacking")
        << 2 << true << QStringList{QStringLiteral("Qvx3_Alp.exe"), a, b} << QStringList{a};
    QTest::newRow("after the first demo")
        << 3 << true
        << QStringList{QStringLiteral("QVX3 Alpha.exe"), QStringLiteral("Qvx3_Alp.exe"), a, b}
        << QStringList{a};
    QTest::newRow("last wait") << 6 << true
                               << QStringList{QStringLiteral("QVX3 Alpha.exe"),
                                              QStringLiteral("QVX3 Beta.exe"),
                                              QStringLiteral("Qvx3_Bet.exe"), b}
                               << QStringList{b};
}

void TestDemoPreparation::closingWindowStopsRun()
{
    QFETCH(int, closeAtWait);
    QFETCH(bool, deletedAtOnce);
    QFETCH(QStringList, appLeft);
    QFETCH(QStringList, tempLeft);

    Bench bench;
    bench.addArchive(QStringLiteral("ZIP_alpha.exe"), QStringLiteral("Qvx3_Alp.exe"), "a");
    bench.addArchive(QStringLiteral("ZIP_beta.exe"), QStringLiteral("Qvx3_Bet.exe"), "b");

    QPointer<FrmPlayDemos> window = new FrmPlayDemos(bench.fake);
    bool gone = false;
    connect(window.data(), &QObject::destroyed, this, [&] { gone = true; });
    window->show();
    const QString marker = QStringLiteral("-- window closed");
    auto closeWindow = [&] {
        bench.fake.calls.append(marker);
        // Deleted later: the window is closed, and its deletion is still to come.
        window->setAttribute(Qt::WA_DeleteOnClose, deletedAtOnce);
        window->close();
        if (deletedAtOnce)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    if (closeAtWait == 0)
        bench.fake.duringMessage = closeWindow;
    bench.onWait = [&](int wait) {
        if (wait == closeAtWait)
            closeWindow();
    };

    window->func_UnzipDemos(false);

    QCOMPARE(gone, deletedAtOnce);
    if (window)
        window->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(gone);
    QVERIFY(window.isNull());
    const QStringList &calls = bench.fake.calls;
    // Nothing after the close but the pointer going back; no file is touched.
    QCOMPARE(calls.mid(calls.indexOf(marker) + 1), QStringList{QStringLiteral("pointer 0")});
    QCOMPARE(bench.appFiles(), appLeft);
    QCOMPARE(bench.tempFiles(), tempLeft);
}

QTEST_MAIN(TestDemoPreparation)
#include "tst_demopreparation.moc"

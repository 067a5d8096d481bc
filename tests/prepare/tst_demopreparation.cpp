#include "FakePlatform.h"
#include "RecordingView.h"
#include "app/FrmPlayDemos.h"
#include "catalogue/FileListBox.h"
#include "platform/OpResult.h"
#include "prepare/DemoNames.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString finished = u"message 64 | Finished | The new files are now ready to use."_s;

// What a run ends with after a failure: the message, then the window given back.
QStringList failureEnd(const QString &numberAndDescription)
{
    return {u"message 48 | Error | "_s + numberAndDescription +
                u"\r\rCan not prepare demo. Contact Brenlowe for assistance."_s,
            u"view menus on"_s, u"view frame hidden"_s, u"pointer 0"_s};
}

// An application folder and a temporary folder with simulated archives: an archive's
// first line names the file it unpacks, and a started archive writes that file, with the
// rest of its contents, into its working folder during the next wait, as a real one would.
class Bench
{
public:
    Bench()
    {
        fake.appFolder = app.path();
        fake.temp = temp.path() + u'/';
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
        write(inApp(archive), unpacks.toUtf8() + '\n' + demo);
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
    // "<application folder's files> | <temporary folder's files>"
    QString files() const
    {
        const auto list = [](const QTemporaryDir &dir) {
            return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u", ");
        };
        return list(app) + u" | "_s + list(temp);
    }
    // The calls, with the folders' paths shortened to <app> and <temp>.
    QString log() const
    {
        return fake.calls.join(u"; ")
            .replace(temp.path(), u"<temp>"_s)
            .replace(app.path(), u"<app>"_s);
    }
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
        const QStringList starts = fake.callsOf(u"start"_s);
        for (; m_unpacked < starts.size(); ++m_unpacked) {
            const QStringList program = starts[m_unpacked].mid(6).split(u" | "_s);
            const QByteArray contents = read(program[0]);
            const qsizetype end = contents.indexOf('\n');
            if (end > 0)
                write(QDir(program[1]).filePath(QString::fromUtf8(contents.left(end))),
                      contents.mid(end + 1));
        }
    }
    qsizetype m_unpacked = 0;
};

} // namespace

class TestDemoPreparation : public QObject
{
    Q_OBJECT
private slots:
    void noArchiveEmptiesListOnly()
    {
        Bench bench;
        for (const QString &name : {u"Demo.exe"_s, u"XZIP_a.exe"_s, u"ZIP_a.txt"_s})
            Bench::write(bench.inApp(name), "x");
        FrmPlayDemos window(bench.fake);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.cboDemos->addItems({u"One"_s, u"Two"_s});
        window.cboDemos->setEditText(u"One"_s);

        window.func_UnzipDemos(true);

        QCOMPARE(window.cboDemos->count(), 0);
        QCOMPARE(window.cboDemos->currentText(), QString());
        QCOMPARE(window.filDemoFiles->path(), bench.app.path());
        QCOMPARE(window.filDemoFiles->pattern(), u"ZIP*.exe"_s);
        QCOMPARE(bench.fake.calls, (QStringList{u"pointer 11"_s, u"pointer 0"_s}));
        QCOMPARE(bench.files(), u"Demo.exe, XZIP_a.exe, ZIP_a.txt | "_s);
    }

    void cancelTouchesNothing_data()
    {
        QTest::addColumn<QStringList>("archives");
        QTest::addColumn<bool>("calledFromButton");
        QTest::addColumn<int>("answer");
        const QStringList three{u"ZIP_a.exe"_s, u"ZIPc.exe"_s, u"zip_b.EXE"_s};
        // Closing the box answers Cancel; 0 is a box that could not be shown.
        QTest::newRow("one, Cancel") << QStringList{u"ZIP_ticket_setup.exe"_s} << false << 2;
        QTest::newRow("three, Cancel") << three << false << 2;
        QTest::newRow("button, three, no answer") << three << true << 0;
    }
    void cancelTouchesNothing()
    {
        QFETCH(QStringList, archives);
        QFETCH(bool, calledFromButton);
        QFETCH(int, answer);
        Bench bench;
        for (const QString &archive : archives)
            bench.addArchive(archive, u"Qvx3_X.exe"_s, "demo");
        bench.fake.messageAnswers = {answer};

        QCOMPARE(bench.run(calledFromButton), DemoPreparation::Outcome::Cancelled);

        const QString prompt = u"message 65 | Preparing New Files | "_s +
                               Prepare::promptText(archives.size(), calledFromButton);
        QCOMPARE(bench.fake.calls.mid(bench.fake.calls.indexOf(u"view clear list"_s) + 1),
                 (QStringList{prompt, u"pointer 0"_s}));
        QCOMPARE(bench.files(), archives.join(u", ") + u" | "_s);
    }

    void preparesOneArchive()
    {
        Bench bench;
        bench.addArchive(u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, "ticket setup demo");
        QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);

        QCOMPARE(
            bench.log(),
            u"pointer 11; view list <app> | ZIP*.exe; view clear list; message 65 | Preparing "
            "New Files | A new demo has been found. The program will take a moment to prepare "
            "the files.\r\rThe DOS window will open as the files are extracted. If it does not "
            "close automatically, you may close it when the process is finished.; "
            "view frame shown; events; view menus off; "
            "copy <app>/ZIP_ticket_setup.exe -> <temp>/ZIP_ticket_setup.exe; "
            "executable <temp>/ZIP_ticket_setup.exe; wait 3; events; "
            "start <temp>/ZIP_ticket_setup.exe | <app>; wait 7; events; "
            "copy <app>/Qvx3_Tic.exe -> <app>/QVX3 Ticket Setup.exe; wait 3; events; "
            "attributes <temp>/ZIP_ticket_setup.exe; delete <temp>/ZIP_ticket_setup.exe; "
            "attributes <app>/ZIP_ticket_setup.exe; delete <app>/ZIP_ticket_setup.exe; "
            "delete <app>/Qvx3_Tic.exe; view menus on; view reset text; view frame hidden; "
            "message 64 | Finished | The new files are now ready to use.; pointer 0"_s);
        QCOMPARE(bench.files(), u"QVX3 Ticket Setup.exe | "_s);
        QCOMPARE(Bench::read(bench.inApp(u"QVX3 Ticket Setup.exe"_s)),
                 QByteArray("ticket setup demo"));
    }

    // In the file list's order, each once, one replacing an earlier demo.
    void preparesEachArchiveOnce()
    {
        Bench bench;
        Bench::write(bench.inApp(u"QVX3 Reports.exe"_s), "old demo");
        bench.addArchive(u"ZIP_reports.exe"_s, u"Qvx3_Rep.exe"_s, "r");
        bench.addArchive(u"zip_help_me.exe"_s, u"Qvx3_Hel.exe"_s, "h");
        bench.addArchive(u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, "t");

        QCOMPARE(bench.run(), DemoPreparation::Outcome::Finished);

        const QStringList starts = bench.fake.callsOf(u"start"_s);
        QCOMPARE(starts.size(), 3);
        QVERIFY(starts[0].contains(u"zip_help_me.exe"_s) && starts[1].contains(u"ZIP_reports"_s));
        const QStringList messages = bench.fake.callsOf(u"message"_s);
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].startsWith(u"message 65 | Preparing New Files | New demos"_s));
        QCOMPARE(messages[1], finished);
        QCOMPARE(bench.fake.callsOf(u"wait"_s).join(u','),
                 u"wait 3,wait 7,wait 3,wait 3,wait 7,wait 3,wait 3,wait 7,wait 3"_s);
        QCOMPARE(bench.files(), u"QVX3 Help Me.exe, QVX3 Reports.exe, QVX3 Ticket Setup.exe | "_s);
        QCOMPARE(Bench::read(bench.inApp(u"QVX3 Help Me.exe"_s)) +
                     Bench::read(bench.inApp(u"QVX3 Reports.exe"_s)) +
                     Bench::read(bench.inApp(u"QVX3 Ticket Setup.exe"_s)),
                 QByteArray("hrt"));
    }

    void missingUnpackedFileStopsRun()
    {
        Bench bench;
        bench.addArchive(u"ZIP_alpha.exe"_s, u"Qvx3_Alp.exe"_s, "a");
        // Unpacks under a name the rules do not expect.
        bench.addArchive(u"ZIP_beta.exe"_s, u"Qvx3_Xyz.exe"_s, "b");
        bench.addArchive(u"ZIP_gamma.exe"_s, u"Qvx3_Gam.exe"_s, "g");

        QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

        QCOMPARE(bench.fake.calls.mid(bench.fake.calls.size() - 4),
                 failureEnd(u"53 File not found: "_s + bench.inApp(u"Qvx3_Bet.exe"_s)));
        // The first archive stays prepared; the failing one keeps its archive and its copy;
        // the last one is never touched.
        QCOMPARE(bench.files(),
                 u"QVX3 Alpha.exe, Qvx3_Xyz.exe, ZIP_beta.exe, ZIP_gamma.exe | ZIP_beta.exe"_s);
        QVERIFY(!bench.fake.calls.join(u'\n').contains(u"gamma"_s));
    }

    // The wait for the unpacking program is bounded.
    void unpackingWaitIsBounded_data()
    {
        QTest::addColumn<double>("runs");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("filesLeft");
        const QString allKept =
            u"QVX3 Ticket Setup.exe, Qvx3_Tic.exe, ZIP_ticket_setup.exe | ZIP_ticket_setup.exe"_s;
        QTest::newRow("ends just within the limit")
            << 306.9 << QString() << u"QVX3 Ticket Setup.exe | "_s;
        QTest::newRow("still running at the limit")
            << 1e6
            << u"75 Path/File access error: still unpacking after 307 seconds: "
               "<temp>/ZIP_ticket_setup.exe"_s
            << allKept;
    }
    void unpackingWaitIsBounded()
    {
        QFETCH(double, runs);
        QFETCH(QString, failure);
        QFETCH(QString, filesLeft);
        Bench bench;
        bench.addArchive(u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, "new demo");
        Bench::write(bench.inApp(u"QVX3 Ticket Setup.exe"_s), "old demo");
        bench.fake.programSeconds = runs;
        double startedAt = 0.0;
        double finishedAt = 0.0;
        // The first wait after the start begins at the start's time.
        bench.onWait = [&](int) {
            if (startedAt == 0.0 && !bench.fake.callsOf(u"start"_s).isEmpty())
                startedAt = bench.fake.clock;
        };
        bench.fake.duringMessage = [&] { finishedAt = bench.fake.clock; };

        const DemoPreparation::Outcome outcome = bench.run();

        QCOMPARE(bench.files(), filesLeft);
        if (failure.isEmpty()) {
            QCOMPARE(outcome, DemoPreparation::Outcome::Finished);
            QCOMPARE(Bench::read(bench.inApp(u"QVX3 Ticket Setup.exe"_s)), QByteArray("new demo"));
            // Taken once the program ended, with the wait after it still whole.
            QVERIFY(finishedAt - startedAt >= runs + 3.0);
            return;
        }
        QCOMPARE(outcome, DemoPreparation::Outcome::Failed);
        QCOMPARE(bench.fake.calls.mid(bench.fake.calls.size() - 4),
                 failureEnd(failure.replace(u"<temp>"_s, bench.temp.path())));
        QCOMPARE(Bench::read(bench.inApp(u"QVX3 Ticket Setup.exe"_s)), QByteArray("old demo"));
    }

    // An injected failure at each file operation of one archive, and what it leaves.
    void failureKeepsFilesAsFound_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("path"); // in the application folder, or "temp:" for the copy
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("filesLeft");
        const QString zip = u"ZIP_ticket_setup.exe"_s;
        const QString unpacked = u"Qvx3_Tic.exe"_s;
        const QString copy = u"temp:"_s + zip;
        const QString allKept = u"QVX3 Ticket Setup.exe, Qvx3_Tic.exe, ZIP_ticket_setup.exe | "_s;
        QTest::newRow("archive copy refused") << u"copy"_s << zip << 61 << zip + u" | "_s;
        QTest::newRow("start refused") << u"start"_s << copy << 75 << zip + u" | "_s + zip;
        QTest::newRow("demo copy refused")
            << u"copy"_s << unpacked << 70 << unpacked + u", "_s + zip + u" | "_s + zip;
        QTest::newRow("copy attributes refused") << u"attributes"_s << copy << 70 << allKept + zip;
        // The demo is written in full, the copy cannot go: the archive must stay.
        QTest::newRow("copy in use") << u"delete"_s << copy << 75 << allKept + zip;
        QTest::newRow("archive attributes refused") << u"attributes"_s << zip << 70 << allKept;
        QTest::newRow("archive deletion refused") << u"delete"_s << zip << 70 << allKept;
        QTest::newRow("unpacked file gone")
            << u"delete"_s << unpacked << 53 << u"QVX3 Ticket Setup.exe, Qvx3_Tic.exe | "_s;
    }
    void failureKeepsFilesAsFound()
    {
        QFETCH(QString, operation);
        QFETCH(QString, path);
        QFETCH(int, number);
        QFETCH(QString, filesLeft);
        Bench bench;
        bench.addArchive(u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, "demo");
        const QString full =
            path.startsWith(u"temp:"_s) ? bench.inTemp(path.mid(5)) : bench.inApp(path);
        const OpResult failure = OpError::make(number, full);
        bench.fake.fail(operation, full, failure.number, failure.description);

        QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

        // The failing step is the last one taken.
        const QStringList last = bench.fake.calls.mid(bench.fake.calls.size() - 5);
        QVERIFY2(last[0].startsWith(operation + u' ' + full), qPrintable(last[0]));
        QCOMPARE(last.mid(1), failureEnd(QString::number(number) + u' ' + failure.description));
        QCOMPARE(bench.files(), filesLeft);
    }

    // As root, permission bits refuse nothing; an immutable demo file really refuses being
    // replaced.
    void refusedDestinationKeepsEarlierDemo()
    {
        Bench bench;
        const QString demo = bench.inApp(u"QVX3 Reports.exe"_s);
        Bench::write(demo, "old demo");
        bench.addArchive(u"ZIP_reports.exe"_s, u"Qvx3_Rep.exe"_s, "new");
        const auto chattr = [&](const char *flag) {
            return QProcess::execute(u"chattr"_s, {QLatin1String(flag), demo}) == 0;
        };
        if (!chattr("+i"))
            QSKIP("this system cannot make a file immutable");
        const auto release = qScopeGuard([&] { chattr("-i"); });

        QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);

        const QString message = bench.fake.callsOf(u"message"_s).last();
        QVERIFY2(message.startsWith(u"message 48 | Error | 70 Permission denied: "_s + demo),
                 qPrintable(message));
        QCOMPARE(Bench::read(demo), QByteArray("old demo"));
        // No half-written file is left beside it.
        QCOMPARE(bench.files(),
                 u"QVX3 Reports.exe, Qvx3_Rep.exe, ZIP_reports.exe | ZIP_reports.exe"_s);
    }

    void missingTempFolderStopsBeforeAsking()
    {
        Bench bench;
        bench.fake.temp.clear();
        bench.addArchive(u"ZIP_reports.exe"_s, u"Qvx3_Rep.exe"_s, "r");

        QCOMPARE(bench.run(), DemoPreparation::Outcome::Failed);
        QCOMPARE(bench.fake.calls.mid(2), QStringList{u"view clear list"_s} +
                                              failureEnd(u"76 Path not found: temporary folder"_s));
        QCOMPARE(bench.files(), u"ZIP_reports.exe | "_s);
    }

    // The window during a run: the frame in place and the menus off at every wait. An
    // edition chosen and an archive added during the first wait change nothing: the names
    // were taken before.
    void windowDuringRun()
    {
        Bench bench;
        QDir(bench.app.path()).mkpath(u"Demos/QVX"_s);
        Bench::write(bench.inApp(u"Demos/QVX/Regular Demo.exe"_s), "q");
        bench.addArchive(u"ZIP_reports.exe"_s, u"Qvx3_Rep.exe"_s, "r");
        bench.addArchive(u"ZIP_ticket.exe"_s, u"Qvx3_Tic.exe"_s, "t");
        FrmPlayDemos window(bench.fake);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.Form_Load();
        QStringList seen;
        bench.onWait = [&](int wait) {
            // At 96 dots per inch.
            seen.append(u"frame %1 at %2,%3, menus %4 %5"_s.arg(window.fraExtracting->isVisible())
                            .arg(window.fraExtracting->x())
                            .arg(window.fraExtracting->y())
                            .arg(window.mnuFileHeader->menuAction()->isEnabled())
                            .arg(window.mnuHelpHeader->menuAction()->isEnabled()));
            if (wait == 1) {
                window.optDemoVersion[0]->click();
                bench.addArchive(u"ZIP_late.exe"_s, u"Qvx3_Lat.exe"_s, "l");
            }
        };

        window.func_UnzipDemos(false);

        QCOMPARE(seen, QStringList(6, u"frame 1 at 28,124, menus 0 0"_s));
        QCOMPARE(bench.fake.callsOf(u"start"_s).size(), 2);
        QCOMPARE(bench.fake.callsOf(u"message"_s).last(), finished);
        QCOMPARE(bench.files(), u"QVX3 Reports.exe, QVX3 Ticket.exe, ZIP_late.exe | "_s);
        QVERIFY(!window.fraExtracting->isVisible());
        QVERIFY(window.mnuFileHeader->menuAction()->isEnabled());
        QVERIFY(window.mnuHelpHeader->menuAction()->isEnabled());
        // The list that the choice filled stays; its text is its first entry.
        QCOMPARE(window.cboDemos->count(), 1);
        QCOMPARE(window.cboDemos->currentText(), u"Regular Demo"_s);
    }

    // The window is closed (and, being deleted on close, goes away) while events are handled
    // inside the run: at the prompt or during a wait.
    void closingWindowStopsRun_data()
    {
        QTest::addColumn<int>("closeAtWait"); // 0: while the prompt is shown
        QTest::addColumn<bool>("deletedAtOnce");
        QTest::addColumn<QString>("filesLeft");
        const QString both = u"ZIP_alpha.exe, ZIP_beta.exe | "_s;
        QTest::newRow("at the prompt") << 0 << true << both;
        QTest::newRow("at the prompt, deleted later") << 0 << false << both;
        QTest::newRow("after the first copy") << 1 << true << both + u"ZIP_alpha.exe"_s;
        QTest::newRow("after the first copy, deleted later")
            << 1 << false << both + u"ZIP_alpha.exe"_s;
        QTest::newRow("while unpacking")
            << 2 << true << u"Qvx3_Alp.exe, ZIP_alpha.exe, ZIP_beta.exe | ZIP_alpha.exe"_s;
        QTest::newRow("last wait") << 6 << true
                                   << u"QVX3 Alpha.exe, QVX3 Beta.exe, Qvx3_Bet.exe, ZIP_beta.exe "
                                      "| ZIP_beta.exe"_s;
    }
    void closingWindowStopsRun()
    {
        QFETCH(int, closeAtWait);
        QFETCH(bool, deletedAtOnce);
        QFETCH(QString, filesLeft);
        Bench bench;
        bench.addArchive(u"ZIP_alpha.exe"_s, u"Qvx3_Alp.exe"_s, "a");
        bench.addArchive(u"ZIP_beta.exe"_s, u"Qvx3_Bet.exe"_s, "b");
        QPointer<FrmPlayDemos> window = new FrmPlayDemos(bench.fake);
        window->show();
        const QString marker = u"-- window closed"_s;
        const auto closeWindow = [&] {
            bench.fake.calls.append(marker);
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

        QCOMPARE(window.isNull(), deletedAtOnce);
        delete window.get();
        const QStringList &calls = bench.fake.calls;
        // Nothing after the close but the pointer going back; no file is touched.
        QCOMPARE(calls.mid(calls.indexOf(marker) + 1), QStringList{u"pointer 0"_s});
        QCOMPARE(bench.files(), filesLeft);
    }
};

QTEST_MAIN(TestDemoPreparation)
#include "tst_demopreparation.moc"

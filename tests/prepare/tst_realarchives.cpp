#include "DemoTree.h"
#include "FakePlatform.h"
#include "RecordingView.h"
#include "app/FrmPlayDemos.h"
#include "qvx/helpviewer/NativeName.h"
#include "platform/posix/PosixFiles.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/mount.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Real programs, real files and the real clock; message boxes answered OK and recorded.
class RealTimePlatform final : public FakePlatform
{
public:
    RealTimePlatform(const QTemporaryDir &app, const QTemporaryDir &tempDir)
    {
        appFolder = app.path();
        temp = tempDir.path() + u'/';
        reallyStart = true;
    }
    double monotonicSeconds() override { return m_system->monotonicSeconds(); }
    void waitForEvents(double maxSeconds) override { m_system->waitForEvents(maxSeconds); }

private:
    std::unique_ptr<Platform> m_system = createSystemPlatform();
};

// "<application folder's files> | <temporary folder's files>", with the contents of short
// files, which the archives are not.
QString listing(const QTemporaryDir &app, const QTemporaryDir &temp)
{
    QStringList shown;
    for (const QTemporaryDir *dir : {&app, &temp}) {
        QStringList files = nativeEntries(dir->path());
        for (QString &name : files) {
            // A FIFO is listed, never opened.
            const QString path = dir->path() + u'/' + name;
            if (!PosixFiles::isFile(path))
                continue;
            const QByteArray contents = readNative(path);
            if (contents.size() < 64)
                name += u": "_s + QString::fromUtf8(contents);
        }
        shown.append(files.join(u", "));
    }
    return shown.join(u" | ");
}

const QString finished = u"message 64 | Finished | The new files are now ready to use."_s;

} // namespace

class TestRealArchives : public QObject
{
    Q_OBJECT

    QString m_zip;
    QString m_stub;

    // A genuine self-extracting archive in `dir` that writes `unpacks` into its working
    // folder.
    void makeArchive(const QTemporaryDir &dir, const QString &archive, const QString &unpacks,
                     const QByteArray &contents)
    {
        QTemporaryDir staging;
        QFile payload(staging.filePath(unpacks));
        QVERIFY(payload.open(QIODevice::WriteOnly) && payload.write(contents) >= 0);
        payload.close();
        const QString zipped = staging.filePath(u"payload.zip"_s);
        QCOMPARE(QProcess::execute(m_zip, {u"-qXj"_s, zipped, payload.fileName()}), 0);
        QFile stub(m_stub);
        QFile in(zipped);
        // Made beside its final place: a rename does not cross file systems.
        QFile out(dir.filePath(u".archive.tmp"_s));
        QVERIFY(stub.open(QIODevice::ReadOnly) && in.open(QIODevice::ReadOnly) &&
                out.open(QIODevice::WriteOnly));
        out.write(stub.readAll() + in.readAll());
        out.close();
        QVERIFY(out.setPermissions(out.permissions() | QFile::ExeOwner));
        // Moves the zip's offsets behind the stub.
        QCOMPARE(QProcess::execute(m_zip, {u"-qA"_s, out.fileName()}), 0);
        // The archive's name need not be UTF-8, which Qt cannot write.
        QCOMPARE(::rename(QFile::encodeName(out.fileName()).constData(),
                          NativeName::encode(QString(dir.path() + u'/' + archive)).constData()),
                 0);
    }

private slots:
    void initTestCase()
    {
        m_zip = QStandardPaths::findExecutable(u"zip"_s);
        m_stub = QStandardPaths::findExecutable(u"unzipsfx"_s);
        if (m_zip.isEmpty() || m_stub.isEmpty())
            QSKIP("zip and unzipsfx are needed to build self-extracting archives");
    }

    void prepares_data()
    {
        // Archive, the file it unpacks and that file's contents, repeated.
        QTest::addColumn<QStringList>("archives");
        QTest::addColumn<bool>("realWaits");   // else short ones, enough for a small archive
        QTest::addColumn<QString>("leftover"); // an unpacked file an earlier run left behind
        QTest::addColumn<QString>("lastMessage");
        QTest::addColumn<QString>("filesLeft");
        QTest::newRow("one, real waits")
            << QStringList{u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, u"#!/bin/sh\n"_s} << true
            << QString() << finished << u"QVX3 Ticket Setup.exe: #!/bin/sh\n | "_s;
        QTest::newRow("several")
            << QStringList{u"ZIP_reports.exe"_s,      u"Qvx3_Rep.exe"_s, u"reports"_s,
                           u"ZIP_help.exe"_s,         u"Qvx3_Hel.exe"_s, u"help"_s,
                           u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, u"ticket"_s}
            << false << QString() << finished
            << u"QVX3 Help.exe: help, QVX3 Reports.exe: reports, QVX3 Ticket Setup.exe: ticket | "_s;
        QTest::newRow("unexpected name")
            << QStringList{u"ZIP_alpha.exe"_s, u"Qvx3_Xyz.exe"_s, u"a"_s,
                           u"ZIP_beta.exe"_s,  u"Qvx3_Bet.exe"_s, u"b"_s}
            << false << QString()
            << u"message 48 | Error | 53 File not found: <app>/Qvx3_Alp.exe\r\rCan not prepare "
               "demo. Contact Brenlowe for assistance."_s
            << u"Qvx3_Xyz.exe: a, ZIP_alpha.exe, ZIP_beta.exe | ZIP_alpha.exe"_s;
        QTest::newRow("name not UTF-8") << QStringList{NativeName::decode("ZIP_caf\xe9_demo.exe"),
                                                       u"Qvx3_Caf.exe"_s, u"latin"_s}
                                        << false << QString() << finished
                                        << NativeName::decode("QVX3 Caf\xe9 Demo.exe: latin | ");
        QTest::newRow("leftover unpacked file")
            << QStringList{u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, u"new demo"_s} << false
            << u"Qvx3_Tic.exe"_s << finished << u"QVX3 Ticket Setup.exe: new demo | "_s;
    }
    void prepares()
    {
        QFETCH(QStringList, archives);
        QFETCH(bool, realWaits);
        QFETCH(QString, leftover);
        QFETCH(QString, lastMessage);
        QFETCH(QString, filesLeft);
        QTemporaryDir app;
        QTemporaryDir temp;
        const auto removeApp = qScopeGuard([&] { removeNativeTree(app.path()); });
        for (qsizetype at = 0; at + 2 < archives.size(); at += 3)
            makeArchive(app, archives[at], archives[at + 1], archives[at + 2].toUtf8());
        if (!leftover.isEmpty()) {
            QFile old(app.filePath(leftover));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old demo") > 0);
        }
        RealTimePlatform platform(app, temp);
        QStringList log;
        RecordingView view(platform, log);

        DemoPreparation(platform, view,
                        realWaits ? PreparationWaits{} : PreparationWaits{0.1f, 2.0f, 0.1f})
            .run(false);

        const QStringList messages = platform.callsOf(u"message"_s);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1], lastMessage.replace(u"<app>"_s, app.path()));
        QCOMPARE(listing(app, temp), filesLeft);
    }

    // What archives and folders meet in the field. Every case has an earlier demo of the
    // same name, which only a finished run may replace.
    void fieldConditions_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("lastMessage");
        QTest::addColumn<QString>("filesLeft");
        const QString error = u"message 48 | Error | "_s;
        const QString contact = u"\r\rCan not prepare demo. Contact Brenlowe for assistance."_s;
        const QString kept = u"QVX3 Ticket Setup.exe: old demo, "_s;
        QTest::newRow("slow to unpack")
            << u"slow"_s << finished << u"QVX3 Ticket Setup.exe: first half, second half | "_s;
        QTest::newRow("damaged")
            << u"damaged"_s
            << error +
                   u"75 Path/File access error: unpacking failed with status 2: "
                   "<temp>/ZIP_ticket_setup.exe"_s +
                   contact
            << kept + u"Qvx3_Tic.exe, ZIP_ticket_setup.exe | ZIP_ticket_setup.exe"_s;
        QTest::newRow("delivered without execute permission")
            << u"not executable"_s << finished << u"QVX3 Ticket Setup.exe: ticket | "_s;
        QTest::newRow("temporary folder is the application folder")
            << u"temp is app"_s << finished << u"QVX3 Ticket Setup.exe: ticket | "_s;
        QTest::newRow("read-only application folder")
            << u"read-only"_s << error + u"70 Permission denied: <app>"_s + contact
            << kept + u"ZIP_ticket_setup.exe | "_s;
        QTest::newRow("FIFO under the unpacked name")
            << u"fifo"_s
            << error + u"75 Path/File access error: not a regular file: <app>/Qvx3_Tic.exe"_s +
                   contact
            << kept + u"Qvx3_Tic.exe, ZIP_ticket_setup.exe | ZIP_ticket_setup.exe"_s;
    }
    void fieldConditions()
    {
        QFETCH(QString, condition);
        QFETCH(QString, lastMessage);
        QFETCH(QString, filesLeft);
        QTemporaryDir app;
        QTemporaryDir temp;
        const QString archive = app.filePath(u"ZIP_ticket_setup.exe"_s);
        const QByteArray appPath = QFile::encodeName(app.path());
        if (condition == u"read-only"_s &&
            ::mount("tmpfs", appPath.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("a file system cannot be mounted here");
        const auto unmount = qScopeGuard([&] {
            if (condition == u"read-only"_s)
                ::umount(appPath.constData());
        });
        QFile old(app.filePath(u"QVX3 Ticket Setup.exe"_s));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old demo") > 0);
        old.close();

        if (condition == u"slow"_s) {
            // Writes half, then takes its time over the rest, as a large archive does.
            QFile script(archive);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nprintf 'first half, ' > Qvx3_Tic.exe\nsleep 1\n"
                         "printf 'second half' >> Qvx3_Tic.exe\n");
            script.close();
            QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        } else if (condition == u"damaged"_s) {
            // Random bytes do not compress, so the archive stores them as they are.
            QByteArray payload(256, '\0');
            QRandomGenerator generator(8);
            for (char &byte : payload)
                byte = char(generator.bounded(256));
            makeArchive(app, u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, payload);
            QFile file(archive);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            const qsizetype at = bytes.indexOf(payload);
            QVERIFY(at > 0);
            bytes[at + 3] = 'X';
            QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        } else {
            makeArchive(app, u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, "ticket");
        }
        if (condition == u"not executable"_s)
            QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ReadGroup | QFile::ReadOther));
        if (condition == u"fifo"_s)
            QVERIFY(::mkfifo(QFile::encodeName(app.filePath(u"Qvx3_Tic.exe"_s)).constData(),
                             0600) == 0);
        if (condition == u"read-only"_s)
            QVERIFY(::mount(nullptr, appPath.constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                            "size=1m") == 0);

        RealTimePlatform platform(app, temp);
        // Named through a link: the folder's identity, not its spelling, tells it is the same.
        const QString alias = temp.filePath(u"app"_s);
        if (condition == u"temp is app"_s) {
            QVERIFY(QFile::link(app.path(), alias));
            qputenv("TMPDIR", QFile::encodeName(alias));
            platform.temp = createSystemPlatform()->tempFolder();
            qunsetenv("TMPDIR");
        }
        QStringList log;
        RecordingView view(platform, log);

        DemoPreparation(platform, view, PreparationWaits{0.1f, 0.2f, 0.1f}).run(false);

        QCOMPARE(platform.callsOf(u"message"_s).last(),
                 lastMessage.replace(u"<app>"_s, app.path()).replace(u"<temp>/"_s, platform.temp));
        QFile::remove(alias);
        QCOMPARE(listing(app, temp), filesLeft);
    }

    // The program's own situation: the run inside an event handler of the running event
    // loop, the window closed by an event during a wait and deleted when the loop gets to it.
    void closingDuringRealWait()
    {
        QTemporaryDir app;
        QTemporaryDir temp;
        makeArchive(app, u"ZIP_alpha.exe"_s, u"Qvx3_Alp.exe"_s, "a");
        RealTimePlatform platform(app, temp);
        QPointer<FrmPlayDemos> window = new FrmPlayDemos(platform);
        window->show();

        QEventLoop loop;
        bool goneWithinRun = false;
        QTimer::singleShot(0, window, [&] {
            QTimer::singleShot(500, window, &QWidget::close);
            window->func_UnzipDemos(false);
            goneWithinRun = window.isNull();
            loop.quit();
        });
        loop.exec();

        QVERIFY(goneWithinRun);
        QCOMPARE(platform.callsOf(u"message"_s).size(), 1);
        // Stopped at the wait after the copy: nothing was started or deleted.
        QCOMPARE(platform.callsOf(u"start"_s), QStringList());
        QCOMPARE(listing(app, temp), u"ZIP_alpha.exe | ZIP_alpha.exe"_s);
    }
};

QTEST_MAIN(TestRealArchives)
#include "tst_realarchives.moc"

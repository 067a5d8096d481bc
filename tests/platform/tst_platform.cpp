#include "DemoTree.h"

#include "platform/ExecutableKind.h"
#include "qvx/helpviewer/NativeName.h"
#include "platform/OpResult.h"
#include "platform/Platform.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray windowsHeader(quint32 peOffset, qsizetype size)
{
    QByteArray data(size, '\0');
    data[0] = 'M';
    data[1] = 'Z';
    qToLittleEndian<quint32>(peOffset, data.data() + 0x3C);
    if (qsizetype(peOffset) + 4 <= size)
        data.replace(qsizetype(peOffset), 4, QByteArray("PE\0\0", 4));
    return data;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Processes whose executable is the given file.
QList<qint64> processesRunning(const QString &path)
{
    QList<qint64> found;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QFileInfo &entry : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.fileName().toLongLong(&number);
        if (number &&
            QFileInfo(entry.filePath() + QStringLiteral("/exe")).symLinkTarget() == canonical)
            found.append(pid);
    }
    return found;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Platform> platform = createSystemPlatform();

private slots:
    void classifiesExecutables_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<int>("kind");
        QTest::newRow("ELF") << QByteArray("\x7f"
                                           "ELF\x02\x01")
                             << qint64(100) << int(ExecutableKind::Native);
        QTest::newRow("script") << QByteArray("#!/bin/sh\n") << qint64(10)
                                << int(ExecutableKind::Script);
        QTest::newRow("Windows") << windowsHeader(0x80, 0x100) << qint64(0x100)
                                 << int(ExecutableKind::Windows);
        QTest::newRow("PE signature past the end")
            << windowsHeader(0xFFFFFFF0u, 0x100) << qint64(0x100)
            << int(ExecutableKind::NotExecutable);
        QTest::newRow("PE offset beyond what was read")
            << windowsHeader(0x2000, 0x100) << qint64(0x10000)
            << int(ExecutableKind::NotExecutable);
        QTest::newRow("signature cut by the file's end")
            << windowsHeader(0xFE, 0x100) << qint64(0x100) << int(ExecutableKind::NotExecutable);
        QTest::newRow("MZ alone") << QByteArray("MZ") << qint64(2)
                                  << int(ExecutableKind::NotExecutable);
        QTest::newRow("MZ without PE") << QByteArray(0x100, 'M').replace(1, 1, "Z") << qint64(0x100)
                                       << int(ExecutableKind::NotExecutable);
        QTest::newRow("text") << QByteArray("demo") << qint64(4)
                              << int(ExecutableKind::NotExecutable);
        QTest::newRow("empty") << QByteArray() << qint64(0) << int(ExecutableKind::NotExecutable);
    }
    void classifiesExecutables()
    {
        QFETCH(QByteArray, head);
        QFETCH(qint64, fileSize);
        QFETCH(int, kind);
        QCOMPARE(int(classifyExecutable(head, fileSize)), kind);
    }

    void startsScriptsDirectlyWithoutAShell()
    {
        // Quotes, blanks and shell characters in the path must reach the system as they are.
        DemoTree tree;
        const QString folder = tree.file(QStringLiteral("a 'b' \"c\" $(x); d"));
        QDir().mkpath(folder);
        const QString script = folder + QStringLiteral("/Demo & More.exe");
        {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\npwd > started.txt\n");
        }
        QVERIFY(
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const OpResult result = platform->startProgram(script, folder);
        QVERIFY2(result.ok(), qPrintable(result.description));
        QTRY_VERIFY(QFile::exists(folder + QStringLiteral("/started.txt")));
        QTRY_COMPARE(readAll(folder + QStringLiteral("/started.txt")).trimmed(),
                     QFile::encodeName(QFileInfo(folder).canonicalFilePath()));
    }

    void refusesWhatCannotStart_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("number");
        QTest::newRow("missing file") << "none.exe" << QByteArray() << OpError::FileNotFound;
        QTest::newRow("missing folder")
            << "nofolder/none.exe" << QByteArray() << OpError::PathNotFound;
        QTest::newRow("plain text") << "text.exe" << QByteArray("just text") << OpError::FileAccess;
    }
    void refusesWhatCannotStart()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(int, number);
        DemoTree tree;
        if (!contents.isEmpty())
            tree.add(file, contents);
        const OpResult result = platform->startProgram(tree.file(file), tree.path());
        QCOMPARE(result.number, number);
        QVERIFY(!result.description.isEmpty());
    }

    // Its end and status are seen through whole preparation runs; here, what they cannot
    // show: a program no longer watched is still reaped, and a FIFO is never opened.
    void tracksStartedPrograms()
    {
        DemoTree tree;
        tree.add(QStringLiteral("dropped.exe"), "#!/bin/sh\necho $$ > pid; sleep 0.3\n");
        QVERIFY(QFile::setPermissions(tree.file(QStringLiteral("dropped.exe")),
                                      QFile::ReadOwner | QFile::ExeOwner));
        std::unique_ptr<TrackedProgram> program;
        QVERIFY(
            platform->startTracked(tree.file(QStringLiteral("dropped.exe")), tree.path(), program)
                .ok());
        QTRY_VERIFY(!readAll(tree.file(QStringLiteral("pid"))).trimmed().isEmpty());
        const QString proc =
            QStringLiteral("/proc/") +
            QString::fromLatin1(readAll(tree.file(QStringLiteral("pid"))).trimmed());
        program.reset();
        // A zombie keeps its /proc entry until reaped.
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(proc), 10000);

        QVERIFY(::mkfifo(QFile::encodeName(tree.file(QStringLiteral("pipe.exe"))).constData(),
                         0700) == 0);
        QCOMPARE(platform->startTracked(tree.file(QStringLiteral("pipe.exe")), tree.path(), program)
                     .number,
                 OpError::FileAccess);
        QVERIFY(!program);
    }

    void startsASampleDemoAsItsOwnProcess()
    {
        const QString demo = qEnvironmentVariable("QVX_TEST_APP_DIR") +
                             QStringLiteral("/Demos/Both/Ticket Setup.exe");
        if (!QFile::exists(demo))
            QSKIP("the sample demos are not laid out");
        const QList<qint64> before = processesRunning(demo);
        QVERIFY(platform->startProgram(demo, QFileInfo(demo).absolutePath()).ok());
        QList<qint64> started;
        QTRY_VERIFY_WITH_TIMEOUT((started = processesRunning(demo)).size() > before.size(), 10000);
        for (qint64 pid : started) {
            if (before.contains(pid))
                continue;
            // Detached: not our child, so nothing is left to reap; and in its own folder.
            const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
            const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            QVERIFY(fields.size() > 2);
            QVERIFY(fields[1].toLongLong() != qint64(::getpid()));
            QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget(),
                     QFileInfo(demo).absolutePath());
            ::kill(pid_t(pid), SIGTERM);
        }
    }

    void listsOnlyVisibleRegularFiles()
    {
        DemoTree tree(
            {QStringLiteral("a.exe"), QStringLiteral(".hidden.exe"), QStringLiteral("dir.exe/")});
        QFile::link(tree.file(QStringLiteral("a.exe")), tree.file(QStringLiteral("link.exe")));
        QFile::link(tree.file(QStringLiteral("gone.exe")), tree.file(QStringLiteral("broken.exe")));
        QVERIFY(::mkfifo(QFile::encodeName(tree.file(QStringLiteral("pipe.exe"))).constData(),
                         0600) == 0);
        QStringList names = platform->listVisibleFiles(tree.path());
        names.sort();
        QCOMPARE(names, QStringList({QStringLiteral("a.exe"), QStringLiteral("link.exe")}));
        QCOMPARE(platform->listVisibleFiles(tree.file(QStringLiteral("missing"))), QStringList());
    }

    void nativeNamesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QString bad(QChar(0xFFFD));
        QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9 \xf0\x9f\x8e\xac") << u"Café 🎬"_s;
        QTest::newRow("pair whose low half is in the escapes' range")
            << QByteArray("\xf0\x90\x82\x80") << QString::fromUcs4(U"\U00010080");
        QTest::newRow("Latin-1") << QByteArray("Caf\xe9.exe") << u"Caf"_s + bad + u".exe"_s;
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80") << bad + bad + bad;
        QTest::newRow("cut short") << QByteArray("\xe2\x82x") << bad + bad + u"x"_s;
        QTest::newRow("past the last code point")
            << QByteArray("\xf4\x90\x80\x80") << bad.repeated(4);
    }
    void nativeNamesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = NativeName::decode(bytes);
        QCOMPARE(NativeName::encode(name), bytes);
        QCOMPARE(NativeName::display(name), shown);
        if (!shown.contains(QChar(0xFFFD)))
            QCOMPARE(name, shown);
    }

    void applicationFolderKeepsItsBytes()
    {
        QFile program(QStringLiteral(QVX_PRINT_APP_FOLDER));
        QVERIFY(program.open(QIODevice::ReadOnly));
        DemoTree tree;
        tree.addNative("app\xe9/print_app_folder", program.readAll(), 0700);
        // Started through a link with a UTF-8 name; the system reports the real path.
        QVERIFY(::symlink("app\xe9", QFile::encodeName(tree.file(u"link"_s)).constData()) == 0);
        QProcess process;
        process.start(tree.file(u"link/print_app_folder"_s));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), QFile::encodeName(tree.path()) + "/app\xe9");
    }

    void copyReplacesWholeFiles()
    {
        DemoTree tree;
        tree.add(QStringLiteral("new.exe"), QByteArray(200000, 'n'));
        tree.add(QStringLiteral("demo.exe"), QByteArray("old"));
        QVERIFY(QFile::setPermissions(tree.file(QStringLiteral("new.exe")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(platform
                    ->copyFile(tree.file(QStringLiteral("new.exe")),
                               tree.file(QStringLiteral("demo.exe")))
                    .ok());
        QCOMPARE(readAll(tree.file(QStringLiteral("demo.exe"))), QByteArray(200000, 'n'));
        QVERIFY(QFileInfo(tree.file(QStringLiteral("demo.exe"))).isExecutable());
        // Nothing is left beside it.
        QCOMPARE(QDir(tree.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void failedCopiesLeaveTheDestinationWhole_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("number");
        QTest::newRow("missing source") << "none.exe"
                                        << "demo.exe" << OpError::FileNotFound;
        QTest::newRow("missing source folder") << "nofolder/x.exe"
                                               << "demo.exe" << OpError::PathNotFound;
        QTest::newRow("missing destination folder") << "new.exe"
                                                    << "nofolder/demo.exe" << OpError::PathNotFound;
        QTest::newRow("source is a folder") << "folder"
                                            << "demo.exe" << OpError::FileAccess;
        QTest::newRow("source is a FIFO") << "pipe.exe"
                                          << "demo.exe" << OpError::FileAccess;
    }
    void failedCopiesLeaveTheDestinationWhole()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(int, number);
        DemoTree tree({QStringLiteral("new.exe"), QStringLiteral("folder/")});
        tree.add(QStringLiteral("demo.exe"), QByteArray("old demo"));
        // Opened for reading with nobody writing, it would block.
        QVERIFY(::mkfifo(QFile::encodeName(tree.file(QStringLiteral("pipe.exe"))).constData(),
                         0600) == 0);
        const OpResult result = platform->copyFile(tree.file(source), tree.file(destination));
        QCOMPARE(result.number, number);
        QVERIFY(result.description.contains(QFileInfo(tree.file(destination)).fileName()) ||
                result.description.contains(QFileInfo(tree.file(source)).fileName()) ||
                result.description.contains(QStringLiteral("nofolder")));
        QCOMPARE(readAll(tree.file(QStringLiteral("demo.exe"))), QByteArray("old demo"));
        QCOMPARE(QDir(tree.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void fullDiskIsReportedAndLeavesNoPart()
    {
        DemoTree tree;
        const QString mountPoint = tree.file(QStringLiteral("small"));
        QDir().mkpath(mountPoint);
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=16k") !=
            0)
            QSKIP("a small file system cannot be mounted here");
        tree.add(QStringLiteral("big.exe"), QByteArray(256 * 1024, 'b'));
        const OpResult result = platform->copyFile(tree.file(QStringLiteral("big.exe")),
                                                   mountPoint + QStringLiteral("/demo.exe"));
        const QStringList left = QDir(mountPoint).entryList(QDir::Files | QDir::Hidden);
        ::umount(QFile::encodeName(mountPoint).constData());
        QCOMPARE(result.number, OpError::DiskFull);
        QCOMPARE(left, QStringList());
    }

    // The sound cases are met by whole preparation runs; here, the answers that must be no.
    void probesSayNo()
    {
        DemoTree tree({QStringLiteral("sub/")});
        QFile::link(tree.file(QStringLiteral("gone")), tree.file(QStringLiteral("broken")));
        QVERIFY(platform->exists(tree.file(QStringLiteral("broken"))));
        QVERIFY(!platform->exists(tree.file(QStringLiteral("gone"))));
        QVERIFY(!platform->sameFile(tree.path(), tree.file(QStringLiteral("sub"))));
        QVERIFY(!platform->sameFile(tree.file(QStringLiteral("gone")),
                                    tree.file(QStringLiteral("broken"))));
        QCOMPARE(platform->canCreateFiles(tree.file(QStringLiteral("gone"))).number,
                 OpError::PathNotFound);
        // The probe leaves nothing behind.
        QVERIFY(platform->canCreateFiles(tree.path()).ok());
        QCOMPARE(
            QDir(tree.path())
                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System)
                .size(),
            2);
    }

    void attributesAndDeletion()
    {
        DemoTree tree({QStringLiteral("a.exe")});
        const QString file = tree.file(QStringLiteral("a.exe"));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        QVERIFY(platform->resetAttributes(file).ok());
        QVERIFY(QFileInfo(file).permissions() & QFile::WriteOwner);
        QVERIFY(platform->deleteFile(file).ok());
        QVERIFY(!QFile::exists(file));
        QCOMPARE(platform->deleteFile(file).number, OpError::FileNotFound);
        QCOMPARE(platform->resetAttributes(file).number, OpError::FileNotFound);
        QCOMPARE(platform->deleteFile(tree.file(QStringLiteral("no/a.exe"))).number,
                 OpError::PathNotFound);
        // The user is shown what cannot be decoded as replacements.
        QVERIFY(platform->deleteFile(NativeName::decode("/no/\xff.exe"))
                    .description.endsWith(u"/no/\uFFFD.exe"_s));
    }

    void errorNumbers_data()
    {
        QTest::addColumn<int>("err");
        QTest::addColumn<int>("number");
        QTest::newRow("ENOENT") << ENOENT << OpError::FileNotFound;
        QTest::newRow("ENOTDIR") << ENOTDIR << OpError::PathNotFound;
        QTest::newRow("EACCES") << EACCES << OpError::PermissionDenied;
        QTest::newRow("EROFS") << EROFS << OpError::PermissionDenied;
        QTest::newRow("ENOSPC") << ENOSPC << OpError::DiskFull;
        QTest::newRow("ETXTBSY") << ETXTBSY << OpError::FileAccess;
        QTest::newRow("none") << 0 << 0;
    }
    void errorNumbers()
    {
        QFETCH(int, err);
        QFETCH(int, number);
        const OpResult result = OpError::fromErrno(err, QStringLiteral("x"));
        QCOMPARE(result.number, number);
        QCOMPARE(result.ok(), number == 0);
    }

    void tempFolderEndsWithSeparator()
    {
        const QString temp = platform->tempFolder();
        QVERIFY(temp.endsWith(QLatin1Char('/')));
        QVERIFY(QFileInfo(temp).isDir());
        qputenv("TMPDIR", "/nonexistent-folder-for-test");
        QCOMPARE(platform->tempFolder(), QString());
        DemoTree tree;
        tree.addNative("\xe9/file", "");
        qputenv("TMPDIR", QFile::encodeName(tree.path()) + "/\xe9");
        QCOMPARE(platform->tempFolder(), tree.path() + NativeName::decode("/\xe9/"));
        qunsetenv("TMPDIR");
    }

    void waitEndsEarlyForAnEvent()
    {
        const double start = platform->monotonicSeconds();
        bool fired = false;
        QTimer::singleShot(20, this, [&] { fired = true; });
        while (!fired && platform->monotonicSeconds() - start < 30)
            platform->waitForEvents(30);
        QVERIFY(fired);
        QVERIFY(platform->monotonicSeconds() - start < 29);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"

#include "Sanitized.h"
#include "SeparateCases.h"
#include "qvx/core/OpError.h"
#include "qvx/platform/ExecutableKind.h"
#include "qvx/platform/LinuxPlatform.h"
#include "qvx/platform/PosixFiles.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <csignal>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;
using qvx::OpResult;
namespace OpError = qvx::OpError;
using qvx::posix::ExecutableKind;

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

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A fresh folder whose entries are named by bytes; removed whatever their names.
class Tree
{
public:
    Tree() : m_root(m_dir.path().toStdString()) {}
    Tree(const Tree &) = delete;
    Tree &operator=(const Tree &) = delete;
    ~Tree()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    const fs::path &path() const { return m_root; }
    fs::path operator/(const std::string &relative) const { return m_root / relative; }

    fs::path add(const std::string &relative, const std::string &contents = "demo",
                 fs::perms perms = fs::perms::owner_read | fs::perms::owner_write)
    {
        const fs::path full = m_root / relative;
        fs::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << contents;
        fs::permissions(full, perms);
        return full;
    }
    fs::path addFolder(const std::string &relative)
    {
        fs::create_directories(m_root / relative);
        return m_root / relative;
    }
    fs::path addFifo(const std::string &relative)
    {
        const fs::path full = m_root / relative;
        return ::mkfifo(full.c_str(), 0600) == 0 ? full : fs::path();
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry &entry : fs::directory_iterator(m_root))
            names.push_back(entry.path().filename().native());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    QTemporaryDir m_dir;
    fs::path m_root;
};

const fs::perms runnable = fs::perms::owner_all;

// Processes whose executable is the given file.
std::vector<pid_t> processesRunning(const fs::path &program)
{
    std::vector<pid_t> found;
    const fs::path canonical = fs::canonical(program);
    for (const fs::directory_entry &entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code error;
        if (fs::read_symlink(entry.path() / "exe", error) == canonical)
            found.push_back(pid_t(std::stol(name)));
    }
    return found;
}

class FakeHelp final : public qvx::HelpService
{
public:
    qvx::WindowHandle helpWindow = 0;
    void show(qvx::WindowHandle, const std::string &, qvx::HelpCommand) override {}
    bool isHelpWindow(qvx::WindowHandle window) const override { return window == helpWindow; }
};

} // namespace

class TestLinuxPlatform : public QObject
{
    Q_OBJECT

private:
    qvx::LinuxPlatform platform;

private slots:
    void init() { QVX_SKIP_SEPARATE_CASES(); }

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
        QCOMPARE(int(qvx::posix::classifyExecutable(head.toStdString(), quint64(fileSize))), kind);
    }

    void startsScriptsByTheirBytesWithoutAShell()
    {
        // Quotes, blanks, shell characters and bytes that are not UTF-8 reach the system as
        // they are.
        Tree tree;
        const fs::path folder = tree.addFolder("a 'b' \"c\" $(x); d\xe9");
        const fs::path script = tree.add("a 'b' \"c\" $(x); d\xe9/Demo & M\xf6re.exe",
                                         "#!/bin/sh\npwd > started\n", runnable);
        const OpResult result = platform.startProgram(script, folder);
        QVERIFY2(result.ok(), result.description.c_str());
        QTRY_COMPARE(trimmed(readAll(folder / "started")), fs::canonical(folder).native());
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
        // Opened for reading with nobody writing, it would block.
        QTest::newRow("FIFO") << "pipe.exe" << QByteArray("fifo") << OpError::FileNotFound;
    }
    void refusesWhatCannotStart()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(int, number);
        Tree tree;
        if (contents == "fifo")
            QVERIFY(!tree.addFifo(file.toStdString()).empty());
        else if (!contents.isEmpty())
            tree.add(file.toStdString(), contents.toStdString(), runnable);
        const OpResult result = platform.startProgram(tree / file.toStdString(), tree.path());
        QCOMPARE(result.number, number);
        QVERIFY(!result.description.empty());
    }

    void tracksStartedPrograms()
    {
        Tree tree;
        tree.add("fails.exe", "#!/bin/sh\nexit 3\n", runnable);
        std::unique_ptr<qvx::TrackedProgram> program;
        QVERIFY(platform.startTracked(tree / "fails.exe", tree.path(), program).ok());
        QTRY_VERIFY(program->finished());
        QCOMPARE(program->exitStatus(), 3);

        // A program no longer watched is still reaped.
        tree.add("dropped.exe", "#!/bin/sh\necho $$ > pid; sleep 0.3\n", runnable);
        QVERIFY(platform.startTracked(tree / "dropped.exe", tree.path(), program).ok());
        QTRY_VERIFY(!trimmed(readAll(tree / "pid")).empty());
        const fs::path proc = fs::path("/proc") / trimmed(readAll(tree / "pid"));
        program.reset();
        // A zombie keeps its /proc entry until reaped.
        QTRY_VERIFY_WITH_TIMEOUT(!fs::exists(proc), 10000);

        // A FIFO is never opened, and a missing working folder is named.
        QVERIFY(!tree.addFifo("pipe.exe").empty());
        QCOMPARE(platform.startTracked(tree / "pipe.exe", tree.path(), program).number,
                 OpError::FileAccess);
        QVERIFY(!program);
        QCOMPARE(platform.startTracked(tree / "fails.exe", tree / "gone", program).number,
                 OpError::PathNotFound);
        QVERIFY(!program);
    }

    void startsASampleDemoAsItsOwnProcess()
    {
        const fs::path demo = fs::path(qEnvironmentVariable("QVX_TEST_APP_DIR").toStdString()) /
                              "Demos/Both/Ticket Setup.exe";
        if (!fs::exists(demo))
            QSKIP("the sample demos are not laid out");
        const std::vector<pid_t> before = processesRunning(demo);
        QVERIFY(platform.startProgram(demo, demo.parent_path()).ok());
        std::vector<pid_t> started;
        QTRY_VERIFY_WITH_TIMEOUT((started = processesRunning(demo)).size() > before.size(), 10000);
        for (pid_t pid : started) {
            if (std::find(before.begin(), before.end(), pid) != before.end())
                continue;
            // Detached: not our child, so nothing is left to reap; and in its own folder.
            const std::string stat = readAll("/proc/" + std::to_string(pid) + "/stat");
            const QList<QByteArray> fields =
                QByteArray::fromStdString(stat.substr(stat.rfind(')') + 2)).split(' ');
            QVERIFY(fields.size() > 2);
            QVERIFY(fields[1].toLongLong() != qint64(::getpid()));
            QCOMPARE(fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd"),
                     fs::canonical(demo.parent_path()));
            ::kill(pid, SIGTERM);
        }
    }

    void listsVisibleRegularFilesByTheirBytes()
    {
        Tree tree;
        tree.add("a.exe");
        tree.add("Caf\xe9.exe", "latin-1");
        tree.add(".hidden.exe");
        tree.addFolder("dir.exe");
        fs::create_symlink(tree / "a.exe", tree / "link.exe");
        fs::create_symlink(tree / "gone.exe", tree / "broken.exe");
        fs::create_symlink("/dev/zero", tree / "zero.exe");
        QVERIFY(!tree.addFifo("pipe.exe").empty());
        std::vector<fs::path> names = platform.listVisibleFiles(tree.path());
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (std::vector<fs::path>{"Caf\xe9.exe", "a.exe", "link.exe"}));
        // The name listed opens the file it names.
        QVERIFY(platform.copyFile(tree.path() / names[0], tree / "copy.exe").ok());
        QCOMPARE(readAll(tree / "copy.exe"), std::string("latin-1"));
        QVERIFY(platform.listVisibleFiles(tree / "missing").empty());
    }

    // A stamp tells a folder that may have changed from one that has not.
    void stampsAFolderByItsChanges()
    {
        Tree tree;
        tree.add("a.exe");
        const std::optional<qvx::FolderStamp> fresh = platform.folderStamp(tree.path());
        QVERIFY(fresh && !fresh->state.empty());
        QVERIFY(!fresh->settled);
        // Settled once the change lies a few seconds back, and the same until the next one.
        QTRY_VERIFY_WITH_TIMEOUT(platform.folderStamp(tree.path())->settled, 10000);
        const std::optional<qvx::FolderStamp> old = platform.folderStamp(tree.path());
        QCOMPARE(old->state, fresh->state);
        tree.add("b.exe");
        QVERIFY(platform.folderStamp(tree.path())->state != old->state);
        QVERIFY(!platform.folderStamp(tree / "a.exe"));
        QVERIFY(!platform.folderStamp(tree / "missing"));
    }

    void applicationFolderKeepsItsBytes()
    {
        Tree tree;
        tree.addFolder("app\xe9");
        fs::copy_file(QVX_PRINT_APP_FOLDER, tree / "app\xe9/print_app_folder");
        // Started through a link with a UTF-8 name; the system reports the real path.
        fs::create_directory_symlink("app\xe9", tree / "link");
        QProcess process;
        process.start(QString::fromStdString((tree / "link/print_app_folder").native()));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput().toStdString(), (tree / "app\xe9").native());
    }

    void copyReplacesWholeFiles()
    {
        Tree tree;
        tree.add("new.exe", std::string(200000, 'n'), runnable);
        tree.add("demo.exe", "old");
        QVERIFY(platform.copyFile(tree / "new.exe", tree / "demo.exe").ok());
        QCOMPARE(readAll(tree / "demo.exe"), std::string(200000, 'n'));
        QVERIFY((fs::status(tree / "demo.exe").permissions() & fs::perms::owner_exec) !=
                fs::perms::none);
        // Nothing is left beside it.
        QCOMPARE(tree.entries(), (std::vector<std::string>{"demo.exe", "new.exe"}));
    }

    // A large copy goes on while the window events are handled, and is whole when it returns.
    void copyKeepsHandlingEvents()
    {
        Tree tree;
        const fs::path source = tree.add("big.exe", "");
        fs::resize_file(source, 96 << 20);
        std::ofstream(source, std::ios::binary | std::ios::app) << "end";
        bool copying = false;
        int ticksDuring = 0;
        double last = 0;
        double worstGap = 0;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [&] {
            if (!copying)
                return;
            ++ticksDuring;
            worstGap = std::max(worstGap, platform.monotonicSeconds() - last);
            last = platform.monotonicSeconds();
        });
        timer.start(5);
        copying = true;
        last = platform.monotonicSeconds();
        const OpResult copied = platform.copyFile(source, tree / "demo.exe");
        worstGap = std::max(worstGap, platform.monotonicSeconds() - last);
        copying = false;
        QVERIFY(copied.ok());
        QCOMPARE(fs::file_size(tree / "demo.exe"), fs::file_size(source));
        QVERIFY(readAll(tree / "demo.exe").ends_with("end"));
        QVERIFY(ticksDuring > 0);
        QVERIFY2(worstGap < (qvx::test::sanitized ? 0.25 : 0.1), std::to_string(worstGap).c_str());
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
        Tree tree;
        tree.add("new.exe");
        tree.add("demo.exe", "old demo");
        tree.addFolder("folder");
        QVERIFY(!tree.addFifo("pipe.exe").empty());
        const OpResult result =
            platform.copyFile(tree / source.toStdString(), tree / destination.toStdString());
        QCOMPARE(result.number, number);
        const auto mentions = [&](const fs::path &path) {
            return result.description.find(path.filename().native()) != std::string::npos;
        };
        QVERIFY(mentions(tree / destination.toStdString()) ||
                mentions(tree / source.toStdString()) ||
                result.description.find("nofolder") != std::string::npos);
        QCOMPARE(readAll(tree / "demo.exe"), std::string("old demo"));
        QCOMPARE(tree.entries().size(), size_t(4));
    }

    void fullDiskIsReportedAndLeavesNoPart()
    {
        Tree tree;
        const fs::path mountPoint = tree.addFolder("small");
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("a small file system cannot be mounted here");
        tree.add("big.exe", std::string(256 * 1024, 'b'));
        const OpResult result = platform.copyFile(tree / "big.exe", mountPoint / "demo.exe");
        const bool empty = fs::is_empty(mountPoint);
        ::umount(mountPoint.c_str());
        QCOMPARE(result.number, OpError::DiskFull);
        QVERIFY(empty);
    }

    // A copy killed midway leaves its partial file; the clean-up removes that and nothing
    // else: no copy still being written, no other name, nothing but a file.
    void leftoverCopiesGoUnlessStillWritten()
    {
        Tree tree;
        // Large enough to be caught under way; sparse, so quick to make.
        const fs::path source = tree.add("big.exe", "");
        fs::resize_file(source, 128 << 20);
        const fs::path out = tree.addFolder("out");
        QProcess copier;
        copier.start(QStringLiteral(QVX_COPY_FILE),
                     {QString::fromStdString(source), QString::fromStdString(out / "demo.exe")});
        QVERIFY(copier.waitForStarted());
        fs::path partial;
        const double start = platform.monotonicSeconds();
        while (partial.empty() && platform.monotonicSeconds() - start < 30) {
            for (const fs::directory_entry &entry : fs::directory_iterator(out))
                partial = entry.path();
        }
        ::kill(pid_t(copier.processId()), SIGSTOP);
        QVERIFY(partial.filename().native().starts_with(".qvx-copy-"));
        platform.removeLeftoverCopies(out);
        const bool keptWhileWritten = fs::exists(partial);
        ::kill(pid_t(copier.processId()), SIGKILL);
        QVERIFY(copier.waitForFinished());
        QVERIFY(keptWhileWritten);

        const std::vector<std::string> others{".qvx-copy-abc", ".qvx-copy-abcdefg",
                                              "qvx-copy-abcdef", ".qvx-copy-ab_def"};
        for (const std::string &name : others)
            tree.add("out/" + name, "not ours");
        tree.add("out/.qvx-copy-Zz0099", "left whole by a run killed before its rename");
        tree.addFolder("out/.qvx-copy-folder");
        fs::create_symlink(source, out / ".qvx-copy-link00");
        platform.removeLeftoverCopies(out);
        std::vector<std::string> left;
        for (const fs::directory_entry &entry : fs::directory_iterator(out))
            left.push_back(entry.path().filename());
        std::sort(left.begin(), left.end());
        QCOMPARE(left, (std::vector<std::string>{".qvx-copy-ab_def", ".qvx-copy-abc",
                                                 ".qvx-copy-abcdefg", ".qvx-copy-folder",
                                                 ".qvx-copy-link00", "qvx-copy-abcdef"}));
        QCOMPARE(fs::file_size(source), std::uintmax_t(128 << 20));
    }

    // The sound cases are met by whole preparation runs; here, the answers that must be no.
    void probesSayNo()
    {
        Tree tree;
        tree.addFolder("sub");
        fs::create_symlink(tree / "gone", tree / "broken");
        QVERIFY(platform.exists(tree / "broken"));
        QVERIFY(!platform.exists(tree / "gone"));
        QVERIFY(!platform.sameFile(tree.path(), tree / "sub"));
        QVERIFY(!platform.sameFile(tree / "gone", tree / "broken"));
        QCOMPARE(platform.canCreateFiles(tree / "gone").number, OpError::PathNotFound);
        // The probe leaves nothing behind.
        QVERIFY(platform.canCreateFiles(tree.path()).ok());
        QCOMPARE(tree.entries(), (std::vector<std::string>{"broken", "sub"}));
    }

    void attributesAndDeletion()
    {
        Tree tree;
        const fs::path file = tree.add("a.exe", "demo", fs::perms::owner_read);
        QVERIFY(platform.resetAttributes(file).ok());
        QVERIFY((fs::status(file).permissions() & fs::perms::owner_write) != fs::perms::none);
        QVERIFY(platform.deleteFile(file).ok());
        QVERIFY(!fs::exists(file));
        QCOMPARE(platform.deleteFile(file).number, OpError::FileNotFound);
        QCOMPARE(platform.resetAttributes(file).number, OpError::FileNotFound);
        QCOMPARE(platform.deleteFile(tree / "no/a.exe").number, OpError::PathNotFound);
        // The user is shown what cannot be decoded as replacements.
        QVERIFY(platform.deleteFile("/no/\xff.exe").description.ends_with("/no/\uFFFD.exe"));
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
        const OpResult result = qvx::posix::resultFromErrno(err, "x");
        QCOMPARE(result.number, number);
        QCOMPARE(result.ok(), number == 0);
    }

    void tempFolderIsTheRealOne()
    {
        QVERIFY(fs::is_directory(platform.tempFolder()));
        Tree tree;
        tree.addFolder("\xe9");
        fs::create_directory_symlink(tree / "\xe9", tree / "link");
        qputenv("TMPDIR", QByteArray::fromStdString((tree / "link").native()));
        QCOMPARE(platform.tempFolder(), fs::canonical(tree / "\xe9"));
        qputenv("TMPDIR", "/nonexistent-folder-for-test");
        QCOMPARE(platform.tempFolder(), fs::path());
        qunsetenv("TMPDIR");
    }

    void sortsNamesAsTheFileListDoes_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("letter case ignored") << QStringList{u"b.exe"_s, u"A.exe"_s, u"c.EXE"_s}
                                             << QStringList{u"A.exe"_s, u"b.exe"_s, u"c.EXE"_s};
        // Plain names whose bytes sort otherwise: capitals and '_' come before small letters.
        QTest::newRow("letter case ignored where the bytes disagree")
            << QStringList{u"b.exe"_s, u"_x.exe"_s, u"C.exe"_s, u"a.exe"_s, u"B2.exe"_s}
            << QStringList{u"_x.exe"_s, u"a.exe"_s, u"b.exe"_s, u"B2.exe"_s, u"C.exe"_s};
        QTest::newRow("names differing only in case keep a fixed order")
            << QStringList{u"help.exe"_s, u"HELP.exe"_s, u"Help.exe"_s}
            << QStringList{u"HELP.exe"_s, u"Help.exe"_s, u"help.exe"_s};
        QTest::newRow("accents beside their letter")
            << QStringList{u"Fox.exe"_s, u"\u00c9clair.exe"_s, u"eagle.exe"_s, u"Zed.exe"_s}
            << QStringList{u"eagle.exe"_s, u"\u00c9clair.exe"_s, u"Fox.exe"_s, u"Zed.exe"_s};
    }
    void sortsNamesAsTheFileListDoes()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        std::vector<fs::path> paths;
        for (const QString &name : names)
            paths.emplace_back(name.toStdString());
        platform.sortNames(paths);
        QStringList got;
        for (const fs::path &path : paths)
            got.append(QString::fromStdString(path.native()));
        QCOMPARE(got, sorted);
        // Whatever order the folder gave.
        std::reverse(paths.begin(), paths.end());
        platform.sortNames(paths);
        for (qsizetype i = 0; i < got.size(); ++i)
            QCOMPARE(QString::fromStdString(paths[size_t(i)].native()), sorted[i]);
    }

    void namesThatAreNotUtf8SortWithoutLoss()
    {
        std::vector<fs::path> names{"b\xe9.exe", "a.exe", "b\xe8.exe", "B.exe"};
        platform.sortNames(names);
        QCOMPARE(names, (std::vector<fs::path>{"a.exe", "B.exe", "b\xe8.exe", "b\xe9.exe"}));
    }

    void textRules()
    {
        QVERIFY(platform.sameNameIgnoringCase("\u00c9CLAIR.exe", "\u00e9clair.EXE"));
        QVERIFY(!platform.sameNameIgnoringCase("eclair.exe", "\u00e9clair.exe"));
        QCOMPARE(platform.upperCase(U'\u00e9'), U'\u00c9');
        QCOMPARE(platform.upperCase(U'q'), U'Q');
        // One character for one: the full mapping would make "SS".
        QCOMPARE(platform.upperCase(U'\u00df'), U'\u00df');
    }

    // Qt here has no contrast setting: a theme's palette at the extremes is high contrast,
    // an ordinary one, however dark or light, is not.
    void highContrastShowsInThePalette_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("button");
        QTest::addColumn<bool>("high");
        const QColor black(0, 0, 0);
        const QColor white(255, 255, 255);
        QTest::newRow("black on light grey")
            << QColor(239, 239, 239) << black << QColor(239, 239, 239) << false;
        QTest::newRow("dark theme")
            << QColor(32, 35, 38) << QColor(252, 252, 252) << QColor(49, 54, 59) << false;
        QTest::newRow("white page, grey buttons")
            << white << black << QColor(224, 224, 224) << false;
        QTest::newRow("black on white") << white << black << white << true;
        QTest::newRow("white on black") << black << white << black << true;
        QTest::newRow("yellow on black") << black << QColor(255, 255, 0) << black << true;
    }
    void highContrastShowsInThePalette()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, text);
        QFETCH(QColor, button);
        QFETCH(bool, high);
        const QPalette before = QApplication::palette();
        QPalette palette = before;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Button, button);
        palette.setColor(QPalette::ButtonText, text);
        QApplication::setPalette(palette);
        const bool answer = platform.highContrast();
        QApplication::setPalette(before);
        QCOMPARE(answer, high);
    }

    void messageBoxNeverBelongsToTheHelpWindow()
    {
        QWidget main;
        QWidget help;
        main.show();
        help.show();
        help.activateWindow();
        FakeHelp service;
        service.helpWindow = reinterpret_cast<qvx::WindowHandle>(&help);
        platform.setHelpService(&service);
        QWidget *owner = nullptr;
        QString text;
        // Answers the box once it is the modal window in front.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer.stop();
            owner = box->parentWidget();
            text = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
        answer.start(10);
        const qvx::Answer answered = platform.messageBox("one\rtwo", qvx::MessageIcon::Question,
                                                         qvx::MessageButtons::OkCancel, "title");
        platform.setHelpService(nullptr);
        QCOMPARE(answered, qvx::Answer::Cancel);
        QCOMPARE(owner, &main);
        QCOMPARE(text, u"one\ntwo"_s);
    }

    void waitEndsEarlyForAnEvent()
    {
        const double start = platform.monotonicSeconds();
        bool fired = false;
        QTimer::singleShot(20, this, [&] { fired = true; });
        while (!fired && platform.monotonicSeconds() - start < 30)
            platform.waitForEvents(30);
        QVERIFY(fired);
        QVERIFY(platform.monotonicSeconds() - start < 29);
    }
};

QTEST_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"

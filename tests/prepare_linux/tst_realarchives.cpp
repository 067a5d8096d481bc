#include "SeparateCases.h"
#include "qvx/core/DemoPreparation.h"
#include "qvx/core/FileList.h"
#include "qvx/platform/LinuxPlatform.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using qvx::OpResult;

namespace {

// A fresh folder, removed whatever its entries are named.
class Folder
{
public:
    Folder() : m_path(m_dir.path().toStdString()) {}
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }

    const fs::path &path() const { return m_path; }
    fs::path operator/(const std::string &name) const { return m_path / name; }
    QByteArray text() const { return QByteArray::fromStdString(m_path.native()); }

private:
    QTemporaryDir m_dir;
    fs::path m_path;
};

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeAll(const fs::path &path, const std::string &contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return bool(out << contents) && bool(out.flush());
}

// A started program, whose end its platform can look for while the core holds it.
class WatchedProgram final : public qvx::TrackedProgram
{
public:
    WatchedProgram(std::unique_ptr<qvx::TrackedProgram> program, WatchedProgram *&latest)
        : m_program(std::move(program)), m_latest(latest)
    {
        m_latest = this;
    }
    WatchedProgram(const WatchedProgram &) = delete;
    WatchedProgram &operator=(const WatchedProgram &) = delete;
    ~WatchedProgram() override
    {
        if (m_latest == this)
            m_latest = nullptr;
    }

    bool finished() override { return m_program->finished(); }
    int exitStatus() const override { return m_program->exitStatus(); }

private:
    std::unique_ptr<qvx::TrackedProgram> m_program;
    WatchedProgram *&m_latest;
};

enum class Clock { Real, Test };

// The real Linux platform on a test's own folders. Message boxes are answered OK and
// recorded as "<title> | <text>"; starts of programs are recorded.
//
// On the test's clock a wait passes at once, after the pending events, and the clock moves on
// by its length; only while a program started here runs is the time real, so that the program
// gets its time and the limits on it count real seconds.
class RealPlatform final : public qvx::Platform
{
public:
    RealPlatform(fs::path app, fs::path temp, Clock clock = Clock::Test)
        : m_app(std::move(app)), m_temp(std::move(temp)), m_clock(clock)
    {
    }

    std::vector<QByteArray> messages;
    std::vector<fs::path> starts;

    fs::path applicationFolder() const override { return m_app; }
    fs::path tempFolder() override { return m_temp; }
    qvx::Answer messageBox(const std::string &text, qvx::MessageIcon, qvx::MessageButtons,
                           const std::string &title) override
    {
        messages.push_back(QByteArray::fromStdString(title + " | " + text));
        return qvx::Answer::Ok;
    }
    OpResult startProgram(const fs::path &program, const fs::path &folder) override
    {
        starts.push_back(program);
        return m_system.startProgram(program, folder);
    }
    OpResult startTracked(const fs::path &program, const fs::path &folder,
                          std::unique_ptr<qvx::TrackedProgram> &tracked) override
    {
        starts.push_back(program);
        std::unique_ptr<qvx::TrackedProgram> started;
        const OpResult result = m_system.startTracked(program, folder, started);
        if (started)
            tracked = std::make_unique<WatchedProgram>(std::move(started), m_program);
        return result;
    }

    void setApplicationHelpFile(const fs::path &path) override
    {
        m_system.setApplicationHelpFile(path);
    }
    void setPointer(qvx::Pointer pointer) override { m_system.setPointer(pointer); }
    void processEvents() override { m_system.processEvents(); }
    void shellOpen(const std::string &target) override { m_system.shellOpen(target); }
    void htmlHelp(qvx::WindowHandle owner, const std::string &file,
                  qvx::HelpCommand command) override
    {
        m_system.htmlHelp(owner, file, command);
    }
    std::vector<fs::path> listVisibleFiles(const fs::path &folder) override
    {
        return m_system.listVisibleFiles(folder);
    }
    bool isFile(const fs::path &path) override { return m_system.isFile(path); }
    bool exists(const fs::path &path) override { return m_system.exists(path); }
    bool sameFile(const fs::path &first, const fs::path &second) override
    {
        return m_system.sameFile(first, second);
    }
    OpResult canCreateFiles(const fs::path &folder) override
    {
        return m_system.canCreateFiles(folder);
    }
    OpResult copyFile(const fs::path &source, const fs::path &destination) override
    {
        return m_system.copyFile(source, destination);
    }
    OpResult resetAttributes(const fs::path &path) override
    {
        return m_system.resetAttributes(path);
    }
    OpResult makeExecutable(const fs::path &path) override { return m_system.makeExecutable(path); }
    OpResult deleteFile(const fs::path &path) override { return m_system.deleteFile(path); }
    void removeLeftoverCopies(const fs::path &folder) override
    {
        m_system.removeLeftoverCopies(folder);
    }
    void sortNames(std::vector<fs::path> &names) override { m_system.sortNames(names); }
    bool sameNameIgnoringCase(std::string_view first, std::string_view second) override
    {
        return m_system.sameNameIgnoringCase(first, second);
    }
    char32_t upperCase(char32_t character) override { return m_system.upperCase(character); }
    double monotonicSeconds() override { return m_system.monotonicSeconds() + m_skipped; }
    void waitForEvents(double maxSeconds) override
    {
        if (m_clock == Clock::Real) {
            m_system.waitForEvents(maxSeconds);
        } else if (m_program && !m_program->finished()) {
            // Short looks, so that its end is seen soon.
            m_system.waitForEvents(std::min(maxSeconds, 0.01));
        } else {
            m_system.processEvents();
            if (maxSeconds > 0)
                m_skipped += maxSeconds;
        }
    }

private:
    qvx::LinuxPlatform m_system;
    fs::path m_app;
    fs::path m_temp;
    Clock m_clock;
    double m_skipped = 0;
    WatchedProgram *m_program = nullptr;
};

// A window that stays open and lists files as the hidden file list does.
class ListingView final : public qvx::PreparationView
{
public:
    explicit ListingView(qvx::Platform &platform) : m_files(platform) {}

    bool isOpen() const override { return true; }
    std::vector<fs::path> listFiles(const fs::path &folder, std::string_view pattern) override
    {
        m_files.setPath(folder);
        m_files.setPattern(pattern);
        return m_files.names();
    }
    void clearDemoList() override {}
    void resetDemoListText() override {}
    void showProgressFrame() override {}
    void hideProgressFrame() override {}
    void setMenusEnabled(bool) override {}

private:
    qvx::FileList m_files;
};

// "<application folder's entries> | <temporary folder's entries>", each sorted by its
// bytes, with the contents of short regular files, which the archives are not. A FIFO is
// listed, never opened.
QByteArray listing(const Folder &app, const Folder &temp)
{
    QByteArrayList shown;
    for (const Folder *folder : {&app, &temp}) {
        std::vector<std::string> entries;
        for (const fs::directory_entry &entry : fs::directory_iterator(folder->path())) {
            std::string name = entry.path().filename().native();
            if (entry.is_regular_file() && entry.file_size() < 64)
                name += ": " + readAll(entry.path());
            entries.push_back(std::move(name));
        }
        std::sort(entries.begin(), entries.end());
        QByteArrayList names;
        for (const std::string &name : entries)
            names.append(QByteArray::fromStdString(name));
        shown.append(names.join(", "));
    }
    return shown.join(" | ");
}

const QByteArray finished = "Finished | The new files are now ready to use.";

} // namespace

class TestRealArchives : public QObject
{
    Q_OBJECT

    static void addPreparationColumns()
    {
        // Archive, the file it unpacks and that file's contents, repeated.
        QTest::addColumn<QByteArrayList>("archives");
        QTest::addColumn<bool>("realWaits");      // else the same waits on the test's clock
        QTest::addColumn<QByteArray>("leftover"); // an unpacked file, partial copies: a run's rest
        QTest::addColumn<QByteArray>("lastMessage");
        QTest::addColumn<QByteArray>("filesLeft");
    }

    QString m_zip;
    QString m_stub;

    // A genuine self-extracting archive in `folder` that writes `unpacks` into its working
    // folder. Names are bytes and need not be UTF-8.
    void makeArchive(const Folder &folder, const QByteArray &archive, const QByteArray &unpacks,
                     const QByteArray &contents)
    {
        Folder staging;
        const fs::path payload = staging / unpacks.toStdString();
        QVERIFY(writeAll(payload, contents.toStdString()));
        const fs::path zipped = staging / "payload.zip";
        QCOMPARE(QProcess::execute(m_zip, {QStringLiteral("-qXj"), QString::fromStdString(zipped),
                                           QString::fromStdString(payload)}),
                 0);
        // Made beside its final place: a rename does not cross file systems.
        const fs::path made = folder / ".archive.tmp";
        QVERIFY(writeAll(made, readAll(m_stub.toStdString()) + readAll(zipped)));
        fs::permissions(made, fs::perms::owner_exec, fs::perm_options::add);
        // Moves the zip's offsets behind the stub.
        QCOMPARE(QProcess::execute(m_zip, {QStringLiteral("-qA"), QString::fromStdString(made)}),
                 0);
        fs::rename(made, folder / archive.toStdString());
    }

private slots:
    void init() { QVX_SKIP_SEPARATE_CASES(); }

    void initTestCase()
    {
        m_zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
        m_stub = QStandardPaths::findExecutable(QStringLiteral("unzipsfx"));
        if (m_zip.isEmpty() || m_stub.isEmpty())
            QSKIP("zip and unzipsfx are needed to build self-extracting archives");
    }

    // The program's own waits, 3 + 7 + 3 seconds an archive, taken in real time once.
    void preparesInRealTime_data()
    {
        addPreparationColumns();
        QTest::newRow("one") << QByteArrayList{"ZIP_ticket_setup.exe", "Qvx3_Tic.exe",
                                               "#!/bin/sh\n"}
                             << true << QByteArray() << finished
                             << QByteArray("QVX3 Ticket Setup.exe: #!/bin/sh\n | ");
    }
    void preparesInRealTime() { prepares(); }

    void prepares_data()
    {
        addPreparationColumns();
        QTest::newRow("one") << QByteArrayList{"ZIP_ticket_setup.exe", "Qvx3_Tic.exe",
                                               "#!/bin/sh\n"}
                             << false << QByteArray() << finished
                             << QByteArray("QVX3 Ticket Setup.exe: #!/bin/sh\n | ");
        QTest::newRow("several")
            << QByteArrayList{"ZIP_reports.exe",      "Qvx3_Rep.exe", "reports",
                              "ZIP_help.exe",         "Qvx3_Hel.exe", "help",
                              "ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "ticket"}
            << false << QByteArray() << finished
            << QByteArray("QVX3 Help.exe: help, QVX3 Reports.exe: reports, "
                          "QVX3 Ticket Setup.exe: ticket | ");
        QTest::newRow("unexpected name")
            << QByteArrayList{"ZIP_alpha.exe", "Qvx3_Xyz.exe", "a",
                              "ZIP_beta.exe",  "Qvx3_Bet.exe", "b"}
            << false << QByteArray()
            << QByteArray("Error | 53 File not found: <app>/Qvx3_Alp.exe\r\rCan not prepare "
                          "demo. Contact Brenlowe for assistance.")
            << QByteArray("Qvx3_Xyz.exe: a, ZIP_alpha.exe, ZIP_beta.exe | ZIP_alpha.exe");
        QTest::newRow("name not UTF-8")
            << QByteArrayList{"ZIP_caf\xe9_demo.exe", "Qvx3_Caf.exe", "latin"} << false
            << QByteArray() << finished << QByteArray("QVX3 Caf\xe9 Demo.exe: latin | ");
        QTest::newRow("leftover unpacked file")
            << QByteArrayList{"ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "new demo"} << false
            << QByteArray("Qvx3_Tic.exe") << finished
            << QByteArray("QVX3 Ticket Setup.exe: new demo | ");
    }
    void prepares()
    {
        QFETCH(QByteArrayList, archives);
        QFETCH(bool, realWaits);
        QFETCH(QByteArray, leftover);
        QFETCH(QByteArray, lastMessage);
        QFETCH(QByteArray, filesLeft);
        Folder app;
        Folder temp;
        for (qsizetype at = 0; at + 2 < archives.size(); at += 3)
            makeArchive(app, archives[at], archives[at + 1], archives[at + 2]);
        if (!leftover.isEmpty()) {
            QVERIFY(writeAll(app / leftover.toStdString(), "old demo"));
            for (const Folder *folder : {&app, &temp})
                QVERIFY(writeAll(*folder / ".qvx-copy-k1lLed", "part"));
        }
        RealPlatform platform(app.path(), temp.path(), realWaits ? Clock::Real : Clock::Test);
        ListingView view(platform);

        QElapsedTimer timer;
        timer.start();
        qvx::DemoPreparation(platform, view).run(false);

        if (realWaits)
            QVERIFY2(timer.elapsed() >= 13000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(platform.messages.size(), size_t(2));
        QCOMPARE(platform.messages[1], lastMessage.replace("<app>", app.text()));
        QCOMPARE(listing(app, temp), filesLeft);
    }

    // What archives and folders meet in the field. Every case has an earlier demo of the
    // same name, which only a finished run may replace.
    void fieldConditions_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QByteArray>("lastMessage");
        QTest::addColumn<QByteArray>("filesLeft");
        const QByteArray error = "Error | ";
        const QByteArray contact = "\r\rCan not prepare demo. Contact Brenlowe for assistance.";
        const QByteArray kept = "QVX3 Ticket Setup.exe: old demo, ";
        QTest::newRow("slow to unpack")
            << QStringLiteral("slow") << finished
            << QByteArray("QVX3 Ticket Setup.exe: first half, second half | ");
        QTest::newRow("damaged")
            << QStringLiteral("damaged")
            << error +
                   "75 Path/File access error: unpacking failed with status 2: "
                   "<temp>/ZIP_ticket_setup.exe" +
                   contact
            << kept + "Qvx3_Tic.exe, ZIP_ticket_setup.exe | ZIP_ticket_setup.exe";
        QTest::newRow("delivered without execute permission")
            << QStringLiteral("not executable") << finished
            << QByteArray("QVX3 Ticket Setup.exe: ticket | ");
        QTest::newRow("temporary folder is the application folder")
            << QStringLiteral("temp is app") << finished
            << QByteArray("QVX3 Ticket Setup.exe: ticket | ");
        QTest::newRow("read-only application folder")
            << QStringLiteral("read-only") << error + "70 Permission denied: <app>" + contact
            << kept + "ZIP_ticket_setup.exe | ";
        QTest::newRow("FIFO under the unpacked name")
            << QStringLiteral("fifo")
            << error + "75 Path/File access error: not a regular file: <app>/Qvx3_Tic.exe" + contact
            << kept + "Qvx3_Tic.exe, ZIP_ticket_setup.exe | ZIP_ticket_setup.exe";
    }
    void fieldConditions()
    {
        QFETCH(QString, condition);
        QFETCH(QByteArray, lastMessage);
        QFETCH(QByteArray, filesLeft);
        Folder app;
        Folder temp;
        const fs::path archive = app / "ZIP_ticket_setup.exe";
        const bool readOnly = condition == QLatin1String("read-only");
        if (readOnly && ::mount("tmpfs", app.path().c_str(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("a file system cannot be mounted here");
        const auto unmount = qScopeGuard([&] {
            if (readOnly)
                ::umount(app.path().c_str());
        });
        QVERIFY(writeAll(app / "QVX3 Ticket Setup.exe", "old demo"));

        if (condition == QLatin1String("slow")) {
            // Writes half, then takes its time over the rest, as a large archive does.
            QVERIFY(writeAll(archive, "#!/bin/sh\nprintf 'first half, ' > Qvx3_Tic.exe\nsleep 0.5\n"
                                      "printf 'second half' >> Qvx3_Tic.exe\n"));
            fs::permissions(archive, fs::perms::owner_exec, fs::perm_options::add);
        } else if (condition == QLatin1String("damaged")) {
            // Random bytes do not compress, so the archive stores them as they are.
            QByteArray payload(256, '\0');
            QRandomGenerator generator(8);
            for (char &byte : payload)
                byte = char(generator.bounded(256));
            makeArchive(app, "ZIP_ticket_setup.exe", "Qvx3_Tic.exe", payload);
            std::string bytes = readAll(archive);
            const std::size_t at = bytes.find(payload.toStdString());
            QVERIFY(at != std::string::npos && at > 0);
            bytes[at + 3] = 'X';
            QVERIFY(writeAll(archive, bytes));
        } else {
            makeArchive(app, "ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "ticket");
        }
        if (condition == QLatin1String("not executable"))
            fs::permissions(archive, fs::perms::owner_read | fs::perms::owner_write |
                                         fs::perms::group_read | fs::perms::others_read);
        if (condition == QLatin1String("fifo"))
            QCOMPARE(::mkfifo((app / "Qvx3_Tic.exe").c_str(), 0600), 0);
        if (readOnly)
            QCOMPARE(
                ::mount(nullptr, app.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=1m"),
                0);

        // Named through a link: the folder's identity, not its spelling, tells it is the same.
        const fs::path alias = temp / "app";
        fs::path tempFolder = temp.path();
        if (condition == QLatin1String("temp is app")) {
            fs::create_directory_symlink(app.path(), alias);
            tempFolder = alias;
        }
        RealPlatform platform(app.path(), tempFolder);
        ListingView view(platform);

        // Less time after the start than the slow archive takes to unpack.
        qvx::DemoPreparation(platform, view, qvx::PreparationWaits{0.1f, 0.2f, 0.1f}).run(false);

        QVERIFY(!platform.messages.empty());
        QCOMPARE(platform.messages.back(),
                 lastMessage.replace("<app>", app.text())
                     .replace("<temp>", QByteArray::fromStdString(tempFolder.native())));
        std::error_code ignored;
        fs::remove(alias, ignored);
        QCOMPARE(listing(app, temp), filesLeft);
    }

    // The program's own situation: the run inside an event handler of the running event
    // loop, the window closed by an event during a real wait. The run ends at that wait and
    // the window goes once the loop gets back to it.
    void closingDuringRealWait()
    {
        Folder app;
        Folder temp;
        makeArchive(app, "ZIP_alpha.exe", "Qvx3_Alp.exe", "a");
        RealPlatform platform(app.path(), temp.path(), Clock::Real);
        QPointer<qvx::qt::FrmPlayDemos> window = new qvx::qt::FrmPlayDemos(platform);
        window->show();

        QEventLoop loop;
        bool heldThroughRun = false;
        bool openAfterRun = true;
        QTimer::singleShot(0, window, [&] {
            QTimer::singleShot(500, window, [&] { window->QWidget::close(); });
            // Longer than the time to the close, shorter than the program's 3 seconds.
            window->func_UnzipDemos(false, qvx::PreparationWaits{1.0f});
            heldThroughRun = !window.isNull();
            openAfterRun = heldThroughRun && window->isOpen();
            loop.quit();
        });
        loop.exec();

        QVERIFY(heldThroughRun);
        QVERIFY(!openAfterRun);
        QTRY_VERIFY(window.isNull());
        QCOMPARE(platform.messages.size(), size_t(1));
        // Stopped at the wait after the copy: nothing was started or deleted.
        QVERIFY(platform.starts.empty());
        QCOMPARE(listing(app, temp), QByteArray("ZIP_alpha.exe | ZIP_alpha.exe"));
    }
};

QTEST_MAIN(TestRealArchives)
#include "tst_realarchives.moc"

#include "RecordingView.h"
#include "app/FrmPlayDemos.h"
#include "prepare/DemoPreparation.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The system's own services, in a folder of the test's choosing, with every message box
// answered OK and written down instead of shown.
class AnsweringPlatform final : public Platform
{
public:
    AnsweringPlatform(const QString &appFolder, const QString &tempFolder)
        : m_real(createSystemPlatform()), m_app(appFolder), m_temp(tempFolder)
    {
    }

    QStringList messages;

    QString applicationFolder() const override { return m_app; }
    void setApplicationHelpFile(const QString &path) override
    {
        m_real->setApplicationHelpFile(path);
    }
    QString applicationHelpFile() const override { return m_real->applicationHelpFile(); }
    void setMousePointer(MousePointer pointer) override { m_real->setMousePointer(pointer); }
    void processEvents() override { m_real->processEvents(); }
    OpResult startProgram(const QString &path, const QString &workingFolder) override
    {
        return m_real->startProgram(path, workingFolder);
    }
    void shellOpen(const QString &) override {}
    void htmlHelp(QWidget *, const QString &, int, int) override {}
    int messageBox(const QString &text, int style, const QString &title) override
    {
        messages.append(QString::number(style) + QStringLiteral(" | ") + title +
                        QStringLiteral(" | ") + text);
        return 1;
    }
    QStringList listVisibleFiles(const QString &folder) override
    {
        return m_real->listVisibleFiles(folder);
    }
    bool isFile(const QString &path) override { return m_real->isFile(path); }
    OpResult copyFile(const QString &source, const QString &destination) override
    {
        return m_real->copyFile(source, destination);
    }
    OpResult resetAttributes(const QString &path) override { return m_real->resetAttributes(path); }
    OpResult deleteFile(const QString &path) override { return m_real->deleteFile(path); }
    QString tempFolder() override { return m_temp; }
    double monotonicSeconds() override { return m_real->monotonicSeconds(); }
    void waitForEvents(double maxSeconds) override { m_real->waitForEvents(maxSeconds); }

private:
    std::unique_ptr<Platform> m_real;
    QString m_app;
    QString m_temp;
};

const QString finished = QStringLiteral("64 | Finished | The new files are now ready to use.");

} // namespace

class TestRealArchives : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void preparesWithRealWaits();
    void preparesSeveralWithShortWaits();
    void unexpectedNameStopsRun();
    void leftoverUnpackedFileIsNotTakenForNew();
    void closingDuringRealWait();

private:
    // A genuine self-extracting archive in `folder` that writes `unpacks` into its working
    // folder.
    void makeArchive(const QString &folder, const QString &archive, const QString &unpacks,
                     const QByteArray &contents);
    static QStringList files(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QByteArray read(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    }

    QString m_zip;
    QString m_stub;
};

void TestRealArchives::initTestCase()
{
    m_zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    m_stub = QStandardPaths::findExecutable(QStringLiteral("unzipsfx"));
    if (m_zip.isEmpty() || m_stub.isEmpty())
        QSKIP("zip and unzipsfx are needed to build self-extracting archives");
}

void TestRealArchives::makeArchive(const QString &folder, const QString &archive,
                                   const QString &unpacks, const QByteArray &contents)
{
    QTemporaryDir staging;
    QVERIFY(staging.isValid());
    {
        QFile payload(staging.filePath(unpacks));
        QVERIFY(payload.open(QIODevice::WriteOnly));
        payload.write(contents);
    }
    QProcess zip;
    zip.setWorkingDirectory(staging.path());
    zip.start(m_zip,
              {QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("payload.zip"), unpacks});
    QVERIFY(zip.waitForFinished());
    QCOMPARE(zip.exitCode(), 0);

    const QString target = QDir(folder).filePath(archive);
    {
        QFile stub(m_stub);
        QFile payload(staging.filePath(QStringLiteral("payload.zip")));
        QFile out(target);
        QVERIFY(stub.open(QIODevice::ReadOnly) && payload.open(QIODevice::ReadOnly) &&
                out.open(QIODevice::WriteOnly));
        out.write(stub.readAll());
        out.write(payload.readAll());
        QVERIFY(out.setPermissions(out.permissions() | QFile::ExeOwner | QFile::ExeGroup |
                                   QFile::ExeOther));
    }
    // Moves the zip's offsets behind the stub.
    QProcess adjust;
    adjust.start(m_zip, {QStringLiteral("-q"), QStringLiteral("-A"), target});
    QVERIFY(adjust.waitForFinished());
    QCOMPARE(adjust.exitCode(), 0);
}

// The whole operation, from the main window, with its 3, 7 and 3 second waits.
void TestRealArchives::preparesWithRealWaits()
{
    QTemporaryDir app;
    QTemporaryDir temp;
    makeArchive(app.path(), QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
                "#!/bin/sh\necho ticket setup\n");
    AnsweringPlatform platform(app.path(), temp.path() + QLatin1Char('/'));
    auto window = std::make_unique<FrmPlayDemos>(platform);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();

    window->func_UnzipDemos(false);

    QCOMPARE(platform.messages.size(), 2);
    QVERIFY(platform.messages[0].startsWith(
        QStringLiteral("65 | Preparing New Files | A new demo has been found. The program")));
    QCOMPARE(platform.messages[1], finished);
    QCOMPARE(files(app.path()), QStringList{QStringLiteral("QVX3 Ticket Setup.exe")});
    QCOMPARE(read(app.filePath(QStringLiteral("QVX3 Ticket Setup.exe"))),
             QByteArray("#!/bin/sh\necho ticket setup\n"));
    QCOMPARE(files(temp.path()), QStringList());
}

void TestRealArchives::preparesSeveralWithShortWaits()
{
    QTemporaryDir app;
    QTemporaryDir temp;
    makeArchive(app.path(), QStringLiteral("ZIP_reports.exe"), QStringLiteral("Qvx3_Rep.exe"),
                "reports");
    makeArchive(app.path(), QStringLiteral("ZIP_help.exe"), QStringLiteral("Qvx3_Hel.exe"), "help");
    makeArchive(app.path(), QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
                "ticket");
    AnsweringPlatform platform(app.path(), temp.path() + QLatin1Char('/'));
    QStringList log;
    RecordingView view(platform, log);

    const auto outcome =
        DemoPreparation(platform, view, PreparationWaits{0.1f, 2.0f, 0.1f}).run(false);

    QCOMPARE(outcome, DemoPreparation::Outcome::Finished);
    QCOMPARE(platform.messages.size(), 2);
    QVERIFY(platform.messages[0].startsWith(
        QStringLiteral("65 | Preparing New Files | New demos have been found. The program")));
    QCOMPARE(files(app.path()),
             (QStringList{QStringLiteral("QVX3 Help.exe"), QStringLiteral("QVX3 Reports.exe"),
                          QStringLiteral("QVX3 Ticket Setup.exe")}));
    QCOMPARE(read(app.filePath(QStringLiteral("QVX3 Help.exe"))), QByteArray("help"));
    QCOMPARE(read(app.filePath(QStringLiteral("QVX3 Reports.exe"))), QByteArray("reports"));
    QCOMPARE(read(app.filePath(QStringLiteral("QVX3 Ticket Setup.exe"))), QByteArray("ticket"));
    QCOMPARE(files(temp.path()), QStringList());
}

void TestRealArchives::unexpectedNameStopsRun()
{
    QTemporaryDir app;
    QTemporaryDir temp;
    makeArchive(app.path(), QStringLiteral("ZIP_alpha.exe"), QStringLiteral("Qvx3_Xyz.exe"), "a");
    makeArchive(app.path(), QStringLiteral("ZIP_beta.exe"), QStringLiteral("Qvx3_Bet.exe"), "b");
    AnsweringPlatform platform(app.path(), temp.path() + QLatin1Char('/'));
    QStringList log;
    RecordingView view(platform, log);

    const auto outcome =
        DemoPreparation(platform, view, PreparationWaits{0.1f, 2.0f, 0.1f}).run(false);

    QCOMPARE(outcome, DemoPreparation::Outcome::Failed);
    QCOMPARE(platform.messages.size(), 2);
    QCOMPARE(platform.messages[1],
             QStringLiteral("48 | Error | 53 File not found: ") +
                 app.filePath(QStringLiteral("Qvx3_Alp.exe")) +
                 QStringLiteral("\r\rCan not prepare demo. Contact Brenlowe for assistance."));
    QCOMPARE(files(app.path()),
             (QStringList{QStringLiteral("Qvx3_Xyz.exe"), QStringLiteral("ZIP_alpha.exe"),
                          QStringLiteral("ZIP_beta.exe")}));
    QCOMPARE(files(temp.path()), QStringList{QStringLiteral("ZIP_alpha.exe")});
}

void TestRealArchives::leftoverUnpackedFileIsNotTakenForNew()
{
    QTemporaryDir app;
    QTemporaryDir temp;
    makeArchive(app.path(), QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
                "new demo");
    QFile leftover(app.filePath(QStringLiteral("Qvx3_Tic.exe")));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("old demo");
    leftover.close();
    AnsweringPlatform platform(app.path(), temp.path() + QLatin1Char('/'));
    QStringList log;
    RecordingView view(platform, log);

    const auto outcome =
        DemoPreparation(platform, view, PreparationWaits{0.1f, 2.0f, 0.1f}).run(false);

    QCOMPARE(outcome, DemoPreparation::Outcome::Finished);
    QCOMPARE(read(app.filePath(QStringLiteral("QVX3 Ticket Setup.exe"))), QByteArray("new demo"));
    QCOMPARE(files(app.path()), QStringList{QStringLiteral("QVX3 Ticket Setup.exe")});
}

// The program's own situation: the run inside an event handler of the running event loop,
// the window closed by an event during a wait and deleted when the loop gets to it.
void TestRealArchives::closingDuringRealWait()
{
    QTemporaryDir app;
    QTemporaryDir temp;
    makeArchive(app.path(), QStringLiteral("ZIP_alpha.exe"), QStringLiteral("Qvx3_Alp.exe"), "a");
    AnsweringPlatform platform(app.path(), temp.path() + QLatin1Char('/'));
    QPointer<FrmPlayDemos> window = new FrmPlayDemos(platform);
    window->show();
    bool gone = false;
    connect(window.data(), &QObject::destroyed, this, [&] { gone = true; });

    QEventLoop loop;
    bool goneWithinRun = false;
    QTimer::singleShot(0, window, [&] {
        QTimer::singleShot(500, window, &QWidget::close);
        window->func_UnzipDemos(false);
        goneWithinRun = gone;
        loop.quit();
    });
    loop.exec();

    QVERIFY(goneWithinRun);
    QCOMPARE(platform.messages.size(), 1);
    // Stopped at the wait after the copy: nothing was started or deleted.
    QCOMPARE(files(app.path()), QStringList{QStringLiteral("ZIP_alpha.exe")});
    QCOMPARE(files(temp.path()), QStringList{QStringLiteral("ZIP_alpha.exe")});
}

QTEST_MAIN(TestRealArchives)
#include "tst_realarchives.moc"

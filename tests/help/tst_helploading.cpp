// Opening help files: never on the GUI thread's time, once per file, and safe against files
// that send the library into a loop or promise more than they hold.
#include "qvx/helpviewer/ChmFile.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/HelpLoader.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QtEndian>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString helpFile = QStringLiteral(QVX_TEST_HELP_FILE);
const QString indexLoop = QStringLiteral(QVX_TEST_DATA_DIR "/chmlib-index-loop.chm");

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The longest the event loop went without turning while it ran for `span` milliseconds.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_tick.setInterval(10);
        connect(&m_tick, &QTimer::timeout, this,
                [this] { m_worst = qMax(m_worst, m_since.restart()); });
        m_since.start();
        m_tick.start();
    }
    qint64 worst() const { return qMax(m_worst, m_since.elapsed()); }

private:
    QTimer m_tick;
    QElapsedTimer m_since;
    qint64 m_worst = 0;
};

// Whether the process has ended (a zombie counts: it runs no more).
bool ended(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// The probes this process started on the file that still run.
QList<qint64> runningProbes(const QString &path)
{
    QList<qint64> found;
    const QString parent = QString::number(QCoreApplication::applicationPid());
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(qvx-chmprobe)") && fields.size() > 1 && fields[0] != "Z" &&
            fields[1] == parent.toLatin1() &&
            QFileInfo(u"/proc/%1/fd/3"_s.arg(entry)).symLinkTarget() ==
                QFileInfo(path).canonicalFilePath())
            found.append(entry.toLongLong());
    }
    return found;
}

} // namespace

class TestHelpLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ChmFile::setProbeProgram(QStringLiteral(QVX_TEST_PROBE));
    }

    void cleanup()
    {
        HelpViewers::closeAll();
        HelpLoader::forget();
    }

    // The library never leaves this file's directory; the window answers all the while.
    void loopingFileNeverBlocksTheWindow()
    {
        StallMeter meter;
        QElapsedTimer timer;
        timer.start();
        HelpViewer *viewer = HelpViewers::request({}, nullptr, indexLoop, 1);
        HelpViewers::request({}, nullptr, indexLoop, 2);
        QVERIFY(viewer && viewer->isVisible() && viewer->isLoading());
        QVERIFY(viewer->findChild<QTextBrowser *>(u"txtPage"_s)
                    ->toPlainText()
                    .startsWith(u"Opening"_s));
        QTest::qWait(1000);
        QVERIFY2(meter.worst() < 100, qPrintable(QString::number(meter.worst())));
        QCOMPARE(ChmFile::probesRun() > 0, true);
    }

    // One burst of requests opens a file once; a damaged file is not opened again until it
    // changes.
    void eachFileIsProbedOncePerVersion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Damaged.chm"_s);
        const QByteArray content = contentOf(helpFile);
        QVERIFY(write(path, content.left(content.size() / 2)));
        const int before = ChmFile::probesRun();
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, 1);
        HelpViewers::request({}, nullptr, path, 2);
        HelpViewers::request({}, nullptr, u"ms-its:"_s + path + u"::/Welcome.htm"_s, 0);
        QTRY_VERIFY(!viewer->isLoading());
        QVERIFY(!viewer->isFileOpen());
        QCOMPARE(ChmFile::probesRun() - before, 1);

        HelpViewers::closeAll();
        viewer = HelpViewers::request({}, nullptr, path, 1);
        QVERIFY(!viewer->isLoading() && !viewer->isFileOpen());
        QCOMPARE(ChmFile::probesRun() - before, 1);

        // Mended: opened (and probed) anew.
        QVERIFY(write(path, content));
        viewer = HelpViewers::request({}, nullptr, path, 1);
        QTRY_VERIFY(!viewer->isLoading());
        QVERIFY(viewer->isFileOpen());
        QCOMPARE(ChmFile::probesRun() - before, 2);
    }

    // With the probe held back after the first page's objects, the first page shows at once;
    // another page waits for the verdict. A probe that then dies, as it does on a damaged
    // object, closes the file: the waiting page is never read.
    void firstPageShowsWhileTheRestIsChecked_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::addRow("sound") << false;
        QTest::addRow("damaged further on") << true;
    }

    void firstPageShowsWhileTheRestIsChecked()
    {
        QFETCH(bool, damaged);
        qputenv("QVX_CHMPROBE_TEST_PAUSE_MS", "4000");
        const auto restore = qScopeGuard([] { qunsetenv("QVX_CHMPROBE_TEST_PAUSE_MS"); });
        QElapsedTimer timer;
        timer.start();
        HelpViewer *viewer =
            HelpViewers::request({}, nullptr, helpFile, HelpViewers::displayContents);
        auto *page = viewer->findChild<HelpBrowser *>(u"txtPage"_s);
        QTRY_VERIFY(!viewer->isLoading());
        QVERIFY(viewer->isFileOpen());
        QCOMPARE(page->source().path(), u"/Welcome.htm"_s);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(page->document()
                    ->resource(QTextDocument::ImageResource, QUrl(u"images/camera.png"_s))
                    .isValid());

        viewer->followLink(QUrl(u"Key%20features%20of%20Quorvex.htm"_s));
        QVERIFY(page->isWaitingForFile());
        QCOMPARE(viewer->cursor().shape(), Qt::BusyCursor);
        QCOMPARE(page->source().path(), u"/Welcome.htm"_s);
        QCOMPARE(runningProbes(helpFile).size(), 1);
        if (damaged)
            ::kill(pid_t(runningProbes(helpFile).constFirst()), SIGSEGV);

        QTRY_VERIFY_WITH_TIMEOUT(!page->isWaitingForFile(), 10000);
        QCOMPARE(viewer->cursor().shape(), Qt::ArrowCursor);
        if (!damaged) {
            QVERIFY(timer.elapsed() >= 4000);
            QCOMPARE(page->source().path(), u"/Key features of Quorvex.htm"_s);
            return;
        }
        QVERIFY(!viewer->isFileOpen());
        QVERIFY(page->toPlainText().contains(u"Cannot open the file"_s));
        // Remembered as damaged: not opened again.
        const int probes = ChmFile::probesRun();
        HelpViewers::closeAll();
        viewer = HelpViewers::request({}, nullptr, helpFile, HelpViewers::displayContents);
        QVERIFY(!viewer->isLoading() && !viewer->isFileOpen());
        QCOMPARE(ChmFile::probesRun(), probes);
    }

    void probeEndsWithItsParent()
    {
        // A shell stands in for the program: it starts the probe on a looping file and is
        // killed while the probe still runs.
        QProcess parent;
        parent.start(u"sh"_s, {u"-c"_s, u"\"$0\" $$ \"$1\" & echo $!; wait"_s,
                               QStringLiteral(QVX_TEST_PROBE), indexLoop});
        QVERIFY(parent.waitForReadyRead(5000));
        const qint64 probe = parent.readLine().trimmed().toLongLong();
        QVERIFY(probe > 0);
        QTest::qWait(200);
        QVERIFY(!ended(probe));
        parent.kill();
        QVERIFY(parent.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(ended(probe), 2000);

        // Started for a parent already gone, it does not run at all.
        QProcess orphan;
        orphan.start(QStringLiteral(QVX_TEST_PROBE), {u"1"_s, indexLoop});
        QVERIFY(orphan.waitForFinished(2000));
        QVERIFY(orphan.exitCode() != 0);
    }

    void fileCutShortIsRefused_data()
    {
        QTest::addColumn<int>("length");
        const qsizetype size = contentOf(helpFile).size();
        QVERIFY(size > 10240);
        for (const qsizetype length : {qsizetype(10240), size / 2, size - 1})
            QTest::addRow("%lld bytes", qlonglong(length)) << int(length);
    }

    void fileCutShortIsRefused()
    {
        QFETCH(int, length);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Cut.chm"_s);
        QVERIFY(write(path, contentOf(helpFile).left(length)));
        ChmFile file;
        QVERIFY(!file.open(path));
        QVERIFY(file.open(helpFile));
    }

    // Files found to take chmlib past its buffers, to a huge allocation or round in a circle:
    // refused at once, before a probe starts to meet the fault.
    void libraryFaultsAreRefusedUnread_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QString corpus = QStringLiteral(QVX_TEST_FUZZ_CORPUS);
        for (const QString &name :
             {u"fuzz_chm/hang-entryless-directory-chunk-points-at-itself.chm"_s,
              u"fuzz_chm/crash-compressed-block-longer-than-its-buffer.chm"_s,
              u"fuzz_chm/oom-reset-table-block-length.chm"_s,
              u"fuzz_page/crash-directory-block-shorter-than-a-chunk-header.chm"_s})
            QTest::newRow(qPrintable(name)) << contentOf(corpus + u'/' + name);
        // The kept input above also states an absurd number of chunks; this one states the
        // right one.
        QByteArray shortBlocks = contentOf(helpFile);
        QVERIFY(shortBlocks.size() > 0x60);
        const qsizetype directory = qFromLittleEndian<quint32>(shortBlocks.constData() + 0x48);
        QVERIFY(directory + 0x54 <= shortBlocks.size());
        qToLittleEndian<quint32>(3, shortBlocks.data() + directory + 0x10);
        QTest::newRow("a good file's directory blocks shortened to 3 bytes") << shortBlocks;
    }

    void libraryFaultsAreRefusedUnread()
    {
        QFETCH(QByteArray, content);
        QVERIFY(content.startsWith("ITSF"));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Damaged.chm"_s);
        QVERIFY(write(path, content));
        const int probes = ChmFile::probesRun();
        QElapsedTimer timer;
        timer.start();
        ChmFile file;
        QVERIFY(!file.open(path));
        QCOMPARE(ChmFile::probesRun(), probes);
        QVERIFY(timer.elapsed() < 2000);
    }
};

QTEST_MAIN(TestHelpLoading)
#include "tst_helploading.moc"

// Opening help files: never on the GUI thread's time, once per file, and safe against files
// that send the library into a loop or promise more than they hold.
#include "Sanitized.h"
#include "SeparateCases.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/HelpLoader.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewer/SearchPane.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <csignal>

using namespace qvx::help;
using namespace qvx::helpviewer;

using namespace Qt::StringLiterals;

namespace {

using qvx::test::sanitized;

// The longest the window may go unanswered; the file never holds it.
constexpr qint64 maxStallMs = sanitized ? 250 : 100;

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

// The help file readers this process started that still run.
QList<qint64> runningReaders()
{
    QList<qint64> found;
    const QByteArray parent = QByteArray::number(QCoreApplication::applicationPid());
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(qvx-chmreader)") && fields.size() > 1 && fields[0] != "Z" &&
            fields[1] == parent)
            found.append(entry.toLongLong());
    }
    return found;
}

// This process's descriptors open on the file.
int descriptorsOn(const QString &path)
{
    int count = 0;
    const QString target = QFileInfo(path).absoluteFilePath();
    for (const QFileInfo &fd : QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System)) {
        if (fd.symLinkTarget().startsWith(target))
            ++count;
    }
    return count;
}

qint64 residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

HelpBrowser *pageOf(HelpViewer *viewer)
{
    return viewer->findChild<HelpBrowser *>(u"txtPage"_s);
}

} // namespace

class TestHelpLoading : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVX_SKIP_SEPARATE_CASES(); }

    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
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
        HelpViewer *viewer = HelpViewers::request({}, nullptr, indexLoop, 1);
        HelpViewers::request({}, nullptr, indexLoop, 2);
        QVERIFY(viewer && viewer->isVisible() && viewer->isLoading());
        QVERIFY(pageOf(viewer)->toPlainText().startsWith(u"Opening"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!viewer->isLoading(), 10000);
        QVERIFY2(meter.worst() < maxStallMs, qPrintable(QString::number(meter.worst())));
    }

    // One burst of requests opens a file once; a damaged file is not opened again until it
    // changes.
    void eachFileIsOpenedOncePerVersion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Damaged.chm"_s);
        const QByteArray content = contentOf(helpFile);
        QVERIFY(write(path, content.left(0x20)));
        const int before = ChmFile::readersStarted();
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, 1);
        HelpViewers::request({}, nullptr, path, 2);
        HelpViewers::request({}, nullptr, u"ms-its:"_s + path + u"::/Welcome.htm"_s, 0);
        QTRY_VERIFY(!viewer->isLoading());
        QVERIFY(!viewer->isFileOpen());
        QCOMPARE(ChmFile::readersStarted() - before, 1);

        HelpViewers::closeAll();
        viewer = HelpViewers::request({}, nullptr, path, 1);
        QVERIFY(!viewer->isLoading() && !viewer->isFileOpen());
        QCOMPARE(ChmFile::readersStarted() - before, 1);

        // Mended: opened anew.
        QVERIFY(write(path, content));
        viewer = HelpViewers::request({}, nullptr, path, 1);
        QTRY_VERIFY(!viewer->isLoading());
        QVERIFY(viewer->isFileOpen());
        QCOMPARE(ChmFile::readersStarted() - before, 2);
    }

    // Whatever becomes of the file under an open viewer, the next request notices: the viewer
    // shows the new file, or says it cannot open it, and never freezes on the way.
    void fileChangedUnderAnOpenViewer_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        for (const QString &hostile :
             {u"chmlib-index-loop.chm"_s, u"chmlib-directory-loop.chm"_s, u"chmlib-open-fpe.chm"_s})
            QTest::addRow("overwritten in place by %s", qPrintable(hostile))
                << u"overwrite:"_s + QStringLiteral(QVX_TEST_DATA_DIR "/") + hostile << u""_s;
        QTest::addRow("replaced by another version")
            << u"replace"_s << u"The help file has changed"_s;
        QTest::addRow("deleted") << u"delete"_s << u"Cannot open the file"_s;
        QTest::addRow("truncated") << u"truncate"_s << u"Cannot open the file"_s;
    }

    void fileChangedUnderAnOpenViewer()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Quorvex Demos.chm"_s);
        QVERIFY(QFile::copy(helpFile, path));
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, 1);
        HelpBrowser *page = pageOf(viewer);
        QTRY_VERIFY(viewer->isSettled());
        QCOMPARE(page->source().path(), u"/Welcome.htm"_s);

        if (change.startsWith(u"overwrite:"_s)) {
            QVERIFY(write(path, contentOf(change.mid(10))));
        } else if (change == u"replace"_s) {
            // A new version, as an installer writes one: beside, then renamed over.
            const QString next = dir.filePath(u"next.chm"_s);
            QVERIFY(QFile::copy(helpFile, next));
            QVERIFY(::rename(QFile::encodeName(next).constData(),
                             QFile::encodeName(path).constData()) == 0);
        } else if (change == u"delete"_s) {
            QVERIFY(QFile::remove(path));
        } else {
            QVERIFY(write(path, {}));
        }
        StallMeter meter;
        HelpViewers::request({}, nullptr, u"ms-its:"_s + path + u"::/Key features of Quorvex.htm"_s,
                             HelpViewers::displayTopic);
        QTRY_VERIFY_WITH_TIMEOUT(viewer->isSettled(), 10000);
        QVERIFY2(meter.worst() < maxStallMs, qPrintable(QString::number(meter.worst())));
        const QString shown = page->toPlainText() + viewer->statusBar()->currentMessage();
        if (!expected.isEmpty()) {
            QVERIFY2(shown.contains(expected), qPrintable(shown));
        } else {
            // A hostile file shows the reader's verdict on it, but never the old pages.
            QVERIFY2(!shown.contains(u"Seating plans"_s), qPrintable(shown));
        }
        if (change == u"replace"_s)
            QCOMPARE(page->source().path(), u"/Key features of Quorvex.htm"_s);
        // Nothing of the old file stays behind.
        QTRY_VERIFY(runningReaders().size() <= 1);
        QVERIFY(HelpLoader::kept() <= 1);
    }

    // A damaged file overwrites the open one and F1 is pressed: the page that cannot be read
    // says so, once, and is asked for again only when the user next asks for a page.
    void damagedFileInPlaceOfOpenOneIsAskedForOnce_data()
    {
        QTest::addColumn<QString>("damaged");
        for (const char *name :
             {"chmlib-open-fpe.chm", "crash-lzx-no-windows-per-reset.chm",
              "crash-lzx-window-version1.chm", "oom-reset-table-block-length.chm"})
            QTest::newRow(name) << QStringLiteral(QVX_TEST_FUZZ_CORPUS "/fuzz_reader_archive/") +
                                       QString::fromLatin1(name);
    }
    void damagedFileInPlaceOfOpenOneIsAskedForOnce()
    {
        QFETCH(QString, damaged);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Quorvex Demos.chm"_s);
        QVERIFY(QFile::copy(helpFile, path));
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, HelpViewers::displayContents);
        HelpBrowser *page = pageOf(viewer);
        QTRY_VERIFY(viewer->isSettled());
        QVERIFY(write(path, contentOf(damaged)));
        HelpViewers::request({}, nullptr, path, HelpViewers::displayContents);
        const auto settled = [&] {
            return viewer->isSettled() && !page->isWaitingForFile() &&
                   viewer->findChild<SearchPane *>(u"paneSearch"_s)->isReady();
        };
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 10000);
        const QString message = u"This page cannot be read from the help file"_s;
        QTRY_VERIFY2(page->toPlainText().startsWith(message), qPrintable(page->toPlainText()));
        const auto requestsWithin = [](int ms) {
            const int before = ChmFile::objectsRequested();
            QTest::qWait(ms);
            return ChmFile::objectsRequested() - before;
        };
        // A late background read at most; a page asked for again by itself comes dozens of
        // times a second.
        constexpr int maxIdleRequests = 2;
        const int idle = requestsWithin(1000);
        QVERIFY2(idle <= maxIdleRequests, qPrintable(QString::number(idle)));

        // The user's next move asks again, and stops there.
        const int asked = ChmFile::objectsRequested();
        viewer->followLink(QUrl(u"Welcome.htm"_s));
        QTRY_VERIFY(settled() && ChmFile::objectsRequested() > asked);
        QVERIFY(page->toPlainText().startsWith(message));
        QVERIFY(requestsWithin(500) <= maxIdleRequests);
    }

    // Each new version replaces the last: one reader, no descriptor of the program's own on the
    // file and no memory that grows with the number of versions.
    void manyVersionsKeepOneReader()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Quorvex Demos.chm"_s);
        QVERIFY(QFile::copy(helpFile, path));
        QFile file(path);
        qint64 afterFirst = 0;
        for (int version = 0; version < 200; ++version) {
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::fromSecsSinceEpoch(1'700'000'000 + version),
                                     QFileDevice::FileModificationTime));
            file.close();
            std::shared_ptr<const ChmFile> opened;
            bool done = false;
            HelpLoader::open(path, this, [&](std::shared_ptr<const ChmFile> arrived) {
                opened = std::move(arrived);
                done = true;
            });
            QTRY_VERIFY(done);
            QVERIFY(opened && opened->isOpen());
            QVERIFY(opened->read(u"/Welcome.htm"_s).has_value());
            opened.reset();
            if (version == 20)
                afterFirst = residentKiB();
        }
        QCOMPARE(HelpLoader::kept(), 1);
        QTRY_VERIFY(runningReaders().size() <= 1);
        QCOMPARE(descriptorsOn(path), 0);
        // AddressSanitizer keeps freed memory aside for a while: no measure there.
        if (!sanitized) {
            const qint64 growth = residentKiB() - afterFirst;
            QVERIFY2(growth < 16 * 1024, qPrintable(QString::number(growth)));
        }
    }

    // A file whose directory has a chunk leading to itself opens with what lies outside it.
    void selfLoopingChunkOpensWithWhatCanBeRead()
    {
        const QString path =
            QStringLiteral(QVX_TEST_FUZZ_CORPUS "/fuzz_reader_archive/"
                                                "hang-directory-chunk-points-at-itself.chm");
        QElapsedTimer timer;
        timer.start();
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, 1);
        QTRY_VERIFY_WITH_TIMEOUT(viewer->isSettled(), 10000);
        QVERIFY(viewer->isFileOpen());
        QVERIFY(!pageOf(viewer)->toPlainText().contains(u"Cannot open the file"_s));
        QVERIFY(!pageOf(viewer)->source().isEmpty());
    }

    // The reader is ended in the middle of a page: that page says so, the next one is read by
    // a new reader, and the window never waits.
    void readerEndedMidPageLeavesTheViewerUsable()
    {
        HelpViewer *viewer = HelpViewers::request({}, nullptr, helpFile, 1);
        HelpBrowser *page = pageOf(viewer);
        QTRY_VERIFY(viewer->isSettled());
        // The search prepares through the same reader: stopped under that, it would be that
        // request which meets the deadline, and the page a new reader's.
        QTRY_VERIFY(viewer->findChild<SearchPane *>(u"paneSearch"_s)->isReady());
        const QList<qint64> readers = runningReaders();
        QCOMPARE(readers.size(), 1);
        // Stopped, it answers nothing: the request runs into its deadline.
        ::kill(pid_t(readers.first()), SIGSTOP);
        StallMeter meter;
        viewer->followLink(QUrl(u"Key%20features%20of%20Quorvex.htm"_s));
        QVERIFY(page->isWaitingForFile());
        QTRY_VERIFY_WITH_TIMEOUT(!page->isWaitingForFile(), 10000);
        QVERIFY2(meter.worst() < maxStallMs, qPrintable(QString::number(meter.worst())));
        QVERIFY2(page->toPlainText().contains(u"This page cannot be read from the help file"_s),
                 qPrintable(page->toPlainText()));
        QVERIFY(!runningReaders().contains(readers.first()));

        // Asked again, the page comes from a new reader.
        viewer->followLink(QUrl(u"Key%20features%20of%20Quorvex.htm"_s));
        QTRY_VERIFY_WITH_TIMEOUT(page->toPlainText().contains(u"Seating plans"_s), 5000);
        // Killed outright between pages: the next page starts another.
        const QList<qint64> next = runningReaders();
        QCOMPARE(next.size(), 1);
        QVERIFY(next.first() != readers.first());
        ::kill(pid_t(next.first()), SIGKILL);
        viewer->followLink(QUrl(u"Add-ons.htm"_s));
        QTRY_VERIFY_WITH_TIMEOUT(page->source().path() == u"/Add-ons.htm"_s, 5000);
        QVERIFY(!page->toPlainText().contains(u"cannot be read"_s));
    }

    // Inputs that take a decompression library past its buffers, round in circles or to huge
    // allocations: the program shows what it can, and nothing of them runs in its process (the
    // sanitizer build runs this test too). The program never maps a decompression library.
    void hostileFilesStayOutsideTheProgram_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name :
             {"crash-compressed-block-longer-than-its-buffer.chm",
              "crash-directory-block-shorter-than-a-chunk-header.chm",
              "crash-lzx-no-windows-per-reset.chm", "crash-lzx-window-version1.chm",
              "chmlib-open-fpe.chm", "hang-entryless-directory-chunk-points-at-itself.chm",
              "hang-directory-loop.chm", "oom-directory-block-length.chm"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void hostileFilesStayOutsideTheProgram()
    {
        QFETCH(QString, name);
        const QString path = QStringLiteral(QVX_TEST_FUZZ_CORPUS "/fuzz_reader_archive/") + name;
        QVERIFY(QFileInfo::exists(path));
        StallMeter meter;
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, 1);
        QTRY_VERIFY_WITH_TIMEOUT(viewer->isSettled(), 15000);
        viewer->showIndex();
        QTRY_VERIFY_WITH_TIMEOUT(viewer->isSettled(), 15000);
        QVERIFY2(meter.worst() < maxStallMs, qPrintable(QString::number(meter.worst())));
        QVERIFY(!pageOf(viewer)->toPlainText().startsWith(u"Opening"_s));
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(!mapped.contains("libchm") && !mapped.contains("libmspack"));
    }
};

QTEST_MAIN(TestHelpLoading)
#include "tst_helploading.moc"

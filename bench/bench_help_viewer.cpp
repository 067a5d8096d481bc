// The help viewer from a topic request to the page shown, against the same page's HTML set
// into a bare QTextBrowser: what the viewer's window, file and resource handling cost.
#include "qvx/help/ChmFile.h"
#include "qvx/help/HelpLoader.h"
#include "qvx/helpviewer/HelpBrowser.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"
#include "qvx/helpviewer/SearchPane.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace qvx::help;
using namespace qvx::helpviewer;

namespace {

const QString topic = QStringLiteral("Key features of Quorvex.htm");

QString helpFile()
{
    const QString fromTests = qEnvironmentVariable("QVX_TEST_APP_DIR");
    const QString folder = fromTests.isEmpty() ? QCoreApplication::applicationDirPath() +
                                                     QStringLiteral("/../QVXDemos")
                                               : fromTests;
    return QDir::cleanPath(folder + QStringLiteral("/Quorvex Demos.chm"));
}

QString topicAddress()
{
    return QStringLiteral("ms-its:") + helpFile() + QStringLiteral("::/") + topic;
}

// The viewer has its file and shows the page asked for: pages arrive after the file opens.
bool pageShown(const HelpViewer *viewer)
{
    const auto *page =
        viewer ? viewer->findChild<HelpBrowser *>(QStringLiteral("txtPage")) : nullptr;
    return viewer && !viewer->isLoading() && page && !page->isWaitingForFile();
}

void waitForPage(const HelpViewer *viewer, qint64 atMost = 30000)
{
    QElapsedTimer waited;
    waited.start();
    while (!pageShown(viewer) && waited.elapsed() < atMost)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
}

// The process's peak resident memory so far, in KiB.
double peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

// A fresh viewer each time: window, file, contents, index and page.
void viewerOpensAtTopic(benchmark::State &state)
{
    const QString address = topicAddress();
    for (auto _ : state) {
        HelpViewer *viewer =
            HelpViewers::request({}, nullptr, address, HelpViewers::displayContents);
        waitForPage(viewer);
        benchmark::DoNotOptimize(viewer);
        state.PauseTiming();
        if (!viewer || !viewer->isFileOpen())
            state.SkipWithError("the help file did not open");
        HelpViewers::closeAll();
        state.ResumeTiming();
    }
}

// The window already open on another page: only the page changes.
void openViewerMovesToTopic(benchmark::State &state)
{
    const QString address = topicAddress();
    const QString home = helpFile();
    for (auto _ : state) {
        state.PauseTiming();
        waitForPage(HelpViewers::request({}, nullptr, home, HelpViewers::displayContents));
        state.ResumeTiming();
        waitForPage(HelpViewers::request({}, nullptr, address, HelpViewers::displayContents));
    }
    HelpViewers::closeAll();
}

// Baseline: the page's HTML, already in memory, into a new bare browser window.
void bareBrowserShowsPage(benchmark::State &state)
{
    ChmFile file;
    if (!file.open(helpFile())) {
        state.SkipWithError("the help file did not open");
        return;
    }
    const QString html = file.decodePage(file.read(topic).value_or(QByteArray()));
    for (auto _ : state) {
        auto browser = std::make_unique<QTextBrowser>();
        browser->setHtml(html);
        browser->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(browser.get());
        state.PauseTiming();
        browser.reset();
        state.ResumeTiming();
    }
}

// The longest the GUI thread went without turning its event loop, while it lived.
class StallMeter
{
public:
    StallMeter()
    {
        m_tick.setInterval(10);
        QObject::connect(&m_tick, &QTimer::timeout,
                         [this] { m_worst = qMax(m_worst, m_since.restart()); });
        m_since.start();
        m_tick.start();
    }
    double worst() const { return double(qMax(m_worst, m_since.elapsed())); }

private:
    QTimer m_tick;
    QElapsedTimer m_since;
    qint64 m_worst = 0;
};

// The time a bare browser takes to show the file's default page, in ms.
double bareBrowserTime(const QString &path)
{
    ChmFile file;
    if (!file.open(path))
        return 0;
    const QString html = file.decodePage(file.read(file.defaultTopic()).value_or(QByteArray()));
    // One showing varies with what the machine does meanwhile: the median of several.
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto browser = std::make_unique<QTextBrowser>();
        browser->setHtml(html);
        browser->show();
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(times.begin(), times.begin() + 3, times.end());
    return times[3];
}

// From a contents request to the file's first page shown, and the worst stall meanwhile;
// `fresh` forgets what earlier openings learnt, else the file is reopened.
void viewerShowsFirstPage(benchmark::State &state, const QString &path, bool fresh)
{
    if (path.isEmpty() || !QFile::exists(path)) {
        state.SkipWithError("no such file");
        return;
    }
    const double bare = bareBrowserTime(path);
    double total = 0;
    double worstStall = 0;
    bool opened = true;
    for (auto _ : state) {
        state.PauseTiming();
        if (fresh)
            HelpLoader::forget();
        StallMeter meter;
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, HelpViewers::displayContents);
        waitForPage(viewer);
        total += double(timer.nsecsElapsed()) / 1e6;
        // The index and search come after the first page: their cost shows in the memory.
        while (!viewer->isSettled() && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.PauseTiming();
        worstStall = qMax(worstStall, meter.worst());
        opened = opened && viewer->isFileOpen();
        HelpViewers::closeAll();
        state.ResumeTiming();
    }
    const double each = total / double(state.iterations());
    state.counters["viewer_ms"] = each;
    state.counters["bare_ms"] = bare;
    state.counters["ratio_to_bare"] = bare > 0 ? each / bare : 0;
    state.counters["worst_gui_stall_ms"] = worstStall;
    state.counters["opened"] = opened ? 1 : 0;
    state.counters["peak_resident_kib"] = peakResidentKiB();
}

QString largeFile()
{
    return QStringLiteral(QVX_LARGE_HELP_FILE);
}

// Another file to measure, such as a large real one: QVX_BENCH_HELP_FILE.
QString chosenFile()
{
    return qEnvironmentVariable("QVX_BENCH_HELP_FILE");
}

void largeFileFirstOpening(benchmark::State &state)
{
    viewerShowsFirstPage(state, largeFile(), true);
}
void largeFileReopening(benchmark::State &state)
{
    viewerShowsFirstPage(state, largeFile(), false);
}
void chosenFileFirstOpening(benchmark::State &state)
{
    viewerShowsFirstPage(state, chosenFile(), true);
}
void chosenFileReopening(benchmark::State &state)
{
    viewerShowsFirstPage(state, chosenFile(), false);
}

// A file that sends the library into an endless loop: the worst GUI stall in the first
// second after the request, against the program's own help file opening meanwhile.
void loopingFileStall(benchmark::State &state)
{
    const double bare = bareBrowserTime(helpFile());
    double worstStall = 0;
    for (auto _ : state) {
        HelpLoader::forget();
        StallMeter meter;
        HelpViewers::request({}, nullptr, QStringLiteral(QVX_LOOP_HELP_FILE),
                             HelpViewers::displayContents);
        QElapsedTimer second;
        second.start();
        while (second.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        worstStall = qMax(worstStall, meter.worst());
        HelpViewers::closeAll();
    }
    state.counters["worst_gui_stall_ms"] = worstStall;
    state.counters["stall_to_bare"] = bare > 0 ? worstStall / bare : 0;
}

// Every damaged, crafted and hostile help file we keep, opened one after another until each is
// shown or refused (a looping one for at most its first second): the worst GUI stall of all.
void hostileFilesStall(benchmark::State &state)
{
    QStringList files;
    for (const char *folder : {QVX_HOSTILE_HELP_FOLDERS}) {
        const QDir dir(QString::fromUtf8(folder));
        for (const QString &name : dir.entryList({QStringLiteral("*.chm")}, QDir::Files))
            files.append(dir.filePath(name));
    }
    // And the program's own file cut short.
    QTemporaryDir scratch;
    QFile whole(helpFile());
    QFile cut(scratch.filePath(QStringLiteral("cut-short.chm")));
    if (whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly) &&
        cut.write(whole.read(10240)) == 10240) {
        cut.close();
        files.append(cut.fileName());
    }
    const double bare = bareBrowserTime(helpFile());
    double worstStall = 0;
    QString worstFile;
    for (auto _ : state) {
        for (const QString &file : files) {
            HelpLoader::forget();
            StallMeter meter;
            HelpViewer *viewer =
                HelpViewers::request({}, nullptr, file, HelpViewers::displayContents);
            QElapsedTimer second;
            second.start();
            waitForPage(viewer, 3000);
            if (meter.worst() > worstStall) {
                worstStall = meter.worst();
                worstFile = QFileInfo(file).fileName();
            }
            HelpViewers::closeAll();
        }
    }
    state.counters["files"] = double(files.size());
    state.counters["worst_gui_stall_ms"] = worstStall;
    state.counters["stall_to_bare"] = bare > 0 ? worstStall / bare : 0;
    state.SetLabel(worstFile.toStdString());
}

// Browsing the chosen file: a search, then its largest page (QVX_BENCH_LARGEST_PAGE, a path
// inside it), the worst GUI stall and the time of each.
void chosenFileBrowsing(benchmark::State &state)
{
    const QString path = chosenFile();
    const QString largest = qEnvironmentVariable("QVX_BENCH_LARGEST_PAGE");
    if (path.isEmpty() || largest.isEmpty()) {
        state.SkipWithError("QVX_BENCH_HELP_FILE and QVX_BENCH_LARGEST_PAGE name what to browse");
        return;
    }
    double pageStall = 0;
    double searchStall = 0;
    double pageMs = 0;
    double searchMs = 0;
    for (auto _ : state) {
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, HelpViewers::displayContents);
        waitForPage(viewer);
        while (!viewer->isSettled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        {
            auto *pane = viewer->findChild<SearchPane *>(QStringLiteral("paneSearch"));
            auto *results = viewer->findChild<QListWidget *>(QStringLiteral("lstSearchResults"));
            StallMeter meter;
            QElapsedTimer timer;
            timer.start();
            pane->search(QStringLiteral("button"));
            while (results->count() == 0 && timer.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            searchMs += double(timer.nsecsElapsed()) / 1e6;
            searchStall = qMax(searchStall, meter.worst());
            state.counters["results"] = results->count();
        }
        {
            StallMeter meter;
            QElapsedTimer timer;
            timer.start();
            viewer->followLink(QUrl(largest));
            waitForPage(viewer);
            pageMs += double(timer.nsecsElapsed()) / 1e6;
            pageStall = qMax(pageStall, meter.worst());
        }
        HelpViewers::closeAll();
    }
    state.counters["largest_page_ms"] = pageMs / double(state.iterations());
    state.counters["largest_page_stall_ms"] = pageStall;
    state.counters["search_ms"] = searchMs / double(state.iterations());
    state.counters["search_stall_ms"] = searchStall;
}

// Searching the chosen file once its search is ready: each of QVX_BENCH_SEARCHES (separated by
// ";"; by default a word, a quoted phrase and a prefix) from the request to the results shown.
// A query in a script the file's own index lacks includes building an index here. The argument
// chooses the options: 0 none, 1 similar words, 2 titles only, 3 the previous results (each
// query searched among the results of the one before).
void chosenFileSearching(benchmark::State &state)
{
    SearchPane::Options options;
    options.match.similarWords = state.range(0) == 1;
    options.match.titlesOnly = state.range(0) == 2;
    options.previousResults = state.range(0) == 3;
    const QString path = chosenFile();
    if (path.isEmpty()) {
        state.SkipWithError("QVX_BENCH_HELP_FILE names the file to search");
        return;
    }
    QString queries = qEnvironmentVariable("QVX_BENCH_SEARCHES");
    if (queries.isEmpty())
        queries = QStringLiteral("button;\"tool button\";tbut*");
    double total = 0;
    double worst = 0;
    double stall = 0;
    int searches = 0;
    for (auto _ : state) {
        HelpViewer *viewer = HelpViewers::request({}, nullptr, path, HelpViewers::displayContents);
        waitForPage(viewer);
        auto *pane = viewer->findChild<SearchPane *>(QStringLiteral("paneSearch"));
        pane->setOptions(options);
        auto *status = viewer->findChild<QLabel *>(QStringLiteral("lblSearchStatus"));
        QElapsedTimer waited;
        waited.start();
        while (!pane->isReady() && waited.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        for (const QString &query : queries.split(u';', Qt::SkipEmptyParts)) {
            StallMeter meter;
            QElapsedTimer timer;
            timer.start();
            pane->search(query);
            // "No topics found.", "N topics found." or "… found among the previous results."
            while (!status->text().contains(QStringLiteral(" found")) && timer.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            total += ms;
            worst = qMax(worst, ms);
            stall = qMax(stall, meter.worst());
            ++searches;
            state.counters["results_last"] =
                viewer->findChild<QListWidget *>(QStringLiteral("lstSearchResults"))->count();
        }
        HelpViewers::closeAll();
    }
    state.counters["search_ms"] = searches > 0 ? total / searches : 0;
    state.counters["worst_search_ms"] = worst;
    state.counters["search_stall_ms"] = stall;
}

// The program's help file open in a viewer, then overwritten in place by each hostile file
// and asked for a page: the worst GUI stall until the viewer shows what came of it.
void overwrittenFilesStall(benchmark::State &state)
{
    QStringList hostile;
    for (const char *folder : {QVX_HOSTILE_HELP_FOLDERS}) {
        const QDir dir(QString::fromUtf8(folder));
        for (const QString &name : dir.entryList({QStringLiteral("*.chm")}, QDir::Files))
            hostile.append(dir.filePath(name));
    }
    QFile original(helpFile());
    const QByteArray good = original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
    double worstStall = 0;
    QString worstFile;
    for (auto _ : state) {
        for (const QString &name : hostile) {
            state.PauseTiming();
            QTemporaryDir scratch;
            const QString path = scratch.filePath(QStringLiteral("help.chm"));
            QFile copy(path);
            if (!copy.open(QIODevice::WriteOnly) || copy.write(good) != good.size()) {
                state.SkipWithError("cannot write a scratch copy");
                return;
            }
            copy.close();
            waitForPage(HelpViewers::request({}, nullptr, path, HelpViewers::displayContents));
            QFile bad(name);
            if (!bad.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly) ||
                copy.write(bad.readAll()) < 0) {
                state.SkipWithError("cannot overwrite the scratch copy");
                return;
            }
            copy.close();
            state.ResumeTiming();
            StallMeter meter;
            HelpViewer *viewer = HelpViewers::request(
                {}, nullptr, QStringLiteral("ms-its:") + path + QStringLiteral("::/Add-ons.htm"),
                HelpViewers::displayTopic);
            waitForPage(viewer, 5000);
            if (meter.worst() > worstStall) {
                worstStall = meter.worst();
                worstFile = QFileInfo(name).fileName();
            }
            state.PauseTiming();
            HelpViewers::closeAll();
            HelpLoader::forget();
            state.ResumeTiming();
        }
    }
    state.counters["files"] = double(hostile.size());
    state.counters["worst_gui_stall_ms"] = worstStall;
    state.SetLabel(worstFile.toStdString());
}

} // namespace

BENCHMARK(bareBrowserShowsPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(viewerOpensAtTopic)->Unit(benchmark::kMicrosecond);
BENCHMARK(openViewerMovesToTopic)->Unit(benchmark::kMicrosecond);
BENCHMARK(largeFileFirstOpening)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(largeFileReopening)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(chosenFileFirstOpening)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(chosenFileReopening)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(loopingFileStall)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(hostileFilesStall)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(chosenFileBrowsing)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(chosenFileSearching)->Unit(benchmark::kMillisecond)->Iterations(3)->DenseRange(0, 3);
BENCHMARK(overwrittenFilesStall)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    ChmFile::setReaderProgram(QStringLiteral(QVX_APP_DIR "/qvx-chmreader"));
    return runBenchmarks(argc, argv);
}

// The help viewer from a topic request to the page shown, against the same page's HTML set
// into a bare QTextBrowser: what the viewer's window, file and resource handling cost.
#include "qvx/helpviewer/ChmFile.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextBrowser>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

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

// A fresh viewer each time: window, file, contents, index and page.
void viewerOpensAtTopic(benchmark::State &state)
{
    const QString address = topicAddress();
    for (auto _ : state) {
        HelpViewer *viewer =
            HelpViewers::request({}, nullptr, address, HelpViewers::displayContents);
        QCoreApplication::processEvents();
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
        HelpViewers::request({}, nullptr, home, HelpViewers::displayContents);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        HelpViewers::request({}, nullptr, address, HelpViewers::displayContents);
        QCoreApplication::processEvents();
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

} // namespace

BENCHMARK(bareBrowserShowsPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(viewerOpensAtTopic)->Unit(benchmark::kMicrosecond);
BENCHMARK(openViewerMovesToTopic)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

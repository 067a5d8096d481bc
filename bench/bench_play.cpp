// Play: from the click on the Play button to the demo's process running, against starting
// the same file with a plain detached process start, in the same run. The counter "ratio"
// compares with the plain start.

#include "qvx/platform/LinuxPlatform.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>

namespace {

const QString demo = QStringLiteral(QVX_APP_DIR "/Demos/Both/Ticket Setup.exe");
double plainSeconds = 0;

// Processes running the demo.
QList<int> demoProcesses()
{
    const QString target = QFileInfo(demo).canonicalFilePath();
    QList<int> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (number && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == target)
            found.append(pid);
    }
    return found;
}

// Waits until a new process runs the demo, then ends it; false if none came within 10 s.
bool awaitDemoAndEndIt(const QList<int> &before)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        for (int pid : demoProcesses()) {
            if (!before.contains(pid)) {
                ::kill(pid, SIGKILL);
                return true;
            }
        }
    }
    return false;
}

template <typename Start> double timedStart(benchmark::State &state, Start start)
{
    double total = 0;
    int rounds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QList<int> before = demoProcesses();
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        start();
        if (!awaitDemoAndEndIt(before)) {
            state.SkipWithError("the demo did not start");
            return 0;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        ++rounds;
    }
    return rounds ? total / rounds : 0;
}

void BM_PlainStart(benchmark::State &state)
{
    plainSeconds = timedStart(state, [] {
        QProcess process;
        process.setProgram(demo);
        process.setWorkingDirectory(QFileInfo(demo).absolutePath());
        process.startDetached();
    });
}
BENCHMARK(BM_PlainStart)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_PlayButton(benchmark::State &state)
{
    qvx::LinuxPlatform platform;
    qvx::qt::FrmPlayDemos form(platform);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.Form_Load();
    form.control<QComboBox>(QStringLiteral("cboDemos"))
        ->setEditText(QStringLiteral("Ticket Setup"));
    QWidget *play = form.control(QStringLiteral("cmdPlay"));
    const double seconds = timedStart(state, [&] { QTest::mouseClick(play, Qt::LeftButton); });
    if (plainSeconds > 0 && seconds > 0)
        state.counters["ratio"] = seconds / plainSeconds;
}
BENCHMARK(BM_PlayButton)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

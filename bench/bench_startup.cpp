// Start-up of the main window against a bare main window with a menu bar, in the same run:
//   BM_BareWindow / BM_MainWindowReady  time from creating the window to its ready state
//                                       (shown, list filled, default pointer)
//   BM_PeakMemory                       peak resident memory of the real program at its
//                                       ready state against a bare-window process
// Counters named ratio compare with the bare window measured in the same run.

#include "qvx/platform/LinuxPlatform.h"
#include "qvx/qt/FrmPlayDemos.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QThread>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

double bareSeconds = 0;

void showBareWindow(QMainWindow &window)
{
    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"));
    window.menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));
    window.resize(455, 308);
    window.show();
    QCoreApplication::processEvents();
}

void BM_BareWindow(benchmark::State &state)
{
    double total = 0;
    int rounds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto *window = new QMainWindow;
        showBareWindow(*window);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++rounds;
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
    bareSeconds = total / rounds;
}
BENCHMARK(BM_BareWindow)->Unit(benchmark::kMillisecond);

void BM_MainWindowReady(benchmark::State &state)
{
    qvx::LinuxPlatform platform;
    int listed = 0;
    double total = 0;
    int rounds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto *form = new qvx::qt::FrmPlayDemos(platform);
        form->Form_Load();
        listed = form->control<QComboBox>(QStringLiteral("cboDemos"))->count();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++rounds;
        state.PauseTiming();
        delete form;
        state.ResumeTiming();
    }
    if (listed == 0)
        state.SkipWithError("no sample demos listed");
    if (bareSeconds > 0)
        state.counters["ratio"] = total / rounds / bareSeconds;
}
BENCHMARK(BM_MainWindowReady)->Unit(benchmark::kMillisecond);

// Peak resident memory (VmHWM) of a running process, in KiB, once it has stopped growing.
qint64 settledPeak(QProcess &process)
{
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    qint64 last = -1;
    int steady = 0;
    for (int i = 0; i < 100 && steady < 5; ++i) {
        QThread::msleep(100);
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        qint64 peak = -1;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        steady = peak == last ? steady + 1 : 0;
        last = peak;
    }
    return last;
}

qint64 peakOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -1;
    const qint64 peak = settledPeak(process);
    process.kill();
    process.waitForFinished();
    return peak;
}

void BM_PeakMemory(benchmark::State &state)
{
    qint64 bare = 0;
    qint64 ready = 0;
    for (auto _ : state) {
        bare = peakOf(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare-window")});
        ready = peakOf(QStringLiteral(QVX_APP_DIR "/QVXDemos"), {});
    }
    if (bare <= 0 || ready <= 0) {
        state.SkipWithError("could not read the peak memory");
        return;
    }
    state.counters["bare_kib"] = double(bare);
    state.counters["ready_kib"] = double(ready);
    state.counters["ratio"] = double(ready) / double(bare);
}
BENCHMARK(BM_PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The baseline process of the memory figure: a bare window that stays up.
    if (argc > 1 && QByteArray(argv[1]) == "--bare-window") {
        QApplication app(argc, argv);
        QMainWindow window;
        showBareWindow(window);
        return QApplication::exec();
    }
    return runBenchmarks(argc, argv);
}

// Processor time used while the program waits 3 seconds: the wait as first written (a busy
// loop on the time of day that handles events on every pass) against Module1::Pause,
// measured in the same run. Counters: cpu_s (processor seconds of the whole process),
// core_pct (percent of one core over the wait), ticks (a 16 ms timer's ticks handled during
// the wait, to show the windows stay as responsive) and, for Pause, cpu_vs_busy_wait (its
// processor time over the busy wait's).
#include "qvx/core/Module1.h"
#include "qvx/platform/LinuxPlatform.h"

#include <QApplication>
#include <QTime>
#include <QTimer>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <functional>

namespace {

constexpr float waitSeconds = 3.0f;
double busyWaitCpu = 0;

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

float secondsSinceMidnight()
{
    return float(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

// The baseline: spins on the time of day, with its correction when midnight passes.
void busyWait(float seconds)
{
    float start = secondsSinceMidnight();
    while (float(secondsSinceMidnight() - start) < seconds) {
        QCoreApplication::processEvents();
        if (secondsSinceMidnight() < start)
            start = float(double(start) - 86400.0);
    }
}

double measure(benchmark::State &state, const std::function<void()> &wait)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        timer.start(16);
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        wait();
        cpu = processCpuSeconds() - cpuStart;
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        timer.stop();
        state.SetIterationTime(wall);
    }
    state.counters["cpu_s"] = cpu;
    state.counters["core_pct"] = 100.0 * cpu / wall;
    state.counters["ticks"] = ticks;
    return cpu;
}

void BM_BusyWaitOnTimeOfDay(benchmark::State &state)
{
    busyWaitCpu = measure(state, [] { busyWait(waitSeconds); });
}

void BM_Pause(benchmark::State &state)
{
    qvx::LinuxPlatform platform;
    const double cpu = measure(state, [&] { qvx::Module1::Pause(platform, waitSeconds); });
    if (busyWaitCpu > 0)
        state.counters["cpu_vs_busy_wait"] = cpu / busyWaitCpu;
}

} // namespace

// The baseline runs first, so that Pause can be given as a ratio of it.
BENCHMARK(BM_BusyWaitOnTimeOfDay)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Pause)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

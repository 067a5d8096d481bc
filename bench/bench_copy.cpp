// How long the windows go unanswered while the platform copies a large demo, as the
// preparation does: a 5 ms timer on the GUI thread takes the largest gap between its ticks
// (and from the last tick to the copy's end) during LinuxPlatform::copyFile of a 600 MB file
// onto the same disk. Counters: mb (the size), worst_stall_ms and ticks. QVX_BENCH_COPY_MB
// gives another size; the files go into $TMPDIR, else /tmp.
#include "qvx/platform/LinuxPlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 megabytes()
{
    bool ok = false;
    const qint64 set = qEnvironmentVariableIntValue("QVX_BENCH_COPY_MB", &ok);
    return ok && set > 0 ? set : 600;
}

void BM_CopyLargeDemo(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::filesystem::path folder = QFile::encodeName(dir.path()).toStdString();
    const std::filesystem::path source = folder / "ZIP_large_demo.exe";
    {
        // Data that no layer can skip or compress away.
        std::vector<char> block(1 << 20);
        std::mt19937 random(16);
        std::generate(block.begin(), block.end(), [&random] { return char(random()); });
        std::ofstream out(source, std::ios::binary);
        for (qint64 i = 0; i < megabytes(); ++i) {
            block[0] = char(i);
            out.write(block.data(), std::streamsize(block.size()));
        }
    }
    qvx::LinuxPlatform platform;
    double worst = 0;
    int ticks = 0;
    for (auto _ : state) {
        Clock::time_point last = Clock::now();
        const auto gap = [&last] {
            const Clock::time_point now = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(now - last).count();
            last = now;
            return ms;
        };
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            worst = std::max(worst, gap());
            ++ticks;
        });
        timer.start(5);
        const Clock::time_point start = last;
        const qvx::OpResult copied = platform.copyFile(source, folder / "QVX3 Large Demo.exe");
        worst = std::max(worst, gap());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!copied.ok())
            state.SkipWithError(copied.description.c_str());
    }
    state.counters["mb"] = double(megabytes());
    state.counters["worst_stall_ms"] = worst;
    state.counters["ticks"] = ticks;
}
BENCHMARK(BM_CopyLargeDemo)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

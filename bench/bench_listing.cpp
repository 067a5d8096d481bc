// The demo listing (the hidden file list on the Linux platform, over an edition's folder and
// the shared one) against a plain read-and-sort of the same two folders. The counter "ratio"
// compares with the plain read.
//   bench_listing [--benchmark_repetitions=N]

#include "qvx/core/FileList.h"
#include "qvx/platform/LinuxPlatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

namespace {

constexpr int demosPerFolder = 10000;

struct Tree
{
    QTemporaryDir dir;
    Tree()
    {
        for (const char *folder : {"Demos/QVX", "Demos/QVX Jr", "Demos/Both"}) {
            const QString path = dir.filePath(QString::fromLatin1(folder));
            QDir().mkpath(path);
            if (QString::fromLatin1(folder).endsWith(QStringLiteral("Jr")))
                continue;
            for (int i = 0; i < demosPerFolder; ++i) {
                // Unordered on disk, mixed letter case.
                const int n = (i * 7919) % demosPerFolder;
                QFile file(path +
                           QStringLiteral("/%1 Demo %2.exe")
                               .arg(n % 2 ? QStringLiteral("sales") : QStringLiteral("Setup"))
                               .arg(n));
                file.open(QIODevice::WriteOnly);
            }
        }
    }
};

Tree &tree()
{
    static Tree instance;
    return instance;
}

double plainSeconds = 0;

double secondsPerRound(const benchmark::State &state, std::chrono::steady_clock::time_point start)
{
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return state.iterations() ? total / double(state.iterations()) : 0;
}

void BM_PlainReadAndSort(benchmark::State &state)
{
    const QString root = tree().dir.path();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        QStringList names;
        for (const char *folder : {"/Demos/QVX", "/Demos/Both"}) {
            names += QDir(root + QLatin1String(folder))
                         .entryList({QStringLiteral("*.exe")}, QDir::Files,
                                    QDir::Name | QDir::IgnoreCase);
        }
        benchmark::DoNotOptimize(names);
    }
    plainSeconds = secondsPerRound(state, start);
}
BENCHMARK(BM_PlainReadAndSort)->Unit(benchmark::kMillisecond);

void BM_DemoListing(benchmark::State &state)
{
    const std::filesystem::path root = QFile::encodeName(tree().dir.path()).toStdString();
    qvx::LinuxPlatform platform;
    qvx::FileList files(platform);
    files.setPattern("*.exe");
    std::size_t listed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        listed = 0;
        for (const char *folder : {"Demos/QVX", "Demos/Both"}) {
            files.setPath(root / folder);
            listed += files.listCount();
        }
        benchmark::DoNotOptimize(listed);
    }
    const double seconds = secondsPerRound(state, start);
    if (listed != 2 * demosPerFolder)
        state.SkipWithError("the list is incomplete");
    else if (plainSeconds > 0)
        state.counters["ratio"] = seconds / plainSeconds;
}
BENCHMARK(BM_DemoListing)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

// The demo listing against a plain read-and-sort of the same two folders.
//   bench_listing [--benchmark_repetitions=N]

#include "FakePlatform.h"

#include "app/FrmPlayDemos.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchMain.h"

#include <benchmark/benchmark.h>

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
                QFile file(path + QStringLiteral("/%1 Demo %2.exe")
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

void BM_PlainReadAndSort(benchmark::State &state)
{
    const QString root = tree().dir.path();
    for (auto _ : state) {
        QStringList names;
        for (const char *folder : {"/Demos/QVX", "/Demos/Both"}) {
            names += QDir(root + QLatin1String(folder))
                         .entryList({QStringLiteral("*.exe")}, QDir::Files,
                                    QDir::Name | QDir::IgnoreCase);
        }
        benchmark::DoNotOptimize(names);
    }
}
BENCHMARK(BM_PlainReadAndSort)->Unit(benchmark::kMillisecond);

void BM_EditionSelection(benchmark::State &state)
{
    FakePlatform platform;
    platform.appFolder = tree().dir.path();
    FrmPlayDemos form(platform);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    for (auto _ : state) {
        form.optDemoVersion_Click(0);
        benchmark::DoNotOptimize(form.cboDemos->count());
    }
    if (form.cboDemos->count() != 2 * demosPerFolder)
        state.SkipWithError("the list is incomplete");
}
BENCHMARK(BM_EditionSelection)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}

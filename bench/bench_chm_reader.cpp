// The largest page of a help file read through qvx-chmreader, against the library reading it in
// this process (the counter `ratio`, measured in the same run): with a reader already running,
// and from a cold start (the reader started, or the file opened, for each read). And the first
// page from a cold start: the reader started, #SYSTEM read for the start page, and that page.
// QVX_BENCH_HELP_FILE=FILE.chm measures a help file of your own.
#include "qvx/chm/System.h"
#include "qvx/chmreader/ReaderClient.h"

#include <benchmark/benchmark.h>

#include <regex>
#include <set>
#include <vector>

#include <chm_lib.h>
#include <chrono>
#include <cstdlib>
#include <string>

namespace {

using namespace qvx::chmreader;
using Clock = std::chrono::steady_clock;

std::string helpFile()
{
    const char *chosen = std::getenv("QVX_BENCH_HELP_FILE");
    return chosen && *chosen ? chosen : QVX_LARGE_HELP_FILE;
}

std::string largestPage(chmFile *file)
{
    std::pair<std::string, std::uint64_t> largest;
    chm_enumerate(
        file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile *, chmUnitInfo *unit, void *context) {
            auto &best = *static_cast<std::pair<std::string, std::uint64_t> *>(context);
            const std::string path = unit->path;
            if ((path.ends_with(".htm") || path.ends_with(".html")) && unit->length > best.second)
                best = {path, unit->length};
            return CHM_ENUMERATOR_CONTINUE;
        },
        &largest);
    return largest.first;
}

double readInProcess(chmFile *file, const std::string &path)
{
    const auto started = Clock::now();
    chmUnitInfo unit{};
    chm_resolve_object(file, path.c_str(), &unit);
    std::string bytes(unit.length, '\0');
    chm_retrieve_object(file, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                        LONGINT64(unit.length));
    benchmark::DoNotOptimize(bytes.data());
    return std::chrono::duration<double>(Clock::now() - started).count();
}

double readThroughReader(ReaderClient &client, const std::string &path, benchmark::State &state)
{
    const auto started = Clock::now();
    std::string bytes;
    if (client.read(path, &bytes) != Outcome::Ok)
        state.SkipWithError("the reader could not read the page");
    return std::chrono::duration<double>(Clock::now() - started).count();
}

// The page and the pictures and style sheets it names that the file holds, as the viewer
// fetches them before it lays the page out.
std::vector<std::string> pageWithResources(chmFile *file, const std::string &page)
{
    std::vector<std::string> objects{page};
    chmUnitInfo unit{};
    if (chm_resolve_object(file, page.c_str(), &unit) != CHM_RESOLVE_SUCCESS)
        return objects;
    std::string html(unit.length, '\0');
    chm_retrieve_object(file, &unit, reinterpret_cast<unsigned char *>(html.data()), 0,
                        LONGINT64(unit.length));
    static const std::regex reference(R"((?:src|href|background)\s*=\s*["']?([^"'\s>]+))",
                                      std::regex::icase);
    const std::string folder = page.substr(0, page.rfind('/') + 1);
    std::set<std::string> seen{page};
    for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
         it != std::sregex_iterator(); ++it) {
        const std::string target = (*it)[1].str();
        if (target.find(':') != std::string::npos || target.find('#') == 0)
            continue;
        const std::string path = target.front() == '/' ? target : folder + target;
        chmUnitInfo found{};
        const bool isPage = path.ends_with(".htm") || path.ends_with(".html");
        if (!isPage && seen.insert(path).second &&
            chm_resolve_object(file, path.c_str(), &found) == CHM_RESOLVE_SUCCESS)
            objects.push_back(path);
    }
    return objects;
}

void largestPageWarm(benchmark::State &state)
{
    const std::string name = helpFile();
    chmFile *file = chm_open(name.c_str());
    if (file == nullptr) {
        state.SkipWithError("the help file does not open");
        return;
    }
    const std::vector<std::string> objects = pageWithResources(file, largestPage(file));
    ReaderClient client(QVX_CHMREADER, name);
    for (const std::string &object : objects) {
        readThroughReader(client, object, state);
        readInProcess(file, object);
    }
    double ours = 0;
    double bare = 0;
    for (auto _ : state) {
        double each = 0;
        for (const std::string &object : objects)
            each += readThroughReader(client, object, state);
        state.SetIterationTime(each);
        ours += each;
        for (const std::string &object : objects)
            bare += readInProcess(file, object);
    }
    chm_close(file);
    state.counters["ratio"] = bare > 0 ? ours / bare : 0;
    state.counters["objects"] = double(objects.size());
    state.SetLabel(objects.front());
}

void largestPageCold(benchmark::State &state)
{
    const std::string name = helpFile();
    chmFile *probe = chm_open(name.c_str());
    if (probe == nullptr) {
        state.SkipWithError("the help file does not open");
        return;
    }
    const std::string page = largestPage(probe);
    chm_close(probe);
    double ours = 0;
    double bare = 0;
    for (auto _ : state) {
        const auto started = Clock::now();
        {
            ReaderClient client(QVX_CHMREADER, name);
            readThroughReader(client, page, state);
        }
        const double each = std::chrono::duration<double>(Clock::now() - started).count();
        state.SetIterationTime(each);
        ours += each;
        const auto opening = Clock::now();
        chmFile *file = chm_open(name.c_str());
        readInProcess(file, page);
        chm_close(file);
        bare += std::chrono::duration<double>(Clock::now() - opening).count();
    }
    state.counters["ratio"] = bare > 0 ? ours / bare : 0;
}

std::string startPage(std::string_view system)
{
    std::string topic = qvx::chm::parseSystem(system).defaultTopic;
    topic.resize(std::min(topic.find('#'), topic.size()));
    return "/" + topic;
}

void firstPageCold(benchmark::State &state)
{
    const std::string name = helpFile();
    double ours = 0;
    double bare = 0;
    for (auto _ : state) {
        const auto started = Clock::now();
        {
            ReaderClient client(QVX_CHMREADER, name);
            std::string system;
            if (client.read("/#SYSTEM", &system) != Outcome::Ok)
                state.SkipWithError("the reader could not read #SYSTEM");
            readThroughReader(client, startPage(system), state);
        }
        const double each = std::chrono::duration<double>(Clock::now() - started).count();
        state.SetIterationTime(each);
        ours += each;
        const auto opening = Clock::now();
        chmFile *file = chm_open(name.c_str());
        chmUnitInfo unit{};
        std::string system;
        if (file != nullptr && chm_resolve_object(file, "/#SYSTEM", &unit) == CHM_RESOLVE_SUCCESS) {
            system.resize(unit.length);
            chm_retrieve_object(file, &unit, reinterpret_cast<unsigned char *>(system.data()), 0,
                                LONGINT64(unit.length));
            readInProcess(file, startPage(system));
        }
        if (file != nullptr)
            chm_close(file);
        bare += std::chrono::duration<double>(Clock::now() - opening).count();
    }
    state.counters["ratio"] = bare > 0 ? ours / bare : 0;
}

} // namespace

BENCHMARK(firstPageCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(largestPageWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(largestPageCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();

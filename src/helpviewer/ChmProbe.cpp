// qvx-chmprobe PARENT-PID FILE: opens a help file with chmlib and reads every object of it,
// so that a library fault on a damaged file (a crash, an endless loop) ends this process
// instead of the program. Exit code 0: the file came through; anything else: it did not.
//
// A program of its own rather than a fork of the viewer: the viewer has threads, and a forked
// child of a threaded process may only make async-signal-safe calls, while chmlib allocates.
#include <chm_lib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// As in the viewer, which refuses larger objects rather than read them.
constexpr std::uint64_t maxObjectSize = 64ull * 1024 * 1024;
// What the probe reads at most; a real file's pages stay far below it.
constexpr std::uint64_t maxBytes = 512ull * 1024 * 1024;
// No help file holds this many objects; a listing that goes on past it loops.
constexpr std::uint64_t maxObjects = 4'000'000;

struct Object
{
    int space;
    std::uint64_t start;
    std::uint64_t length;
};

struct Listing
{
    std::uint64_t budget;
    std::vector<Object> objects;
    bool looping = false;
};

int collect(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *listing = static_cast<Listing *>(context);
    // Each entry takes bytes of the file: more entries than bytes means a loop.
    if (listing->budget == 0) {
        listing->looping = true;
        return CHM_ENUMERATOR_FAILURE;
    }
    --listing->budget;
    if (unit->length > 0 && unit->length <= maxObjectSize)
        listing->objects.push_back({unit->space, unit->start, unit->length});
    return CHM_ENUMERATOR_CONTINUE;
}

bool readAll(chmFile *handle, const std::vector<Object> &objects, std::size_t from, std::size_t to)
{
    std::uint64_t left = maxBytes;
    std::vector<unsigned char> buffer;
    for (std::size_t i = from; i < to && objects[i].length <= left; ++i) {
        left -= objects[i].length;
        chmUnitInfo unit{};
        unit.space = objects[i].space;
        unit.start = objects[i].start;
        unit.length = objects[i].length;
        buffer.resize(objects[i].length);
        chm_retrieve_object(handle, &unit, buffer.data(), 0, LONGINT64(unit.length));
    }
    return true;
}

// Ends this process with the one that started it, and gives up if that one is already gone.
void dieWithParent(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(3);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    dieWithParent(pid_t(std::strtol(argv[1], nullptr, 10)));
    // A fault is the answer; the alarm ends a loop the checks below cannot see.
    for (int fault : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGABRT, SIGALRM})
        ::signal(fault, SIG_DFL);
    ::alarm(20);

    struct stat info
    {
    };
    if (::stat(argv[2], &info) != 0)
        return 1;
    chmFile *handle = chm_open(argv[2]);
    if (!handle)
        return 1;
    Listing listing{std::min<std::uint64_t>(std::uint64_t(info.st_size), maxObjects), {}};
    chm_enumerate(handle, CHM_ENUMERATE_ALL, collect, &listing);
    if (listing.looping)
        return 1;
    // In the order the data lies, so that each compressed block is decompressed once.
    std::sort(listing.objects.begin(), listing.objects.end(), [](const Object &a, const Object &b) {
        return a.space != b.space ? a.space < b.space : a.start < b.start;
    });
    const std::size_t count = listing.objects.size();
    // With a second core, a second process reads the second half.
    pid_t helper = -1;
    if (count > 1000 && ::sysconf(_SC_NPROCESSORS_ONLN) > 1) {
        const pid_t self = ::getpid();
        helper = ::fork();
        if (helper == 0) {
            dieWithParent(self);
            chmFile *own = chm_open(argv[2]);
            ::_exit(own && readAll(own, listing.objects, count / 2, count) ? 0 : 1);
        }
    }
    readAll(handle, listing.objects, 0, helper > 0 ? count / 2 : count);
    chm_close(handle);
    if (helper > 0) {
        int status = 0;
        if (::waitpid(helper, &status, 0) != helper || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            return 1;
    }
    return 0;
}

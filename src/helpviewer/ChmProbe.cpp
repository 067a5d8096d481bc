// qvx-chmprobe PARENT-PID FILE [report]: opens a help file with chmlib and reads every object of
// it, so that a library fault on a damaged file (a crash, an endless loop) ends this process
// instead of the program. Exit code 0: the file came through; anything else: it did not.
//
// It reads in two stages. First, on a fresh handle and in the viewer's own order, what the
// viewer needs to show the file's first page; with "report", it then writes on descriptor 4 one
// line "object PATH" per object read and a line "cleared". The viewer may read those objects
// from then on. Then it reads everything, as the verdict on the rest.
//
// A program of its own rather than a fork of the viewer: the viewer has threads, and a forked
// child of a threaded process may only make async-signal-safe calls, while chmlib allocates.
#include "qvx/helpviewer/ChmProbeReading.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

void writeAll(int fd, const std::string &text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written <= 0)
            return;
        done += std::size_t(written);
    }
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
    using namespace ChmProbeReading;
    if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "report") == 0))
        return 2;
    dieWithParent(pid_t(std::strtol(argv[1], nullptr, 10)));
    // A fault is the answer; the alarm ends a loop the checks cannot see.
    for (int fault : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGABRT, SIGALRM})
        ::signal(fault, SIG_DFL);
    ::alarm(20);

    struct stat info
    {
    };
    if (::stat(argv[2], &info) != 0)
        return 1;
    Listing listing = listingFor(std::uint64_t(info.st_size));
    std::vector<std::string> cleared;
    if (!readFirstStage(argv[2], &listing, &cleared))
        return 1;
    if (argc == 4) {
        std::string report;
        for (const std::string &path : cleared)
            report += "object " + path + '\n';
        writeAll(4, report + "cleared\n");
        ::close(4);
    }
    // The viewer now opens the file and shows its first page: it comes first.
    ::setpriority(PRIO_PROCESS, 0, 10);
    // Tests stretch the full pass, to see what the viewer does meanwhile.
    if (const char *pause = std::getenv("QVX_CHMPROBE_TEST_PAUSE_MS"))
        ::usleep(useconds_t(std::min(std::strtol(pause, nullptr, 10), 15'000L)) * 1000);

    // The full pass starts afresh, as the viewer's reads of the rest will.
    sortByPlace(&listing);
    const std::size_t count = listing.objects.size();
    // With a second core, a second process reads the second half.
    pid_t helper = -1;
    if (count > 1000 && ::sysconf(_SC_NPROCESSORS_ONLN) > 1) {
        const pid_t self = ::getpid();
        helper = ::fork();
        if (helper == 0) {
            dieWithParent(self);
            ::_exit(readObjects(argv[2], listing.objects, count / 2, count) ? 0 : 1);
        }
    }
    if (!readObjects(argv[2], listing.objects, 0, helper > 0 ? count / 2 : count))
        return 1;
    if (helper > 0) {
        int status = 0;
        if (::waitpid(helper, &status, 0) != helper || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            return 1;
    }
    return 0;
}

#include "PosixSpawn.h"

#include "qvx/core/OpError.h"
#include "qvx/platform/PosixFiles.h"
#include "qvx/posix/Descriptor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace qvx::posix {
namespace {

enum Step : int { ForkStep = 1, ChdirStep, ExecStep };

struct Report
{
    int step;
    int err;
};

// Only async-signal-safe calls may follow a fork in a program with threads.
[[noreturn]] void reportAndExit(int fd, Step step)
{
    const Report report{step, errno};
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

OpResult failed(const char *step, int err)
{
    return OpError::make(OpError::FileAccess, std::string(step) + ": " + std::strerror(err));
}

const char *stepName(int step)
{
    switch (step) {
    case ForkStep:
        return "fork";
    case ChdirStep:
        return "chdir";
    default:
        return "execv";
    }
}

} // namespace

OpResult startDetached(const std::vector<std::string> &command, const std::string &workingFolder)
{
    if (command.empty())
        return OpError::make(OpError::FileAccess, "nothing to start");
    // Everything the child needs is made before the fork.
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);

    const Descriptor nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!nullInput.valid())
        return resultFromErrno(errno, "/dev/null");
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return failed("pipe", errno);
    const Descriptor reportsIn(ends[0]);
    Descriptor reportsOut(ends[1]);

    // The middle process ends at once, so the program is adopted by init and never becomes
    // a zombie of ours.
    const pid_t middle = ::fork();
    // The child's copies close at its exec or exit, as every descriptor here is close-on-exec.
    if (middle == 0) {
        ::setsid();
        const pid_t launched = ::fork();
        if (launched < 0)
            reportAndExit(reportsOut.get(), ForkStep);
        if (launched > 0)
            ::_exit(0);
        struct sigaction byDefault
        {
        };
        byDefault.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &byDefault, nullptr);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            reportAndExit(reportsOut.get(), ChdirStep);
        if (::dup2(nullInput.get(), STDIN_FILENO) < 0)
            reportAndExit(reportsOut.get(), ExecStep);
        ::execv(argv[0], argv.data());
        reportAndExit(reportsOut.get(), ExecStep);
    }
    const int forkError = errno;
    // Only the children hold the writing end now: the read below ends when they are done.
    reportsOut.reset();
    if (middle < 0)
        return failed("fork", forkError);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }

    // The pipe closes without a word when the program's exec succeeds.
    Report report{};
    ssize_t got = 0;
    while ((got = ::read(reportsIn.get(), &report, sizeof report)) < 0 && errno == EINTR) {
    }
    if (got == ssize_t(sizeof report))
        return failed(stepName(report.step), report.err);
    return {};
}

} // namespace qvx::posix

#include "platform/posix/PosixSpawn.h"

#include "platform/OpResult.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace PosixSpawn {
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

QString stepName(int step)
{
    switch (step) {
    case ForkStep:
        return QStringLiteral("fork");
    case ChdirStep:
        return QStringLiteral("chdir");
    default:
        return QStringLiteral("execv");
    }
}

} // namespace

OpResult startDetached(const QByteArray &program, const QByteArrayList &arguments,
                       const QByteArray &workingFolder)
{
    // Everything the child needs is made before the fork.
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.constData()));
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);

    const int nullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullInput < 0)
        return OpError::fromErrno(errno, QStringLiteral("/dev/null"));
    int reports[2];
    if (::pipe2(reports, O_CLOEXEC) != 0) {
        const int err = errno;
        ::close(nullInput);
        return OpError::make(OpError::FileAccess,
                             QStringLiteral("pipe: ") + QString::fromLocal8Bit(std::strerror(err)));
    }

    // The middle process ends at once, so the program is adopted by init and never becomes
    // a zombie of ours.
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::close(reports[0]);
        ::setsid();
        const pid_t launched = ::fork();
        if (launched < 0)
            reportAndExit(reports[1], ForkStep);
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
        if (!workingFolder.isEmpty() && ::chdir(workingFolder.constData()) != 0)
            reportAndExit(reports[1], ChdirStep);
        if (::dup2(nullInput, STDIN_FILENO) < 0)
            reportAndExit(reports[1], ExecStep);
        ::execv(program.constData(), argv.data());
        reportAndExit(reports[1], ExecStep);
    }
    const int forkError = errno;
    ::close(reports[1]);
    ::close(nullInput);
    if (middle < 0) {
        ::close(reports[0]);
        return OpError::make(OpError::FileAccess,
                             QStringLiteral("fork: ") +
                                 QString::fromLocal8Bit(std::strerror(forkError)));
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }

    // The pipe closes without a word when the program's exec succeeds.
    Report report{};
    ssize_t got = 0;
    while ((got = ::read(reports[0], &report, sizeof report)) < 0 && errno == EINTR) {
    }
    ::close(reports[0]);
    if (got == ssize_t(sizeof report))
        return OpError::make(OpError::FileAccess,
                             stepName(report.step) + QStringLiteral(": ") +
                                 QString::fromLocal8Bit(std::strerror(report.err)));
    return {};
}

} // namespace PosixSpawn

// The program has every help file read through chmlib by a probe program before it opens it.
// Starting that program for every input would take most of the fuzzer's time, so its reading
// runs here in process, within its own 20 s, and a fault chmlib raises in it refuses the file
// as the program's death would.
#include "ChmInProcess.h"

#include "qvx/helpviewer/ChmProbeReading.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <setjmp.h>
#include <unistd.h>

namespace {

sigjmp_buf probeFault;
volatile sig_atomic_t inProbe = 0;

void onProbeFault(int signal)
{
    if (inProbe)
        siglongjmp(probeFault, signal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The descriptors open on the file now.
QSet<int> descriptorsOf(const QString &path)
{
    QSet<int> found;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &entry : fds.entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(entry)) == path)
            found.insert(entry.toInt());
    }
    return found;
}

// The probe's alarm, as a timer of its own signal to the reading thread: the fuzzer's timeout
// keeps the process alarm, and runs a thread of its own beside this one.
timer_t probeAlarm(int signal)
{
    static const timer_t alarm = [signal] {
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = signal;
        event._sigev_un._tid = gettid(); // sigev_notify_thread_id, which this C library lacks
        timer_t timer{};
        if (timer_create(CLOCK_MONOTONIC, &event, &timer) != 0)
            std::abort();
        return timer;
    }();
    return alarm;
}

bool probeInProcess(const char *libraryName, quint64 fileSize)
{
    const int alarmSignal = SIGRTMIN;
    const int faults[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL, alarmSignal};
    struct sigaction caught
    {
    };
    caught.sa_handler = onProbeFault;
    sigemptyset(&caught.sa_mask);
    struct sigaction saved[std::size(faults)];
    for (std::size_t i = 0; i < std::size(faults); ++i)
        sigaction(faults[i], &caught, &saved[i]);
    const timer_t alarm = probeAlarm(alarmSignal);
    // chmlib's own descriptors, which a fault leaves open, are the ones opened meanwhile.
    const QString file = QFile::symLinkTarget(QString::fromLocal8Bit(libraryName));
    const QSet<int> openBefore = descriptorsOf(file);
    itimerspec due{};
    due.it_value.tv_sec = 20;
    bool passed = false;
    if (sigsetjmp(probeFault, 1) == 0) {
        inProbe = 1;
        timer_settime(alarm, 0, &due, nullptr);
        passed = ChmProbeReading::readWholeFile(libraryName, fileSize);
        inProbe = 0;
    } else {
        inProbe = 0;
        for (const int fd : descriptorsOf(file) - openBefore)
            ::close(fd);
    }
    due.it_value.tv_sec = 0;
    timer_settime(alarm, 0, &due, nullptr);
    for (std::size_t i = 0; i < std::size(faults); ++i)
        sigaction(faults[i], &saved[i], nullptr);
    return passed;
}

} // namespace

const std::string &scratchPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_chm_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

bool openAsTheProgramDoes(ChmFile &chm, const uint8_t *data, size_t size)
{
    static const bool inProcess = [] {
        ChmFile::setInProcessProbe(probeInProcess);
        return true;
    }();
    (void)inProcess;
    FILE *file = std::fopen(scratchPath().c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return chm.open(QString::fromStdString(scratchPath()));
}

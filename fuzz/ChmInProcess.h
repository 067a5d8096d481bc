// Help files opened as the program opens them, for the fuzz targets: the readers compiled in
// with coverage, chmlib instrumented, and the file's probe run in process.
//
// The program opens a file only after a child process has read all of it through chmlib. A
// fork for every input would take most of the fuzzer's time, so the child's reading runs here
// in process, under the child's own budget, and a fault chmlib raises in it refuses the file
// as the child's death would. The open itself then finds no child to be had.
//
// Include once, in the target's one source file.
#pragma once

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmFile.h"
#include "qvx/helpviewer/NativeName.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <setjmp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {
pid_t noProbeChild()
{
    errno = EAGAIN;
    return -1;
}
} // namespace

// Every header the reader uses is in already: only its own call is renamed.
#define fork noProbeChild
#include "../src/helpviewer/ChmFile.cpp"
#undef fork

#include "../src/helpviewer/ChmAddress.cpp"
#include "../src/helpviewer/ChmSitemap.cpp"
#include "../src/helpviewer/ChmSystem.cpp"
#include "../src/helpviewer/NativeName.cpp"

namespace {

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

sigjmp_buf probeFault;
volatile sig_atomic_t inProbe = 0;

void onProbeFault(int signal)
{
    if (inProbe)
        siglongjmp(probeFault, signal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// chmlib's descriptor of a file whose reading ended in a fault; the memory it held is lost,
// as it is with the child.
void closeDescriptorsOf(const std::string &path)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &entry : fds.entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(entry)).toStdString() == path)
            ::close(entry.toInt());
    }
}

// The child's reading of the whole file, in process: whether the program would go on. Its
// alarm is a timer of its own signal here, the fuzzer's timeout keeping the process alarm.
bool survivesProbe(const std::string &path, quint64 fileSize)
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
    static timer_t alarm = [alarmSignal] {
        // To the reading thread, not to whichever thread the fuzzer runs beside it.
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = alarmSignal;
        event._sigev_un._tid = gettid(); // sigev_notify_thread_id, which this C library lacks
        timer_t timer{};
        if (timer_create(CLOCK_MONOTONIC, &event, &timer) != 0)
            std::abort();
        return timer;
    }();
    itimerspec due{};
    due.it_value.tv_sec = 20;
    bool passed = false;
    if (sigsetjmp(probeFault, 1) == 0) {
        inProbe = 1;
        timer_settime(alarm, 0, &due, nullptr);
        if (chmFile *handle = chm_open(path.c_str())) {
            ProbeBudget budget{512ull * 1024 * 1024, fileSize};
            chm_enumerate(handle, CHM_ENUMERATE_ALL, readEveryObject, &budget);
            chm_close(handle);
            passed = !budget.looping;
        }
        inProbe = 0;
    } else {
        inProbe = 0;
        closeDescriptorsOf(path);
    }
    due.it_value.tv_sec = 0;
    timer_settime(alarm, 0, &due, nullptr);
    for (std::size_t i = 0; i < std::size(faults); ++i)
        sigaction(faults[i], &saved[i], nullptr);
    return passed;
}

// Opens the input as the program opens a file: false where the program would refuse it.
bool openAsTheProgramDoes(ChmFile &chm, const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(scratchPath().c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    QFile scratch(QString::fromStdString(scratchPath()));
    const bool headersSound = scratch.open(QIODevice::ReadOnly) && headersLookSound(scratch);
    scratch.close();
    return headersSound && survivesProbe(scratchPath(), size) &&
           chm.open(QString::fromStdString(scratchPath()));
}

} // namespace

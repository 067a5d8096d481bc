#include "platform/posix/PosixProcess.h"

#include "platform/ExecutableKind.h"
#include "qvx/helpviewer/NativeName.h"
#include "platform/OpResult.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace PosixProcess {
namespace {

class SpawnedProgram final : public TrackedProgram
{
public:
    explicit SpawnedProgram(pid_t pid) : m_pid(pid) {}
    ~SpawnedProgram() override
    {
        if (m_finished)
            return;
        // Our child until reaped: its id cannot go to another process meanwhile. If the
        // program ends first, the system adopts and reaps it.
        std::thread([pid = m_pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    SpawnedProgram(const SpawnedProgram &) = delete;
    SpawnedProgram &operator=(const SpawnedProgram &) = delete;

    bool finished() override
    {
        if (m_finished)
            return true;
        int status = 0;
        pid_t got = 0;
        do {
            got = ::waitpid(m_pid, &status, WNOHANG);
        } while (got < 0 && errno == EINTR);
        if (got == 0)
            return false;
        m_finished = true;
        // Reaped by someone else, the outcome is unknown, which is no success.
        if (got != m_pid)
            m_status = -1;
        else if (WIFEXITED(status))
            m_status = WEXITSTATUS(status);
        else
            m_status = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        return true;
    }
    int exitStatus() const override { return m_status; }

private:
    pid_t m_pid;
    bool m_finished = false;
    int m_status = -1;
};

// The file's first bytes and size; refuses anything but a regular file without ever
// waiting on a FIFO.
OpResult readHead(const QString &path, QByteArray &head, qint64 &size)
{
    const int fd = ::open(NativeName::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT && !QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return OpError::make(OpError::PathNotFound, path);
        return OpError::fromErrno(err, path);
    }
    struct stat info
    {
    };
    OpResult result;
    if (::fstat(fd, &info) != 0)
        result = OpError::fromErrno(errno, path);
    else if (!S_ISREG(info.st_mode))
        result = OpError::make(OpError::FileAccess, QStringLiteral("not a program: ") + path);
    else {
        size = info.st_size;
        head.resize(qsizetype(executableHeadSize));
        qsizetype got = 0;
        while (got < head.size()) {
            const ssize_t n = ::read(fd, head.data() + got, size_t(head.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        head.resize(got);
    }
    ::close(fd);
    return result;
}

} // namespace

OpResult startTracked(const QString &path, const QString &workingFolder,
                      std::unique_ptr<TrackedProgram> &program)
{
    program.reset();
    QByteArray head;
    qint64 size = 0;
    if (OpResult read = readHead(path, head, size); !read.ok())
        return read;

    QList<QByteArray> arguments;
    switch (classifyExecutable(head, size)) {
    case ExecutableKind::Native:
    case ExecutableKind::Script:
        arguments = {NativeName::encode(path)};
        break;
    case ExecutableKind::Windows: {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty())
            return OpError::make(OpError::FileAccess,
                                 QStringLiteral("no Windows program loader for ") + path);
        arguments = {NativeName::encode(wine), NativeName::encode(path)};
        break;
    }
    case ExecutableKind::NotExecutable:
        return OpError::make(OpError::FileAccess, QStringLiteral("not a program: ") + path);
    }
    if (!QFileInfo(workingFolder).isDir())
        return OpError::make(OpError::PathNotFound, workingFolder);

    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray folder = NativeName::encode(workingFolder);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    // Nobody answers its questions: an unpacker that would ask must decide alone.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // The program starts with no signal blocked or ignored, whatever this process does.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return OpError::fromErrno(err, path);
    program = std::make_unique<SpawnedProgram>(pid);
    return {};
}

} // namespace PosixProcess

#include "PosixProcess.h"

#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"
#include "qvx/platform/ExecutableKind.h"
#include "qvx/platform/PosixFiles.h"
#include "qvx/posix/Descriptor.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace qvx::posix {
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

std::string bytesOf(const std::filesystem::path &path)
{
    return text::fromPath(path);
}

} // namespace

std::filesystem::path findOnPath(const std::string &name)
{
    const char *paths = std::getenv("PATH");
    std::string_view rest = paths ? paths : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        // An empty entry would mean the current folder, which is no place to pick a tool from.
        if (folder.empty() || folder.front() != '/')
            continue;
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (isFile(candidate) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

OpResult commandFor(const std::filesystem::path &program, std::vector<std::string> &command)
{
    command.clear();
    const std::string name = bytesOf(program);
    const Descriptor file(openForReading(program));
    if (!file.valid()) {
        const int err = errno;
        if (err == EINVAL)
            return OpError::make(OpError::FileAccess, "not a program: " + name);
        return resultForFile(err, program);
    }
    struct stat info
    {
    };
    std::string head(executableHeadSize, '\0');
    std::size_t got = 0;
    const bool sized = ::fstat(file.get(), &info) == 0;
    while (got < head.size()) {
        const ssize_t n = ::read(file.get(), head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    head.resize(got);

    switch (classifyExecutable(head, sized ? std::uint64_t(info.st_size) : got)) {
    case ExecutableKind::Native:
    case ExecutableKind::Script:
        command = {name};
        return {};
    case ExecutableKind::Windows: {
        const std::filesystem::path wine = findOnPath("wine");
        if (wine.empty())
            return OpError::make(OpError::FileAccess, "no Windows program loader for " + name);
        command = {bytesOf(wine), name};
        return {};
    }
    case ExecutableKind::NotExecutable:
        break;
    }
    return OpError::make(OpError::FileAccess, "not a program: " + name);
}

OpResult startTracked(const std::filesystem::path &program,
                      const std::filesystem::path &workingFolder,
                      std::unique_ptr<TrackedProgram> &tracked)
{
    tracked.reset();
    std::vector<std::string> command;
    if (OpResult found = commandFor(program, command); !found.ok())
        return found;
    if (!isFolder(workingFolder))
        return OpError::make(OpError::PathNotFound, bytesOf(workingFolder));

    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
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
        return resultFromErrno(err, bytesOf(program));
    tracked = std::make_unique<SpawnedProgram>(pid);
    return {};
}

} // namespace qvx::posix

// qvx_chmreader_attempts PARENT NAME FOLDER PORT [all]: started as the program starts its reader
// (the help file as descriptor 3, the socket as 4, no environment), it confines itself as the
// reader does and then tries what a reader taken over by a hostile file would. It writes one line
// per attempt to its socket: the attempt's name, then "denied ERRNO" or "done". With "all" it puts
// up every wall the system has, namespaces as well as Landlock.
#include "Confine.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kSocket = 4;

void say(const std::string &line)
{
    const std::string text = line + '\n';
    ::send(kSocket, text.data(), text.size(), MSG_NOSIGNAL);
}

// `act` returns a negative value with errno set when the system refused.
void attempt(const char *name, const std::function<long()> &act)
{
    errno = 0;
    const long result = act();
    say(std::string(name) + (result < 0 ? " denied " + std::to_string(errno) : " done"));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 6)
        return 2;
    const pid_t parent = pid_t(std::strtol(argv[1], nullptr, 10));
    const std::string folder = argv[3];
    const int port = std::atoi(argv[4]);
    const std::string victim = folder + "/victim";

    const bool all = argc == 6 && std::string(argv[5]) == "all";
    say("layers " + std::to_string(qvx::chmreader::confine({3, kSocket, parent, -1, all})));

    attempt("open-read", [] { return long(::open("/etc/passwd", O_RDONLY)); });
    attempt("open-write", [&] { return long(::open(victim.c_str(), O_WRONLY | O_TRUNC)); });
    attempt("create", [&] {
        return long(::open((folder + "/created").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    });
    attempt("unlink", [&] { return long(::unlink(victim.c_str())); });
    attempt("rename",
            [&] { return long(::rename(victim.c_str(), (folder + "/renamed").c_str())); });
    attempt("chmod", [&] { return long(::chmod(victim.c_str(), 0777)); });
    attempt("socket-connect", [&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return -1L;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(std::uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return long(::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to));
    });
    attempt("execve", [] {
        char *const arguments[] = {const_cast<char *>("/bin/sh"), nullptr};
        char *const environment[] = {nullptr};
        return long(::execve("/bin/sh", arguments, environment));
    });
    attempt("fork", [] {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        return long(child);
    });
    attempt("ptrace", [&] { return ::ptrace(PTRACE_ATTACH, parent, nullptr, nullptr); });
    // A signal the parent ignores, so that a failure of the walls does it no harm.
    attempt("kill", [&] { return long(::kill(parent, SIGURG)); });
    attempt("parent-memory", [&] {
        return long(::open(("/proc/" + std::to_string(parent) + "/mem").c_str(), O_RDONLY));
    });
    attempt("process-vm-read", [&] {
        char byte = 0;
        iovec local{&byte, 1};
        iovec remote{reinterpret_cast<void *>(std::uintptr_t(&byte)), 1};
        return long(::process_vm_readv(parent, &local, 1, &remote, 1, 0));
    });
    say("end");
    return 0;
}

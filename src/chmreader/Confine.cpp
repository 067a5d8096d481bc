#include "Confine.h"

#include "qvx/chmreader/Protocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sched.h>
#include <seccomp.h>
#include <string>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QVX_READER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QVX_READER_SANITIZED 1
#endif
#endif
#ifndef QVX_READER_SANITIZED
#define QVX_READER_SANITIZED 0
#endif

namespace qvx::chmreader {
namespace {

constexpr bool kSanitized = QVX_READER_SANITIZED;
// Where the sanitizers write their reports.
constexpr int kReports = kSanitized ? STDERR_FILENO : -1;

void limit(int resource, rlim_t value)
{
    const rlimit bound{value, value};
    ::setrlimit(resource, &bound);
}

bool writeFile(const char *path, const std::string &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return written;
}

bool dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3]{};
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    if (::syscall(SYS_capset, &header, none) != 0)
        return false;
    __user_cap_data_struct held[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, held) != 0)
        return false;
    return std::all_of(std::begin(held), std::end(held), [](const auto &word) {
        return word.effective == 0 && word.permitted == 0 && word.inheritable == 0;
    });
}

// Root becomes a user that owns nothing, and no capability can come back.
bool leaveRoot()
{
    if (::getuid() != 0 && ::geteuid() != 0)
        return true;
    // The kernel's own "nobody" (its overflow ids), which owns no file; looking the name up
    // would cost a start of the name service, milliseconds at each reader's start.
    constexpr uid_t uid = 65534;
    constexpr gid_t gid = 65534;
    // The bounding set goes while the right to change it is still held.
    for (int capability = 0; capability < 64; ++capability)
        ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
        ::setresuid(uid, uid, uid) != 0)
        return false;
    return ::getuid() != 0 && ::geteuid() != 0;
}

// A user namespace of its own grants the rights to make a network of nothing and to put an
// empty, read-only file system at the root; the rights go again right after.
bool enterEmptyNamespaces()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET | CLONE_NEWIPC) != 0)
        return false;
    // The same user inside. A process that left root may not write its own maps until it is
    // dumpable again, for the moment it takes.
    const int dumpable = ::prctl(PR_GET_DUMPABLE);
    ::prctl(PR_SET_DUMPABLE, 1);
    writeFile("/proc/self/setgroups", "deny");
    writeFile("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1");
    writeFile("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1");
    ::prctl(PR_SET_DUMPABLE, dumpable);
    // /proc is on every Linux system and the reader needs nothing under it after this.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("none", "/proc", "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC,
                "size=4k,nr_inodes=1,mode=555") != 0 ||
        ::chdir("/proc") != 0 || ::chroot(".") != 0 || ::chdir("/") != 0)
        return false;
    return true;
}

void endWithParent(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the call above: then nothing would end this process.
    if (::getppid() != parent)
        ::_exit(3);
}

void setLimits()
{
    // Reading every object of a 16 MB help file with 20,000 objects peaks at 15 MiB of address
    // space; 256 MiB leaves room and stops runaway allocations driven by values in the file. The
    // sanitizers reserve terabytes of address space for themselves, so their builds go without.
    if (!kSanitized)
        limit(RLIMIT_AS, rlim_t(256) << 20);
    // Reading every object of that file takes about 3 s of CPU; the program's deadline ends a
    // loop long before this, which is the bound should the program itself be stuck.
    limit(RLIMIT_CPU, 120);
    limit(RLIMIT_FSIZE, 0);
    limit(RLIMIT_CORE, 0);
    limit(RLIMIT_NPROC, 0);
    limit(RLIMIT_NOFILE, 8);
}

bool closeOthers(std::vector<int> kept)
{
    std::sort(kept.begin(), kept.end());
    unsigned int from = 0;
    bool closed = true;
    for (const int fd : kept) {
        if (unsigned(fd) > from)
            closed = ::close_range(from, unsigned(fd) - 1, 0) == 0 && closed;
        from = unsigned(fd) + 1;
    }
    return ::close_range(from, ~0u, 0) == 0 && closed;
}

// The first version that also walls off TCP.
constexpr long kLandlockNetwork = 4;

long landlockVersion()
{
    return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1u /* version */);
}

bool restrictWithLandlock()
{
    // The kernel's structure grows with its version: the network and scope fields came later.
    struct
    {
        std::uint64_t fs = 0;
        std::uint64_t net = 0;
        std::uint64_t scoped = 0;
    } rules;
    const long abi = landlockVersion();
    if (abi < 1)
        return false;
    std::size_t size = sizeof rules.fs;
    rules.fs = (1ull << 13) - 1; // execute, read, write, remove and make of every kind
    if (abi >= 2)
        rules.fs |= 1ull << 13; // refer
    if (abi >= 3)
        rules.fs |= 1ull << 14; // truncate
    if (abi >= 5)
        rules.fs |= 1ull << 15; // ioctl on devices
    if (abi >= 4) {
        rules.net = 3; // bind and connect over TCP
        size += sizeof rules.net;
    }
    if (abi >= 6) {
        rules.scoped = 3; // abstract sockets and signals outside this process's domain
        size += sizeof rules.scoped;
    }
    const long ruleset = ::syscall(SYS_landlock_create_ruleset, &rules, size, 0u);
    if (ruleset < 0)
        return false;
    const bool restricted = ::syscall(SYS_landlock_restrict_self, int(ruleset), 0u) == 0;
    ::close(int(ruleset));
    return restricted;
}

// Reading the file and answering on the socket; everything else fails with EPERM. A failed
// call rather than an ended process: a path of the libraries nobody foresaw (a look at a
// locale file, say) then fails as a missing file would and the answer still comes, while a
// reader that was taken over gains nothing either way.
bool installFilter(const Confinement &what)
{
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (filter == nullptr)
        return false;
    bool ok = true;
    auto allow = [&](int call, auto... conditions) {
        ok = ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, sizeof...(conditions),
                                conditions...) == 0 &&
             ok;
    };
    const auto on = [](int fd) { return SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(fd)); };
    const auto notExecutable = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);

    for (const int file : {what.file, what.alsoRead}) {
        if (file < 0)
            continue;
        allow(SCMP_SYS(read), on(file));
        allow(SCMP_SYS(pread64), on(file));
        allow(SCMP_SYS(lseek), on(file));
    }
    allow(SCMP_SYS(read), on(what.socket));
    allow(SCMP_SYS(recvfrom), on(what.socket));
    allow(SCMP_SYS(sendto), on(what.socket));
    allow(SCMP_SYS(mmap), notExecutable);
    allow(SCMP_SYS(mprotect), notExecutable);
    for (const int call :
         {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(brk), SCMP_SYS(madvise), SCMP_SYS(futex),
          SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday), SCMP_SYS(getpid), SCMP_SYS(gettid),
          SCMP_SYS(getrandom), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn),
          SCMP_SYS(rt_sigprocmask), SCMP_SYS(restart_syscall)})
        allow(call);
    // A failed assertion ends the reader with its own signal, and only the reader.
    allow(SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(::getpid())));
    if (kSanitized) {
        // What the sanitizers' own checks and reports need beyond that: the check that memory
        // is readable writes it into a pipe, and a report names the executable.
        for (const int call :
             {SCMP_SYS(rt_sigaction), SCMP_SYS(sigaltstack), SCMP_SYS(sched_yield),
              SCMP_SYS(sched_getaffinity), SCMP_SYS(pipe), SCMP_SYS(pipe2), SCMP_SYS(write),
              SCMP_SYS(writev), SCMP_SYS(close), SCMP_SYS(readlink), SCMP_SYS(readlinkat)})
            allow(call);
    }
    ok = ok && ::seccomp_load(filter) == 0;
    ::seccomp_release(filter);
    return ok;
}

} // namespace

#if QVX_READER_SANITIZED
// The leak check at exit stops the world through ptrace, which the filter forbids.
extern "C" const char *__lsan_default_options()
{
    return "detect_leaks=0";
}
#endif

std::uint32_t confine(const Confinement &what)
{
    std::uint32_t layers = 0;
    const bool leftRoot = leaveRoot();
    // Landlock walls off the file system and the network at a tenth of what new namespaces
    // cost at each reader's start (a network namespace alone takes about a millisecond): they
    // come in where it cannot do both.
    if ((what.allWalls || landlockVersion() < kLandlockNetwork) && enterEmptyNamespaces())
        layers |= kLayerNamespaces;
    if (dropCapabilities() && leftRoot)
        layers |= kLayerNoPrivileges;
    // Set after every change of credentials, which clears it.
    endWithParent(what.parent);
    setLimits();
    std::vector<int> kept{what.file, what.socket};
    if (what.alsoRead >= 0)
        kept.push_back(what.alsoRead);
    if (kReports >= 0)
        kept.push_back(kReports);
    if (closeOthers(kept))
        layers |= kLayerDescriptors;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0)
        layers |= kLayerNoNewPrivileges;
    if (restrictWithLandlock())
        layers |= kLayerLandlock;
    for (int fault : {SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU})
        ::signal(fault, SIG_DFL);
    if (installFilter(what))
        layers |= kLayerSystemCallFilter;
    return layers;
}

} // namespace qvx::chmreader

// qvx-chmreader PARENT-PID NAME: serves one help file to the program over a socket, so that the
// decompression library runs in this process and never in the program's. The program hands
// over the file it checked as descriptor 3 and its end of the socket as descriptor 4; NAME is
// used only where the system cannot open a descriptor by name.
//
// Whatever the library does with a damaged file, the harm stays here: a crash ends this
// process, a loop is ended by the program's deadline or the CPU limit, a runaway allocation
// fails at the address space limit.
#include "Archive.h"
#include "qvx/chmreader/Protocol.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using namespace qvx::chmreader;

constexpr int kFile = 3;
constexpr int kSocket = 4;
// Far more objects than any real help file holds (the largest known have tens of thousands).
constexpr std::size_t kMaxObjects = 500'000;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

void limit(int resource, rlim_t value)
{
    const rlimit bound{value, value};
    ::setrlimit(resource, &bound);
}

void protect(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the call above: then nothing would end this process.
    if (::getppid() != parent)
        ::_exit(3);
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
    for (int fault : {SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU})
        ::signal(fault, SIG_DFL);
}

bool readAll(void *data, std::size_t size)
{
    auto *at = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::read(kSocket, at, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        size -= std::size_t(got);
    }
    return true;
}

void send(const Answer &answer)
{
    const std::string bytes = framed(encodeAnswer(answer));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t sent =
            ::send(kSocket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            ::_exit(0);
        done += std::size_t(sent);
    }
}

std::unique_ptr<Archive> openHandedFile(const char *name)
{
    if (auto archive = Archive::open("/proc/self/fd/3"))
        return archive;
    // Without /proc: the name, as long as it still leads to the file the program checked.
    struct stat handed
    {
    };
    struct stat named
    {
    };
    if (::fstat(kFile, &handed) != 0 || ::stat(name, &named) != 0 ||
        handed.st_dev != named.st_dev || handed.st_ino != named.st_ino)
        return nullptr;
    return Archive::open(name);
}

struct Listing
{
    std::vector<Entry> entries;
    bool partial = false;
};

Listing listAll(Archive &archive)
{
    Listing listing;
    // A directory chunk that leads back to one already walked repeats its entries: stop at the
    // first path seen twice and keep what came before it.
    std::unordered_set<std::string> seen;
    archive.list([&](std::string_view path, std::uint64_t size) {
        if (listing.entries.size() >= kMaxObjects || path.size() > kMaxPathBytes ||
            !seen.emplace(path).second) {
            listing.partial = true;
            return false;
        }
        listing.entries.push_back({std::string(path), size});
        return true;
    });
    return listing;
}

Answer answer(Archive &archive, const Request &request, std::optional<Listing> &listing)
{
    Answer out;
    out.op = request.op;
    switch (request.op) {
    case Op::Hello:
        break;
    case Op::List: {
        if (!listing)
            listing = listAll(archive);
        const std::vector<Entry> &all = listing->entries;
        out.total = std::uint32_t(all.size());
        out.partial = listing->partial;
        std::size_t budget = kListPageBytes;
        for (std::size_t i = request.first; i < all.size(); ++i) {
            const std::size_t cost = encodedSize(all[i]);
            if (cost > budget)
                break;
            budget -= cost;
            out.entries.push_back(all[i]);
        }
        break;
    }
    case Op::Size:
        out.status = archive.size(request.path, &out.size);
        break;
    case Op::Read:
        out.status =
            archive.read(request.path, request.offset, request.length, &out.bytes, &out.size);
        break;
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    protect(pid_t(std::strtol(argv[1], nullptr, 10)));

    std::unique_ptr<Archive> archive = openHandedFile(argv[2]);
    Answer hello;
    hello.status = archive ? Status::Ok : Status::Failed;
    send(hello);
    if (!archive)
        return 1;

    std::optional<Listing> listing;
    for (;;) {
        unsigned char header[4];
        if (!readAll(header, sizeof header))
            return 0; // the program is done with the file
        const std::optional<std::uint32_t> length = frameLength(header, kMaxRequestBytes);
        if (!length)
            return 2;
        std::string payload(*length, '\0');
        if (!readAll(payload.data(), payload.size()))
            return 2;
        const std::optional<Request> request = decodeRequest(payload);
        if (!request)
            return 2;
        send(answer(*archive, *request, listing));
    }
}

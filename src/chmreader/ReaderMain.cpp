// qvx-chmreader PARENT-PID NAME: serves one help file to the program over a socket, so that the
// decompression library runs in this process and never in the program's. The program hands
// over the file it checked as descriptor 3 and its end of the socket as descriptor 4, with an
// empty environment; NAME is only for those who look at the process list.
//
// Before the library sees a byte, the reader confines itself (Confine.h): whatever a damaged
// or hostile file makes of the library, it can read that file and answer on the socket, and
// nothing else. A crash ends this process, a loop is ended by the program's deadline or the CPU
// limit, a runaway allocation fails at the address space limit.
#include "Archive.h"
#include "Confine.h"
#include "qvx/chmreader/Protocol.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using namespace qvx::chmreader;

constexpr int kFile = 3;
constexpr int kSocket = 4;
// Far more objects than any real help file holds (the largest known have tens of thousands).
constexpr std::size_t kMaxObjects = 500'000;

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
    const pid_t parent = pid_t(std::strtol(argv[1], nullptr, 10));

    std::unique_ptr<Archive> archive;
    if (Archive::kOpensByName)
        archive = Archive::open(kFile);
    Answer hello;
    hello.layers = confine({kFile, kSocket, parent, archive ? archive->ownDescriptor() : -1});
    if (!Archive::kOpensByName)
        archive = Archive::open(kFile);
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

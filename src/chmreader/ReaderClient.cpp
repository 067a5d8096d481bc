#include "qvx/chmreader/ReaderClient.h"

#include "qvx/posix/Descriptor.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace qvx::chmreader {

namespace {

using Clock = std::chrono::steady_clock;
using posix::Descriptor;

FileIdentity identityOf(const struct stat &info)
{
    return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::uint64_t(info.st_size),
            std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
            std::int64_t(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}

// Milliseconds left for poll, at least 0.
int remaining(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<long long>(left, 60'000));
}

bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd ready{fd, events, 0};
        const int count = ::poll(&ready, 1, remaining(deadline));
        if (count > 0)
            return true;
        if (count == 0 || errno != EINTR)
            return false;
    }
}

// Above the descriptors the reader gets, so that handing one over cannot overwrite another.
Descriptor moveAbove(Descriptor fd)
{
    return Descriptor(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 10));
}

} // namespace

ReaderClient::ReaderClient(std::filesystem::path program, std::filesystem::path helpFile,
                           std::chrono::milliseconds deadline)
    : m_program(std::move(program)), m_helpFile(std::move(helpFile)), m_deadline(deadline)
{
}

ReaderClient::~ReaderClient()
{
    stop();
}

void ReaderClient::stop()
{
    m_socket.reset();
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

bool ReaderClient::readerEnded()
{
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return true;
    }
    return m_pid <= 0;
}

Outcome ReaderClient::checkFile()
{
    if (!m_opened)
        return Outcome::Ok;
    struct stat now
    {
    };
    if (::stat(m_helpFile.c_str(), &now) == 0 && identityOf(now) == m_identity)
        return Outcome::Ok;
    stop();
    m_opened = false;
    return Outcome::Changed;
}

Outcome ReaderClient::start()
{
    // Only a regular file, opened without waiting: a FIFO under the name would block the open.
    struct stat named
    {
    };
    if (::stat(m_helpFile.c_str(), &named) != 0 || !S_ISREG(named.st_mode))
        return Outcome::CannotOpen;
    Descriptor file(::open(m_helpFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat opened
    {
    };
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        return Outcome::CannotOpen;
    Descriptor handed = moveAbove(std::move(file));

    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return Outcome::CannotOpen;
    Descriptor ours = moveAbove(Descriptor(ends[0]));
    Descriptor theirs = moveAbove(Descriptor(ends[1]));
    if (handed.get() < 0 || ours.get() < 0 || theirs.get() < 0)
        return Outcome::CannotOpen;
    // Room for a whole answer, where the system allows it, so that the reader writes a page
    // at once rather than waking both sides for each part.
    const int room = int(kMaxAnswerBytes) + 4;
    ::setsockopt(theirs.get(), SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    ::setsockopt(ours.get(), SOL_SOCKET, SO_RCVBUF, &room, sizeof room);

    const std::string parent = std::to_string(::getpid());
    const std::string &program = m_program.native();
    const std::string &name = m_helpFile.native();
    char *const arguments[] = {const_cast<char *>(program.c_str()),
                               const_cast<char *>(parent.c_str()), const_cast<char *>(name.c_str()),
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, handed.get(), 3);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 4);
    // Whatever this thread blocks or this program ignores, the reader starts with the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // Nothing the reader needs comes from the environment, and a reader that was taken over
    // finds nothing of the user's there.
    char *const environment[] = {nullptr};
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return Outcome::CannotOpen;
    m_pid = pid;
    m_socket = std::move(ours);
    ::fcntl(m_socket.get(), F_SETFL, ::fcntl(m_socket.get(), F_GETFL) | O_NONBLOCK);
    m_identity = identityOf(opened);
    m_opened = true;

    Answer hello;
    if (!receiveAnswer(&hello, Clock::now() + m_deadline) || hello.op != Op::Hello ||
        hello.status != Status::Ok) {
        stop();
        return Outcome::CannotOpen;
    }
    m_layers = hello.layers;
    return Outcome::Ok;
}

bool ReaderClient::sendFrame(const std::string &bytes, Clock::time_point deadline)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t sent =
            ::send(m_socket.get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += std::size_t(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitFor(m_socket.get(), POLLOUT, deadline))
            continue;
        m_peerGone = sent < 0 && (errno == EPIPE || errno == ECONNRESET);
        return false;
    }
    return true;
}

bool ReaderClient::receiveAnswer(Answer *answer, Clock::time_point deadline)
{
    std::string frame(4, '\0');
    std::size_t got = 0;
    bool haveLength = false;
    while (got < frame.size()) {
        const ssize_t received = ::recv(m_socket.get(), frame.data() + got, frame.size() - got, 0);
        if (received > 0) {
            got += std::size_t(received);
            if (!haveLength && got == 4) {
                const auto length = frameLength(
                    reinterpret_cast<const unsigned char *>(frame.data()), kMaxAnswerBytes);
                if (!length)
                    return false;
                frame.resize(4 + std::size_t(*length));
                haveLength = true;
            }
            continue;
        }
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitFor(m_socket.get(), POLLIN, deadline))
            continue;
        // The reader ended, or the deadline passed.
        m_peerGone = received == 0 || (received < 0 && errno == ECONNRESET);
        return false;
    }
    std::optional<Answer> decoded = decodeAnswer(std::string_view(frame).substr(4));
    if (!decoded)
        return false;
    *answer = std::move(*decoded);
    return true;
}

Outcome ReaderClient::exchange(const Request &request, Answer *answer)
{
    if (const Outcome file = checkFile(); file != Outcome::Ok)
        return file;
    // A reader found gone when asked (ended between requests, killed from outside) is
    // replaced once; one that ends again on the same request failed on it.
    for (int attempt = 0;; ++attempt) {
        if (m_pid > 0 && readerEnded())
            stop();
        if (m_pid <= 0) {
            if (const Outcome started = start(); started != Outcome::Ok)
                return started;
        }
        m_peerGone = false;
        const Clock::time_point deadline = Clock::now() + m_deadline;
        if (sendFrame(framed(encodeRequest(request)), deadline) &&
            receiveAnswer(answer, deadline) && answer->op == request.op)
            break;
        const bool retry = m_peerGone && attempt == 0;
        stop();
        if (!retry)
            return Outcome::Unreadable;
        if (const Outcome file = checkFile(); file != Outcome::Ok)
            return file;
    }
    switch (answer->status) {
    case Status::Ok:
        return Outcome::Ok;
    case Status::NotFound:
        return Outcome::NotFound;
    case Status::Failed:
        break;
    }
    return Outcome::Unreadable;
}

Outcome ReaderClient::list(std::vector<Entry> *entries, bool *partial)
{
    entries->clear();
    std::uint32_t total = 0;
    for (;;) {
        Request request;
        request.op = Op::List;
        request.first = std::uint32_t(entries->size());
        Answer answer;
        if (const Outcome outcome = exchange(request, &answer); outcome != Outcome::Ok) {
            entries->clear();
            return outcome;
        }
        // Each page must bring the listing closer to its end, and agree on where that is.
        if ((answer.entries.empty() && entries->size() != answer.total) ||
            answer.total - entries->size() < answer.entries.size() ||
            (!entries->empty() && answer.total != total)) {
            stop();
            entries->clear();
            return Outcome::Unreadable;
        }
        total = answer.total;
        entries->insert(entries->end(), std::make_move_iterator(answer.entries.begin()),
                        std::make_move_iterator(answer.entries.end()));
        if (entries->size() == answer.total) {
            if (partial)
                *partial = answer.partial;
            return Outcome::Ok;
        }
    }
}

Outcome ReaderClient::readPart(std::string_view path, std::uint64_t offset, std::uint32_t length,
                               std::string *bytes, std::uint64_t *size)
{
    bytes->clear();
    if (path.size() > kMaxPathBytes)
        return Outcome::NotFound;
    Request request;
    request.op = Op::Read;
    request.path = path;
    request.offset = offset;
    request.length = std::min(length, kMaxChunkBytes);
    Answer answer;
    const Outcome outcome = exchange(request, &answer);
    if (outcome != Outcome::Ok)
        return outcome;
    // Exactly what lies between the offset and the object's end, up to the length asked.
    const std::uint64_t expected =
        offset >= answer.size ? 0 : std::min<std::uint64_t>(request.length, answer.size - offset);
    if (answer.bytes.size() != expected) {
        stop();
        return Outcome::Unreadable;
    }
    *bytes = std::move(answer.bytes);
    *size = answer.size;
    return Outcome::Ok;
}

Outcome ReaderClient::read(std::string_view path, ObjectSink &sink)
{
    // The first part tells the object's size: a page usually comes in one request.
    std::string part;
    std::uint64_t total = 0;
    if (const Outcome outcome = readPart(path, 0, kMaxChunkBytes, &part, &total);
        outcome != Outcome::Ok)
        return outcome;
    if (!sink.accept(total))
        return Outcome::TooLarge;
    std::uint64_t done = part.size();
    sink.append(part);
    std::uint64_t size = 0;
    while (done < total) {
        if (const Outcome outcome = readPart(path, done, kMaxChunkBytes, &part, &size);
            outcome != Outcome::Ok)
            return outcome;
        // The object cannot change size under the same file.
        if (size != total || part.empty()) {
            stop();
            return Outcome::Unreadable;
        }
        done += part.size();
        sink.append(part);
    }
    return Outcome::Ok;
}

Outcome ReaderClient::read(std::string_view path, std::string *bytes, std::uint64_t limit,
                           std::uint64_t *objectSize)
{
    class Whole final : public ObjectSink
    {
    public:
        Whole(std::uint64_t limit, std::uint64_t *size) : m_limit(limit), m_size(size) {}
        bool accept(std::uint64_t size) override
        {
            if (m_size)
                *m_size = size;
            if (size > m_limit)
                return false;
            bytes.reserve(std::size_t(size));
            return true;
        }
        void append(std::string_view part) override { bytes.append(part); }
        std::string bytes;

    private:
        std::uint64_t m_limit;
        std::uint64_t *m_size;
    };
    bytes->clear();
    Whole whole(limit, objectSize);
    const Outcome outcome = read(path, whole);
    if (outcome == Outcome::Ok)
        *bytes = std::move(whole.bytes);
    return outcome;
}

} // namespace qvx::chmreader

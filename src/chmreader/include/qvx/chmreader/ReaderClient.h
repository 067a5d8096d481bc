#pragma once
// The program's side of qvx-chmreader: it starts a reader for one help file, asks it for the
// file's objects and waits for each answer no longer than a deadline. A reader that misses it,
// crashes or answers out of protocol is ended (and reaped) and the request fails; the next
// request starts a new reader. Before each request the file's identity is compared with the
// one the reader opened: a changed file ends the reader and is reported once as changed.
//
// One object serves one thread at a time. The reader is started with PR_SET_PDEATHSIG, which
// fires when the thread that started it ends: use it from a thread that lives as long as the
// reader is wanted.
#include "qvx/chmreader/Outcome.h"
#include "qvx/chmreader/Protocol.h"
#include "qvx/posix/Descriptor.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qvx::chmreader {

// What the file was when its reader opened it.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds

    bool operator==(const FileIdentity &) const = default;
};

// Where a read puts an object: told its whole size before any of it arrives (false refuses the
// object as too large, and room can be made for it), then given its parts in order. After any
// outcome but Ok, what it was given is no object.
class ObjectSink
{
public:
    virtual ~ObjectSink() = default;
    virtual bool accept(std::uint64_t size) = 0;
    virtual void append(std::string_view part) = 0;
};

class ReaderClient
{
public:
    // The slowest request on the largest help file at hand (a 1 MiB range of a 10 MiB index,
    // 16 MB file, 20,000 objects) takes 75 ms here, its listing 50 ms: the deadline leaves a
    // wide margin for a loaded machine and still ends a looping reader within seconds.
    static constexpr std::chrono::milliseconds kDeadline{2000};

    // `program` is the reader's path as the file system's bytes; `helpFile` likewise.
    ReaderClient(std::filesystem::path program, std::filesystem::path helpFile,
                 std::chrono::milliseconds deadline = kDeadline);
    ~ReaderClient();
    ReaderClient(const ReaderClient &) = delete;
    ReaderClient &operator=(const ReaderClient &) = delete;

    // Every object, in directory order; `partial` when the directory is damaged past them.
    Outcome list(std::vector<Entry> *entries, bool *partial = nullptr);
    // A whole object into `sink`, part by part: a large object is never held twice.
    Outcome read(std::string_view path, ObjectSink &sink);
    // A whole object, refused when larger than `limit`; `objectSize` tells its size either way.
    Outcome read(std::string_view path, std::string *bytes,
                 std::uint64_t limit = std::uint64_t(64) << 20,
                 std::uint64_t *objectSize = nullptr);

    // Ends the reader, if one runs; the next request starts another.
    void stop();
    // The running reader's process id, or -1: for tests.
    pid_t readerProcess() const { return m_pid; }
    // The walls the running reader stands behind (Layer bits), or 0.
    std::uint32_t readerLayers() const { return m_pid > 0 ? m_layers : 0; }

private:
    Outcome exchange(const Request &request, Answer *answer);
    Outcome readPart(std::string_view path, std::uint64_t offset, std::uint32_t length,
                     std::string *bytes, std::uint64_t *size);
    Outcome checkFile();
    Outcome start();
    bool sendFrame(const std::string &bytes, std::chrono::steady_clock::time_point deadline);
    bool receiveAnswer(Answer *answer, std::chrono::steady_clock::time_point deadline);
    bool readerEnded();

    std::filesystem::path m_program;
    std::filesystem::path m_helpFile;
    std::chrono::milliseconds m_deadline;
    pid_t m_pid = -1;
    posix::Descriptor m_socket;
    bool m_peerGone = false; // the last exchange failed as the reader had ended
    bool m_opened = false;   // whether m_identity is the file a reader opened
    FileIdentity m_identity;
    std::uint32_t m_layers = 0;
};

} // namespace qvx::chmreader

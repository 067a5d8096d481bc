// The help file reader process and its client: what comes through equals what the library
// reads in process, and a reader that fails, a file that changes and a client that dies leave
// no reader, zombie or descriptor behind.
#include "qvx/chmreader/ReaderClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#ifdef QVX_TEST_HAVE_CHMLIB
#include <chm_lib.h>
#endif
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvx::chmreader;
using namespace std::chrono_literals;

namespace {

#ifdef QVX_TEST_HAVE_CHMLIB
struct InProcess
{
    std::vector<Entry> entries;
    std::map<std::string, std::string> contents;
};

InProcess readInProcess(const fs::path &file)
{
    InProcess read;
    chmFile *chm = chm_open(file.c_str());
    if (chm == nullptr)
        return read;
    // Directory names are not objects: the reader does not list them.
    chm_enumerate(
        chm, CHM_ENUMERATE_ALL & ~CHM_ENUMERATE_DIRS,
        [](chmFile *handle, chmUnitInfo *unit, void *context) {
            auto &out = *static_cast<InProcess *>(context);
            out.entries.push_back({unit->path, unit->length});
            std::string bytes(unit->length, '\0');
            chm_retrieve_object(handle, unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                                LONGINT64(unit->length));
            out.contents[unit->path] = std::move(bytes);
            return CHM_ENUMERATOR_CONTINUE;
        },
        &read);
    chm_close(chm);
    return read;
}
#endif

// No child of this process, running or ended and unreaped, is left.
void expectNoChildren()
{
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

bool ended(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

std::size_t openDescriptors()
{
    return std::size_t(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "chmreader-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

// A copy made beside the target and renamed over it, as a new version of a file arrives.
void replaceWith(const fs::path &source, const fs::path &target)
{
    const fs::path beside = target.string() + ".new";
    fs::copy_file(source, beside, fs::copy_options::overwrite_existing);
    fs::rename(beside, target);
}

TEST(ChmReader, ReadsWhatTheLibraryReadsInProcess)
{
#ifndef QVX_TEST_HAVE_CHMLIB
    GTEST_SKIP() << "chmlib, which the reader is compared with, is not installed";
#else
    for (const fs::path &file :
         {fs::path(QVX_TEST_HELP_FILE), fs::path(QVX_TEST_CHM_CORPUS) / "quorvex-demos.chm",
          fs::path(QVX_TEST_CHM_CORPUS) / "cyrillic.chm"}) {
        SCOPED_TRACE(file.string());
        const InProcess expected = readInProcess(file);
        ASSERT_FALSE(expected.entries.empty());
        ReaderClient client(QVX_TEST_READER, file);
        std::vector<Entry> entries;
        bool partial = true;
        ASSERT_EQ(client.list(&entries, &partial), Outcome::Ok);
        EXPECT_FALSE(partial);
        EXPECT_EQ(entries, expected.entries);
        for (const auto &[path, bytes] : expected.contents) {
            std::string got;
            ASSERT_EQ(client.read(path, &got), Outcome::Ok) << path;
            EXPECT_EQ(got, bytes) << path;
        }
        const auto largest = std::max_element(
            expected.contents.begin(), expected.contents.end(),
            [](const auto &a, const auto &b) { return a.second.size() < b.second.size(); });
        std::string range;
        EXPECT_EQ(client.read("/no such page.htm", &range), Outcome::NotFound);
        EXPECT_EQ(client.read(largest->first, &range, largest->second.size() - 1),
                  Outcome::TooLarge);
        EXPECT_EQ(client.read(std::string(2000, 'a'), &range), Outcome::NotFound);
    }
    expectNoChildren();
#endif
}

TEST(ChmReader, LargeObjectArrivesInPartsAfterItsSize)
{
    // Told the size before any byte, so that a caller can refuse it or make room for it.
    class Recording final : public ObjectSink
    {
    public:
        explicit Recording(std::uint64_t limit) : m_limit(limit) {}
        bool accept(std::uint64_t size) override
        {
            EXPECT_FALSE(told) << "told twice";
            EXPECT_TRUE(bytes.empty()) << "told after its parts";
            told = size;
            return size <= m_limit;
        }
        void append(std::string_view part) override
        {
            EXPECT_TRUE(told) << "a part before the size";
            EXPECT_LE(part.size(), kMaxChunkBytes);
            bytes += part;
            ++parts;
        }
        std::optional<std::uint64_t> told;
        std::string bytes;
        int parts = 0;

    private:
        std::uint64_t m_limit;
    };
    // An 18 MB page, written by the test's own script.
    ReaderClient client(QVX_TEST_READER, QVX_TEST_BOMB_FILE);
    Recording whole(std::uint64_t(64) << 20);
    ASSERT_EQ(client.read("/bomb.htm", whole), Outcome::Ok);
    ASSERT_TRUE(whole.told);
    EXPECT_EQ(whole.bytes.size(), *whole.told);
    EXPECT_GT(whole.parts, 16);
    EXPECT_TRUE(whole.bytes.starts_with("<html><head><title>Bomb</title>"));
    EXPECT_TRUE(whole.bytes.ends_with("abcdefghij</td></tr>\n</table></body></html>\n"));

    Recording refusing(1024);
    EXPECT_EQ(client.read("/bomb.htm", refusing), Outcome::TooLarge);
    EXPECT_EQ(refusing.told, whole.told);
    EXPECT_EQ(refusing.parts, 0);
    client.stop();
    expectNoChildren();
}

TEST(ChmReader, DamagedFilesFailWithinTheDeadline)
{
    // Files that crash the library, loop in it, make it allocate without bound or reach its
    // undefined arithmetic.
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(QVX_TEST_CHM_CORPUS)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("crash-") || name.starts_with("hang-") || name.starts_with("oom-") ||
            name.starts_with("ub-") || name.starts_with("chmlib-"))
            files.push_back(entry.path());
    }
    for (const char *name : {"chmlib-index-loop.chm", "chmlib-directory-loop.chm"})
        files.push_back(fs::path(QVX_TEST_HELP_DATA) / name);
    ASSERT_GE(files.size(), 8u);
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.string());
        ReaderClient client(QVX_TEST_READER, file, 500ms);
        const auto started = std::chrono::steady_clock::now();
        std::vector<Entry> entries;
        const Outcome listed = client.list(&entries);
        // Each object listed is read or refused; none holds the caller past its deadline.
        for (std::size_t i = 0; i < std::min<std::size_t>(entries.size(), 20); ++i) {
            std::string bytes;
            const Outcome read = client.read(entries[i].path, &bytes);
            EXPECT_NE(read, Outcome::Changed);
        }
        if (listed != Outcome::Ok) {
            EXPECT_TRUE(listed == Outcome::Unreadable || listed == Outcome::CannotOpen);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
    }
    expectNoChildren();
}

TEST(ChmReader, SelfLoopingDirectoryListsWhatComesBeforeTheLoop)
{
    const fs::path file =
        fs::path(QVX_TEST_CHM_CORPUS) / "hang-directory-chunk-points-at-itself.chm";
    ReaderClient client(QVX_TEST_READER, file, 1s);
    std::vector<Entry> entries;
    bool partial = false;
    // A library that reads the chunks in file order instead of following their links sees
    // no loop, and lists the whole directory.
    ASSERT_EQ(client.list(&entries, &partial), Outcome::Ok);
    ASSERT_FALSE(entries.empty());
    std::set<std::string> paths;
    for (const Entry &entry : entries)
        EXPECT_TRUE(paths.insert(entry.path).second) << entry.path << " listed twice";
    std::string bytes;
    EXPECT_EQ(client.read(entries.front().path, &bytes), Outcome::Ok);
}

TEST(ChmReader, FailingReadersAreEndedAndReaped)
{
    const TempDir links;
    struct Case
    {
        const char *mode;
        Outcome outcome;
    };
    for (const Case &test :
         {Case{"silent", Outcome::CannotOpen}, Case{"hang", Outcome::Unreadable},
          Case{"garbage", Outcome::Unreadable}, Case{"huge", Outcome::Unreadable},
          Case{"half", Outcome::Unreadable}}) {
        SCOPED_TRACE(test.mode);
        // Readers get no environment: the stand-in takes its part from its name.
        const fs::path standIn = links.path() / (std::string("standin-") + test.mode);
        fs::create_symlink(QVX_TEST_STANDIN, standIn);
        ReaderClient client(standIn, QVX_TEST_HELP_FILE, 300ms);
        const auto started = std::chrono::steady_clock::now();
        std::string bytes;
        EXPECT_EQ(client.read("/page.htm", &bytes), test.outcome);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
        EXPECT_EQ(client.readerProcess(), -1);
        expectNoChildren();
    }
    ReaderClient missing(fs::path(QVX_TEST_READER).parent_path() / "no-such-reader",
                         QVX_TEST_HELP_FILE);
    std::vector<Entry> entries;
    EXPECT_EQ(missing.list(&entries), Outcome::CannotOpen);
    expectNoChildren();
}

TEST(ChmReader, ReaderKilledBetweenRequestsIsReplaced)
{
    ReaderClient client(QVX_TEST_READER, QVX_TEST_HELP_FILE);
    std::vector<Entry> entries;
    ASSERT_EQ(client.list(&entries), Outcome::Ok);
    const pid_t first = client.readerProcess();
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    // Until the kernel has ended it, the reader may still look alive to the client.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, id_t(first), &info, WEXITED | WNOWAIT), 0);
    std::vector<Entry> again;
    EXPECT_EQ(client.list(&again), Outcome::Ok);
    EXPECT_EQ(again, entries);
    EXPECT_NE(client.readerProcess(), first);
    client.stop();
    expectNoChildren();
}

TEST(ChmReader, ChangedFileEndsItsReader)
{
    TempDir dir;
    const fs::path file = dir.path() / "help.chm";
    const fs::path other = fs::path(QVX_TEST_CHM_CORPUS) / "cyrillic.chm";
    fs::copy_file(QVX_TEST_HELP_FILE, file);
    ReaderClient client(QVX_TEST_READER, file);
    std::vector<Entry> entries;
    ASSERT_EQ(client.list(&entries), Outcome::Ok);
    const std::size_t descriptors = openDescriptors();

    // Replaced: reported once, then the new file is read.
    pid_t reader = client.readerProcess();
    replaceWith(other, file);
    EXPECT_EQ(client.list(&entries), Outcome::Changed);
    EXPECT_EQ(client.readerProcess(), -1);
    EXPECT_TRUE(ended(reader));
    ASSERT_EQ(client.list(&entries), Outcome::Ok);
    std::vector<Entry> others;
    ASSERT_EQ(ReaderClient(QVX_TEST_READER, other).list(&others), Outcome::Ok);
    EXPECT_EQ(entries, others);
    EXPECT_NE(entries.size(), 0u);

    // Truncated in place: nothing of it can be read any more.
    fs::resize_file(file, 100);
    EXPECT_EQ(client.list(&entries), Outcome::Changed);
    EXPECT_EQ(client.list(&entries), Outcome::CannotOpen);

    // Deleted.
    replaceWith(QVX_TEST_HELP_FILE, file);
    EXPECT_EQ(client.list(&entries), Outcome::Changed);
    ASSERT_EQ(client.list(&entries), Outcome::Ok);
    fs::remove(file);
    std::string bytes;
    EXPECT_EQ(client.read(entries.front().path, &bytes), Outcome::Changed);
    EXPECT_EQ(client.read(entries.front().path, &bytes), Outcome::CannotOpen);

    // Many versions: one reader at a time, and no descriptor kept for an old one.
    fs::copy_file(QVX_TEST_HELP_FILE, file);
    for (int version = 0; version < 200; ++version) {
        const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000 + version, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        const Outcome outcome = client.read(entries.front().path, &bytes);
        ASSERT_TRUE(outcome == Outcome::Changed || outcome == Outcome::Ok);
        if (outcome == Outcome::Changed) {
            ASSERT_EQ(client.read(entries.front().path, &bytes), Outcome::Ok);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(-1, &status, WNOHANG), 0); // the one reader still runs
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    client.stop();
    expectNoChildren();
}

TEST(ChmReader, ReaderEndsWithTheClientsProcess)
{
    // Orphans come to this process, so that their end can be seen and reaped here.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t owner = ::fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        ::close(ends[0]);
        ReaderClient client(QVX_TEST_READER, QVX_TEST_HELP_FILE);
        std::vector<Entry> entries;
        pid_t pids[2] = {client.list(&entries) == Outcome::Ok ? client.readerProcess() : -1, -1};
        // A copy of this process keeps the socket open: only the owner's death can end the
        // reader, not the end of its requests.
        pids[1] = pids[0] > 0 ? ::fork() : -1;
        if (pids[1] == 0)
            for (;;)
                ::pause();
        (void)!::write(ends[1], pids, sizeof pids);
        for (;;)
            ::pause();
    }
    // Should the owner fail before it writes, the read ends instead of waiting for ever.
    ::close(ends[1]);
    pid_t pids[2] = {-1, -1};
    const ssize_t got = ::read(ends[0], pids, sizeof pids);
    ::kill(owner, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(owner, &status, 0), owner);
    ASSERT_EQ(got, ssize_t(sizeof pids));
    const pid_t reader = pids[0];
    ASSERT_GT(reader, 0);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(reader, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(reaped, reader);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ::kill(pids[1], SIGKILL);
    ::waitpid(pids[1], &status, 0);
    if (reaped != reader) {
        ::kill(reader, SIGKILL);
        ::waitpid(reader, &status, 0);
    }
    ::close(ends[0]);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    expectNoChildren();
}

// What a reader taken over by a hostile file would try first: every attempt fails, as an
// ordinary user and as root.
TEST(ChmReader, ConfinedReaderCanDoNothingButReadAndAnswer)
{
    const TempDir dir;
    // Open to anyone, so that only the walls, not the reader's user, stop the attempts.
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path victim = dir.path() / "victim";
    std::ofstream(victim) << "the user's own file";
    fs::permissions(victim, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                                ~fs::perms::others_exec);

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);

    // As the reader stands, and with every wall the system has (namespaces too).
    for (const std::string walls : {"", "all"}) {
        SCOPED_TRACE(walls);
        const int file = ::open(QVX_TEST_HELP_FILE, O_RDONLY | O_CLOEXEC);
        int ends[2];
        ASSERT_GE(file, 0);
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, file, 3);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 4);
        const std::string parent = std::to_string(::getpid());
        const std::string port = std::to_string(ntohs(address.sin_port));
        const std::string folder = dir.path().string();
        std::vector<char *> arguments{
            const_cast<char *>(QVX_TEST_ATTEMPTS), const_cast<char *>(parent.c_str()),
            const_cast<char *>(QVX_TEST_HELP_FILE), const_cast<char *>(folder.c_str()),
            const_cast<char *>(port.c_str())};
        if (!walls.empty())
            arguments.push_back(const_cast<char *>(walls.c_str()));
        arguments.push_back(nullptr);
        char *const environment[] = {nullptr};
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, QVX_TEST_ATTEMPTS, &actions, nullptr, arguments.data(),
                                environment),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        ::close(file);

        std::string said;
        char buffer[512];
        for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, std::size_t(got));
        ::close(ends[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);

        std::map<std::string, std::string> outcomes;
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t space = line.find(' ');
            outcomes[line.substr(0, space)] =
                space == std::string::npos ? "" : line.substr(space + 1);
        }
        ASSERT_TRUE(outcomes.count("end")) << said;
        const std::uint32_t layers = std::uint32_t(std::stoul(outcomes["layers"]));
        const std::uint32_t required =
            kLayerNoPrivileges | kLayerNoNewPrivileges | kLayerSystemCallFilter | kLayerDescriptors;
        EXPECT_EQ(layers & required, required) << said;
        std::cout << "walls " << layers << " (uid " << ::getuid() << ")\n" << said;
        outcomes.erase("layers");
        outcomes.erase("end");
        EXPECT_EQ(outcomes.size(), 13u) << said;
        for (const auto &[attempt, outcome] : outcomes)
            EXPECT_TRUE(outcome.starts_with("denied ")) << attempt << ": " << outcome;
    }

    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own file");
    EXPECT_EQ(fs::status(victim).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(fs::exists(dir.path() / "created"));
    EXPECT_EQ(::accept(listener, nullptr, nullptr), -1);
    EXPECT_EQ(errno, EAGAIN);
    ::close(listener);
    expectNoChildren();
}

// Seen from outside, a running reader holds its file and its socket, a filter and no
// environment.
TEST(ChmReader, RunningReaderHoldsItsFileAndSocketOnly)
{
    ReaderClient client(QVX_TEST_READER, QVX_TEST_HELP_FILE);
    std::vector<Entry> entries;
    ASSERT_EQ(client.list(&entries), Outcome::Ok);
    const fs::path process = "/proc/" + std::to_string(client.readerProcess());

    std::ifstream statusFile(process / "status");
    std::map<std::string, std::string> status;
    for (std::string line; std::getline(statusFile, line);)
        if (const std::size_t colon = line.find(':'); colon != std::string::npos)
            status[line.substr(0, colon)] =
                line.substr(std::min(line.size(), line.find_first_not_of(" \t", colon + 1)));
    EXPECT_EQ(status["Seccomp"], "2");
    EXPECT_EQ(status["NoNewPrivs"], "1");
    EXPECT_EQ(status["CapEff"], "0000000000000000");
    EXPECT_NE(status["Uid"].substr(0, 2), "0\t");

    std::map<int, fs::path> descriptors;
    for (const fs::directory_entry &entry : fs::directory_iterator(process / "fd"))
        descriptors[std::stoi(entry.path().filename().string())] = fs::read_symlink(entry.path());
    // The sanitizers' builds keep standard error for their reports.
    descriptors.erase(2);
    EXPECT_TRUE(descriptors[4].string().starts_with("socket:")) << descriptors[4];
    descriptors.erase(4);
    // The file, and with chmlib the library's own descriptor of it.
    EXPECT_EQ(descriptors.count(3), 1u);
    EXPECT_LE(descriptors.size(), 2u);
    for (const auto &[number, target] : descriptors)
        EXPECT_EQ(target, fs::canonical(QVX_TEST_HELP_FILE)) << number;
    EXPECT_EQ(fs::file_size(process / "environ"), 0u);
    std::ifstream environ(process / "environ");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(environ), {}), "");

    const std::uint32_t required =
        kLayerNoPrivileges | kLayerNoNewPrivileges | kLayerSystemCallFilter | kLayerDescriptors;
    EXPECT_EQ(client.readerLayers() & required, required);
}

} // namespace

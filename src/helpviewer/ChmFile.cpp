#include "qvx/helpviewer/ChmFile.h"

#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmBinaryIndex.h"
#include "qvx/helpviewer/NativeName.h"

#include "qvx/chm/Bytes.h"
#include "qvx/chm/Container.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <chm_lib.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr qint64 maxSystemSize = qvx::chm::maxSystemBytes;

std::string_view viewOf(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

struct EnumerateContext
{
    const char *suffix;
    QString found;
};

int findBySuffix(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *wanted = static_cast<EnumerateContext *>(context);
    const QString path = QString::fromUtf8(unit->path, qstrnlen(unit->path, CHM_MAX_PATHLEN));
    // Only top-level objects: the project's sitemaps live at the root.
    if (path.count(QLatin1Char('/')) == 1 &&
        path.endsWith(QLatin1String(wanted->suffix), Qt::CaseInsensitive)) {
        wanted->found = path;
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

// What the headers say of the file's layout.
struct Layout
{
    quint64 contentOffset = 0; // where the objects of section 0 start
};

using qvx::chm::DirectoryEntry;

// What the directory's listing chunks hold of the compression: chmlib looks these objects up
// as it opens the file, and trusts them.
struct CompressionEntries
{
    QList<DirectoryEntry> resetTables;
    QList<DirectoryEntry> controlData;
    quint64 compressedEnd = 0; // of the furthest object of the compressed section
};

void collectEntries(std::string_view chunk, CompressionEntries *found)
{
    qvx::chm::forEachListingEntry(chunk, [found](std::string_view name,
                                                 const DirectoryEntry &entry) {
        if (entry.space == 1 && entry.start <= std::numeric_limits<quint64>::max() - entry.length)
            found->compressedEnd = qMax(found->compressedEnd, entry.start + entry.length);
        else if (entry.space == 1)
            found->compressedEnd = std::numeric_limits<quint64>::max();
        // chmlib matches names ignoring ASCII case.
        const QByteArray named(name.data(), qsizetype(name.size()));
        if (named.compare(qvx::chm::resetTablePath, Qt::CaseInsensitive) == 0)
            found->resetTables.append(entry);
        else if (named.compare(qvx::chm::controlDataPath, Qt::CaseInsensitive) == 0)
            found->controlData.append(entry);
    });
}

// chmlib decompresses a block into a buffer of the length the reset table states, and reads
// the block's compressed span, as the table gives it, into one that much longer: refuse a
// block length beyond the window, and spans that are negative or overrun, or that the table
// does not hold.
bool compressionFits(QFile &file, quint64 contentOffset, const CompressionEntries &found)
{
    const quint64 size = quint64(file.size());
    const auto readObject = [&](const DirectoryEntry &entry, quint64 limit) -> QByteArray {
        if (entry.space != 0 || entry.start > size - contentOffset ||
            entry.length > size - contentOffset - entry.start ||
            !file.seek(qint64(contentOffset + entry.start)))
            return {};
        return file.read(qint64(qMin(entry.length, limit)));
    };
    // chmlib reads no control data larger than this, and then leaves the file closed.
    constexpr quint64 maxControlData = 256;
    for (const DirectoryEntry &table : found.resetTables) {
        const std::optional<qvx::chm::ResetTable> header = qvx::chm::parseResetTable(
            viewOf(readObject(table, qvx::chm::ResetTable::headerLength)));
        if (!header || header->version != 2)
            continue; // chmlib leaves the compressed section unread
        const quint64 blockCount = header->blockCount;
        const quint64 tableOffset = header->tableOffset;
        const quint64 blockLength = header->blockLength;
        if (blockLength == 0 || found.controlData.isEmpty())
            return false;
        for (const DirectoryEntry &control : found.controlData) {
            const std::optional<qvx::chm::LzxControl> parameters =
                qvx::chm::parseControlData(viewOf(readObject(control, maxControlData)));
            if (!parameters || blockLength > parameters->windowSize)
                return false;
        }
        if (found.compressedEnd > 0 &&
            (blockCount == 0 || found.compressedEnd > blockCount * blockLength))
            return false;
        if (tableOffset > table.length || blockCount > (table.length - tableOffset) / 8)
            return false;
        const QByteArray starts = readObject(table, tableOffset + blockCount * 8).mid(tableOffset);
        if (quint64(starts.size()) != blockCount * 8)
            return false;
        for (quint64 block = 0; block < blockCount; ++block) {
            const quint64 start = *qvx::chm::u64At(viewOf(starts), block * 8);
            const quint64 end = block + 1 < blockCount
                                    ? *qvx::chm::u64At(viewOf(starts), block * 8 + 8)
                                    : header->compressedLength;
            const auto span = qint64(end - start);
            if (span < 0 || quint64(span) > blockLength + 6144)
                return false;
        }
    }
    return true;
}

// chmlib allocates a directory block of the length the file states, reads a chunk's header
// from it, follows the listing chunks from one to the next as far as they lead, and reads the
// headers without checking the file is one: refuse others, absurd or too short block lengths,
// a directory the file is too short to hold and a chain of chunks leading out of it or round
// in a circle, early, with what the compression tables state (see compressionFits).
std::optional<Layout> readLayout(QFile &file)
{
    using qvx::chm::DirectoryHeader;
    constexpr quint32 maxDirectoryBlock = 1024 * 1024;
    constexpr quint32 chunkHeader = 0x14;
    const quint64 size = quint64(file.size());
    const std::optional<qvx::chm::FileHeader> header =
        qvx::chm::parseFileHeader(viewOf(file.read(qvx::chm::FileHeader::readLength)));
    if (!header || header->directoryOffset > size || !file.seek(qint64(header->directoryOffset)))
        return std::nullopt;
    const std::optional<DirectoryHeader> directory =
        qvx::chm::parseDirectoryHeader(viewOf(file.read(DirectoryHeader::length)));
    if (!directory)
        return std::nullopt;
    const quint32 blockLength = directory->blockLength;
    const quint64 blocks = directory->blocks;
    if (blockLength < chunkHeader || blockLength > maxDirectoryBlock ||
        blocks * blockLength > size - header->directoryOffset - DirectoryHeader::length)
        return std::nullopt;
    if (header->contentOffset > size)
        return std::nullopt;

    // The chunks follow the header chmlib accepts, and no other.
    if (directory->headerLength != DirectoryHeader::length)
        return std::nullopt;
    const QByteArray chunks = file.read(qint64(blocks * blockLength));
    if (quint64(chunks.size()) != blocks * blockLength)
        return std::nullopt;
    const auto chunk = [&](quint64 index) {
        return viewOf(chunks).substr(std::size_t(index * blockLength), blockLength);
    };
    quint64 steps = 0;
    for (qint64 at = directory->firstListing; at != -1; ++steps) {
        if (at < 0 || quint64(at) >= blocks || steps >= blocks)
            return std::nullopt;
        const std::string_view listing = chunk(quint64(at));
        if (!qvx::chm::isListingChunk(listing))
            break; // chmlib's listing ends there
        at = qvx::chm::nextListingChunk(listing);
    }
    // Every listing chunk, whichever way chmlib comes to it.
    CompressionEntries compression;
    for (quint64 index = 0; index < blocks; ++index) {
        if (const std::string_view listing = chunk(index); qvx::chm::isListingChunk(listing))
            collectEntries(listing, &compression);
    }
    if (!compressionFits(file, header->contentOffset, compression))
        return std::nullopt;
    return Layout{header->contentOffset};
}

struct Extent
{
    quint64 end = 0; // of the furthest object stored uncompressed, from the content start
    quint64 entries = 0;
};

int furthestEnd(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *extent = static_cast<Extent *>(context);
    if (extent->entries-- == 0)
        return CHM_ENUMERATOR_FAILURE;
    if (unit->space == CHM_UNCOMPRESSED)
        extent->end = qMax(extent->end, unit->start + unit->length);
    return CHM_ENUMERATOR_CONTINUE;
}

// Where the probe program lies, and how many probes ran (for tests).
QString &probeProgramPath()
{
    static QString path;
    return path;
}
std::mutex probeProgramLock;
std::atomic<int> probesStarted = 0;
std::atomic<bool> probesCancelled = false;
std::atomic<ChmFile::InProcessProbe> inProcessProbe = nullptr;

QString probeProgram()
{
    const std::lock_guard lock(probeProgramLock);
    return probeProgramPath();
}

} // namespace

// chmlib has faults of its own on damaged files (divisions by zero, endless loops) that no
// check of ours can foresee. The probe program opens and reads the file first, and the viewer
// touches only what the probe came through: first what the first page needs, which the probe
// reports on a pipe, then, once it ends well, everything. The file it reads is the one checked
// here, handed on as its descriptor 3.
struct ChmFile::Probe
{
    pid_t pid = -1;
    int report = -1; // the pipe's end to read, while it is open
    QElapsedTimer started;
    QByteArray received;
    bool cleared = false;
    std::optional<bool> verdict;

    ~Probe()
    {
        if (report >= 0)
            ::close(report);
        if (!verdict && pid > 0) {
            ::kill(pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    // Waits up to `pause` ms for news from the probe.
    void follow(int pause)
    {
        if (verdict)
            return;
        if (report >= 0) {
            pollfd ready{report, POLLIN, 0};
            if (::poll(&ready, 1, pause) > 0)
                readReport();
        } else {
            ::usleep(useconds_t(pause) * 1000);
        }
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (report >= 0)
                readReport();
            verdict = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        } else if (done < 0 && errno != EINTR) {
            verdict = false;
        } else if (probesCancelled || started.elapsed() > 25000) {
            // The probe ends itself after 20 s; this is for one that does not.
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            verdict = false;
        }
    }

    void readReport()
    {
        // A real report holds a few dozen short lines.
        constexpr qsizetype maxReport = 1024 * 1024;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(report, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || received.size() > maxReport) {
                if (got == 0 || (got < 0 && errno != EAGAIN) || received.size() > maxReport) {
                    ::close(report);
                    report = -1;
                }
                break;
            }
            received.append(buffer, got);
        }
        cleared = received.endsWith("\ncleared\n") || received == "cleared\n";
    }

    // The objects the probe cleared, as keys for ChmFile::clearedKey.
    QSet<QByteArray> clearedObjects() const
    {
        QSet<QByteArray> objects;
        for (const QByteArray &line : received.split('\n')) {
            if (line.startsWith("object /"))
                objects.insert(line.mid(7).toLower());
        }
        return objects;
    }
};

namespace {

std::unique_ptr<ChmFile::Probe> startProbe(int fd, const QByteArray &libraryName)
{
    const QByteArray program = NativeName::encode(probeProgram());
    if (program.isEmpty() || ::access(program.constData(), X_OK) != 0) {
        // Without the probe nothing guards the program against the library: refuse.
        qWarning("The help file check program is missing: %s", program.constData());
        return nullptr;
    }
    const QByteArray parent = QByteArray::number(qint64(::getpid()));
    const QByteArray target =
        libraryName.startsWith("/proc/self/fd/") ? QByteArray("/proc/self/fd/3") : libraryName;
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    // Above the descriptors the probe gets, so that handing one over cannot overwrite another.
    const int writeEnd = ::fcntl(pipeEnds[1], F_DUPFD_CLOEXEC, 10);
    ::close(pipeEnds[1]);
    auto probe = std::make_unique<ChmFile::Probe>();
    probe->report = pipeEnds[0];
    if (writeEnd < 0)
        return nullptr;
    // The probe writes blocking, the reader here does not.
    ::fcntl(writeEnd, F_SETFL, ::fcntl(writeEnd, F_GETFL) & ~O_NONBLOCK);
    char *const arguments[] = {
        const_cast<char *>(program.constData()), const_cast<char *>(parent.constData()),
        const_cast<char *>(target.constData()), const_cast<char *>("report"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 3);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, 4);
    // Signals blocked on this thread must not stay blocked in the probe: it counts on them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned =
        ::posix_spawn(&probe->pid, program.constData(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(writeEnd);
    if (spawned != 0) {
        probe->pid = -1;
        probe->verdict = false;
        return nullptr;
    }
    ++probesStarted;
    probe->started.start();
    return probe;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a regular file and nothing else, without waiting: whatever the folder holds under the
// name, a FIFO would block the open until some writer came along, and a device may do anything.
class RegularFile
{
public:
    explicit RegularFile(const QByteArray &name)
    {
        struct stat named
        {
        };
        if (::stat(name.constData(), &named) != 0 || !S_ISREG(named.st_mode))
            return;
        m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        // The name may have been given to something else between the two calls.
        if (m_fd >= 0 &&
            (::fstat(m_fd, &m_stat) != 0 || !S_ISREG(m_stat.st_mode) || !sameFile(named, m_stat)))
            reset();
    }
    ~RegularFile() { reset(); }
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    int fd() const { return m_fd; }

    // chmlib opens by name: hand it the file checked here, through its descriptor where the
    // system offers that, else by the name as long as it still leads to the same file.
    QByteArray nameForLibrary(const QByteArray &name) const
    {
        const QByteArray viaDescriptor = "/proc/self/fd/" + QByteArray::number(m_fd);
        for (const QByteArray &candidate : {viaDescriptor, name}) {
            struct stat now
            {
            };
            if (::stat(candidate.constData(), &now) == 0 && sameFile(now, m_stat))
                return candidate;
        }
        return {};
    }

private:
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    int m_fd = -1;
    struct stat m_stat
    {
    };
};

} // namespace

ChmFile::ChmFile() = default;

ChmFile::~ChmFile()
{
    close();
}

void ChmFile::close()
{
    m_probe.reset();
    m_open = false;
    m_verified = false;
    m_cleared.clear();
    if (m_handle)
        chm_close(m_handle);
    m_handle = nullptr;
    m_system = {};
    m_contents.clear();
    m_indexed = false;
    const std::lock_guard lock(m_lock);
    m_index.clear();
}

bool ChmFile::open(const QString &path)
{
    if (!openFirstStage(path))
        return false;
    loadIndex();
    return settle();
}

bool ChmFile::openFirstStage(const QString &path)
{
    close();
    const QByteArray name = NativeName::encode(path);
    const RegularFile checked(name);
    if (checked.fd() < 0)
        return false;
    QFile file;
    if (!file.open(checked.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    const std::optional<Layout> layout = readLayout(file);
    const quint64 fileSize = quint64(file.size());
    file.close();
    if (!layout)
        return false;
    const QByteArray libraryName = checked.nameForLibrary(name);
    if (libraryName.isEmpty())
        return false;
    if (const InProcessProbe check = inProcessProbe) {
        if (!check(libraryName.constData(), fileSize))
            return false;
        m_verified = true;
    } else {
        m_probe = startProbe(checked.fd(), libraryName);
        if (!m_probe)
            return false;
        // The probe dies with the thread that started it, so this thread waits for it.
        for (int pause = 1; !m_probe->cleared && !m_probe->verdict; pause = qMin(pause * 2, 20))
            m_probe->follow(pause);
        if (m_probe->verdict == false || !m_probe->cleared) {
            m_probe.reset();
            return false;
        }
        m_cleared = m_probe->clearedObjects();
        m_verified = m_probe->verdict == true;
        if (m_verified)
            m_probe.reset();
    }
    m_handle = chm_open(libraryName.constData());
    if (!m_handle) {
        close();
        return false;
    }
    m_open = true;
    const std::optional<QByteArray> system = read(QStringLiteral("/#SYSTEM"));
    if (!system || !compressionLooksSound() || !holdsWhatItLists(layout->contentOffset, fileSize)) {
        close();
        return false;
    }
    m_system = parseChmSystem(*system);
    if (!m_system.valid) {
        close();
        return false;
    }
    m_contents = readSitemap(sitemapPath(m_system.contentsFile, ".hhc"));
    return true;
}

void ChmFile::loadIndex()
{
    if (!m_open || m_indexed)
        return;
    QList<SitemapEntry> index = readSitemap(sitemapPath(m_system.indexFile, ".hhk"));
    if (index.isEmpty())
        index = readBinaryIndex(*this);
    {
        const std::lock_guard lock(m_lock);
        m_index = std::move(index);
    }
    m_indexed = true;
}

QList<SitemapEntry> ChmFile::index() const
{
    const std::lock_guard lock(m_lock);
    return m_index;
}

bool ChmFile::settle()
{
    if (m_probe) {
        for (int pause = 1; !m_probe->verdict; pause = qMin(pause * 2, 20))
            m_probe->follow(pause);
        const bool sound = *m_probe->verdict;
        m_probe.reset();
        if (!sound) {
            // Others may be reading: only the handle goes, under the lock.
            const std::lock_guard lock(m_lock);
            m_open = false;
            if (m_handle)
                chm_close(m_handle);
            m_handle = nullptr;
            return false;
        }
        m_verified = true;
    }
    return isOpen();
}

QByteArray ChmFile::clearedKey(const QString &path)
{
    const QString normalised = path.startsWith(QLatin1String("/#")) ? path : normaliseChmPath(path);
    // chmlib matches paths ignoring the case of ASCII letters only.
    return normalised.toUtf8().toLower();
}

bool ChmFile::isReadable(const QString &path) const
{
    return m_verified || m_cleared.contains(clearedKey(path));
}

void ChmFile::setProbeProgram(const QString &path)
{
    const std::lock_guard lock(probeProgramLock);
    probeProgramPath() = path;
}

void ChmFile::setInProcessProbe(InProcessProbe check)
{
    inProcessProbe = check;
}

int ChmFile::probesRun()
{
    return probesStarted;
}

void ChmFile::cancelProbes()
{
    probesCancelled = true;
}

bool ChmFile::holdsWhatItLists(quint64 contentOffset, quint64 fileSize) const
{
    // A file cut short still opens, and chmlib decompresses whatever follows its end.
    Extent extent{0, fileSize};
    chm_enumerate(m_handle, CHM_ENUMERATE_ALL, furthestEnd, &extent);
    if (extent.end > fileSize - contentOffset)
        return false;
    chmUnitInfo content{};
    if (chm_resolve_object(m_handle, qvx::chm::contentPath, &content) != CHM_RESOLVE_SUCCESS)
        return true; // nothing compressed
    const std::optional<QByteArray> bytes = fetchSmall(qvx::chm::resetTablePath);
    const std::optional<qvx::chm::ResetTable> resetTable =
        bytes ? qvx::chm::parseResetTable(viewOf(*bytes)) : std::nullopt;
    // The compressed data the reset table promises must lie inside its object.
    return resetTable && resetTable->compressedLength <= content.length;
}

std::optional<QByteArray> ChmFile::fetchSmall(const char *path) const
{
    chmUnitInfo unit{};
    if (chm_resolve_object(m_handle, path, &unit) != CHM_RESOLVE_SUCCESS ||
        unit.length > quint64(maxSystemSize))
        return std::nullopt;
    QByteArray bytes(qsizetype(unit.length), '\0');
    if (chm_retrieve_object(m_handle, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                            LONGINT64(unit.length)) != LONGINT64(unit.length))
        return std::nullopt;
    return bytes;
}

bool ChmFile::compressionLooksSound() const
{
    // chmlib trusts the compression parameters when it decompresses: a window size it cannot
    // set up leaves it with no decoder, and a zero block length makes it divide by zero.
    // A file with either is treated as damaged.
    const std::optional<QByteArray> controlData = fetchSmall(qvx::chm::controlDataPath);
    const std::optional<QByteArray> resetTable = fetchSmall(qvx::chm::resetTablePath);
    if (!controlData && !resetTable)
        return true; // nothing compressed
    const std::optional<qvx::chm::LzxControl> control =
        controlData ? qvx::chm::parseControlData(viewOf(*controlData)) : std::nullopt;
    const std::optional<qvx::chm::ResetTable> table =
        resetTable ? qvx::chm::parseResetTable(viewOf(*resetTable)) : std::nullopt;
    return control && table && qvx::chm::compressionParametersSound(*control, *table);
}

std::optional<QByteArray> ChmFile::read(const QString &path) const
{
    const QString normalised = path.startsWith(QLatin1String("/#")) ? path : normaliseChmPath(path);
    if (normalised.isEmpty() || !isReadable(normalised))
        return std::nullopt;
    const QByteArray name = normalised.toUtf8();
    chmUnitInfo unit{};
    {
        const std::lock_guard lock(m_lock);
        if (!m_handle ||
            chm_resolve_object(m_handle, name.constData(), &unit) != CHM_RESOLVE_SUCCESS)
            return std::nullopt;
    }
    const qint64 limit = normalised == QLatin1String("/#SYSTEM") ? maxSystemSize : maxObjectSize;
    if (unit.length > quint64(limit))
        return std::nullopt;
    QByteArray bytes(qsizetype(unit.length), '\0');
    // Piece by piece, so that a page wanted on the GUI thread never waits for a whole large
    // object (a big index, say) being read on another.
    constexpr quint64 piece = 64 * 1024;
    for (quint64 at = 0; at < unit.length; at += piece) {
        const quint64 wanted = qMin(piece, unit.length - at);
        const std::lock_guard lock(m_lock);
        if (!m_handle || chm_retrieve_object(
                             m_handle, &unit, reinterpret_cast<unsigned char *>(bytes.data() + at),
                             LONGUINT64(at), LONGINT64(wanted)) != LONGINT64(wanted))
            return std::nullopt;
    }
    return bytes;
}

bool ChmFile::contains(const QString &path) const
{
    const QString normalised = normaliseChmPath(path);
    if (normalised.isEmpty() || !isReadable(normalised))
        return false;
    const std::lock_guard lock(m_lock);
    chmUnitInfo unit{};
    // A folder ("/sub/") resolves too, as an object of length 0.
    return m_handle &&
           chm_resolve_object(m_handle, normalised.toUtf8().constData(), &unit) ==
               CHM_RESOLVE_SUCCESS &&
           unit.length > 0;
}

std::optional<qint64> ChmFile::objectSize(const QString &path) const
{
    const QString normalised = normaliseChmPath(path);
    if (normalised.isEmpty() || !isReadable(normalised))
        return std::nullopt;
    const std::lock_guard lock(m_lock);
    if (!m_handle)
        return std::nullopt;
    chmUnitInfo unit{};
    if (chm_resolve_object(m_handle, normalised.toUtf8().constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    return qint64(qMin(unit.length, quint64(std::numeric_limits<qint64>::max())));
}

namespace {

struct PageListing
{
    QStringList paths;
    int limit = 0;
};

int listPage(chmFile *, chmUnitInfo *unit, void *context)
{
    auto *listing = static_cast<PageListing *>(context);
    if (listing->paths.size() >= listing->limit)
        return CHM_ENUMERATOR_SUCCESS;
    const QString path = QString::fromUtf8(unit->path);
    if (path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
        listing->paths.append(path);
    return CHM_ENUMERATOR_CONTINUE;
}

} // namespace

QStringList ChmFile::pagePaths(int limit) const
{
    PageListing listing;
    listing.limit = limit;
    // Every page is listed only once the whole file is known to be sound.
    if (!m_verified || limit <= 0)
        return {};
    const std::lock_guard lock(m_lock);
    if (!m_handle)
        return {};
    chm_enumerate(m_handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, listPage, &listing);
    return listing.paths;
}

QString ChmFile::decode(const QByteArray &bytes) const
{
    QStringDecoder decoder(encoding().constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString ChmFile::decodePage(const QByteArray &bytes) const
{
    const QByteArray charset = declaredCharset(bytes);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return decode(bytes);
}

QString ChmFile::defaultTopic() const
{
    if (!m_system.defaultTopic.isEmpty())
        return m_system.defaultTopic;
    for (const SitemapEntry &entry : m_contents) {
        if (!entry.targets.isEmpty())
            return entry.targets.first().local;
    }
    return {};
}

QString ChmFile::sitemapPath(const QString &named, const char *suffix) const
{
    if (!named.isEmpty())
        return named;
    // No record names it: a sitemap at the root, if the file has one.
    EnumerateContext context{suffix, {}};
    chm_enumerate_dir(m_handle, "/", CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, findBySuffix,
                      &context);
    return context.found;
}

QList<SitemapEntry> ChmFile::readSitemap(const QString &path) const
{
    if (path.isEmpty())
        return {};
    const std::optional<QByteArray> bytes = read(path);
    if (!bytes)
        return {};
    return parseSitemap(decode(*bytes));
}

QByteArray declaredCharset(const QByteArray &page)
{
    static const QRegularExpression charset(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(page.left(2048)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

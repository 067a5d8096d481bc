// Help files from anywhere: the #SYSTEM and sitemap readers on the raw input, and the whole
// loading of a file (chmlib opens by path, so the input goes to a scratch file first). No
// crash, no hang, no read outside the data, and results within the promised limits.
//
// The readers are compiled in here rather than taken from the viewer library, which is built
// without coverage instrumentation: the fuzzer needs to see their branches.
//
// The program opens a file only after a child process has read all of it through chmlib. A
// fork for every input would take most of the fuzzer's time, so the child's reading runs here
// in process, under the child's own budget, and a fault chmlib raises in it refuses the file
// as the child's death would. The open itself then finds no child to be had.
#include "qvx/helpviewer/ChmAddress.h"
#include "qvx/helpviewer/ChmFile.h"
#include "qvx/helpviewer/NativeName.h"

#include <QFile>
#include <QRegularExpression>

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <setjmp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
pid_t noProbeChild()
{
    errno = EAGAIN;
    return -1;
}
} // namespace

#define fork noProbeChild
#include "../src/helpviewer/ChmFile.cpp"
#undef fork

#include "../src/helpviewer/ChmAddress.cpp"
#include "../src/helpviewer/ChmSitemap.cpp"
#include "../src/helpviewer/ChmSystem.cpp"
#include "../src/helpviewer/NativeName.cpp"

#include <QByteArray>
#include <QString>

#include <QDir>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkSitemap(const QList<SitemapEntry> &entries)
{
    require(entries.size() <= maxSitemapEntries);
    for (const SitemapEntry &entry : entries) {
        require(entry.depth >= 0 && entry.depth <= maxSitemapDepth);
        require(entry.targets.size() <= maxSitemapTargets);
        require(!entry.name.isEmpty());
        for (const SitemapTarget &target : entry.targets) {
            const QUrl url = chmPageUrl(target.local);
            if (url.isValid() && !url.isEmpty())
                require(chmLookupPath(url).startsWith(QLatin1Char('/')));
        }
    }
}

const std::string &scratchPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_chm_XXXXXX";
        const int fd = mkstemp(name);
        require(fd >= 0);
        close(fd);
        return std::string(name);
    }();
    return path;
}

sigjmp_buf probeFault;
volatile sig_atomic_t inProbe = 0;

void onProbeFault(int signal)
{
    if (inProbe)
        siglongjmp(probeFault, signal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// chmlib's descriptor of a file whose reading ended in a fault; the memory it held is lost,
// as it is with the child.
void closeDescriptorsOf(const std::string &path)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &entry : fds.entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(entry)).toStdString() == path)
            ::close(entry.toInt());
    }
}

// The child's reading of the whole file, in process: whether the program would go on.
bool survivesProbe(const std::string &path, quint64 fileSize)
{
    const int faults[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
    struct sigaction caught
    {
    };
    caught.sa_handler = onProbeFault;
    sigemptyset(&caught.sa_mask);
    struct sigaction saved[std::size(faults)];
    for (std::size_t i = 0; i < std::size(faults); ++i)
        sigaction(faults[i], &caught, &saved[i]);
    bool passed = false;
    if (sigsetjmp(probeFault, 1) == 0) {
        inProbe = 1;
        if (chmFile *handle = chm_open(path.c_str())) {
            ProbeBudget budget{512ull * 1024 * 1024, fileSize};
            chm_enumerate(handle, CHM_ENUMERATE_ALL, readEveryObject, &budget);
            chm_close(handle);
            passed = !budget.looping;
        }
        inProbe = 0;
    } else {
        inProbe = 0;
        closeDescriptorsOf(path);
    }
    for (std::size_t i = 0; i < std::size(faults); ++i)
        sigaction(faults[i], &saved[i], nullptr);
    return passed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    parseChmSystem(bytes);
    checkSitemap(parseSitemap(QString::fromLatin1(bytes)));
    const QString text = QString::fromUtf8(bytes);
    checkSitemap(parseSitemap(text));
    if (const std::optional<HelpAddress> address = parseHelpAddress(text))
        require(!address->file.trimmed().isEmpty());
    const QString path = normaliseChmPath(text);
    require(path.isEmpty() || (path.startsWith(QLatin1Char('/')) && path.toUtf8().size() <= 512 &&
                               !path.contains(QLatin1String("//"))));

    // Whole files only when they could be one; the rest stops at the signature check.
    if (size < 4 || bytes.left(4) != "ITSF")
        return 0;
    FILE *file = std::fopen(scratchPath().c_str(), "wb");
    require(file != nullptr);
    require(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
    {
        QFile scratch(QString::fromStdString(scratchPath()));
        if (!scratch.open(QIODevice::ReadOnly) || !headersLookSound(scratch) ||
            !survivesProbe(scratchPath(), size))
            return 0;
    }
    ChmFile chm;
    if (!chm.open(QString::fromStdString(scratchPath())))
        return 0;
    checkSitemap(chm.contents());
    checkSitemap(chm.index());
    if (const std::optional<QByteArray> page = chm.read(chm.defaultTopic()))
        chm.decodePage(*page);
    int reads = 0;
    for (const SitemapEntry &entry : chm.contents()) {
        for (const SitemapTarget &target : entry.targets) {
            if (++reads > 16)
                return 0;
            if (const std::optional<QByteArray> page =
                    chm.read(chmLookupPath(chmPageUrl(target.local))))
                require(page->size() <= ChmFile::maxObjectSize);
        }
    }
    return 0;
}

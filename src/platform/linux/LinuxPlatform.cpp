#include "qvx/platform/LinuxPlatform.h"

#include "PosixProcess.h"
#include "PosixSpawn.h"
#include "qvx/core/OpError.h"
#include "qvx/core/Text.h"
#include "qvx/platform/PosixFiles.h"

#include <cstdlib>
#include <unistd.h>

namespace qvx {

LinuxPlatform::LinuxPlatform(HelpService *help) : m_help(help) {}

LinuxPlatform::~LinuxPlatform() = default;

void LinuxPlatform::setHelpService(HelpService *help)
{
    m_help = help;
}

std::filesystem::path LinuxPlatform::applicationHelpFile() const
{
    return m_helpFile;
}

std::filesystem::path LinuxPlatform::helperProgram(std::string_view fileName) const
{
    return applicationFolder() / fileName;
}

void LinuxPlatform::setApplicationHelpFile(const std::filesystem::path &path)
{
    m_helpFile = path;
}

OpResult LinuxPlatform::startProgram(const std::filesystem::path &program,
                                     const std::filesystem::path &workingFolder)
{
    // Anything but a file, a FIFO included, is no program by that name.
    if (!posix::isFile(program))
        return posix::resultForFile(ENOENT, program);
    std::vector<std::string> command;
    if (OpResult found = posix::commandFor(program, command); !found.ok())
        return found;
    return posix::startDetached(command, text::fromPath(workingFolder));
}

OpResult LinuxPlatform::startTracked(const std::filesystem::path &program,
                                     const std::filesystem::path &workingFolder,
                                     std::unique_ptr<TrackedProgram> &tracked)
{
    return posix::startTracked(program, workingFolder, tracked);
}

void LinuxPlatform::shellOpen(const std::string &target)
{
    // The desktop's own opener, with the target as its one argument: no shell between.
    const std::filesystem::path opener = posix::findOnPath("xdg-open");
    if (!opener.empty())
        posix::startDetached({text::fromPath(opener), target}, {});
}

void LinuxPlatform::htmlHelp(WindowHandle owner, const std::string &file, HelpCommand command)
{
    if (m_help)
        m_help->show(owner, file, command);
}

std::vector<std::filesystem::path>
LinuxPlatform::listVisibleFiles(const std::filesystem::path &folder)
{
    return posix::listVisibleFiles(folder);
}

std::optional<FolderStamp> LinuxPlatform::folderStamp(const std::filesystem::path &folder)
{
    return posix::folderStamp(folder);
}

bool LinuxPlatform::isFile(const std::filesystem::path &path)
{
    return posix::isFile(path);
}

bool LinuxPlatform::exists(const std::filesystem::path &path)
{
    return posix::exists(path);
}

bool LinuxPlatform::sameFile(const std::filesystem::path &first,
                             const std::filesystem::path &second)
{
    return posix::sameFile(first, second);
}

OpResult LinuxPlatform::canCreateFiles(const std::filesystem::path &folder)
{
    return posix::canCreateFiles(folder);
}

OpResult LinuxPlatform::resetAttributes(const std::filesystem::path &path)
{
    return posix::makeWritable(path);
}

OpResult LinuxPlatform::makeExecutable(const std::filesystem::path &path)
{
    return posix::makeExecutable(path);
}

OpResult LinuxPlatform::deleteFile(const std::filesystem::path &path)
{
    return posix::remove(path);
}

void LinuxPlatform::removeLeftoverCopies(const std::filesystem::path &folder)
{
    posix::removeLeftoverCopies(folder);
}

std::filesystem::path LinuxPlatform::tempFolder()
{
    const char *set = std::getenv("TMPDIR");
    char *real = ::realpath(set && *set ? set : "/tmp", nullptr);
    if (!real)
        return {};
    std::filesystem::path folder(real);
    std::free(real);
    return posix::isFolder(folder) ? folder : std::filesystem::path();
}

} // namespace qvx

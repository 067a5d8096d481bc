#include "platform/posix/PosixPlatform.h"

#include "platform/posix/PosixFiles.h"
#include "qvx/helpviewer/NativeName.h"

namespace {

// Message box styles and answers, in the values the program's callers use.
constexpr int mbOkCancel = 1;
constexpr int mbIconCritical = 16;
constexpr int mbIconQuestion = 32;
constexpr int mbIconWarning = 48;
constexpr int mbIconInformation = 64;
constexpr int idOk = 1;
constexpr int idCancel = 2;

qvx::MessageIcon iconFor(int style)
{
    switch (style & 0x70) {
    case mbIconCritical:
        return qvx::MessageIcon::Critical;
    case mbIconQuestion:
        return qvx::MessageIcon::Question;
    case mbIconWarning:
        return qvx::MessageIcon::Warning;
    case mbIconInformation:
        return qvx::MessageIcon::Information;
    default:
        return qvx::MessageIcon::None;
    }
}

using PosixFiles::fromNativePath;
using PosixFiles::nativePath;

OpResult fromCore(const qvx::OpResult &result)
{
    return {result.number, QString::fromStdString(result.description)};
}

class CoreTrackedProgram final : public TrackedProgram
{
public:
    explicit CoreTrackedProgram(std::unique_ptr<qvx::TrackedProgram> program)
        : m_program(std::move(program))
    {
    }
    bool finished() override { return m_program->finished(); }
    int exitStatus() const override { return m_program->exitStatus(); }

private:
    std::unique_ptr<qvx::TrackedProgram> m_program;
};

} // namespace

std::unique_ptr<Platform> createSystemPlatform()
{
    return std::make_unique<PosixPlatform>();
}

PosixPlatform::PosixPlatform() : m_help(createViewerHelpService(*this)), m_system(m_help.get()) {}

PosixPlatform::~PosixPlatform() = default;

QString PosixPlatform::applicationFolder() const
{
    return fromNativePath(m_system.applicationFolder());
}

OpResult PosixPlatform::startProgram(const QString &path, const QString &workingFolder)
{
    return fromCore(m_system.startProgram(nativePath(path), nativePath(workingFolder)));
}

OpResult PosixPlatform::startTracked(const QString &path, const QString &workingFolder,
                                     std::unique_ptr<TrackedProgram> &program)
{
    program.reset();
    std::unique_ptr<qvx::TrackedProgram> tracked;
    const qvx::OpResult result =
        m_system.startTracked(nativePath(path), nativePath(workingFolder), tracked);
    if (tracked)
        program = std::make_unique<CoreTrackedProgram>(std::move(tracked));
    return fromCore(result);
}

void PosixPlatform::shellOpen(const QString &target)
{
    m_system.shellOpen(NativeName::encode(target).toStdString());
}

int PosixPlatform::messageBox(const QString &text, int style, const QString &title)
{
    const qvx::Answer answer = m_system.messageBox(
        NativeName::display(text).toStdString(), iconFor(style),
        (style & 0x0F) == mbOkCancel ? qvx::MessageButtons::OkCancel : qvx::MessageButtons::Ok,
        NativeName::display(title).toStdString());
    return answer == qvx::Answer::Cancel ? idCancel : idOk;
}

QStringList PosixPlatform::listVisibleFiles(const QString &folder)
{
    QStringList names;
    for (const std::filesystem::path &name : m_system.listVisibleFiles(nativePath(folder)))
        names.append(fromNativePath(name));
    return names;
}

bool PosixPlatform::isFile(const QString &path)
{
    return m_system.isFile(nativePath(path));
}

bool PosixPlatform::exists(const QString &path)
{
    return m_system.exists(nativePath(path));
}

bool PosixPlatform::sameFile(const QString &first, const QString &second)
{
    return m_system.sameFile(nativePath(first), nativePath(second));
}

OpResult PosixPlatform::canCreateFiles(const QString &folder)
{
    return fromCore(m_system.canCreateFiles(nativePath(folder)));
}

OpResult PosixPlatform::copyFile(const QString &source, const QString &destination)
{
    return fromCore(m_system.copyFile(nativePath(source), nativePath(destination)));
}

OpResult PosixPlatform::resetAttributes(const QString &path)
{
    return fromCore(m_system.resetAttributes(nativePath(path)));
}

OpResult PosixPlatform::makeExecutable(const QString &path)
{
    return fromCore(m_system.makeExecutable(nativePath(path)));
}

OpResult PosixPlatform::deleteFile(const QString &path)
{
    return fromCore(m_system.deleteFile(nativePath(path)));
}

QString PosixPlatform::tempFolder()
{
    const std::filesystem::path folder = m_system.tempFolder();
    if (folder.empty())
        return {};
    const QString path = fromNativePath(folder);
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

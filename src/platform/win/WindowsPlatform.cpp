#include "platform/OpResult.h"
#include "platform/QtPlatform.h"
#include "platform/win/Win32Services.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace {

std::string utf8(const QString &text)
{
    return text.toStdString();
}

std::string nativePath(const QString &path)
{
    return utf8(QDir::toNativeSeparators(path));
}

// A help address "ms-its:<file>::/<page>" gets native separators in its file part only:
// the page is a path inside the help file and keeps its forward slashes.
std::string nativeHelpTarget(const QString &target)
{
    const QLatin1String scheme("ms-its:");
    const qsizetype page = target.indexOf(QLatin1String("::"));
    if (!target.startsWith(scheme, Qt::CaseInsensitive) || page < 0)
        return nativePath(target);
    return utf8(target.left(scheme.size()) +
                QDir::toNativeSeparators(target.mid(scheme.size(), page - scheme.size())) +
                target.mid(page));
}

OpResult resultOf(Win32Services::ErrorCode error, const QString &path)
{
    using Win32Services::Failure;
    switch (Win32Services::classify(error)) {
    case Failure::None:
        return {};
    case Failure::FileNotFound:
        return OpError::make(OpError::FileNotFound, path);
    case Failure::PathNotFound:
        return OpError::make(OpError::PathNotFound, path);
    case Failure::AccessDenied:
        return OpError::make(OpError::PermissionDenied, path);
    case Failure::FileInUse:
        return OpError::make(OpError::FileAccess, QStringLiteral("file in use: ") + path);
    case Failure::DiskFull:
        return OpError::make(OpError::DiskFull, path);
    case Failure::Other:
        break;
    }
    // Support staff can look the system's own code up.
    return OpError::make(OpError::FileAccess,
                         path + QStringLiteral(" (system error %1)").arg(qulonglong(error)));
}

class WindowsTrackedProgram final : public TrackedProgram
{
public:
    Win32Services::StartedProgram program;

    bool finished() override { return program.ended(); }
    // Codes such as 0xC0000005 for a crash come out negative: failures all the same.
    int exitStatus() const override { return int(program.exitCode()); }
};

class WindowsPlatform final : public QtPlatform
{
public:
    WindowsPlatform() = default;
    ~WindowsPlatform() override
    {
        // Viewer windows live in this process and must be gone before its library is.
        Win32Services::closeAllHelp();
    }
    WindowsPlatform(const WindowsPlatform &) = delete;
    WindowsPlatform &operator=(const WindowsPlatform &) = delete;

    OpResult startProgram(const QString &path, const QString &workingFolder) override;
    OpResult startTracked(const QString &path, const QString &workingFolder,
                          std::unique_ptr<TrackedProgram> &program) override;
    void shellOpen(const QString &target) override;
    void htmlHelp(QWidget *owner, const QString &file, int command, int data) override;
    int messageBox(const QString &text, int style, const QString &title) override;

    QStringList listVisibleFiles(const QString &folder) override;
    bool isFile(const QString &path) override;
    bool exists(const QString &path) override;
    bool sameFile(const QString &first, const QString &second) override;
    OpResult canCreateFiles(const QString &folder) override;
    OpResult copyFile(const QString &source, const QString &destination) override;
    OpResult resetAttributes(const QString &path) override;
    OpResult makeExecutable(const QString &) override { return {}; }
    OpResult deleteFile(const QString &path) override;
    QString tempFolder() override;
};

OpResult WindowsPlatform::startProgram(const QString &path, const QString &workingFolder)
{
    return resultOf(Win32Services::startProgram(nativePath(path), nativePath(workingFolder)),
                    QDir::toNativeSeparators(path));
}

OpResult WindowsPlatform::startTracked(const QString &path, const QString &workingFolder,
                                       std::unique_ptr<TrackedProgram> &program)
{
    program.reset();
    auto started = std::make_unique<WindowsTrackedProgram>();
    const OpResult result =
        resultOf(started->program.start(nativePath(path), nativePath(workingFolder)),
                 QDir::toNativeSeparators(path));
    if (result.ok())
        program = std::move(started);
    return result;
}

void WindowsPlatform::shellOpen(const QString &target)
{
    // Handed over as it is: a web address must keep its forward slashes.
    Win32Services::shellOpen(utf8(target));
}

void WindowsPlatform::htmlHelp(QWidget *owner, const QString &file, int command, int data)
{
    const std::uintptr_t ownerWindow = owner ? std::uintptr_t(owner->window()->winId()) : 0;
    Win32Services::htmlHelp(ownerWindow, nativeHelpTarget(file), command,
                            std::uintptr_t(std::intptr_t(data)));
}

int WindowsPlatform::messageBox(const QString &text, int style, const QString &title)
{
    // The system's own box takes the style as it is and breaks lines at a lone carriage
    // return.
    QWidget *active = QApplication::activeWindow();
    const std::uintptr_t owner = active ? std::uintptr_t(active->winId()) : 0;
    return Win32Services::messageBox(owner, utf8(text), utf8(title), unsigned(style));
}

QStringList WindowsPlatform::listVisibleFiles(const QString &folder)
{
    QStringList names;
    for (const std::string &name : Win32Services::listVisibleFiles(nativePath(folder)).names)
        names.append(QString::fromStdString(name));
    return names;
}

bool WindowsPlatform::isFile(const QString &path)
{
    return Win32Services::isFile(nativePath(path));
}

bool WindowsPlatform::exists(const QString &path)
{
    return Win32Services::exists(nativePath(path));
}

bool WindowsPlatform::sameFile(const QString &first, const QString &second)
{
    return Win32Services::sameFile(nativePath(first), nativePath(second));
}

OpResult WindowsPlatform::canCreateFiles(const QString &folder)
{
    return resultOf(Win32Services::canCreateIn(nativePath(folder)),
                    QDir::toNativeSeparators(folder));
}

OpResult WindowsPlatform::copyFile(const QString &source, const QString &destination)
{
    const Win32Services::ErrorCode error =
        Win32Services::copyFileReplacing(nativePath(source), nativePath(destination));
    if (error == 0)
        return {};
    // With the source in place, what failed is the destination's side.
    const QString blamed = Win32Services::isFile(nativePath(source)) ? destination : source;
    return resultOf(error, QDir::toNativeSeparators(blamed));
}

OpResult WindowsPlatform::resetAttributes(const QString &path)
{
    return resultOf(Win32Services::resetAttributes(nativePath(path)),
                    QDir::toNativeSeparators(path));
}

OpResult WindowsPlatform::deleteFile(const QString &path)
{
    return resultOf(Win32Services::deleteFile(nativePath(path)), QDir::toNativeSeparators(path));
}

QString WindowsPlatform::tempFolder()
{
    return QString::fromStdString(Win32Services::tempPath());
}

} // namespace

std::unique_ptr<Platform> createSystemPlatform()
{
    return std::make_unique<WindowsPlatform>();
}

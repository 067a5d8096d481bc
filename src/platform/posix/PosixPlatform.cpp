#include "platform/posix/PosixPlatform.h"

#include "qvx/helpviewer/HelpViewer.h"
#include "platform/ExecutableKind.h"
#include "qvx/helpviewer/NativeName.h"
#include "platform/OpResult.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/PosixSpawn.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Message box styles and answers, in the values the program's callers use.
constexpr int mbOkCancel = 1;
constexpr int mbIconCritical = 16;
constexpr int mbIconQuestion = 32;
constexpr int mbIconWarning = 48;
constexpr int mbIconInformation = 64;
constexpr int idOk = 1;
constexpr int idCancel = 2;

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0x70) {
    case mbIconCritical:
        return QMessageBox::Critical;
    case mbIconQuestion:
        return QMessageBox::Question;
    case mbIconWarning:
        return QMessageBox::Warning;
    case mbIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

std::unique_ptr<Platform> createSystemPlatform()
{
    return std::make_unique<PosixPlatform>();
}

QString PosixPlatform::applicationFolder() const
{
    // Qt decodes the executable's path with replacements, which no longer name the folder.
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return QtPlatform::applicationFolder();
    target.truncate(length);
    const qsizetype slash = target.lastIndexOf('/');
    return NativeName::decode(target.left(qMax<qsizetype>(slash, 1)));
}

OpResult PosixPlatform::startProgram(const QString &path, const QString &workingFolder)
{
    QFile file;
    if (!PosixFiles::isFile(path))
        return OpError::make(PosixFiles::isFolder(QFileInfo(path).absolutePath())
                                 ? OpError::FileNotFound
                                 : OpError::PathNotFound,
                             path);
    if (!PosixFiles::openForReading(file, path))
        return OpError::make(OpError::PermissionDenied, path);
    const QByteArray head = file.read(executableHeadSize);

    const QByteArray native = NativeName::encode(path);
    QByteArray program;
    QByteArrayList arguments;
    switch (classifyExecutable(head, file.size())) {
    case ExecutableKind::Native:
    case ExecutableKind::Script:
        program = native;
        break;
    case ExecutableKind::Windows: {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty())
            return OpError::make(OpError::FileAccess,
                                 QStringLiteral("no Windows program loader for ") + path);
        program = QFile::encodeName(wine);
        arguments = {native};
        break;
    }
    case ExecutableKind::NotExecutable:
        return OpError::make(OpError::FileAccess, QStringLiteral("not a program: ") + path);
    }
    return PosixSpawn::startDetached(program, arguments, NativeName::encode(workingFolder));
}

void PosixPlatform::shellOpen(const QString &target)
{
    // The desktop's own opener, with the target as its one argument: no shell between.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return;
    QProcess process;
    process.setProgram(opener);
    process.setArguments({target});
    process.setStandardInputFile(QProcess::nullDevice());
    process.startDetached();
}

// The program's window a message box belongs to: the modal one in front, else the one in use.
// A help viewer is never it: it stands beside the program and stays usable.
static QWidget *messageBoxOwner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    QWidget *active = QApplication::activeWindow();
    if (active && !qobject_cast<HelpViewer *>(active))
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && window->windowType() == Qt::Window &&
            !qobject_cast<HelpViewer *>(window))
            return window;
    }
    return nullptr;
}

int PosixPlatform::messageBox(const QString &text, int style, const QString &title)
{
    // Texts break lines with a lone carriage return; Qt's layout needs a line feed.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QWidget *owner = messageBoxOwner();
    QMessageBox box(iconFor(style), title, shown, QMessageBox::NoButton, owner);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    QPushButton *ok = box.addButton(QMessageBox::Ok);
    QPushButton *cancel = nullptr;
    if ((style & 0x0F) == mbOkCancel)
        cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? idOk : (cancel ? idCancel : idOk);
}

QStringList PosixPlatform::listVisibleFiles(const QString &folder)
{
    // Read as bytes: Qt's own listing skips every name that is not valid UTF-8.
    QStringList names;
    DIR *dir = ::opendir(NativeName::encode(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        // Dot files are hidden; broken links and special files stay out.
        if (entry->d_name[0] == '.')
            continue;
        struct stat info = {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names.append(NativeName::decode(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

bool PosixPlatform::isFile(const QString &path)
{
    return PosixFiles::isFile(path);
}

OpResult PosixPlatform::copyFile(const QString &source, const QString &destination)
{
    return PosixFiles::copyReplacing(source, destination);
}

OpResult PosixPlatform::resetAttributes(const QString &path)
{
    return PosixFiles::makeWritable(path);
}

OpResult PosixPlatform::deleteFile(const QString &path)
{
    return PosixFiles::remove(path);
}

QString PosixPlatform::tempFolder()
{
    const QByteArray set = qgetenv("TMPDIR");
    char *real = ::realpath(set.isEmpty() ? "/tmp" : set.constData(), nullptr);
    if (!real)
        return {};
    const QString path = NativeName::decode(real);
    std::free(real);
    if (!PosixFiles::isFolder(path))
        return {};
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

OpResult PosixPlatform::startTracked(const QString &path, const QString &workingFolder,
                                     std::unique_ptr<TrackedProgram> &program)
{
    return PosixProcess::startTracked(path, workingFolder, program);
}

bool PosixPlatform::exists(const QString &path)
{
    return PosixFiles::exists(path);
}

bool PosixPlatform::sameFile(const QString &first, const QString &second)
{
    return PosixFiles::sameFile(first, second);
}

OpResult PosixPlatform::canCreateFiles(const QString &folder)
{
    return PosixFiles::canCreateFiles(folder);
}

OpResult PosixPlatform::makeExecutable(const QString &path)
{
    return PosixFiles::makeExecutable(path);
}

#include "platform/posix/PosixPlatform.h"

#include "help/viewer/HelpViewer.h"
#include "platform/ExecutableKind.h"
#include "platform/OpResult.h"
#include "platform/posix/PosixFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

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

OpResult PosixPlatform::startProgram(const QString &path, const QString &workingFolder)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile())
        return OpError::make(info.dir().exists() ? OpError::FileNotFound : OpError::PathNotFound,
                             path);
    if (!file.open(QIODevice::ReadOnly))
        return OpError::make(OpError::PermissionDenied, path);
    const QByteArray head = file.read(executableHeadSize);

    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    switch (classifyExecutable(head, file.size())) {
    case ExecutableKind::Native:
    case ExecutableKind::Script:
        process.setProgram(path);
        break;
    case ExecutableKind::Windows: {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty())
            return OpError::make(OpError::FileAccess,
                                 QStringLiteral("no Windows program loader for ") + path);
        process.setProgram(wine);
        process.setArguments({path});
        break;
    }
    case ExecutableKind::NotExecutable:
        return OpError::make(OpError::FileAccess, QStringLiteral("not a program: ") + path);
    }
    if (!process.startDetached())
        return OpError::make(OpError::FileAccess, process.errorString());
    return {};
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
    // Without QDir::Hidden and QDir::System, dot files, broken links and special files
    // stay out.
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
}

bool PosixPlatform::isFile(const QString &path)
{
    return QFileInfo(path).isFile();
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
    const QString path = QDir::tempPath();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

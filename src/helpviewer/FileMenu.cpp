#include "qvx/helpviewer/FileMenu.h"

#include "qvx/help/NativeName.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace qvx::helpviewer {

using namespace qvx::help;

namespace {

constexpr qsizetype mostRecent = 8;
const QString recentKey = QStringLiteral("HelpViewer/recentFiles");

// The viewer's windows keep their settings where the program's help windows keep theirs.
QSettings settings()
{
    return QCoreApplication::organizationName().isEmpty()
               ? QSettings(QStringLiteral("QVXDemos"), QStringLiteral("QVXDemos"))
               : QSettings();
}

QString tr(const char *text)
{
    return QCoreApplication::translate("FileMenu", text);
}

} // namespace

namespace RecentFiles {

QStringList list()
{
    QStringList files;
    for (const QVariant &entry : settings().value(recentKey).toList())
        if (const QByteArray bytes = entry.toByteArray(); !bytes.isEmpty())
            files.append(NativeName::decode(bytes));
    return files;
}

void add(const QString &file)
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    QStringList files = list();
    files.removeAll(absolute);
    files.prepend(absolute);
    QVariantList entries;
    for (const QString &entry : files.first(qMin(files.size(), mostRecent)))
        entries.append(NativeName::encode(entry));
    settings().setValue(recentKey, entries);
}

} // namespace RecentFiles

void addFileMenu(QMainWindow *window, std::function<void(const QString &file)> open)
{
    QMenu *menu = window->menuBar()->addMenu(tr("&File"));
    menu->setObjectName(QStringLiteral("mnuFile"));

    auto *actOpen = menu->addAction(tr("&Open..."));
    actOpen->setObjectName(QStringLiteral("actOpen"));
    actOpen->setShortcut(QKeySequence::Open);
    QObject::connect(actOpen, &QAction::triggered, window, [window, open] {
        const QString file = QFileDialog::getOpenFileName(
            window, tr("Open Help File"), QString(),
            tr("Compiled HTML Help files (*.chm *.CHM);;All files (*)"));
        if (!file.isEmpty())
            open(file);
    });

    QMenu *recent = menu->addMenu(tr("Open &Recent"));
    recent->setObjectName(QStringLiteral("mnuRecent"));
    // Filled as it opens: another window may have opened a file since.
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, open] {
        recent->clear();
        const QStringList files = RecentFiles::list();
        int number = 0;
        for (const QString &file : files) {
            QString shown = NativeName::display(QDir::toNativeSeparators(file));
            shown.replace(QLatin1Char('&'), QLatin1String("&&"));
            auto *action = recent->addAction(
                number < 9 ? QStringLiteral("&%1 %2").arg(++number).arg(shown) : shown);
            QObject::connect(action, &QAction::triggered, recent, [open, file] { open(file); });
        }
        if (files.isEmpty())
            recent->addAction(tr("No files opened yet"))->setEnabled(false);
    });

    menu->addSeparator();
    auto *actClose = menu->addAction(tr("&Close"));
    actClose->setObjectName(QStringLiteral("actClose"));
    actClose->setShortcut(QKeySequence::Close);
    QObject::connect(actClose, &QAction::triggered, window, &QWidget::close);
}

} // namespace qvx::helpviewer

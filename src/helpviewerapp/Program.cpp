#include "qvx/helpviewerapp/Program.h"

#include "qvx/helpviewer/FileMenu.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

namespace qvx::helpviewerapp {

using namespace qvx::helpviewer;

namespace {

void openLink(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

} // namespace

void serve(const CommandLine &line)
{
    for (const QString &address : line.addresses)
        HelpViewers::request(openLink, nullptr, address, line.command);
    if (line.addresses.isEmpty())
        (new StartWindow)->show();
}

StartWindow::StartWindow()
{
    setObjectName(QStringLiteral("frmHelpStart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Help Viewer"));
    auto *note = new QLabel(tr("Open a help file with File > Open."), this);
    note->setObjectName(QStringLiteral("lblStart"));
    note->setAlignment(Qt::AlignCenter);
    setCentralWidget(note);
    // Once a file is open its window takes this one's place.
    addFileMenu(this, [this](const QString &file) {
        if (HelpViewers::request(openLink, nullptr, file, HelpViewers::displayContents))
            close();
    });
    resize(640, 400);
    connect(this, &QObject::destroyed, qApp, &HelpViewers::quitIfNoWindowLeft);
}

} // namespace qvx::helpviewerapp

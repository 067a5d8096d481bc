#include "qvx/helpviewerapp/CommandLine.h"

#include "qvx/help/NativeName.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QCoreApplication>

#include <filesystem>
#include <string>
#include <system_error>

namespace qvx::helpviewerapp {

using namespace qvx::help;
namespace HelpViewers = qvx::helpviewer::HelpViewers;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("qvx-helpviewer", text);
}

bool isAddressScheme(const QByteArray &argument)
{
    const QByteArray lower = argument.toLower();
    return lower.startsWith("ms-its:") || lower.startsWith("mk:@msitstore:");
}

QByteArray absolute(const QByteArray &argument, const QByteArray &workingFolder)
{
    if (argument.startsWith('/') || workingFolder.isEmpty())
        return argument;
    QByteArray joined = workingFolder;
    if (!joined.endsWith('/'))
        joined.append('/');
    joined.append(argument.startsWith("./") ? argument.mid(2) : argument);
    return joined;
}

// A file, or the address of a page in one: the page starts after the last "::" that follows
// a file; where none does (the file is missing), after the last "::/" or "::".
QString addressFor(const QByteArray &argument, const QByteArray &workingFolder,
                   const FileTest &fileTest)
{
    if (isAddressScheme(argument))
        return NativeName::decode(argument);
    const QByteArray name = absolute(argument, workingFolder);
    if (!name.contains("::") || fileTest(name))
        return NativeName::decode(name);
    qsizetype separator = -1;
    for (qsizetype at = name.lastIndexOf("::"); at > 0; at = name.lastIndexOf("::", at - 1)) {
        if (fileTest(name.left(at))) {
            separator = at;
            break;
        }
    }
    if (separator < 0)
        separator = name.contains("::/") ? name.lastIndexOf("::/") : name.lastIndexOf("::");
    QByteArray page = name.mid(separator + 2);
    while (page.startsWith('/'))
        page.remove(0, 1);
    return QStringLiteral("ms-its:") + NativeName::decode(name.left(separator)) +
           QStringLiteral("::/") + NativeName::decode(page);
}

} // namespace

bool isFile(const QByteArray &name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::string(name.constData(), std::size_t(name.size())),
                                            error);
}

CommandLine parseCommandLine(const QList<QByteArray> &arguments, const QByteArray &workingFolder,
                             const FileTest &fileTest)
{
    CommandLine line;
    bool options = true;
    bool contents = false;
    bool index = false;
    for (const QByteArray &argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--contents") {
            contents = true;
        } else if (options && argument == "--index") {
            index = true;
        } else if (options && (argument == "--help" || argument == "-h")) {
            line.action = CommandLine::Action::ShowUsage;
            return line;
        } else if (options && argument == "--version") {
            line.action = CommandLine::Action::ShowVersion;
            return line;
        } else if (options && argument.startsWith('-') && argument.size() > 1) {
            line.action = CommandLine::Action::Fail;
            line.error =
                tr("Unknown option: %1").arg(NativeName::display(NativeName::decode(argument)));
            return line;
        } else if (argument.isEmpty()) {
            line.action = CommandLine::Action::Fail;
            line.error = tr("An empty file name names no help file.");
            return line;
        } else {
            line.addresses.append(addressFor(argument, workingFolder, fileTest));
        }
    }
    if (contents && index) {
        line.action = CommandLine::Action::Fail;
        line.error = tr("Choose --contents or --index, not both.");
        return line;
    }
    line.command = index ? HelpViewers::displayIndex : HelpViewers::displayContents;
    return line;
}

QString usage()
{
    return tr(
        "Usage: qvx-helpviewer [--contents | --index] [FILE.chm | FILE.chm::/PAGE]...\n"
        "Shows compiled HTML help files: each at its start page, at the page named after\n"
        "\"::\", or at its contents (--contents) or index (--index). Without a file it opens\n"
        "an empty window; File > Open opens one.\n");
}

} // namespace qvx::helpviewerapp

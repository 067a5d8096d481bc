#include "catalogue/Catalogue.h"

#include "qvx/helpviewer/NativeName.h"
#include "platform/Platform.h"

#include <QDir>

#include <array>

namespace Catalogue {
namespace {

struct SharedDemo
{
    const char16_t *name;
    const char16_t *note;
};

// Recorded with the Junior edition, but standing for the regular version too.
constexpr std::array<SharedDemo, 3> sharedDemos{{
    {u"reports", u"This QVX Jr demo also applies to the regular version with regard to basic "
                 u"functionality. The reports illustrated are different."},
    {u"ticket setup",
     u"This QVX Jr demo also applies to the regular version with regard to all functionality."},
    {u"help", u"This QVX Jr demo also applies to the regular version with regard to basic "
              u"functionality. The general content is different."},
}};

const SharedDemo *findShared(const QString &text)
{
    const QString lower = text.toLower();
    for (const SharedDemo &demo : sharedDemos) {
        if (lower == QStringView(demo.name))
            return &demo;
    }
    return nullptr;
}

// The file of `fileName` in `folder`: the exact name, else the first name that is shown
// as `fileName`, else the first one shown so but for letter case. The list shows names whose
// bytes do not decode with replacements, which no exact match can find.
QString findInFolder(Platform &platform, const QString &folder, const QString &fileName)
{
    const QString exact = folder + QDir::separator() + fileName;
    if (platform.isFile(exact))
        return exact;
    QStringList shownSo;
    QStringList shownSoButForCase;
    for (const QString &name : platform.listVisibleFiles(folder)) {
        const QString shown = NativeName::display(name);
        if (shown == fileName)
            shownSo.append(name);
        else if (shown.compare(fileName, Qt::CaseInsensitive) == 0)
            shownSoButForCase.append(name);
    }
    QStringList &candidates = shownSo.isEmpty() ? shownSoButForCase : shownSo;
    if (candidates.isEmpty())
        return {};
    candidates.sort();
    return folder + QDir::separator() + candidates.first();
}

} // namespace

QString appPath(const QString &appFolder, const QString &relative)
{
    return appFolder + QDir::separator() + QDir::toNativeSeparators(relative);
}

QString editionFolder(const QString &appFolder, int index)
{
    return appPath(appFolder,
                   index == 0 ? QStringLiteral("Demos/QVX") : QStringLiteral("Demos/QVX Jr"));
}

QString editionTag(int index)
{
    return index == 0 ? QStringLiteral("QVX3") : QStringLiteral("QVXJr");
}

QString sharedFolder(const QString &appFolder)
{
    return appPath(appFolder, QStringLiteral("Demos/Both"));
}

QString displayName(const QString &fileName)
{
    return NativeName::display(fileName.left(qMax(0, fileName.size() - 4)));
}

bool isSharedDemoName(const QString &text)
{
    return findShared(text) != nullptr;
}

QString noteFor(const QString &text)
{
    const SharedDemo *demo = findShared(text);
    return demo ? QString::fromUtf16(demo->note) : QString();
}

QString resolvePlayPath(Platform &platform, const QString &appFolder, const QString &demoFolder,
                        const QString &text)
{
    if (text.isEmpty())
        return {};
    const QString fileName = text + QStringLiteral(".exe");
    const QString shared = sharedFolder(appFolder);
    const bool isShared = isSharedDemoName(text);
    const QString first = isShared ? shared : demoFolder;
    const QString second = isShared ? demoFolder : shared;
    QString path = findInFolder(platform, first, fileName);
    if (path.isEmpty() && !second.isEmpty() && second != first)
        path = findInFolder(platform, second, fileName);
    return path;
}

} // namespace Catalogue

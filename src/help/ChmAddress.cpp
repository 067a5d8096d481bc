#include "qvx/help/ChmAddress.h"

#include <QStringList>

namespace qvx::help {

namespace {

// chmlib refuses longer paths (CHM_MAX_PATHLEN).
constexpr qsizetype maxChmPathBytes = 512;

const QLatin1String addressPrefixes[] = {
    QLatin1String("mk:@MSITStore:"),
    QLatin1String("ms-its:"),
    QLatin1String("its:"),
};

} // namespace

std::optional<HelpAddress> parseHelpAddress(const QString &text)
{
    // A plain path is a file path, "::" and all; only an address has a page part.
    HelpAddress address{text, {}};
    for (const QLatin1String &prefix : addressPrefixes) {
        if (!text.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString rest = text.mid(prefix.size());
        // The folder may hold "::" and even "::/"; a page inside the file does not.
        qsizetype separator = rest.lastIndexOf(QLatin1String("::/"));
        if (separator < 0)
            separator = rest.lastIndexOf(QLatin1String("::"));
        address.file = separator < 0 ? rest : rest.left(separator);
        address.page = separator < 0 ? QString() : rest.mid(separator + 2);
        while (address.page.startsWith(QLatin1Char('/')) ||
               address.page.startsWith(QLatin1Char('\\')))
            address.page.remove(0, 1);
        break;
    }
    if (address.file.trimmed().isEmpty())
        return std::nullopt;
    return address;
}

QString normaliseChmPath(const QString &path)
{
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList steps;
    for (const QString &step : slashed.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (step == QLatin1String("."))
            continue;
        if (step == QLatin1String("..")) {
            // Nothing lies above the root of the file.
            if (!steps.isEmpty())
                steps.removeLast();
            continue;
        }
        steps.append(step);
    }
    if (steps.isEmpty())
        return {};
    const QString result = QLatin1Char('/') + steps.join(QLatin1Char('/'));
    if (result.toUtf8().size() > maxChmPathBytes)
        return {};
    return result;
}

QUrl chmPageUrl(const QString &reference)
{
    QString page = reference.trimmed();
    if (const qsizetype separator = page.indexOf(QLatin1String("::")); separator >= 0)
        page = page.mid(separator + 2);
    QString fragment;
    if (const qsizetype hash = page.indexOf(QLatin1Char('#')); hash >= 0) {
        fragment = page.mid(hash + 1);
        page.truncate(hash);
    }
    if (const qsizetype query = page.indexOf(QLatin1Char('?')); query >= 0)
        page.truncate(query);
    const QString path = normaliseChmPath(QUrl::fromPercentEncoding(page.toUtf8()));
    if (path.isEmpty())
        return {};
    QUrl url;
    url.setScheme(chmScheme());
    url.setHost(QString());
    url.setPath(path, QUrl::DecodedMode);
    if (!fragment.isEmpty())
        url.setFragment(fragment, QUrl::DecodedMode);
    return url;
}

QString chmLookupPath(const QUrl &url)
{
    return normaliseChmPath(url.path(QUrl::FullyDecoded));
}

} // namespace qvx::help

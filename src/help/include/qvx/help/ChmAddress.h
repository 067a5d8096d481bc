#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace qvx::help {

// What a help request names: the help file and, for a topic request, the page inside it.
struct HelpAddress
{
    QString file;
    QString page; // as written after "::", without the leading "/"; empty for the file itself
};

// Reads "ms-its:FILE::/PAGE", "mk:@MSITStore:FILE::/PAGE" or a bare file (which may hold "::"
// in its folder). Nothing if no file is named.
std::optional<HelpAddress> parseHelpAddress(const QString &text);

// The form chmlib looks up: one leading "/", no empty, "." or ".." steps, "/" separators.
// Empty when nothing is left or the path is longer than chmlib accepts.
QString normaliseChmPath(const QString &path);

// The scheme of pages shown from inside a help file: chm:///folder/page.htm, so that
// relative links, "../" and fragments resolve in the usual way.
inline const QString &chmScheme()
{
    static const QString scheme = QStringLiteral("chm");
    return scheme;
}

// The page URL for a reference as written in a request, a sitemap or a link: percent-encoded
// or not, with or without a fragment, possibly itself an "ms-its:" address (then its page
// part counts). Invalid when it names no page.
QUrl chmPageUrl(const QString &reference);
// The normalised lookup path of a page URL (from chmPageUrl or a resolved link).
QString chmLookupPath(const QUrl &url);

} // namespace qvx::help

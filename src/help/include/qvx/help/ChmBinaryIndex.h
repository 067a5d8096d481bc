#pragma once

#include "qvx/help/ChmSitemap.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace qvx::help {

class ChmObjects;

// The page a binary index entry names by its number in #TOPICS; nothing drops the target.
using TopicResolver = std::function<std::optional<SitemapTarget>(quint32 topic)>;

// Reads the keyword index compiled into a file ($WWKeywordLinks/BTree) in its stored order,
// as sitemap entries: a sub-keyword at depth 1 and up under the last entry above it, named by
// its own level only. Never fails; whatever lies outside the tables' bounds is left out.
QList<SitemapEntry> parseBinaryIndex(const QByteArray &btree, const TopicResolver &resolve);

// The binary index of an open file with its pages' titles and paths, in the file's code page
// `encoding` unless they are UTF-8; empty when it has none.
QList<SitemapEntry> readBinaryIndex(const ChmObjects &file, const QByteArray &encoding);

} // namespace qvx::help

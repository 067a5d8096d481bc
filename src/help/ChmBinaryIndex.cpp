#include "qvx/help/ChmBinaryIndex.h"

#include "qvx/help/ChmObjects.h"
#include "qvx/help/ChmTopics.h"

#include "qvx/chm/BinaryIndex.h"

#include <QSet>

namespace qvx::help {

QList<SitemapEntry> parseBinaryIndex(const QByteArray &btree, const TopicResolver &resolve)
{
    QList<SitemapEntry> entries;
    const auto take = [&](const qvx::chm::IndexKeyword &keyword) {
        if (keyword.name.empty())
            return true;
        SitemapEntry entry;
        entry.depth = int(qMin(keyword.depth, quint32(maxSitemapDepth)));
        entry.name = QString::fromStdU16String(keyword.name);
        QSet<QString> seen;
        for (const quint32 topic : keyword.topics) {
            if (entry.targets.size() >= maxSitemapTargets)
                break;
            std::optional<SitemapTarget> target = resolve(topic);
            if (!target || target->local.isEmpty() || seen.contains(target->local))
                continue;
            seen.insert(target->local);
            if (target->title.isEmpty())
                target->title = entry.name;
            entry.targets.append(std::move(*target));
        }
        entries.append(std::move(entry));
        return entries.size() < maxSitemapEntries;
    };
    qvx::chm::forEachIndexKeyword(std::string_view(btree.constData(), std::size_t(btree.size())),
                                  take);
    return entries;
}

QList<SitemapEntry> readBinaryIndex(const ChmObjects &file, const QByteArray &encoding)
{
    const std::optional<QByteArray> btree = file.read(QStringLiteral("/$WWKeywordLinks/BTree"));
    if (!btree)
        return {};
    const ChmTopics topics = readChmTopics(file);
    CodePageDecoder decode = topicDecoder(encoding, topics);
    return parseBinaryIndex(*btree, [&](quint32 number) -> std::optional<SitemapTarget> {
        const std::optional<ChmTopics::Topic> topic = topics.topic(number);
        if (!topic)
            return std::nullopt;
        return SitemapTarget{decode(topic->title), decode(topic->local)};
    });
}

} // namespace qvx::help

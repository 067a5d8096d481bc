#include "catalogue/FileListBox.h"

#include "platform/Platform.h"

#include <algorithm>
#include <numeric>

namespace {

// '*' matches any run of characters and '?' any one character, letter case ignored.
bool wildcardMatch(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || pattern[p] == name[n] ||
                    pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

FileListBox::FileListBox(Platform &platform, QWidget *parent)
    : QWidget(parent), m_platform(platform)
{
    // The C locale collates by code point; names with accents belong beside their letter.
    if (QLocale().language() == QLocale::C)
        m_collator.setLocale(QLocale(QLocale::English));
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FileListBox::setPath(const QString &folder)
{
    m_path = folder;
    refresh();
}

void FileListBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    m_names = m_path.isEmpty()
                  ? QStringList()
                  : matchAndSort(m_platform.listVisibleFiles(m_path), m_pattern, m_collator);
}

QStringList FileListBox::matchAndSort(const QStringList &names, const QString &pattern,
                                      const QCollator &collator)
{
    QStringList matching;
    for (const QString &name : names) {
        if (wildcardMatch(name, pattern))
            matching.append(name);
    }

    std::vector<qsizetype> order(size_t(matching.size()));
    std::iota(order.begin(), order.end(), 0);
    // Ties fall back to the plain text, so that the order never depends on the folder's.
    auto sortBy = [&](const auto &keys) {
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            const int byKey = keys[size_t(a)].compare(keys[size_t(b)]);
            return byKey != 0 ? byKey < 0 : matching[a] < matching[b];
        });
    };
    const bool ascii = std::all_of(matching.cbegin(), matching.cend(), [](const QString &name) {
        return std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
    });
    if (ascii) {
        // Plain names need no collation tables: letter case folded, bytes compared.
        std::vector<QByteArray> keys;
        keys.reserve(size_t(matching.size()));
        for (const QString &name : matching)
            keys.push_back(name.toLatin1().toLower());
        sortBy(keys);
    } else {
        // Collation keys once each instead of collating on every comparison.
        std::vector<QCollatorSortKey> keys;
        keys.reserve(size_t(matching.size()));
        for (const QString &name : matching)
            keys.push_back(collator.sortKey(name.toCaseFolded()));
        sortBy(keys);
    }

    QStringList sorted;
    sorted.reserve(matching.size());
    for (qsizetype index : order)
        sorted.append(matching[index]);
    return sorted;
}

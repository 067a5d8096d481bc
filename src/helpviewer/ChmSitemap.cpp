#include "qvx/helpviewer/ChmSitemap.h"

#include "qvx/helpviewer/ChmAddress.h"

#include <QHash>

namespace {

struct Tag
{
    QString name;                       // lower case, "/ul" for a closing tag
    QHash<QString, QString> attributes; // names in lower case, values decoded
};

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

// Reads the tag that starts at text[at] == '<'; leaves at just past its '>' (or the end).
Tag readTag(const QString &text, qsizetype &at)
{
    Tag tag;
    const qsizetype size = text.size();
    ++at;
    const qsizetype nameStart = at;
    while (at < size && !isSpace(text[at]) && text[at] != QLatin1Char('>'))
        ++at;
    tag.name = text.mid(nameStart, at - nameStart).toLower();
    if (tag.name.endsWith(QLatin1Char('/')))
        tag.name.chop(1);
    while (at < size) {
        while (at < size && (isSpace(text[at]) || text[at] == QLatin1Char('/')))
            ++at;
        if (at >= size)
            break;
        if (text[at] == QLatin1Char('>')) {
            ++at;
            break;
        }
        const qsizetype keyStart = at;
        while (at < size && !isSpace(text[at]) && text[at] != QLatin1Char('=') &&
               text[at] != QLatin1Char('>'))
            ++at;
        const QString key = text.mid(keyStart, at - keyStart).toLower();
        while (at < size && isSpace(text[at]))
            ++at;
        QString value;
        if (at < size && text[at] == QLatin1Char('=')) {
            ++at;
            while (at < size && isSpace(text[at]))
                ++at;
            if (at < size && (text[at] == QLatin1Char('"') || text[at] == QLatin1Char('\''))) {
                const QChar quote = text[at++];
                const qsizetype valueStart = at;
                while (at < size && text[at] != quote)
                    ++at;
                value = text.mid(valueStart, at - valueStart);
                if (at < size)
                    ++at;
            } else {
                const qsizetype valueStart = at;
                while (at < size && !isSpace(text[at]) && text[at] != QLatin1Char('>'))
                    ++at;
                value = text.mid(valueStart, at - valueStart);
            }
        }
        if (!key.isEmpty() && !tag.attributes.contains(key))
            tag.attributes.insert(key, decodeHtmlEntities(value));
    }
    return tag;
}

class SitemapBuilder
{
public:
    QList<SitemapEntry> entries;

    void openObject(const Tag &tag, int depth)
    {
        closeObject();
        if (tag.attributes.value(QStringLiteral("type"))
                .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) != 0)
            return;
        m_open = true;
        m_entry = SitemapEntry();
        m_entry.depth = depth;
        m_keyword.clear();
        m_firstName.clear();
        m_lastName.clear();
    }

    void param(const Tag &tag)
    {
        if (!m_open)
            return;
        const QString name = tag.attributes.value(QStringLiteral("name")).toLower();
        const QString value = tag.attributes.value(QStringLiteral("value"));
        if (name == QLatin1String("keyword")) {
            if (m_keyword.isEmpty())
                m_keyword = value;
        } else if (name == QLatin1String("name")) {
            if (m_firstName.isEmpty())
                m_firstName = value;
            m_lastName = value;
        } else if (name == QLatin1String("local")) {
            if (m_entry.targets.size() < maxSitemapTargets)
                m_entry.targets.append({m_lastName, value});
        }
    }

    void closeObject()
    {
        if (!m_open)
            return;
        m_open = false;
        m_entry.name = m_keyword.isEmpty() ? m_firstName : m_keyword;
        for (SitemapTarget &target : m_entry.targets) {
            if (target.title.isEmpty())
                target.title = m_entry.name;
        }
        if (entries.size() < maxSitemapEntries && !m_entry.name.isEmpty())
            entries.append(std::move(m_entry));
    }

private:
    bool m_open = false;
    SitemapEntry m_entry;
    QString m_keyword;
    QString m_firstName;
    QString m_lastName;
};

} // namespace

QList<SitemapEntry> parseSitemap(const QString &text)
{
    SitemapBuilder builder;
    int listDepth = 0; // open <UL>s; the top list holds depth-0 entries
    qsizetype at = 0;
    const qsizetype size = text.size();
    while (at < size) {
        at = text.indexOf(QLatin1Char('<'), at);
        if (at < 0)
            break;
        if (text.mid(at, 4) == QLatin1String("<!--")) {
            const qsizetype end = text.indexOf(QLatin1String("-->"), at + 4);
            at = end < 0 ? size : end + 3;
            continue;
        }
        const Tag tag = readTag(text, at);
        if (tag.name == QLatin1String("ul")) {
            builder.closeObject();
            ++listDepth;
        } else if (tag.name == QLatin1String("/ul")) {
            builder.closeObject();
            if (listDepth > 0)
                --listDepth;
        } else if (tag.name == QLatin1String("object")) {
            builder.openObject(tag, qBound(0, listDepth - 1, maxSitemapDepth));
        } else if (tag.name == QLatin1String("/object")) {
            builder.closeObject();
        } else if (tag.name == QLatin1String("param")) {
            builder.param(tag);
        }
        if (builder.entries.size() >= maxSitemapEntries)
            break;
    }
    builder.closeObject();
    return builder.entries;
}

QString decodeHtmlEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QHash<QString, char32_t> named = {
        {QStringLiteral("amp"), U'&'},     {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},      {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},   {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("copy"), 0xA9},    {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("trade"), 0x2122}, {QStringLiteral("middot"), 0xB7},
        {QStringLiteral("eacute"), 0xE9},  {QStringLiteral("egrave"), 0xE8},
        {QStringLiteral("auml"), 0xE4},    {QStringLiteral("ouml"), 0xF6},
        {QStringLiteral("uuml"), 0xFC},    {QStringLiteral("szlig"), 0xDF},
        {QStringLiteral("ndash"), 0x2013}, {QStringLiteral("mdash"), 0x2014},
    };
    QString out;
    out.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        const QChar c = text[at];
        const qsizetype semicolon =
            c == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), at + 1) : -1;
        // A reference is short; a lone '&' stays as it is.
        if (semicolon < 0 || semicolon - at > 10) {
            out.append(c);
            ++at;
            continue;
        }
        const QString body = text.mid(at + 1, semicolon - at - 1);
        char32_t code = 0;
        bool ok = false;
        if (body.startsWith(QLatin1Char('#'))) {
            const bool hex =
                body.size() > 1 && (body[1] == QLatin1Char('x') || body[1] == QLatin1Char('X'));
            const uint value = body.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            ok = ok && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
            code = value;
        } else if (const auto found = named.constFind(body); found != named.constEnd()) {
            code = found.value();
            ok = true;
        }
        if (!ok) {
            out.append(c);
            ++at;
            continue;
        }
        out.append(QString::fromUcs4(&code, 1));
        at = semicolon + 1;
    }
    return out;
}

QUrl sitemapTargetUrl(const QString &local)
{
    const QString trimmed = local.trimmed();
    for (const char *scheme : {"http:", "https:", "ftp:", "mailto:"}) {
        if (trimmed.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return QUrl(trimmed);
    }
    return chmPageUrl(trimmed);
}

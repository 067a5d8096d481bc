#include "qvx/help/ChmAddress.h"
#include "qvx/help/ChmBinaryIndex.h"
#include "qvx/help/ChmFile.h"
#include "qvx/help/ChmFullText.h"
#include "qvx/help/ChmSitemap.h"
#include "qvx/help/ChmSystem.h"
#include "qvx/help/IndexModel.h"
#include "qvx/help/SearchIndex.h"

#include <QtEndian>

#include <QStringDecoder>
#include <QTest>

using namespace qvx::help;

using namespace Qt::StringLiterals;

namespace {

QByteArray record(quint16 code, const QByteArray &data)
{
    const char head[] = {char(code & 0xFF), char(code >> 8), char(data.size() & 0xFF),
                         char(data.size() >> 8)};
    return QByteArray(head, 4) + data;
}

// A #SYSTEM stream: the version word, then the records.
QByteArray systemStream(const QList<QByteArray> &records)
{
    return QByteArray("\x03\x00\x00\x00", 4) + records.join();
}

QString describe(const QList<SitemapEntry> &entries)
{
    QStringList lines;
    for (const SitemapEntry &entry : entries) {
        QStringList targets;
        for (const SitemapTarget &target : entry.targets)
            targets.append(target.title + u'=' + target.local);
        lines.append(QString::number(entry.depth) + u' ' + entry.name +
                     (targets.isEmpty() ? QString() : u" -> " + targets.join(u", ")));
    }
    return lines.join(u'\n');
}

QByteArray littleEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

// One keyword of a binary index listing block; a "see also" one when `seeAlso` is given.
QByteArray keywordEntry(const QString &keyword, int depth, int levelStart,
                        const QList<quint32> &topics, const QString &seeAlso = {})
{
    QByteArray out;
    const auto appendWide = [&out](const QString &text) {
        for (const QChar c : text)
            out.append(littleEndian(c.unicode(), 2));
        out.append(littleEndian(0, 2));
    };
    appendWide(keyword);
    out.append(littleEndian(seeAlso.isEmpty() ? 0 : 2, 2));
    out.append(littleEndian(quint32(depth), 2));
    out.append(littleEndian(quint32(levelStart), 4));
    out.append(littleEndian(0, 4));
    out.append(littleEndian(quint32(qMax(topics.size(), qsizetype(1))), 4));
    if (seeAlso.isEmpty()) {
        for (const quint32 topic : topics)
            out.append(littleEndian(topic, 4));
    } else {
        appendWide(seeAlso);
    }
    out.append(littleEndian(1, 4));
    out.append(littleEndian(0, 4));
    return out;
}

// A binary index of one listing block of 2048 bytes holding `entries`, which it claims are
// `count`.
QByteArray binaryIndex(const QList<QByteArray> &entries, qsizetype count)
{
    QByteArray header = littleEndian(0x293B, 2) + littleEndian(2, 2) + littleEndian(2048, 2);
    header += QByteArray("X44").leftJustified(16, '\0');
    header += littleEndian(0, 4) + littleEndian(0, 4) + littleEndian(0, 4) +
              littleEndian(0xFFFFFFFF, 4) + littleEndian(1, 4);
    header = header.leftJustified(0x4C, '\0');
    QByteArray block = littleEndian(0, 2) + littleEndian(quint32(count), 2) +
                       littleEndian(0xFFFFFFFF, 4) + littleEndian(0xFFFFFFFF, 4) + entries.join();
    return header + block.leftJustified(2048, '\0');
}

// A well-formed sitemap entry from its parameters' names and values in turn.
QString entry(std::initializer_list<const char *> params)
{
    QString text = QStringLiteral("<LI><OBJECT type=\"text/sitemap\">");
    for (auto param = params.begin(); param + 1 < params.end(); param += 2)
        text += QStringLiteral("<param name=\"%1\" value=\"%2\">")
                    .arg(QString::fromUtf8(param[0]), QString::fromUtf8(param[1]));
    return text + u"</OBJECT>";
}

// A row of texts, each a literal or a QString.
template <typename... Texts> void row(const char *name, const Texts &...texts)
{
    QTestData &data = QTest::newRow(name);
    ((data << QAnyStringView(texts).toString()), ...);
}

} // namespace

class TestHelpParsing : public QObject
{
    Q_OBJECT

private slots:
    void readsRequestAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("file"); // empty: no address at all
        QTest::addColumn<QString>("page");

        const QString demos = QStringLiteral("/opt/Demo Player/Quorvex Demos.chm");
        row("bare file", demos, demos, "");
        row("ms-its topic", u"ms-its:" + demos + u"::/Welcome.htm", demos, "Welcome.htm");
        row("ms-its any case", "MS-ITS:/a/b.chm::/sub/Page.htm", "/a/b.chm", "sub/Page.htm");
        row("mk store", "mk:@MSITStore:/a/help.chm::/What is Quorvex.htm", "/a/help.chm",
            "What is Quorvex.htm");
        // A plain path is a file path, "::" and all.
        row("no prefix", "/a::/help.chm::/x.htm", "/a::/help.chm::/x.htm", "");
        row("colons in the folder", "ms-its:/a::/b::c/help.chm::/x.htm", "/a::/b::c/help.chm",
            "x.htm");
        row("windows path", "ms-its:C:\\Demo Player\\Q.chm::/Add-ons.htm", "C:\\Demo Player\\Q.chm",
            "Add-ons.htm");
        row("empty page", "ms-its:/a/help.chm::/", "/a/help.chm", "");
        row("empty", "", "", "");
        row("prefix only", "ms-its:", "", "");
        row("no file", "ms-its:::/Welcome.htm", "", "");
    }

    void readsRequestAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, file);
        const std::optional<HelpAddress> address = parseHelpAddress(text);
        QCOMPARE(address.has_value(), !file.isEmpty());
        if (address) {
            QCOMPARE(address->file, file);
            QTEST(address->page, "page");
        }
    }

    void resolvesPagePaths_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("path"); // empty: no page
        QTest::addColumn<QString>("fragment");
        // An empty base reads the reference on its own; otherwise it is a link on that page.

        row("adds the leading slash", "", "Welcome.htm", "/Welcome.htm", "");
        row("doubled slashes", "", "//sub//x.htm", "/sub/x.htm", "");
        row("dot steps", "", "/a/./b/../x.htm", "/a/x.htm", "");
        row("never above the root", "", "../../x.htm", "/x.htm", "");
        row("backslashes", "", "sub\\x.htm", "/sub/x.htm", "");
        row("percent encoded", "", "What%20is%20Quorvex.htm", "/What is Quorvex.htm", "");
        row("fragment", "", "About the demos.htm#shared", "/About the demos.htm", "shared");
        row("embedded address", "", "ms-its:other.chm::/sub/x.htm", "/sub/x.htm", "");
        row("query dropped", "", "x.htm?y=1", "/x.htm", "");
        row("fragment only", "", "#only", "", "");
        row("nothing left", "", "/a/..", "", "");
        row("empty", "", "", "", "");
        row("too long", "", QString(600, u'a'), "", "");
        row("link to a sibling", "Welcome.htm", "What is Quorvex.htm", "/What is Quorvex.htm", "");
        row("link from a folder", "sub/a.htm", "b.htm", "/sub/b.htm", "");
        row("link up a folder", "sub/a.htm", "../images/x.png", "/images/x.png", "");
        row("absolute link", "sub/a.htm", "/top.htm", "/top.htm", "");
        row("link within the page", "sub/a.htm", "#part", "/sub/a.htm", "part");
    }

    void resolvesPagePaths()
    {
        QFETCH(QString, base);
        QFETCH(QString, reference);
        QFETCH(QString, path);
        const QUrl url =
            base.isEmpty() ? chmPageUrl(reference) : chmPageUrl(base).resolved(QUrl(reference));
        if (path.isEmpty()) {
            QVERIFY(url.isEmpty());
            return;
        }
        QCOMPARE(url.scheme(), chmScheme());
        QCOMPARE(chmLookupPath(url), path);
        QTEST(url.fragment(QUrl::FullyDecoded), "fragment");
    }

    void readsSystemRecords_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected"); // contents|index|topic|title|lcid, empty if invalid

        const QByteArray topic = record(2, QByteArray("Welcome.htm\0", 12));
        QTest::newRow("every record, unknown ones skipped whole")
            << systemStream({record(0, QByteArray("toc.hhc\0", 8)),
                             record(1, QByteArray("index.hhk\0", 10)), topic,
                             record(3, QByteArray("Quorvex Help\0", 13)),
                             record(4, QByteArray("\x09\x04\x00\x00\x00\x00\x00\x00", 8)),
                             record(99, QByteArray(5000, 'x')), record(16, "Arial,8,0")})
            << "toc.hhc|index.hhk|Welcome.htm|Quorvex Help|409";
        QTest::newRow("record past the end dropped")
            << systemStream({topic, record(3, QByteArray("A long title\0", 13)).chopped(4)})
            << "||Welcome.htm||0";
        QTest::newRow("record header cut short")
            << systemStream({topic, QByteArray("\x03\x00\x05", 3)}) << "||Welcome.htm||0";
        QTest::newRow("language record too short")
            << systemStream({record(4, QByteArray(1, '\x19'))}) << "||||0";
        // The title comes before the language record; it is still read in the file's code page.
        QTest::newRow("texts in the file's code page")
            << systemStream({record(3, "\xcf\xf0\xe8\xe2\xe5\xf2"), record(4, "\x19\x04")})
            << QString::fromUtf8("|||Привет|419");
        QTest::newRow("no room for the version") << QByteArray("\x03\x00", 2) << "";
    }

    void readsSystemRecords()
    {
        QFETCH(QByteArray, data);
        const ChmSystemInfo info = parseChmSystem(data);
        const QString described = QStringList{info.contentsFile, info.indexFile, info.defaultTopic,
                                              info.title, QString::number(info.lcid, 16)}
                                      .join(u'|');
        QTEST(info.valid ? described : QString(), "expected");
    }

    void codePageFollowsLanguage_data()
    {
        QTest::addColumn<quint32>("lcid");
        QTest::addColumn<QByteArray>("encoding");

        QTest::newRow("none") << 0u << QByteArray("windows-1252");
        QTest::newRow("Russian") << 0x419u << QByteArray("windows-1251");
        QTest::newRow("Serbian Latin") << 0x81Au << QByteArray("windows-1250");
        QTest::newRow("Serbian Cyrillic") << 0xC1Au << QByteArray("windows-1251");
        QTest::newRow("Chinese (Taiwan)") << 0x404u << QByteArray("Big5");
        QTest::newRow("Korean") << 0x412u << QByteArray("windows-949");
    }

    void codePageFollowsLanguage()
    {
        QFETCH(quint32, lcid);
        QFETCH(QByteArray, encoding);
        QCOMPARE(encodingForLcid(lcid), encoding);
        // A name Qt's converters do not know would leave the pages empty.
        QVERIFY2(QStringDecoder(encoding.constData()).isValid(), encoding.constData());
    }

    void readsSitemaps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        row("contents with nesting",
            QString(u"<UL>" + entry({"Name", "Top", "Local", "top.htm"}) + u"<UL>" +
                    entry({"Name", "Inner", "Local", "in.htm"}) + u"</UL>" +
                    entry({"Name", "Next"}) + u"</UL>"),
            "0 Top -> Top=top.htm\n1 Inner -> Inner=in.htm\n0 Next");
        row("index keyword with several pages",
            entry({"Keyword", "Prices", "Name", "Ordering", "Local", "o.htm", "Name", "Add-ons",
                   "Local", "a.htm"}),
            "0 Prices -> Ordering=o.htm, Add-ons=a.htm");
        row("single quotes, no quotes, no closing tags",
            "<ul><li><object type='text/sitemap'><param name=Name value='A page'>"
            "<param name=local value=a.htm><li><object type=text/sitemap>"
            "<param name='Name' value=B><param name='Local' value='b.htm'>",
            "0 A page -> A page=a.htm\n0 B -> B=b.htm");
        row("entities and fragments",
            entry({"Name", "Caf&#233; &amp; Bar &#xE9;", "Local", "a%20b.htm#part"}),
            QString::fromUtf8("0 Café & Bar é -> Café & Bar é=a%20b.htm#part"));
        row("entities, unknown and invalid ones kept",
            entry({"Name", "&lt;a&gt; &quot;b&quot; &#XE9;&#x1F600; &bogus; &#xZZ; &#0; &#xD800; "
                           "Tom & Jerry &#99999999999;"}),
            QString::fromUtf8("0 <a> \"b\" é\xF0\x9F\x98\x80 &bogus; &#xZZ; &#0; &#xD800; Tom & "
                              "Jerry &#99999999999;"));
        row("site properties and comments ignored",
            "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\"></OBJECT>"
            "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"> -->"
            "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Shown\">",
            "0 Shown");
        row("unbalanced closing lists",
            QString(u"</UL></UL><UL>" + entry({"Name", "A"}) + u"</UL></UL>"), "0 A");
        row("cut off inside a tag",
            "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\"><param na",
            "0 A");
        row("deep nesting capped",
            QString(QStringLiteral("<UL>").repeated(5000) + entry({"Name", "Deep"})),
            QString::number(maxSitemapDepth) + u" Deep");
        row("garbage", "<<<>>> <= =< <'\"", "");
    }

    void readsSitemaps()
    {
        QFETCH(QString, text);
        QTEST(describe(parseSitemap(text)), "expected");
    }

    void readsBinaryIndex_data()
    {
        QTest::addColumn<QByteArray>("btree");
        QTest::addColumn<QString>("expected");

        const QByteArray parent = keywordEntry(u"Parent"_s, 0, 0, {1, 7, 1});
        const QByteArray child = keywordEntry(u"Parent, child"_s, 1, 8, {2});
        QTest::newRow("keyword and sub-keyword")
            << binaryIndex({parent, child}, 2) << u"0 Parent -> One=one.htm\n1 child -> =two.htm"_s;
        QTest::newRow("see also, then on")
            << binaryIndex({keywordEntry(u"Other"_s, 0, 0, {}, u"Parent"_s), parent}, 2)
            << u"0 Other\n0 Parent -> One=one.htm"_s;
        QTest::newRow("more entries claimed than the block holds")
            << binaryIndex({parent, child}, 500)
            << u"0 Parent -> One=one.htm\n1 child -> =two.htm"_s;
        QTest::newRow("level start past the keyword")
            << binaryIndex({keywordEntry(u"Short"_s, 1, 400, {2})}, 1) << u"1 Short -> =two.htm"_s;
        QByteArray foreign = binaryIndex({parent}, 1);
        foreign[0] = 'X';
        QTest::newRow("not a binary index") << foreign << QString();
        QTest::newRow("header only") << binaryIndex({parent}, 1).left(0x4C) << QString();
    }

    void readsBinaryIndex()
    {
        QFETCH(QByteArray, btree);
        // Topic 1 has a title, topic 2 none, others are unknown and left out.
        const auto resolve = [](quint32 topic) -> std::optional<SitemapTarget> {
            if (topic == 1)
                return SitemapTarget{u"One"_s, u"one.htm"_s};
            if (topic == 2)
                return SitemapTarget{QString(), u"two.htm"_s};
            return std::nullopt;
        };
        QList<SitemapEntry> entries = parseBinaryIndex(btree, resolve);
        // A target without a title of its own is named by its keyword; blank it to compare.
        for (SitemapEntry &entry : entries) {
            for (SitemapTarget &target : entry.targets)
                target.title = target.title == entry.name ? QString() : target.title;
        }
        QTEST(describe(entries), "expected");
    }

    void findsTypedKeyword_data()
    {
        QTest::addColumn<QStringList>("keywords"); // a leading space marks a sub-keyword
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");

        const QStringList sorted{u"apple"_s, u"Banana"_s, u" bread"_s, u"cherry"_s, u"Date"_s};
        QTest::newRow("first that begins so") << sorted << u"b"_s << 1;
        QTest::newRow("letter case aside") << sorted << u"DA"_s << 4;
        QTest::newRow("sub-keyword when no keyword fits") << sorted << u"bre"_s << 2;
        QTest::newRow("else where it would stand") << sorted << u"bz"_s << 3;
        QTest::newRow("past the end") << sorted << u"zz"_s << 4;
        QTest::newRow("blank") << sorted << u"  "_s << -1;
        // Sorted by upper case: "_" comes after the letters.
        const QStringList upperSorted{u"AbsoluteIndex"_s, u"AbsValue"_s, u"ABS_DOWN"_s};
        QTest::newRow("sorted by upper case") << upperSorted << u"abs_"_s << 2;
        QTest::newRow("sorted by upper case, where it would stand")
            << upperSorted << u"absp"_s << 1;
        const QStringList unsorted{u"pear"_s, u"apple"_s, u"plum"_s, u"apricot"_s};
        QTest::newRow("out of order: the first in the list") << unsorted << u"ap"_s << 1;
        QTest::newRow("out of order, nothing fits") << unsorted << u"q"_s << -1;
    }

    void findsTypedKeyword()
    {
        QFETCH(QStringList, keywords);
        QList<SitemapEntry> entries;
        for (const QString &keyword : keywords)
            entries.append({keyword.trimmed(), {}, keyword.startsWith(u' ') ? 1 : 0});
        IndexModel model;
        model.setEntries(entries);
        QFETCH(QString, typed);
        QTEST(model.findKeyword(typed), "row");
    }

    void findsDeclaredCharset_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("charset");

        row("http-equiv", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
            "utf-8");
        row("html5", "<META CHARSET='windows-1251'>", "windows-1251");
        row("none", "<html><body>charset=koi8-r</body></html>", "");
    }

    void findsDeclaredCharset()
    {
        QFETCH(QString, page);
        QFETCH(QString, charset);
        QCOMPARE(declaredCharset(page.toUtf8()), charset.toUtf8());
    }
    void pageTextIsWhatAReaderSees()
    {
        const PageText text =
            pageText(u"<html><head><title>Caf&eacute; &amp; Bar</title><style>p{color:red}</style>"
                     u"<script>var hidden = 1;</script></head><body><!-- note --><p>&Eacute;COLE"
                     u" na&#239;ve&#x21; x<b>y</b></p></body></html>");
        QCOMPARE(text.title, QStringLiteral("Café & Bar"));
        QCOMPARE(
            textWords(text.body),
            QStringList({QStringLiteral("école"), QStringLiteral("naïve"), QStringLiteral("xy")}));
        QCOMPARE(
            textWords(u"ÉCOLE école-42"),
            QStringList({QStringLiteral("école"), QStringLiteral("école"), QStringLiteral("42")}));
        QCOMPARE(searchTerms(QStringLiteral(" Zebra zeb* ZEBRA ")),
                 QStringList({QStringLiteral("zebra"), QStringLiteral("zeb*")}));
    }

    void queriesSplitAsIndexesSplitText()
    {
        const SearchQuery query = parseSearchQuery(u"Zebra 热键 \"tool BUTTON\" 핫 키 tb* 𠀋"_s);
        QCOMPARE(query.terms, QStringList({u"zebra"_s, u"热"_s, u"键"_s, u"tool"_s, u"button"_s,
                                           u"핫"_s, u"키"_s, u"tb*"_s, u"𠀋"_s}));
        QCOMPARE(query.phrases, QList<QStringList>({{u"热"_s, u"键"_s}, {u"tool"_s, u"button"_s}}));
        QCOMPARE(textWords(u"定义热键。Hotkey"),
                 QStringList({u"定"_s, u"义"_s, u"热"_s, u"键"_s, u"hotkey"_s}));

        // Text pasted in whole ends at the last term kept, a quoted phrase with it.
        QString pasted;
        for (int word = 0; word < 3000; ++word)
            pasted += u"w%1 "_s.arg(word);
        const SearchQuery capped = parseSearchQuery(u"\"w1 w2 "_s + pasted + u'"', {false, true});
        QCOMPARE(capped.terms.size(), 64);
        QCOMPARE(capped.forms.size(), 64);
        QCOMPARE(capped.phrases.size(), 1);
        QCOMPARE(capped.phrases.first().size(), 66);
        QCOMPARE(capped.phrases.first().last(), u"w63"_s);
    }

    void untitledPagesAreNamed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("shown");
        QTest::newRow("titled") << u"/a.htm"_s << u" Title "_s << u"Head"_s << u"Title"_s;
        QTest::newRow("dot") << u"/a.htm"_s << u"."_s << u"Head"_s << u"Head"_s;
        QTest::newRow("bare path") << u"/lcl/comctrls/tbutton.html"_s
                                   << u"lcl/comctrls/tbutton.html"_s << QString() << u"tbutton"_s;
        QTest::newRow("encoded name")
            << u"/sub/two%20words.htm"_s << QString() << u" "_s << u"two words"_s;
    }
    void untitledPagesAreNamed()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QFETCH(QString, heading);
        QTEST(pageTitle(path, title, heading), "shown");
    }

    // A full-text index whose leaf names itself as the next one and whose word claims more
    // documents than the file has: the search ends, with what is really there.
    void hostileFullTextIndexEnds()
    {
        constexpr int node = 0x40;
        constexpr int nodeLength = 64;
        QByteArray index(node + nodeLength + 8, '\0');
        const auto put32 = [&](int at, quint32 value) {
            qToLittleEndian(value, index.data() + at);
        };
        put32(0x14, node);
        index[0x18] = 1; // depth
        for (int at : {0x1e, 0x20, 0x22})
            index[at] = 2;
        index[0x1f] = 1;
        index[0x21] = 1;
        index[0x23] = 4;
        put32(0x2e, nodeLength);
        put32(node, node); // the next leaf: itself
        const QByteArray entry = QByteArray("\x05\x00loop\x00\x7f", 8) + QByteArray(4, '\0') +
                                 QByteArray(2, '\0') + QByteArray("\x02", 1);
        index.replace(node + 8, entry.size(), entry);
        qToLittleEndian(quint16(nodeLength - 8 - entry.size()), index.data() + node + 6);
        qToLittleEndian(quint32(node + nodeLength), index.data() + node + 8 + 8);
        index[node + nodeLength] = char(0x10); // document 0, one location
        ChmFullText::Objects objects;
        objects.index = index;
        objects.topics = QByteArray(16, '\0');
        objects.urlTable = QByteArray(12, '\0');
        objects.urlStrings = QByteArray(8, '\0') + QByteArray("p.htm", 6);
        const std::shared_ptr<ChmFullText> fullText =
            ChmFullText::fromObjects(objects, QByteArrayLiteral("windows-1252"));
        QVERIFY(fullText);
        const std::atomic_bool going(false);
        const QList<SearchHit> hits =
            fullText->search(parseSearchQuery(QStringLiteral("loop")), going);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().path, QStringLiteral("/p.htm"));
        // Its one place cannot hold a phrase of two.
        QVERIFY(fullText->search(parseSearchQuery(u"\"loop loop\""_s), going).isEmpty());

        objects.index.truncate(0x30);
        QVERIFY(!ChmFullText::fromObjects(objects, QByteArrayLiteral("windows-1252")));
    }
};

QTEST_GUILESS_MAIN(TestHelpParsing)
#include "tst_helpparsing.moc"

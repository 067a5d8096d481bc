#include "help/viewer/ChmAddress.h"
#include "help/viewer/ChmFile.h"
#include "help/viewer/ChmSitemap.h"
#include "help/viewer/ChmSystem.h"

#include <QTest>

namespace {

QByteArray systemRecord(quint16 code, const QByteArray &data)
{
    QByteArray record;
    record.append(char(code & 0xFF)).append(char(code >> 8));
    record.append(char(data.size() & 0xFF)).append(char(data.size() >> 8));
    return record + data;
}

QString describe(const QList<SitemapEntry> &entries)
{
    QStringList lines;
    for (const SitemapEntry &entry : entries) {
        QStringList targets;
        for (const SitemapTarget &target : entry.targets)
            targets.append(target.title + QLatin1Char('=') + target.local);
        lines.append(QString::number(entry.depth) + QLatin1Char(' ') + entry.name +
                     (targets.isEmpty()
                          ? QString()
                          : QLatin1String(" -> ") + targets.join(QLatin1String(", "))));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestHelpParsing : public QObject
{
    Q_OBJECT

private slots:
    void readsRequestAddresses_data();
    void readsRequestAddresses();
    void normalisesPathsForLookup_data();
    void normalisesPathsForLookup();
    void pageUrlsDecodeAndKeepFragments_data();
    void pageUrlsDecodeAndKeepFragments();
    void relativeLinksResolveInsideTheFile_data();
    void relativeLinksResolveInsideTheFile();
    void readsSystemRecords();
    void systemRecordPastTheEndIsDropped();
    void systemTextsUseTheFileCodePage();
    void codePageFollowsLanguage_data();
    void codePageFollowsLanguage();
    void readsSitemaps_data();
    void readsSitemaps();
    void deepNestingIsCapped();
    void decodesEntities_data();
    void decodesEntities();
    void findsDeclaredCharset_data();
    void findsDeclaredCharset();
};

void TestHelpParsing::readsRequestAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("page");

    QTest::newRow("bare file") << "/opt/Demo Player/Quorvex Demos.chm" << true
                               << "/opt/Demo Player/Quorvex Demos.chm"
                               << "";
    QTest::newRow("ms-its topic") << "ms-its:/opt/Demo Player/Quorvex Demos.chm::/Welcome.htm"
                                  << true << "/opt/Demo Player/Quorvex Demos.chm"
                                  << "Welcome.htm";
    QTest::newRow("ms-its any case") << "MS-ITS:/a/b.chm::/sub/Page.htm" << true << "/a/b.chm"
                                     << "sub/Page.htm";
    QTest::newRow("mk store") << "mk:@MSITStore:/a/help.chm::/What is Quorvex.htm" << true
                              << "/a/help.chm"
                              << "What is Quorvex.htm";
    QTest::newRow("no prefix with page") << "/a/help.chm::/x.htm" << true << "/a/help.chm"
                                         << "x.htm";
    QTest::newRow("windows path") << "ms-its:C:\\Demo Player\\Quorvex Demos.chm::/Add-ons.htm"
                                  << true << "C:\\Demo Player\\Quorvex Demos.chm"
                                  << "Add-ons.htm";
    QTest::newRow("empty page") << "ms-its:/a/help.chm::/" << true << "/a/help.chm"
                                << "";
    QTest::newRow("empty") << "" << false << ""
                           << "";
    QTest::newRow("prefix only") << "ms-its:" << false << ""
                                 << "";
    QTest::newRow("no file") << "ms-its:::/Welcome.htm" << false << ""
                             << "";
}

void TestHelpParsing::readsRequestAddresses()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<HelpAddress> address = parseHelpAddress(text);
    QCOMPARE(address.has_value(), valid);
    if (!valid)
        return;
    QTEST(address->file, "file");
    QTEST(address->page, "page");
}

void TestHelpParsing::normalisesPathsForLookup_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("adds the leading slash") << "Welcome.htm"
                                            << "/Welcome.htm";
    QTest::newRow("doubled slashes") << "//sub//x.htm"
                                     << "/sub/x.htm";
    QTest::newRow("dot steps") << "/a/./b/../x.htm"
                               << "/a/x.htm";
    QTest::newRow("never above the root") << "../../x.htm"
                                          << "/x.htm";
    QTest::newRow("backslashes") << "sub\\x.htm"
                                 << "/sub/x.htm";
    QTest::newRow("spaces stay") << "/What is Quorvex.htm"
                                 << "/What is Quorvex.htm";
    QTest::newRow("nothing left") << "/a/.."
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("too long") << QString(600, QLatin1Char('a')) << "";
}

void TestHelpParsing::normalisesPathsForLookup()
{
    QFETCH(QString, path);
    QTEST(normaliseChmPath(path), "expected");
}

void TestHelpParsing::pageUrlsDecodeAndKeepFragments_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("plain") << "Welcome.htm"
                           << "/Welcome.htm"
                           << "";
    QTest::newRow("percent encoded") << "What%20is%20Quorvex.htm"
                                     << "/What is Quorvex.htm"
                                     << "";
    QTest::newRow("fragment") << "About the demos.htm#shared"
                              << "/About the demos.htm"
                              << "shared";
    QTest::newRow("embedded address") << "ms-its:other.chm::/sub/x.htm"
                                      << "/sub/x.htm"
                                      << "";
    QTest::newRow("query dropped") << "x.htm?y=1"
                                   << "/x.htm"
                                   << "";
    QTest::newRow("no page") << "#only"
                             << ""
                             << "";
}

void TestHelpParsing::pageUrlsDecodeAndKeepFragments()
{
    QFETCH(QString, reference);
    QFETCH(QString, path);
    const QUrl url = chmPageUrl(reference);
    if (path.isEmpty()) {
        QVERIFY(!url.isValid() || url.isEmpty());
        return;
    }
    QCOMPARE(url.scheme(), chmScheme());
    QCOMPARE(chmLookupPath(url), path);
    QTEST(url.fragment(QUrl::FullyDecoded), "fragment");
}

void TestHelpParsing::relativeLinksResolveInsideTheFile_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("path");

    QTest::newRow("sibling") << "Welcome.htm"
                             << "What is Quorvex.htm"
                             << "/What is Quorvex.htm";
    QTest::newRow("from a folder") << "sub/a.htm"
                                   << "b.htm"
                                   << "/sub/b.htm";
    QTest::newRow("up a folder") << "sub/a.htm"
                                 << "../images/x.png"
                                 << "/images/x.png";
    QTest::newRow("absolute") << "sub/a.htm"
                              << "/top.htm"
                              << "/top.htm";
    QTest::newRow("fragment only") << "sub/a.htm"
                                   << "#part"
                                   << "/sub/a.htm";
}

void TestHelpParsing::relativeLinksResolveInsideTheFile()
{
    QFETCH(QString, page);
    QFETCH(QString, link);
    const QUrl resolved = chmPageUrl(page).resolved(QUrl(link));
    QCOMPARE(resolved.scheme(), chmScheme());
    QTEST(chmLookupPath(resolved), "path");
}

void TestHelpParsing::readsSystemRecords()
{
    QByteArray data("\x03\x00\x00\x00", 4);
    data += systemRecord(0, QByteArray("toc.hhc\0", 8));
    data += systemRecord(1, QByteArray("index.hhk\0", 10));
    data += systemRecord(2, QByteArray("Welcome.htm\0", 12));
    data += systemRecord(3, QByteArray("Quorvex Help\0", 13));
    data += systemRecord(4, QByteArray("\x09\x04\x00\x00\x00\x00\x00\x00", 8));
    data += systemRecord(99, QByteArray(5000, 'x')); // unknown and long: skipped whole
    data += systemRecord(16, QByteArray("Arial,8,0\0", 10));
    const ChmSystemInfo info = parseChmSystem(data);
    QVERIFY(info.valid);
    QCOMPARE(info.contentsFile, QStringLiteral("toc.hhc"));
    QCOMPARE(info.indexFile, QStringLiteral("index.hhk"));
    QCOMPARE(info.defaultTopic, QStringLiteral("Welcome.htm"));
    QCOMPARE(info.title, QStringLiteral("Quorvex Help"));
    QCOMPARE(info.lcid, 0x409u);
}

void TestHelpParsing::systemRecordPastTheEndIsDropped()
{
    QByteArray data("\x03\x00\x00\x00", 4);
    data += systemRecord(2, QByteArray("Welcome.htm\0", 12));
    QByteArray cut = systemRecord(3, QByteArray("A long title\0", 13));
    cut.chop(4);
    data += cut;
    const ChmSystemInfo info = parseChmSystem(data);
    QVERIFY(info.valid);
    QCOMPARE(info.defaultTopic, QStringLiteral("Welcome.htm"));
    QVERIFY(info.title.isEmpty());
    QVERIFY(!parseChmSystem(QByteArray("\x03\x00", 2)).valid);
}

void TestHelpParsing::systemTextsUseTheFileCodePage()
{
    // The title comes before the language record: it is still read in the file's code page.
    QByteArray data("\x03\x00\x00\x00", 4);
    data += systemRecord(3, QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2\0", 7));
    data += systemRecord(4, QByteArray("\x19\x04\x00\x00", 4));
    QCOMPARE(parseChmSystem(data).title, QString::fromUtf8("Привет"));
}

void TestHelpParsing::codePageFollowsLanguage_data()
{
    QTest::addColumn<quint32>("lcid");
    QTest::addColumn<QByteArray>("encoding");

    QTest::newRow("English (US)") << 0x409u << QByteArray("windows-1252");
    QTest::newRow("German") << 0x407u << QByteArray("windows-1252");
    QTest::newRow("none") << 0u << QByteArray("windows-1252");
    QTest::newRow("Russian") << 0x419u << QByteArray("windows-1251");
    QTest::newRow("Polish") << 0x415u << QByteArray("windows-1250");
    QTest::newRow("Serbian Latin") << 0x81Au << QByteArray("windows-1250");
    QTest::newRow("Serbian Cyrillic") << 0xC1Au << QByteArray("windows-1251");
    QTest::newRow("Greek") << 0x408u << QByteArray("windows-1253");
    QTest::newRow("Turkish") << 0x41Fu << QByteArray("windows-1254");
    QTest::newRow("Hebrew") << 0x40Du << QByteArray("windows-1255");
    QTest::newRow("Arabic") << 0x401u << QByteArray("windows-1256");
    QTest::newRow("Lithuanian") << 0x427u << QByteArray("windows-1257");
    QTest::newRow("Japanese") << 0x411u << QByteArray("Shift_JIS");
    QTest::newRow("Chinese (PRC)") << 0x804u << QByteArray("GBK");
    QTest::newRow("Chinese (Taiwan)") << 0x404u << QByteArray("Big5");
    QTest::newRow("Korean") << 0x412u << QByteArray("windows-949");
    QTest::newRow("Thai") << 0x41Eu << QByteArray("windows-874");
}

void TestHelpParsing::codePageFollowsLanguage()
{
    QFETCH(quint32, lcid);
    QFETCH(QByteArray, encoding);
    QCOMPARE(encodingForLcid(lcid), encoding);
    // Each name must be one Qt's converters know, or pages would come out empty.
    QVERIFY2(QStringDecoder(encoding.constData()).isValid(), encoding.constData());
}

void TestHelpParsing::readsSitemaps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("contents with nesting")
        << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Top\">"
           "<param name=\"Local\" value=\"top.htm\"></OBJECT>"
           "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Inner\">"
           "<param name=\"Local\" value=\"in.htm\"></OBJECT></UL>"
           "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Next\"></OBJECT></UL>"
        << "0 Top -> Top=top.htm\n1 Inner -> Inner=in.htm\n0 Next";
    QTest::newRow("index keyword with several pages")
        << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Keyword\" value=\"Prices\">"
           "<param name=\"Name\" value=\"Ordering\"><param name=\"Local\" value=\"o.htm\">"
           "<param name=\"Name\" value=\"Add-ons\"><param name=\"Local\" value=\"a.htm\">"
           "</OBJECT></UL>"
        << "0 Prices -> Ordering=o.htm, Add-ons=a.htm";
    QTest::newRow("single quotes, no quotes, no closing tags")
        << "<ul><li><object type='text/sitemap'><param name=Name value='A page'>"
           "<param name=local value=a.htm><li><object type=text/sitemap>"
           "<param name='Name' value=B><param name='Local' value='b.htm'>"
        << "0 A page -> A page=a.htm\n0 B -> B=b.htm";
    QTest::newRow("entities and fragments")
        << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Caf&#233; &amp; "
           "Bar &#xE9;\"><param name=\"Local\" value=\"a%20b.htm#part\"></OBJECT></UL>"
        << QString::fromUtf8("0 Café & Bar é -> Café & Bar é=a%20b.htm#part");
    QTest::newRow("site properties and comments ignored")
        << "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\"></OBJECT>"
           "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"> -->"
           "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Shown\">"
           "</OBJECT></UL>"
        << "0 Shown";
    QTest::newRow("unbalanced closing lists")
        << "</UL></UL><UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\">"
           "</OBJECT></UL></UL>"
        << "0 A";
    QTest::newRow("cut off inside a tag")
        << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\"><param na"
        << "0 A";
    QTest::newRow("garbage") << "<<<>>> <= =< <'\""
                             << "";
}

void TestHelpParsing::readsSitemaps()
{
    QFETCH(QString, text);
    QTEST(describe(parseSitemap(text)), "expected");
}

void TestHelpParsing::deepNestingIsCapped()
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("<UL>");
    text += QStringLiteral("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Deep\">"
                           "</OBJECT>");
    const QList<SitemapEntry> entries = parseSitemap(text);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().depth, maxSitemapDepth);
}

void TestHelpParsing::decodesEntities_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("named") << "a &amp; b &lt;c&gt; &quot;d&quot;"
                           << "a & b <c> \"d\"";
    QTest::newRow("decimal and hex") << "&#233;&#xE9;&#XE9;" << QString::fromUtf8("ééé");
    QTest::newRow("beyond the BMP") << "&#x1F600;" << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("unknown stays") << "&bogus; &#xZZ; &#0; &#xD800;"
                                   << "&bogus; &#xZZ; &#0; &#xD800;";
    QTest::newRow("lone ampersand") << "Tom & Jerry"
                                    << "Tom & Jerry";
    QTest::newRow("too large") << "&#99999999999;"
                               << "&#99999999999;";
}

void TestHelpParsing::decodesEntities()
{
    QFETCH(QString, text);
    QTEST(decodeHtmlEntities(text), "expected");
}

void TestHelpParsing::findsDeclaredCharset_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("charset");

    QTest::newRow("http-equiv")
        << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">")
        << QByteArray("utf-8");
    QTest::newRow("html5") << QByteArray("<META CHARSET='windows-1251'>")
                           << QByteArray("windows-1251");
    QTest::newRow("none") << QByteArray("<html><body>charset=koi8-r</body></html>") << QByteArray();
}

void TestHelpParsing::findsDeclaredCharset()
{
    QFETCH(QByteArray, page);
    QTEST(declaredCharset(page), "charset");
}

QTEST_GUILESS_MAIN(TestHelpParsing)
#include "tst_helpparsing.moc"

#include "DemoTree.h"
#include "FakePlatform.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileListBox.h"

#include <QTest>

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void displayNameDropsTheLastFourCharacters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Ticket Setup.exe"
                               << "Ticket Setup";
        QTest::newRow("upper-case extension") << "c.EXE"
                                              << "c";
        QTest::newRow("dots inside") << "v2.1 Intro.exe"
                                     << "v2.1 Intro";
        QTest::newRow("short") << "abc"
                               << "";
        QTest::newRow("non-ASCII kept") << "Préparer la salle.exe"
                                        << "Préparer la salle";
    }
    void displayNameDropsTheLastFourCharacters()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QCOMPARE(Catalogue::displayName(file), name);
    }

    void anyIndexButZeroIsJunior()
    {
        QCOMPARE(Catalogue::editionFolder(QStringLiteral("/a"), 7),
                 Catalogue::editionFolder(QStringLiteral("/a"), 1));
        QCOMPARE(Catalogue::editionTag(-1), Catalogue::editionTag(1));
        QVERIFY(Catalogue::editionFolder(QStringLiteral("/a"), 0) !=
                Catalogue::editionFolder(QStringLiteral("/a"), 1));
    }

    void sharedNamesMatchWholeTextInAnyCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shared");
        QTest::newRow("reports") << "Reports" << true;
        QTest::newRow("TICKET SETUP") << "TICKET SETUP" << true;
        QTest::newRow("hElP") << "hElP" << true;
        QTest::newRow("leading blank") << " help" << false;
        QTest::newRow("longer") << "Help Desk" << false;
        QTest::newRow("ticket  setup") << "ticket  setup" << false;
        QTest::newRow("empty") << "" << false;
    }
    void sharedNamesMatchWholeTextInAnyCase()
    {
        QFETCH(QString, text);
        QFETCH(bool, shared);
        QCOMPARE(Catalogue::isSharedDemoName(text), shared);
        QCOMPARE(Catalogue::noteFor(text).isEmpty(), !shared);
    }

    void patternMatchingAndOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("case-blind order")
            << QStringList{QStringLiteral("b.exe"), QStringLiteral("A.exe"),
                           QStringLiteral("c.EXE")}
            << "*.exe"
            << QStringList{QStringLiteral("A.exe"), QStringLiteral("b.exe"),
                           QStringLiteral("c.EXE")};
        QTest::newRow("extension must end the name")
            << QStringList{QStringLiteral("a.exe.txt"), QStringLiteral("a.exe"),
                           QStringLiteral("exe")}
            << "*.exe" << QStringList{QStringLiteral("a.exe")};
        QTest::newRow("archives")
            << QStringList{QStringLiteral("ZIP_b.exe"), QStringLiteral("zip_a.EXE"),
                           QStringLiteral("Zipper.txt"), QStringLiteral("QVX3 A.exe"),
                           QStringLiteral("AZIP_c.exe")}
            << "ZIP*.exe" << QStringList{QStringLiteral("zip_a.EXE"), QStringLiteral("ZIP_b.exe")};
        QTest::newRow("question mark is one character")
            << QStringList{QStringLiteral("a1.exe"), QStringLiteral("a12.exe")} << "a?.exe"
            << QStringList{QStringLiteral("a1.exe")};
        QTest::newRow("names differing only in case keep a fixed order")
            << QStringList{QStringLiteral("help.exe"), QStringLiteral("HELP.exe"),
                           QStringLiteral("Help.exe")}
            << "*.exe"
            << QStringList{QStringLiteral("HELP.exe"), QStringLiteral("Help.exe"),
                           QStringLiteral("help.exe")};
    }
    void patternMatchingAndOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, pattern);
        QFETCH(QStringList, listed);
        QCollator collator{QLocale(QLocale::English)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        QCOMPARE(FileListBox::matchAndSort(names, pattern, collator), listed);
        std::reverse(names.begin(), names.end());
        QCOMPARE(FileListBox::matchAndSort(names, pattern, collator), listed);
    }

    void fileListReadsAfreshAndKeepsHiddenFilesOut()
    {
        DemoTree tree({QStringLiteral("x/B.exe"), QStringLiteral("x/a.exe"),
                       QStringLiteral("x/.h.exe"), QStringLiteral("x/sub.exe/")});
        FakePlatform fake;
        QWidget parent;
        FileListBox list(fake, &parent);
        list.setPath(tree.file(QStringLiteral("x")));
        QCOMPARE(list.names(), QStringList({QStringLiteral("a.exe"), QStringLiteral("B.exe")}));
        tree.add(QStringLiteral("x/ZIP_new.exe"));
        list.setPattern(QStringLiteral("ZIP*.exe"));
        QCOMPARE(list.listCount(), 1);
        QCOMPARE(list.list(0), QStringLiteral("ZIP_new.exe"));
        QCOMPARE(list.list(5), QString());
        list.setPath(tree.file(QStringLiteral("missing")));
        QCOMPARE(list.listCount(), 0);
    }

    void playPathResolution_data()
    {
        QTest::addColumn<QString>("demoFolder");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exact in edition") << "Demos/QVX"
                                          << "Intro"
                                          << "Demos/QVX/Intro.exe";
        QTest::newRow("shared name goes to shared folder") << "Demos/QVX"
                                                           << "reports"
                                                           << "Demos/Both/Reports.exe";
        QTest::newRow("shared name missing there falls back to edition") << "Demos/QVX"
                                                                         << "Help"
                                                                         << "Demos/QVX/Help.exe";
        QTest::newRow("other name only in shared folder") << "Demos/QVX"
                                                          << "Tour"
                                                          << "Demos/Both/Tour.exe";
        QTest::newRow("nowhere") << "Demos/QVX"
                                 << "Nothing"
                                 << "";
        QTest::newRow("exact beats case-blind") << "Demos/QVX"
                                                << "intro"
                                                << "Demos/QVX/intro.exe";
        QTest::newRow("case-blind when no exact") << "Demos/QVX"
                                                  << "INTRO"
                                                  << "Demos/QVX/Intro.exe";
        QTest::newRow("a folder is not a demo") << "Demos/QVX"
                                                << "Folder"
                                                << "";
        QTest::newRow("no edition yet") << ""
                                        << "Tour"
                                        << "Demos/Both/Tour.exe";
    }
    void playPathResolution()
    {
        QFETCH(QString, demoFolder);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        DemoTree tree(
            {QStringLiteral("Demos/QVX/Intro.exe"), QStringLiteral("Demos/QVX/intro.exe"),
             QStringLiteral("Demos/QVX/Help.exe"), QStringLiteral("Demos/QVX/Folder.exe/"),
             QStringLiteral("Demos/Both/Reports.exe"), QStringLiteral("Demos/Both/Tour.exe")});
        FakePlatform fake;
        const QString folder = demoFolder.isEmpty() ? QString() : tree.file(demoFolder);
        QCOMPARE(Catalogue::resolvePlayPath(fake, tree.path(), folder, text),
                 expected.isEmpty() ? QString() : tree.file(expected));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

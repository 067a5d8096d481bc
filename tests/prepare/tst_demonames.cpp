#include "prepare/DemoNames.h"

#include <QTest>

class TestDemoNames : public QObject
{
    Q_OBJECT
private slots:
    void derivesNames_data();
    void derivesNames();
    void promptText_data();
    void promptText();
};

void TestDemoNames::derivesNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("unpacked");
    QTest::addColumn<QString>("demo");

    auto row = [](const char *tag, const QString &archive, const QString &unpacked,
                  const QString &demo) { QTest::newRow(tag) << archive << unpacked << demo; };
    row("two words", QStringLiteral("ZIP_ticket_setup.exe"), QStringLiteral("Qvx3_Tic.exe"),
        QStringLiteral("QVX3 Ticket Setup.exe"));
    row("fifteen underscores", QStringLiteral("ZIP_a_b_c_d_e_f_g_h_i_j_k_l_m_n_o_p.exe"),
        QStringLiteral("Qvx3_A_b.exe"), QStringLiteral("QVX3 A B C D E F G H I J K L_m_n_o_p.exe"));
    row("eleven underscores", QStringLiteral("ZIP_a_b_c_d_e_f_g_h_i_j_k_l.exe"),
        QStringLiteral("Qvx3_A_b.exe"), QStringLiteral("QVX3 A B C D E F G H I J K L.exe"));
    row("lower-case fifth character", QStringLiteral("ZIPxreports.exe"),
        QStringLiteral("Qvx3_Rep.exe"), QStringLiteral("QVX3 Reports.exe"));
    row("fourth character dropped whatever it is", QStringLiteral("ZIPhhelp.exe"),
        QStringLiteral("Qvx3_Hel.exe"), QStringLiteral("QVX3 Help.exe"));
    row("already upper case", QStringLiteral("ZIP-Reports.exe"), QStringLiteral("Qvx3_Rep.exe"),
        QStringLiteral("QVX3 Reports.exe"));
    row("adjacent underscores", QStringLiteral("ZIP_a__b.exe"), QStringLiteral("Qvx3_A__.exe"),
        QStringLiteral("QVX3 A  B.exe"));
    row("underscore before the extension", QStringLiteral("ZIP_ab_.exe"),
        QStringLiteral("Qvx3_Ab_.exe"), QStringLiteral("QVX3 Ab .exe"));
    row("underscore last", QStringLiteral("ZIP_ab_"), QStringLiteral("Qvx3_Ab_.exe"),
        QStringLiteral("QVX3 Ab "));
    row("digits", QStringLiteral("ZIP_2_go.exe"), QStringLiteral("Qvx3_2_g.exe"),
        QStringLiteral("QVX3 2 Go.exe"));
    row("shortest archive name", QStringLiteral("ZIP_.exe"), QStringLiteral("Qvx3_.ex.exe"),
        QStringLiteral("QVX3 .exe"));
    row("no extension left", QStringLiteral("ZIP.exe"), QStringLiteral("Qvx3_Exe.exe"),
        QStringLiteral("QVX3 Exe"));
    row("nothing after the prefix", QStringLiteral("ZIP_"), QStringLiteral("Qvx3_.exe"),
        QStringLiteral("QVX3 "));
    row("shorter than the prefix", QStringLiteral("ZI"), QStringLiteral("Qvx3_.exe"),
        QStringLiteral("QVX3 "));
    row("empty", QString(), QStringLiteral("Qvx3_.exe"), QStringLiteral("QVX3 "));
    row("accented letters", QStringLiteral("ZIP_\u00e9clair_\u00fcber.exe"),
        QStringLiteral("Qvx3_\u00c9cl.exe"), QStringLiteral("QVX3 \u00c9clair \u00dcber.exe"));
    // Its simple upper case is itself; a full mapping would make two letters of it.
    row("sharp s", QStringLiteral("ZIP_\u00dfpiel_\u00dfe.exe"),
        QStringLiteral("Qvx3_\u00dfpi.exe"), QStringLiteral("QVX3 \u00dfpiel \u00dfe.exe"));
    row("greek", QStringLiteral("ZIP_\u03b1\u03b2\u03b3_\u03b4.exe"),
        QStringLiteral("Qvx3_\u0391\u03b2\u03b3.exe"),
        QStringLiteral("QVX3 \u0391\u03b2\u03b3 \u0394.exe"));
    // A letter outside the basic plane (a surrogate pair) is one character throughout.
    const QString longI = QString::fromUcs4(U"\U00010428");
    const QString capitalLongI = QString::fromUcs4(U"\U00010400");
    row("letter beyond the basic plane",
        QStringLiteral("ZIP_") + longI + QStringLiteral("ab_") + longI + QStringLiteral(".exe"),
        QStringLiteral("Qvx3_") + capitalLongI + QStringLiteral("ab.exe"),
        QStringLiteral("QVX3 ") + capitalLongI + QStringLiteral("ab ") + capitalLongI +
            QStringLiteral(".exe"));
    row("pair as the dropped fourth character",
        QStringLiteral("ZIP") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("demo.exe"),
        QStringLiteral("Qvx3_Dem.exe"), QStringLiteral("QVX3 Demo.exe"));
    row("lone surrogate kept", QStringLiteral("ZIP_") + QChar(0xD800) + QStringLiteral("x_y"),
        QStringLiteral("Qvx3_") + QChar(0xD800) + QStringLiteral("x_.exe"),
        QStringLiteral("QVX3 ") + QChar(0xD800) + QStringLiteral("x Y"));
}

void TestDemoNames::derivesNames()
{
    QFETCH(QString, archive);
    QFETCH(QString, unpacked);
    QFETCH(QString, demo);

    const Prepare::DerivedNames names = Prepare::deriveNames(archive);
    QCOMPARE(names.unpackedFile, unpacked);
    QCOMPARE(names.demoFile, demo);
}

void TestDemoNames::promptText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("calledFromButton");
    QTest::addColumn<QString>("text");

    const QString rest = QStringLiteral(
        " The program will take a moment to prepare the files.\r\rThe DOS window will open as "
        "the files are extracted. If it does not close automatically, you may close it when the "
        "process is finished.");
    QTest::newRow("one archive") << 1 << false
                                 << QStringLiteral("A new demo has been found.") + rest;
    QTest::newRow("two archives") << 2 << false
                                  << QStringLiteral("New demos have been found.") + rest;
    QTest::newRow("many archives")
        << 40 << false << QStringLiteral("New demos have been found.") + rest;
    QTest::newRow("button, one archive") << 1 << true << rest;
    QTest::newRow("button, three archives") << 3 << true << rest;
}

void TestDemoNames::promptText()
{
    QFETCH(int, count);
    QFETCH(bool, calledFromButton);
    QFETCH(QString, text);

    const QString prompt = Prepare::promptText(count, calledFromButton);
    QCOMPARE(prompt, text);
    QVERIFY(!prompt.contains(QLatin1Char('\n')));
}

QTEST_APPLESS_MAIN(TestDemoNames)
#include "tst_demonames.moc"

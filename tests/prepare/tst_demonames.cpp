#include "prepare/DemoNames.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDemoNames : public QObject
{
    Q_OBJECT
private slots:
    void derivesNames_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("unpacked");
        QTest::addColumn<QString>("demo");

        const auto row = [](const char *tag, const QString &archive, const QString &unpacked,
                            const QString &demo) {
            QTest::newRow(tag) << archive << unpacked << demo;
        };
        row("two words", u"ZIP_ticket_setup.exe"_s, u"Qvx3_Tic.exe"_s, u"QVX3 Ticket Setup.exe"_s);
        // Only the first eleven underscores become blanks.
        row("fifteen underscores", u"ZIP_a_b_c_d_e_f_g_h_i_j_k_l_m_n_o_p.exe"_s, u"Qvx3_A_b.exe"_s,
            u"QVX3 A B C D E F G H I J K L_m_n_o_p.exe"_s);
        row("lower-case fifth character", u"ZIPxreports.exe"_s, u"Qvx3_Rep.exe"_s,
            u"QVX3 Reports.exe"_s);
        row("adjacent underscores", u"ZIP_a__b.exe"_s, u"Qvx3_A__.exe"_s, u"QVX3 A  B.exe"_s);
        row("shortest archive name", u"ZIP_.exe"_s, u"Qvx3_.ex.exe"_s, u"QVX3 .exe"_s);
        row("shorter than the prefix", u"ZI"_s, u"Qvx3_.exe"_s, u"QVX3 "_s);
        row("accented letters", u"ZIP_\u00e9clair_\u00fcber.exe"_s, u"Qvx3_\u00c9cl.exe"_s,
            u"QVX3 \u00c9clair \u00dcber.exe"_s);
        // Its simple upper case is itself; a full mapping would make two letters of it.
        row("sharp s", u"ZIP_\u00dfpiel_\u00dfe.exe"_s, u"Qvx3_\u00dfpi.exe"_s,
            u"QVX3 \u00dfpiel \u00dfe.exe"_s);
        // A letter outside the basic plane (a surrogate pair) is one character throughout.
        row("letter beyond the basic plane", u"ZIP_\U00010428ab_\U00010428.exe"_s,
            u"Qvx3_\U00010400ab.exe"_s, u"QVX3 \U00010400ab \U00010400.exe"_s);
        row("pair as the dropped fourth character", u"ZIP\U0001F600demo.exe"_s, u"Qvx3_Dem.exe"_s,
            u"QVX3 Demo.exe"_s);
        row("lone surrogate kept", u"ZIP_"_s + QChar(0xD800) + u"x_y"_s,
            u"Qvx3_"_s + QChar(0xD800) + u"x_.exe"_s, u"QVX3 "_s + QChar(0xD800) + u"x Y"_s);
    }

    void derivesNames()
    {
        QFETCH(QString, archive);
        QFETCH(QString, unpacked);
        QFETCH(QString, demo);

        const Prepare::DerivedNames names = Prepare::deriveNames(archive);
        QCOMPARE(names.unpackedFile, unpacked);
        QCOMPARE(names.demoFile, demo);
    }

    void promptText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("calledFromButton");
        QTest::addColumn<QString>("text");

        const QString rest =
            u" The program will take a moment to prepare the files.\r\rThe DOS window will open as "
            "the files are extracted. If it does not close automatically, you may close it when "
            "the "
            "process is finished."_s;
        QTest::newRow("one archive") << 1 << false << u"A new demo has been found."_s + rest;
        QTest::newRow("several archives") << 2 << false << u"New demos have been found."_s + rest;
        QTest::newRow("button, one archive") << 1 << true << rest;
        QTest::newRow("button, several archives") << 3 << true << rest;
    }

    void promptText()
    {
        QFETCH(int, count);
        QFETCH(bool, calledFromButton);
        QFETCH(QString, text);
        QCOMPARE(Prepare::promptText(count, calledFromButton), text);
    }
};

QTEST_APPLESS_MAIN(TestDemoNames)
#include "tst_demonames.moc"

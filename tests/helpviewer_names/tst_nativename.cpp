#include "qvx/help/NativeName.h"

#include <QTest>

using namespace qvx::help;

using namespace Qt::StringLiterals;

class TestNativeName : public QObject
{
    Q_OBJECT

private slots:
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QString bad(QChar(0xFFFD));
        QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9 \xf0\x9f\x8e\xac") << u"Café 🎬"_s;
        QTest::newRow("pair whose low half is in the escapes' range")
            << QByteArray("\xf0\x90\x82\x80") << QString::fromUcs4(U"\U00010080");
        QTest::newRow("Latin-1") << QByteArray("Caf\xe9.exe") << u"Caf"_s + bad + u".exe"_s;
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80") << bad + bad + bad;
        QTest::newRow("cut short") << QByteArray("\xe2\x82x") << bad + bad + u"x"_s;
        QTest::newRow("past the last code point")
            << QByteArray("\xf4\x90\x80\x80") << bad.repeated(4);
    }
    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = NativeName::decode(bytes);
        QCOMPARE(NativeName::encode(name), bytes);
        QCOMPARE(NativeName::display(name), shown);
        if (!shown.contains(QChar(0xFFFD)))
            QCOMPARE(name, shown);
    }
};

QTEST_APPLESS_MAIN(TestNativeName)
#include "tst_nativename.moc"

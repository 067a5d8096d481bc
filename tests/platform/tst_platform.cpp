#include "DemoTree.h"

#include "platform/OpResult.h"
#include "platform/Platform.h"
#include "qvx/helpviewer/NativeName.h"

#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Platform> platform = createSystemPlatform();

private slots:
    void nativeNamesKeepTheirBytes_data()
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
    void nativeNamesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = NativeName::decode(bytes);
        QCOMPARE(NativeName::encode(name), bytes);
        QCOMPARE(NativeName::display(name), shown);
        if (!shown.contains(QChar(0xFFFD)))
            QCOMPARE(name, shown);
    }

    // The file services themselves are proven on the Linux platform; here, that names and
    // results come across whole.
    void carriesNamesOntoTheLinuxPlatform()
    {
        DemoTree tree;
        tree.addNative("Caf\xe9.exe", "#!/bin/sh\nexit 3\n", 0700);
        const QStringList names = platform->listVisibleFiles(tree.path());
        QCOMPARE(names, QStringList{NativeName::decode("Caf\xe9.exe")});
        const QString demo = tree.path() + u'/' + names.first();
        QVERIFY(platform->copyFile(demo, tree.file(u"copy.exe"_s)).ok());
        QCOMPARE(readAll(tree.file(u"copy.exe"_s)), QByteArray("#!/bin/sh\nexit 3\n"));

        std::unique_ptr<TrackedProgram> program;
        QVERIFY(platform->startTracked(demo, tree.path(), program).ok());
        QTRY_VERIFY(program->finished());
        QCOMPARE(program->exitStatus(), 3);

        // The user is shown what cannot be decoded as replacements.
        const OpResult missing = platform->deleteFile(NativeName::decode("/no/\xff.exe"));
        QCOMPARE(missing.number, OpError::PathNotFound);
        QVERIFY(missing.description.endsWith(u"/no/\uFFFD.exe"_s));

        qputenv("TMPDIR", "/nonexistent-folder-for-test");
        QCOMPARE(platform->tempFolder(), QString());
        tree.addNative("\xe9/file", "");
        qputenv("TMPDIR", QFile::encodeName(tree.path()) + "/\xe9");
        QCOMPARE(platform->tempFolder(), tree.path() + NativeName::decode("/\xe9/"));
        qunsetenv("TMPDIR");
    }

    void waitEndsEarlyForAnEvent()
    {
        const double start = platform->monotonicSeconds();
        bool fired = false;
        QTimer::singleShot(20, this, [&] { fired = true; });
        while (!fired && platform->monotonicSeconds() - start < 30)
            platform->waitForEvents(30);
        QVERIFY(fired);
        QVERIFY(platform->monotonicSeconds() - start < 29);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"

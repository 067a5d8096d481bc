#include "FakePlatform.h"
#include "app/Module1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestPause : public QObject
{
    Q_OBJECT
private slots:
    void waitsFiveSecondsByDefault()
    {
        FakePlatform fake;
        Module1::Pause(fake);
        QCOMPARE(fake.calls, QStringList{u"wait 5"_s});
        QCOMPARE(fake.clock, 1005.0);
    }

    void nonPositiveWaitReturnsAtOnce_data()
    {
        QTest::addColumn<float>("seconds");
        QTest::newRow("zero") << 0.0f;
        QTest::newRow("minus one") << -1.0f;
        QTest::newRow("tiny negative") << -1e-30f;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
    }

    void nonPositiveWaitReturnsAtOnce()
    {
        QFETCH(float, seconds);
        FakePlatform fake;
        QObject context;
        bool handled = false;
        QTimer::singleShot(0, &context, [&] { handled = true; });

        Module1::Pause(fake, seconds);

        QCOMPARE(fake.calls, QStringList());
        QCOMPARE(fake.clock, 1000.0);
        QVERIFY(!handled);
        QTRY_VERIFY(handled);
    }

    // Events wake the wait every `wake` seconds; each pass asks for the rest of the wait.
    void waitsUntilElapsedReachesWait_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<float>("seconds");
        QTest::addColumn<double>("wake");
        QTest::addColumn<int>("passes");

        QTest::newRow("half a second") << 1000.0 << 0.5f << 10.0 << 1;
        QTest::newRow("woken every 0.3 s") << 0.0 << 1.0f << 0.3 << 4;
        // The clock counts from an arbitrary origin: what used to be a time of day about to
        // fall back to zero at midnight is just another reading.
        QTest::newRow("across midnight") << 86399.0 << 3.0f << 0.5 << 6;
        QTest::newRow("long uptime") << 4.0e6 << 3.0f << 1.0 << 3;
        QTest::newRow("fraction of a fraction") << 12.0 << 0.125f << 0.05 << 3;
    }

    void waitsUntilElapsedReachesWait()
    {
        QFETCH(double, start);
        QFETCH(float, seconds);
        QFETCH(double, wake);
        QFETCH(int, passes);

        FakePlatform fake;
        fake.clock = start;
        double before = 0;
        int asked = 0;
        fake.duringWait = [&](double maxSeconds) {
            ++asked;
            // Each pass sleeps for no more than what is left.
            QVERIFY(std::abs(maxSeconds - (double(seconds) - before)) < 1e-6);
            // An event arrives before the time is up: the clock moves only to it.
            if (maxSeconds > wake)
                fake.clock -= maxSeconds - wake;
            before += std::min(maxSeconds, wake);
        };

        Module1::Pause(fake, seconds);

        QCOMPARE(asked, passes);
        const double elapsed = fake.clock - start;
        QVERIFY2(float(elapsed) >= seconds && elapsed < double(seconds) + 1e-6,
                 qPrintable(QString::number(elapsed)));
    }

    void systemPlatformWaitsAndNamesTempDir()
    {
        const std::unique_ptr<Platform> platform = createSystemPlatform();
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);

        QElapsedTimer clock;
        clock.start();
        Module1::Pause(*platform, 0.3f);

        QVERIFY2(clock.elapsed() >= 299, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        const QString temp = Module1::GetTempDir(*platform);
        QVERIFY(temp.endsWith(QDir::separator()) && QFileInfo(temp).isDir());
    }

    void tempDirEndsWithSeparator_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("expected");

        const QString deep = u"/scratch/"_s + QString(300, u't');
        QTest::newRow("with separator") << u"/scratch/"_s << u"/scratch/"_s;
        QTest::newRow("without separator")
            << u"/scratch/temp"_s << u"/scratch/temp"_s + QDir::separator();
        QTest::newRow("longer than 256 characters") << deep << deep + QDir::separator();
        QTest::newRow("unknown") << QString() << QString();
    }

    void tempDirEndsWithSeparator()
    {
        QFETCH(QString, reported);
        QFETCH(QString, expected);
        FakePlatform fake;
        fake.temp = reported;
        QCOMPARE(Module1::GetTempDir(fake), expected);
    }
};

QTEST_MAIN(TestPause)
#include "tst_pause.moc"

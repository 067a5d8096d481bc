#include "FakePlatform.h"
#include "app/Module1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

// Counts the events it receives, so that a test can tell whether events were handled.
class EventCounter : public QObject
{
public:
    int received = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User) {
            ++received;
            return true;
        }
        return QObject::event(event);
    }
};

} // namespace

class TestPause : public QObject
{
    Q_OBJECT
private slots:
    void waitsFiveSecondsByDefault();
    void nonPositiveWaitReturnsAtOnce_data();
    void nonPositiveWaitReturnsAtOnce();
    void waitsUntilElapsedReachesWait_data();
    void waitsUntilElapsedReachesWait();
    void realWaitHandlesEvents();
    void tempDirEndsWithSeparator_data();
    void tempDirEndsWithSeparator();
    void systemTempDirIsUsable();
};

void TestPause::waitsFiveSecondsByDefault()
{
    FakePlatform fake;
    Module1::Pause(fake);
    QCOMPARE(fake.calls, QStringList{QStringLiteral("wait 5")});
    QCOMPARE(fake.clock, 1005.0);
}

void TestPause::nonPositiveWaitReturnsAtOnce_data()
{
    QTest::addColumn<float>("seconds");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative zero") << -0.0f;
    QTest::newRow("minus one") << -1.0f;
    QTest::newRow("tiny negative") << -1e-30f;
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
}

void TestPause::nonPositiveWaitReturnsAtOnce()
{
    QFETCH(float, seconds);
    FakePlatform fake;
    EventCounter counter;
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));

    Module1::Pause(fake, seconds);

    QCOMPARE(fake.calls, QStringList());
    QCOMPARE(fake.clock, 1000.0);
    QCOMPARE(counter.received, 0);
    QCoreApplication::processEvents();
    QCOMPARE(counter.received, 1);
}

// Events wake the wait every `wake` seconds; each pass asks for the rest of the wait.
void TestPause::waitsUntilElapsedReachesWait_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<float>("seconds");
    QTest::addColumn<double>("wake");
    QTest::addColumn<int>("passes");

    QTest::newRow("half a second") << 1000.0 << 0.5f << 10.0 << 1;
    QTest::newRow("woken every 0.3 s") << 0.0 << 1.0f << 0.3 << 4;
    // The clock counts from an arbitrary origin: what used to be a time of day about to
    // fall back to zero at midnight is just another reading.
    QTest::newRow("one second before midnight") << 86399.0 << 3.0f << 0.5 << 6;
    QTest::newRow("across midnight, woken at it") << 86399.0 << 3.0f << 1.0 << 3;
    QTest::newRow("long uptime") << 4.0e6 << 3.0f << 1.0 << 3;
    QTest::newRow("fraction of a fraction") << 12.0 << 0.125f << 0.05 << 3;
}

void TestPause::waitsUntilElapsedReachesWait()
{
    QFETCH(double, start);
    QFETCH(float, seconds);
    QFETCH(double, wake);
    QFETCH(int, passes);

    FakePlatform fake;
    fake.clock = start;
    QList<double> asked;
    fake.duringWait = [&](double maxSeconds) {
        asked.append(maxSeconds);
        // An event arrives before the time is up: the clock moves only to it.
        if (maxSeconds > wake)
            fake.clock -= maxSeconds - wake;
    };

    Module1::Pause(fake, seconds);

    QCOMPARE(asked.size(), passes);
    const double elapsed = fake.clock - start;
    QVERIFY2(float(elapsed) >= seconds, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < double(seconds) + 1e-6, qPrintable(QString::number(elapsed)));
    // Each pass sleeps for no more than what is left.
    double before = 0;
    for (double ask : asked) {
        QVERIFY(ask > 0);
        QVERIFY(std::abs(ask - (double(seconds) - before)) < 1e-6);
        before += std::min(ask, wake);
    }
}

void TestPause::realWaitHandlesEvents()
{
    const std::unique_ptr<Platform> platform = createSystemPlatform();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);

    QElapsedTimer clock;
    clock.start();
    Module1::Pause(*platform, 0.3f);
    const qint64 waited = clock.elapsed();

    QVERIFY2(waited >= 299, qPrintable(QString::number(waited)));
    QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
}

void TestPause::tempDirEndsWithSeparator_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");

    const QString sep = QDir::separator();
    const QString deep = QStringLiteral("/scratch/") + QString(300, QLatin1Char('t'));
    QTest::newRow("with separator") << QStringLiteral("/scratch/") << QStringLiteral("/scratch/");
    QTest::newRow("without separator")
        << QStringLiteral("/scratch/temp") << QStringLiteral("/scratch/temp") + sep;
    QTest::newRow("longer than 256 characters") << deep << deep + sep;
    QTest::newRow("blanks kept") << QStringLiteral("/scratch/a b ")
                                 << QStringLiteral("/scratch/a b ") + sep;
    QTest::newRow("unknown") << QString() << QString();
}

void TestPause::tempDirEndsWithSeparator()
{
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    FakePlatform fake;
    fake.temp = reported;
    QCOMPARE(Module1::GetTempDir(fake), expected);
}

void TestPause::systemTempDirIsUsable()
{
    const std::unique_ptr<Platform> platform = createSystemPlatform();
    const QString temp = Module1::GetTempDir(*platform);
    QVERIFY(temp.endsWith(QDir::separator()));
    QVERIFY(QFileInfo(temp + QStringLiteral("some name.exe")).dir().exists());
}

QTEST_MAIN(TestPause)
#include "tst_pause.moc"

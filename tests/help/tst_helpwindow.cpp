// The viewer's window on a real X display, bare or framed by a window manager (tests/x11/on-display
// says which in QVX_TEST_WM). Geometry is read back from the X server, not from Qt.

#include "XPlace.h"
#include "qvx/help/ChmFile.h"
#include "qvx/helpviewer/HelpViewer.h"
#include "qvx/helpviewer/HelpViewers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QtMath>

#include <climits>
#include <optional>

using namespace qvx::help;
using namespace qvx::helpviewer;

using namespace Qt::StringLiterals;

namespace {

const QString searchFile = QStringLiteral(QVX_TEST_SEARCH_FILE);

// The place once the window manager and the viewer have done with it: the same five times.
std::optional<XPlace> settledPlace(const QWidget *window)
{
    XPlace last;
    int steady = 0;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QTest::qWait(30);
        const XPlace now = xPlace(window);
        steady = now == last ? steady + 1 : 0;
        last = now;
        if (steady == 5)
            return now;
    }
    return std::nullopt;
}

// A rectangle of Qt's in the X server's pixels, which differ at a scale factor.
QRect inPixels(const QRect &rect, qreal ratio)
{
    return QRect(QPoint(qRound(rect.x() * ratio), qRound(rect.y() * ratio)),
                 QSize(qRound(rect.width() * ratio), qRound(rect.height() * ratio)));
}

// The same place but for rounding: at a scale factor of 1.5, say, by a pixel at most.
bool samePlace(const QRect &a, const QRect &b, qreal ratio)
{
    const int slack = qCeil(ratio) - 1;
    return qAbs(a.left() - b.left()) <= slack && qAbs(a.top() - b.top()) <= slack &&
           qAbs(a.right() - b.right()) <= slack && qAbs(a.bottom() - b.bottom()) <= slack;
}

// A viewer at its first place and size, once it is there; nothing when it never settles.
HelpViewer *openWithNothingRemembered()
{
    QSettings settings;
    settings.remove(u"HelpViewer"_s);
    settings.sync();
    HelpViewer *viewer =
        HelpViewers::request({}, nullptr, searchFile, HelpViewers::displayContents);
    return viewer && settledPlace(viewer) ? viewer : nullptr;
}

QString text(const QRect &rect)
{
    return u"%1,%2 %3x%4"_s.arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Settings of its own, so that the odd places written here reach no other test, nor
        // this one on another display at the same time.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(u"QVXDemosTest"_s);
        QCoreApplication::setApplicationName(
            u"tst_helpwindow-%1"_s.arg(QCoreApplication::applicationPid()));
        ChmFile::setReaderProgram(QStringLiteral(QVX_TEST_READER));
    }

    void cleanup() { HelpViewers::closeAll(); }

    void cleanupTestCase() { QFile::remove(QSettings().fileName()); }

    // Wherever the viewer was last left, or whatever the settings say, it comes back whole on
    // the screen once its frame is known, is saved where it is, and comes back there.
    void rememberedPlaceComesBackWholeOnTheScreen_data()
    {
        QTest::addColumn<QRect>("remembered");
        QTest::addColumn<bool>("fits"); // with room around it for the frame, unscaled
        // By its corners, as numbers past the int range wrap in the settings.
        const auto rect = [](qint64 x, qint64 y, qint64 width, qint64 height) {
            return QRect(QPoint(int(x), int(y)), QPoint(int(x + width - 1), int(y + height - 1)));
        };
        QTest::newRow("on the screen") << rect(60, 80, 640, 420) << true;
        QTest::newRow("far off top left") << rect(-5000, -5000, 640, 420) << false;
        QTest::newRow("far off bottom right") << rect(5000, 5000, 640, 420) << false;
        QTest::newRow("at the corner") << rect(0, 0, 640, 420) << false;
        QTest::newRow("huge") << rect(100, 100, 100000, 100000) << false;
        QTest::newRow("INT_MIN place") << rect(INT_MIN, INT_MIN, 640, 420) << false;
        QTest::newRow("INT_MIN throughout") << rect(INT_MIN, INT_MIN, INT_MIN, INT_MIN) << false;
        QTest::newRow("INT_MAX size") << rect(0, 0, INT_MAX, INT_MAX) << false;
        QTest::newRow("1x1") << rect(0, 0, 1, 1) << false;
    }
    void rememberedPlaceComesBackWholeOnTheScreen()
    {
        QFETCH(QRect, remembered);
        QFETCH(bool, fits);
        QSettings settings;
        settings.setValue(u"HelpViewer/geometry"_s, remembered);
        settings.setValue(u"HelpViewer/maximized"_s, false);
        settings.sync();
        const QScreen *screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen->devicePixelRatio();
        const QRect area = inPixels(screen->availableGeometry(), ratio);
        std::optional<XPlace> first;
        for (int round = 0; round < 2; ++round) {
            HelpViewer *viewer =
                HelpViewers::request({}, nullptr, searchFile, HelpViewers::displayContents);
            QVERIFY(viewer);
            const auto place = settledPlace(viewer);
            QVERIFY(place);
            QVERIFY2(area.contains(place->outer), qPrintable(text(place->outer)));
            viewer->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            settings.sync();
            const QRect saved = inPixels(settings.value(u"HelpViewer/geometry"_s).toRect(), ratio);
            QVERIFY2(samePlace(saved, place->inside, ratio),
                     qPrintable(text(saved) + u" saved, "_s + text(place->inside) + u" shown"_s));
            if (first)
                QVERIFY(*place == *first);
            first = place;
        }
        // A place with room for the frame is kept as it was (at twice the scale there is none).
        if (fits && screen->availableGeometry().contains(remembered.adjusted(-10, -40, 10, 10)))
            QVERIFY(samePlace(first->inside, inPixels(remembered, ratio), ratio));
    }

    // Quitting with a viewer open remembers its place, as closing it does.
    void placeIsKeptWhenTheProgramQuits()
    {
        QSettings settings;
        HelpViewer *viewer = openWithNothingRemembered();
        QVERIFY(viewer);
        viewer->move(viewer->pos() + QPoint(7, 5));
        QVERIFY(settledPlace(viewer));
        const QRect shown = viewer->geometry();
        HelpViewers::closeAll();
        settings.sync();
        QCOMPARE(settings.value(u"HelpViewer/geometry"_s).toRect(), shown);
    }

    // At its first size, at any scale, the whole tab row is in sight: no tab scrolled away or
    // cut short.
    void everyTabShows()
    {
        HelpViewer *viewer = openWithNothingRemembered();
        QVERIFY(viewer);
        const auto *tabs = viewer->findChild<QTabWidget *>(u"tabNavigation"_s);
        const QTabBar *bar = tabs->tabBar();
        QCOMPARE(bar->count(), 4);
        QVERIFY2(bar->width() >= bar->sizeHint().width(),
                 qPrintable(u"%1 of %2"_s.arg(bar->width()).arg(bar->sizeHint().width())));
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i);
            QVERIFY2((QRegion(tab) - bar->visibleRegion()).isEmpty(),
                     qPrintable(bar->tabText(i) + u" at "_s + text(tab) + u" in "_s +
                                text(bar->rect())));
        }
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"

// Both windows on a real X display, bare or framed by a window manager (tests/x11/on-display
// says which in QVX_TEST_WM). Geometry is read back from the X server, not from Qt.

#include "RecordingPlatform.h"
#include "XPlace.h"
#include "qvx/core/PlayDemos.h"
#include "qvx/qt/FrmAbout.h"
#include "qvx/qt/FrmPlayDemos.h"
#include "qvx/qt/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <optional>

using qvx::qt::FrmAbout;
using qvx::qt::frmAbout;
using qvx::qt::frmPlayDemos;

namespace {

bool framedByWindowManager()
{
    return qEnvironmentVariable("QVX_TEST_WM", QStringLiteral("none")) != QLatin1String("none");
}

// The outer rectangle (frame and caption included) as the X server has it.
QRect outerRect(const QWidget *window)
{
    return xPlace(window).outer;
}

bool centredOnScreen(const QRect &outer, const QRect &screen)
{
    // Twice the centres, so that half pixels compare exactly.
    const QPoint offset = (outer.topLeft() * 2 + QPoint(outer.width(), outer.height())) -
                          (screen.topLeft() * 2 + QPoint(screen.width(), screen.height()));
    return qAbs(offset.x()) <= 2 && qAbs(offset.y()) <= 2;
}

// Records what the screen shows of the main window when the first folder is listed. Handles
// window events when asked to, as the real platform does.
class ListingPlatform : public RecordingPlatform
{
public:
    std::optional<QImage> shownAtListing;

    void processEvents() override
    {
        RecordingPlatform::processEvents();
        QCoreApplication::processEvents();
    }
    std::vector<std::filesystem::path>
    listVisibleFiles(const std::filesystem::path &folder) override
    {
        if (!shownAtListing && frmPlayDemos) {
            const QRect outer = outerRect(frmPlayDemos);
            shownAtListing =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, outer.x(), outer.y(), outer.width(), outer.height())
                    .toImage();
        }
        return RecordingPlatform::listVisibleFiles(folder);
    }
};

} // namespace

class TestFramedWindows : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        delete frmPlayDemos.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mainWindowIsDrawnBeforeTheListAndCentredWhole()
    {
        ListingPlatform platform;
        platform.addFile("/app/Demos/QVX Jr/Calendar.exe");
        platform.addFile("/app/Demos/Both/Reports.exe");
        frmPlayDemos = new qvx::qt::FrmPlayDemos(platform);
        frmPlayDemos->Form_Load();
        QCOMPARE(frmPlayDemos->demoEntry(1), std::string("Reports"));
        QCOMPARE(frmPlayDemos->demoEntry(2), std::string());

        // Drawn, not black: most of it in the window colour.
        QVERIFY(platform.shownAtListing);
        const QImage shown = *platform.shownAtListing;
        const QRgb grey = frmPlayDemos->palette().color(QPalette::Window).rgb();
        qsizetype inGrey = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                inGrey += (shown.pixel(x, y) & 0xffffff) == (grey & 0xffffff);
        QVERIFY2(inGrey * 2 > qsizetype(shown.width()) * shown.height(),
                 qPrintable(QStringLiteral("%1 of %2 pixels in the window colour")
                                .arg(inGrey)
                                .arg(shown.width() * shown.height())));

        const Twips t = Twips::forWidget(frmPlayDemos);
        const QSize outer(t.px(qvx::PlayDemosPresenter::outerWidth),
                          t.px(qvx::PlayDemosPresenter::outerHeight));
        const QRect screen = frmPlayDemos->screen()->geometry();
        QTRY_COMPARE(outerRect(frmPlayDemos).size(), outer);
        QTRY_VERIFY2(centredOnScreen(outerRect(frmPlayDemos), screen),
                     qPrintable(QStringLiteral("%1,%2")
                                    .arg(outerRect(frmPlayDemos).x())
                                    .arg(outerRect(frmPlayDemos).y())));
        // Without a frame the window is its client area; with one, the client is smaller.
        QCOMPARE(frmPlayDemos->size() != outer, framedByWindowManager());
    }

    void aboutWindowIsCentredWhole()
    {
        RecordingPlatform platform;
        std::optional<QRect> settled;
        QRect last;
        int steady = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            FrmAbout *about = frmAbout;
            if (!about || !about->isVisible() || settled)
                return;
            // The frame's place as it stands once the window manager has done with it.
            const QRect now = outerRect(about);
            steady = now == last ? steady + 1 : 0;
            last = now;
            if (steady >= 5) {
                settled = now;
                qobject_cast<QPushButton *>(about->control(QStringLiteral("cmdOK")))->click();
            }
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (frmAbout)
                frmAbout->close();
        });
        poll.start(30);
        guard.start(10000);
        FrmAbout::showModal(platform, nullptr);
        QVERIFY(settled);
        QVERIFY2(centredOnScreen(*settled, QGuiApplication::primaryScreen()->geometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(settled->x())
                                .arg(settled->y())
                                .arg(settled->width())
                                .arg(settled->height())));
    }
};

QTEST_MAIN(TestFramedWindows)
#include "tst_framedwindows.moc"

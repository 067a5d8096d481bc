// The About window's widgets: its texts as drawn, its pictures, the badge under real mouse
// events, closing and reopening, and modality over the main window.

#include "AboutWidgets.h"
#include "RecordingPlatform.h"
#include "qvx/core/AboutTexts.h"
#include "qvx/core/Design.h"
#include "qvx/core/Module1.h"
#include "qvx/qt/FrmAbout.h"
#include "qvx/qt/FrmPlayDemos.h"
#include "qvx/qt/Twips.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

using qvx::qt::FrmAbout;
using qvx::qt::frmAbout;
using Lines = std::vector<std::string>;

namespace {

// Points in window coordinates, at 96 dots per inch.
const QPoint onBadge(60, 270);
const QPoint onOK(350, 270);
const QPoint bareSurface(300, 200);

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

CaptionLabel *label(const FrmAbout *form, const char *name)
{
    return qobject_cast<CaptionLabel *>(form->control(QLatin1String(name)));
}

QWidget *badge(const FrmAbout *form, int index)
{
    return form->control(QStringLiteral("Image2_%1").arg(index));
}

QPushButton *ok(const FrmAbout *form)
{
    return qobject_cast<QPushButton *>(form->control(QStringLiteral("cmdOK")));
}

QString captions(const FrmAbout *form)
{
    return label(form, "lblVersion")->caption() + label(form, "lblContactInfo")->caption();
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT

private:
    RecordingPlatform platform;

    std::unique_ptr<FrmAbout> loaded(const std::string &copyright = "(C) 2026 Maker")
    {
        auto form = std::make_unique<FrmAbout>(platform);
        form->presenter().Form_Load(copyright);
        return form;
    }

    // Runs `open` (by default the About command without a main window), which shows the
    // About window modally, and `act` once that window is the active modal window. True
    // when `act` ran and closed the window itself, before the guard did.
    bool whileOpen(const std::function<void(FrmAbout *)> &act, std::function<void()> open = {})
    {
        bool acted = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *about = qobject_cast<FrmAbout *>(QApplication::activeModalWidget());
            if (!acted && about && QApplication::activeWindow() == about) {
                acted = true;
                act(about);
            }
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        poll.start(10);
        guard.start(5000);
        open ? open() : FrmAbout::showModal(platform, nullptr);
        return acted && guard.isActive();
    }

private slots:
    void init() { platform.calls.clear(); }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frmAbout.isNull());
        for (QWidget *widget : QApplication::topLevelWidgets()) // Qt keeps tool tips for reuse
            QVERIFY2(widget->windowType() == Qt::ToolTip, qPrintable(widget->objectName()));
    }

    // Each carriage return is a line of its own, and markup in the copyright is text.
    void texts()
    {
        const std::string copyright = "<b>B</b> & Co";
        const auto form = loaded(copyright);
        QCOMPARE(form->windowTitle(), qtext(qvx::about::captionText()));
        const std::pair<const char *, std::string> expected[] = {
            {"lblTitle", qvx::about::titleText()},
            {"lblVersion", qvx::about::versionText(copyright)},
            {"lblDescription", qvx::about::descriptionText()},
            {"lblContactInfo", qvx::about::contactText()},
        };
        for (const auto &[name, text] : expected) {
            const CaptionLabel *shown = label(form.get(), name);
            QVERIFY(shown);
            QCOMPARE(shown->caption(), qtext(text));
            QCOMPARE(shown->textFormat(), Qt::PlainText);
            QCOMPARE(shown->text().split(u'\n'), qtext(text).split(u'\r'));
        }
        QVERIFY(label(form.get(), "lblVersion")->text().endsWith(qtext(copyright)));
    }

    void windowSettings()
    {
        const auto form = loaded();
        const Twips t = Twips::forWidget(form.get());
        const qvx::design::Form &design = qvx::design::frmAbout();
        QCOMPARE(form->size(), QSize(t.px(design.clientWidth), t.px(design.clientHeight)));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        // OK is the only control that takes the focus, of all the window's widgets.
        for (QWidget *child : form->findChildren<QWidget *>())
            QVERIFY2((child->focusPolicy() == Qt::NoFocus) != (child == ok(form.get())),
                     qPrintable(child->objectName()));
    }

    void pictures()
    {
        const auto form = loaded();
        const auto picture = [&](const QString &name) {
            return qobject_cast<QLabel *>(form->control(name))->pixmap().toImage();
        };
        const QImage logo = picture(QStringLiteral("Image3"));
        const QImage grey = picture(QStringLiteral("Image2_1"));
        const QImage colour = picture(QStringLiteral("Image2_0"));
        QCOMPARE(logo.size(), QSize(128, 96));
        QCOMPARE(grey.size(), QSize(105, 27));
        QCOMPARE(colour.size(), QSize(105, 27));
        QVERIFY(grey.allGray() && !colour.allGray() && !logo.allGray());
    }

    // Pointer moves and an optional drag, through the window system as the user makes them:
    // whether the colour badge shows, and whether the recorder's page is asked for. With a
    // button held, movement goes to the control the press began on; a control other than the
    // badge must not hand it on to the window as bare surface.
    void pointer_data()
    {
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<QPoint>("dragFrom"); // (0, 0): no drag
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("lit");
        QTest::addColumn<bool>("opens");
        const auto hover = [](const char *tag, const QList<QPoint> &moves, bool lit) {
            QTest::newRow(tag) << moves << QPoint() << Qt::NoButton << lit << false;
        };
        const auto drag = [](const char *tag, const QList<QPoint> &moves, QPoint from,
                             Qt::MouseButton button, bool lit, bool opens) {
            QTest::newRow(tag) << moves << from << button << lit << opens;
        };
        const QPoint bareTop(390, 5);
        hover("grey at start", {}, false);
        hover("badge lights", {onBadge}, true);
        hover("bare surface darkens", {onBadge, bareTop}, false);
        hover("strip below the badge darkens", {onBadge, {60, 290}}, false);
        hover("lit again, dark again", {onBadge, bareSurface, onBadge, bareSurface}, false);
        hover("title keeps lit", {onBadge, {200, 20}}, true);
        hover("version keeps dark", {onBadge, bareTop, {200, 45}}, false);
        hover("contact keeps lit", {onBadge, {100, 200}}, true);
        hover("logo keeps lit", {onBadge, {20, 60}}, true);
        hover("grey line keeps lit", {onBadge, {200, 151}}, true);
        hover("white line keeps lit", {onBadge, {200, 153}}, true);
        hover("OK keeps lit", {onBadge, onOK}, true);
        hover("OK keeps dark", {bareSurface, onOK}, false);
        hover("leaving the window keeps lit", {onBadge, {60, 320}}, true);
        drag("drag from the title", {onBadge}, {200, 20}, Qt::LeftButton, true, false);
        drag("drag from the logo", {onBadge}, {20, 60}, Qt::LeftButton, true, false);
        drag("drag from a line", {onBadge}, {200, 151}, Qt::LeftButton, true, false);
        drag("right drag from OK", {onBadge}, onOK, Qt::RightButton, true, false);
        drag("drag from bare surface", {onBadge}, bareSurface, Qt::LeftButton, false, false);
        // Released over the badge it started on: a click, on whichever badge shows.
        drag("grey badge click", {}, onBadge, Qt::LeftButton, true, true);
        drag("colour badge click", {onBadge}, onBadge, Qt::LeftButton, true, true);
        drag("right button is no click", {onBadge}, onBadge, Qt::RightButton, true, false);
    }
    void pointer()
    {
        QFETCH(QList<QPoint>, moves);
        QFETCH(QPoint, dragFrom);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, lit);
        QFETCH(bool, opens);
        const auto form = loaded();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(Twips::forWidget(form.get()).dpi(), 96.0);
        QWindow *window = form->windowHandle();
        for (const QPoint &point : moves)
            QTest::mouseMove(window, point);
        if (!dragFrom.isNull()) {
            QTest::mousePress(window, button, {}, dragFrom);
            QTest::mouseMove(window, dragFrom + QPoint(3, 1));
            QTest::mouseMove(window, dragFrom + QPoint(6, 2));
        }
        QCOMPARE(badge(form.get(), 0)->isVisible(), lit);
        QVERIFY(badge(form.get(), 1)->isVisible());
        if (!dragFrom.isNull())
            QTest::mouseRelease(window, button, {}, dragFrom + QPoint(6, 2));
        RecordingPlatform expected;
        if (opens)
            qvx::Module1::OpenFlashBackSite(expected);
        QCOMPARE(platform.calls, expected.calls);
    }

    void closesAndOpensFresh_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("OK button") << 0;
        QTest::newRow("caption close") << -1;
    }
    void closesAndOpensFresh()
    {
        QFETCH(int, way);
        QPointer<FrmAbout> first;
        QString texts;
        bool emptiedOnUnload = false;
        QVERIFY(whileOpen([&](FrmAbout *about) {
            first = about;
            texts = captions(about);
            connect(about, &QDialog::finished, this, [&] { emptiedOnUnload = frmAbout.isNull(); });
            QCOMPARE(frmAbout.data(), about);
            QCOMPARE(QApplication::focusWidget(), ok(about));
            QTest::mouseMove(about->windowHandle(), onBadge);
            if (way > 0)
                QTest::keyClick(about->windowHandle(), Qt::Key(way));
            else if (way == 0)
                QTest::mouseClick(ok(about), Qt::LeftButton);
            else
                about->windowHandle()->close();
        }));
        QVERIFY(emptiedOnUnload);
        QTRY_VERIFY(first.isNull());
        // The next opening is a new window, as loaded: the badge grey again.
        QVERIFY(whileOpen([&](FrmAbout *about) {
            QVERIFY(!badge(about, 0)->isVisible());
            QCOMPARE(captions(about), texts);
            ok(about)->click();
        }));
        QVERIFY(platform.calls.empty());
    }

    void mainWindowBlockedWhileOpen()
    {
        const QPointer<qvx::qt::FrmPlayDemos> main = new qvx::qt::FrmPlayDemos(platform);
        qvx::qt::frmPlayDemos = main;
        main->QMainWindow::show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        auto *option = main->control<QRadioButton>(QStringLiteral("optDemoVersion_0"));
        const QPoint onOption = option->mapTo(main.get(), QPoint(6, option->height() / 2));
        QAction *aboutItem = main->menuBar()->findChild<QAction *>(QStringLiteral("mnuAbout"));

        QVERIFY(whileOpen(
            [&](FrmAbout *about) {
                QCOMPARE(about->parentWidget(), main.get());
                QCOMPARE(about->windowIcon().cacheKey(), main->windowIcon().cacheKey());
                QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
                QVERIFY(!option->isChecked());
                ok(about)->click();
            },
            [&] { aboutItem->trigger(); }));
        QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
        QVERIFY(option->isChecked());
        delete main.get();
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"

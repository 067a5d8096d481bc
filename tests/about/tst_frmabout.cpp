#include "FakePlatform.h"

#include "BuildInfo.h"
#include "about/AboutWidgets.h"
#include "about/FrmAbout.h"
#include "app/FrmPlayDemos.h"
#include "app/LineControl.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

QStringList recorderRequest()
{
    return {u"pointer 11"_s, u"open "_s + utf8(BuildInfo::recorderPage), u"pointer 0"_s};
}

// Points in window coordinates.
const QPoint onBadge(60, 270);
const QPoint onOK(350, 270);
const QPoint bareSurface(300, 200);

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT

private:
    FakePlatform fake;

    std::unique_ptr<FrmAbout> loaded(const QString &copyright = utf8(BuildInfo::legalCopyright))
    {
        auto form = std::make_unique<FrmAbout>(fake);
        form->Form_Load(copyright);
        return form;
    }

    // Runs `open` (by default FrmAbout::showModal), which shows the About window modally,
    // and `act` once that window is the active modal window. True when `act` ran and closed
    // the window itself, before the guard did.
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
        open ? open() : FrmAbout::showModal(fake);
        return acted && guard.isActive();
    }

private slots:
    void init() { fake.calls.clear(); }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frmAbout.isNull());
        for (QWidget *widget : QApplication::topLevelWidgets()) // Qt keeps tool tips for reuse
            QVERIFY2(widget->windowType() == Qt::ToolTip, qPrintable(widget->objectName()));
    }

    // Each carriage return is a line of its own, and markup in the copyright is text.
    void texts_data()
    {
        QTest::addColumn<QString>("copyright");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        const QString copyright = utf8(BuildInfo::legalCopyright);
        QTest::newRow("title") << copyright << "lblTitle" << u"Quorvex Demo Player"_s;
        QTest::newRow("version") << copyright << "lblVersion" << u"Version 2.0.0\r"_s + copyright;
        QTest::newRow("version, empty copyright")
            << QString() << "lblVersion" << u"Version 2.0.0\r"_s;
        QTest::newRow("version, markup")
            << u"<b>B</b> & Co"_s << "lblVersion" << u"Version 2.0.0\r<b>B</b> & Co"_s;
        QTest::newRow("description")
            << copyright << "lblDescription"
            << u"The Quorvex Demo Player allows you to easily select and view various demos of "
               "Quorvex and Quorvex Junior."_s;
        QTest::newRow("contact lines")
            << copyright << "lblContactInfo"
            << u"Brenlowe\rPhone:  "_s + utf8(BuildInfo::makerPhone) + u"\rFax:       "_s +
                   utf8(BuildInfo::makerFax) + u"\rE-mail:   "_s + utf8(BuildInfo::makerEmail) +
                   u"\rWeb:     "_s + utf8(BuildInfo::makerWeb);
    }
    void texts()
    {
        QFETCH(QString, copyright);
        QFETCH(QString, control);
        QFETCH(QString, text);
        const auto form = loaded(copyright);
        const auto *label = form->findChild<CaptionLabel *>(control);
        QVERIFY(label);
        QCOMPARE(label->caption(), text);
        QCOMPARE(form->windowTitle(), u"About Quorvex Demo Player"_s);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text().split(u'\n'), text.split(u'\r'));
    }

    void windowSettings()
    {
        const auto form = loaded();
        QCOMPARE(form->screen()->logicalDotsPerInch(), 96.0);
        QCOMPARE(form->size(), QSize(404, 294));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        // OK is the default button and the only control that takes the focus.
        QVERIFY(form->cmdOK->isDefault());
        for (QWidget *child : form->findChildren<QWidget *>())
            QVERIFY2((child->focusPolicy() == Qt::NoFocus) != (child == form->cmdOK),
                     qPrintable(child->objectName()));
    }

    // Pixels at 96 dots per inch, 15 twips each.
    void controlGeometry_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("logo") << "Image3" << QRect(-8, -20, 128, 96);
        QTest::newRow("description") << "lblDescription" << QRect(100, 80, 295, 67);
        QTest::newRow("title") << "lblTitle" << QRect(100, 12, 263, 20);
        QTest::newRow("version") << "lblVersion" << QRect(100, 36, 259, 27);
        QTest::newRow("contact") << "lblContactInfo" << QRect(12, 167, 258, 80);
        QTest::newRow("grey badge") << "Image2_1" << QRect(12, 256, 105, 27);
        QTest::newRow("colour badge") << "Image2_0" << QRect(12, 256, 105, 27);
        QTest::newRow("OK") << "cmdOK" << QRect(312, 260, 81, 23);
    }
    void controlGeometry()
    {
        QFETCH(QString, control);
        QFETCH(QRect, rect);
        const auto form = loaded();
        const auto *widget = form->findChild<QWidget *>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), rect);
    }

    void etchedRuleAndPictures()
    {
        const auto form = loaded();
        const auto line = [&](int at) {
            const LineControl *l = form->Line1[size_t(at)];
            return std::tuple(QLine(l->from(), l->to()), l->colour());
        };
        QCOMPARE(line(0), std::tuple(QLine(5, 152, 396, 152), QColor(255, 255, 255)));
        QCOMPARE(line(1), std::tuple(QLine(4, 151, 396, 151), QColor(128, 128, 128)));

        const QImage logo = form->Image3->pixmap().toImage();
        const QImage grey = form->Image2[1]->pixmap().toImage();
        const QImage colour = form->Image2[0]->pixmap().toImage();
        QCOMPARE(logo.size(), QSize(128, 96));
        QCOMPARE(grey.size(), QSize(105, 27));
        QCOMPARE(colour.size(), QSize(105, 27));
        QVERIFY(grey.allGray() && !colour.allGray() && !logo.allGray());
        for (const ImageControl *badge : form->Image2)
            QCOMPARE(badge->toolTip(),
                     u"Demos were created with FlashBack (click to open website)"_s);
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
        QWindow *window = form->windowHandle();
        for (const QPoint &point : moves)
            QTest::mouseMove(window, point);
        if (!dragFrom.isNull()) {
            QTest::mousePress(window, button, {}, dragFrom);
            QTest::mouseMove(window, dragFrom + QPoint(3, 1));
            QTest::mouseMove(window, dragFrom + QPoint(6, 2));
        }
        QCOMPARE(form->Image2[0]->isVisible(), lit);
        QVERIFY(form->Image2[1]->isVisible());
        if (!dragFrom.isNull())
            QTest::mouseRelease(window, button, {}, dragFrom + QPoint(6, 2));
        QCOMPARE(fake.calls, opens ? recorderRequest() : QStringList());
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
            texts = about->lblVersion->caption() + about->lblContactInfo->caption();
            connect(about, &QDialog::finished, this, [&] { emptiedOnUnload = frmAbout.isNull(); });
            QCOMPARE(frmAbout.data(), about);
            QCOMPARE(QApplication::focusWidget(), about->cmdOK);
            QTest::mouseMove(about->windowHandle(), onBadge);
            if (way > 0)
                QTest::keyClick(about->windowHandle(), Qt::Key(way));
            else if (way == 0)
                QTest::mouseClick(about->cmdOK, Qt::LeftButton);
            else
                about->windowHandle()->close();
        }));
        QVERIFY(emptiedOnUnload);
        QTRY_VERIFY(first.isNull());
        // The next opening is a new window, as loaded: the badge grey again.
        QVERIFY(whileOpen([&](FrmAbout *about) {
            QVERIFY(!about->Image2[0]->isVisible());
            QCOMPARE(about->lblVersion->caption() + about->lblContactInfo->caption(), texts);
            about->cmdOK->click();
        }));
        QVERIFY(fake.calls.isEmpty());
    }

    void mainWindowBlockedWhileOpen()
    {
        QTemporaryDir folder;
        fake.appFolder = folder.path();
        frmPlayDemos = new FrmPlayDemos(fake);
        const QPointer<FrmPlayDemos> main = frmPlayDemos;
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        QRadioButton *option = main->optDemoVersion[0];
        const QPoint onOption = option->mapTo(main.get(), QPoint(6, option->height() / 2));

        QVERIFY(whileOpen(
            [&](FrmAbout *about) {
                QCOMPARE(about->parentWidget(), main.get());
                QCOMPARE(about->windowIcon().cacheKey(), main->windowIcon().cacheKey());
                QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
                QVERIFY(!option->isChecked());
                about->cmdOK->click();
            },
            [&] { main->mnuAbout->trigger(); }));
        QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
        QVERIFY(option->isChecked());
        delete main.get();
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"

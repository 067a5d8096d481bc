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

namespace {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

QStringList recorderRequest()
{
    return {QStringLiteral("pointer 11"), QStringLiteral("open ") + utf8(BuildInfo::recorderPage),
            QStringLiteral("pointer 0")};
}

bool isGrey(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))
                return false;
        }
    }
    return true;
}

// Top-level windows other than tool tips, which Qt keeps for reuse.
QList<QWidget *> windowsLeft()
{
    QList<QWidget *> left;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowType() != Qt::ToolTip)
            left.append(widget);
    }
    return left;
}

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

    // Runs `open`, which shows the About window modally, and `act` once that window is the
    // active modal window. A window the action leaves open is closed after a while, and
    // the result says so.
    bool whileOpen(const std::function<void()> &open, const std::function<void(FrmAbout *)> &act)
    {
        bool acted = false;
        bool forced = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *about = qobject_cast<FrmAbout *>(QApplication::activeModalWidget());
            if (acted || !about || QApplication::activeWindow() != about)
                return;
            acted = true;
            act(about);
        });
        QTimer guard;
        guard.setSingleShot(true);
        guard.setInterval(5000);
        connect(&guard, &QTimer::timeout, this, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                forced = true;
                modal->close();
            }
        });
        poll.start();
        guard.start();
        open();
        return acted && !forced;
    }

    bool whileOpen(const std::function<void(FrmAbout *)> &act)
    {
        return whileOpen([this] { FrmAbout::showModal(fake); }, act);
    }

private slots:
    void init() { fake.calls.clear(); }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frmAbout.isNull());
        QVERIFY(windowsLeft().isEmpty());
    }

    void loadSetsTextsLetterForLetter_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "lblTitle"
                               << "Quorvex Demo Player";
        QTest::newRow("version") << "lblVersion"
                                 << QStringLiteral("Version 2.0.0\r") +
                                        utf8(BuildInfo::legalCopyright);
        QTest::newRow("description")
            << "lblDescription"
            << "The Quorvex Demo Player allows you to easily select and view various demos of "
               "Quorvex and Quorvex Junior.";
        QTest::newRow("contact lines")
            << "lblContactInfo"
            << QStringLiteral("Brenlowe\rPhone:  ") + utf8(BuildInfo::makerPhone) +
                   QStringLiteral("\rFax:       ") + utf8(BuildInfo::makerFax) +
                   QStringLiteral("\rE-mail:   ") + utf8(BuildInfo::makerEmail) +
                   QStringLiteral("\rWeb:     ") + utf8(BuildInfo::makerWeb);
    }
    void loadSetsTextsLetterForLetter()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        const auto form = std::make_unique<FrmAbout>(fake);
        auto *label = form->findChild<CaptionLabel *>(control);
        QVERIFY(label);
        const QString placeholder = label->caption();
        form->Form_Load();
        QCOMPARE(label->caption(), text);
        QVERIFY(label->caption() != placeholder);
        QCOMPARE(form->windowTitle(), QStringLiteral("About Quorvex Demo Player"));
        QVERIFY(fake.calls.isEmpty());
    }

    // The lines the version label shows, with the copyright text as given.
    void versionShowsCopyrightOnSecondLine_data()
    {
        QTest::addColumn<QString>("copyright");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << "Copyright (C) 2001 Someone";
        QTest::newRow("markup stays text") << "<b>Brenlowe</b> & Co";
    }
    void versionShowsCopyrightOnSecondLine()
    {
        QFETCH(QString, copyright);
        const auto form = loaded(copyright);
        QCOMPARE(form->lblVersion->caption(), QStringLiteral("Version 2.0.0\r") + copyright);
        QCOMPARE(FrmAbout::versionText(copyright), form->lblVersion->caption());
        QCOMPARE(form->lblVersion->text().split(QLatin1Char('\n')),
                 QStringList({QStringLiteral("Version 2.0.0"), copyright}));
        QCOMPARE(form->lblVersion->textFormat(), Qt::PlainText);
    }

    void carriageReturnsAreDrawnAsLineBreaks()
    {
        const auto form = loaded();
        CaptionLabel *contact = form->lblContactInfo;
        QCOMPARE(contact->caption().count(QLatin1Char('\r')), 4);
        QVERIFY(!contact->caption().contains(QLatin1Char('\n')));
        QVERIFY(!contact->text().contains(QLatin1Char('\r')));
        // Five drawn lines, not one long line.
        const int lineSpacing = contact->fontMetrics().lineSpacing();
        QVERIFY2(contact->heightForWidth(contact->width()) >= 5 * lineSpacing,
                 qPrintable(QString::number(contact->heightForWidth(contact->width()))));
    }

    void windowSettings()
    {
        const auto form = loaded();
        QCOMPARE(form->screen()->logicalDotsPerInch(), 96.0);
        QCOMPARE(form->size(), QSize(404, 294));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 0, 0));
        QVERIFY(form->autoFillBackground());
        QCOMPARE(form->font().families(),
                 QStringList({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}));
        QCOMPARE(form->font().pointSizeF(), 8.25);
        QVERIFY(!form->font().bold() && !form->font().italic());
        const QFont title = form->lblTitle->font();
        QCOMPARE(title.family(), QStringLiteral("Tahoma"));
        QCOMPARE(title.pointSizeF(), 12.0);
        QVERIFY(title.bold() && title.italic());
        for (const CaptionLabel *label : form->findChildren<CaptionLabel *>()) {
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
            QVERIFY(label->autoFillBackground());
        }
        // OK is the default button and the only control that takes the focus.
        QVERIFY(form->cmdOK->isDefault());
        for (QWidget *child : form->findChildren<QWidget *>()) {
            if (child != form->cmdOK)
                QVERIFY2(child->focusPolicy() == Qt::NoFocus, qPrintable(child->objectName()));
        }
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

    void etchedRule()
    {
        const auto form = loaded();
        QCOMPARE(form->Line1[0]->from(), QPoint(5, 152));
        QCOMPARE(form->Line1[0]->to(), QPoint(396, 152));
        QCOMPARE(form->Line1[0]->colour(), QColor(255, 255, 255));
        QCOMPARE(form->Line1[1]->from(), QPoint(4, 151));
        QCOMPARE(form->Line1[1]->to(), QPoint(396, 151));
        QCOMPARE(form->Line1[1]->colour(), QColor(128, 128, 128));
    }

    void picturesAtTheirSizes()
    {
        const auto form = loaded();
        const QImage logo = form->Image3->pixmap().toImage();
        QCOMPARE(logo.size(), QSize(128, 96));
        const QImage grey = form->Image2[1]->pixmap().toImage();
        const QImage colour = form->Image2[0]->pixmap().toImage();
        QCOMPARE(grey.size(), QSize(105, 27));
        QCOMPARE(colour.size(), QSize(105, 27));
        QVERIFY(isGrey(grey));
        QVERIFY(!isGrey(colour));
        QVERIFY(!isGrey(logo));
        const QString tip =
            QStringLiteral("Demos were created with FlashBack (click to open website)");
        QCOMPARE(form->Image2[0]->toolTip(), tip);
        QCOMPARE(form->Image2[1]->toolTip(), tip);
    }

    // Pointer moves in window coordinates, through the window system as the user makes them;
    // whether the colour badge shows afterwards.
    void badgeFollowsPointer_data()
    {
        const QPoint badge(60, 270);
        const QPoint bareTop(390, 5);
        const QPoint bareRight(300, 200);
        const QPoint bareBelowBadge(60, 290);
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<bool>("lit");
        QTest::newRow("grey at start") << QList<QPoint>{} << false;
        QTest::newRow("badge lights") << QList<QPoint>{badge} << true;
        QTest::newRow("lit badge stays lit") << QList<QPoint>{badge, badge + QPoint(30, 0)} << true;
        QTest::newRow("bare surface darkens") << QList<QPoint>{badge, bareTop} << false;
        QTest::newRow("strip below the badge darkens")
            << QList<QPoint>{badge, bareBelowBadge} << false;
        QTest::newRow("bare surface again darkens")
            << QList<QPoint>{badge, bareRight, badge, bareRight} << false;
        QTest::newRow("title keeps lit") << QList<QPoint>{badge, QPoint(200, 20)} << true;
        QTest::newRow("version keeps dark")
            << QList<QPoint>{badge, bareTop, QPoint(200, 45)} << false;
        QTest::newRow("description keeps lit") << QList<QPoint>{badge, QPoint(200, 100)} << true;
        QTest::newRow("contact keeps lit") << QList<QPoint>{badge, QPoint(100, 200)} << true;
        QTest::newRow("logo keeps lit") << QList<QPoint>{badge, QPoint(20, 60)} << true;
        QTest::newRow("grey line keeps lit") << QList<QPoint>{badge, QPoint(200, 151)} << true;
        QTest::newRow("white line keeps lit") << QList<QPoint>{badge, QPoint(200, 153)} << true;
        QTest::newRow("OK keeps lit") << QList<QPoint>{badge, QPoint(350, 270)} << true;
        QTest::newRow("OK keeps dark") << QList<QPoint>{bareRight, QPoint(350, 270)} << false;
        QTest::newRow("leaving the window keeps lit")
            << QList<QPoint>{badge, QPoint(60, 320)} << true;
    }
    void badgeFollowsPointer()
    {
        QFETCH(QList<QPoint>, moves);
        QFETCH(bool, lit);
        const auto form = loaded();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const QPoint &point : moves)
            QTest::mouseMove(form->windowHandle(), point);
        QCOMPARE(form->Image2[0]->isVisible(), lit);
        QVERIFY(form->Image2[1]->isVisible());
        QVERIFY(fake.calls.isEmpty());
    }

    // With a button held, movement goes to the control the press began on; a control
    // other than the badge must not hand it on to the window as bare surface.
    void dragKeepsBadgeUnlessStartedOnBareSurface_data()
    {
        QTest::addColumn<QPoint>("pressAt");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("lit");
        QTest::addColumn<bool>("opens");
        QTest::newRow("title") << QPoint(200, 20) << Qt::LeftButton << true << false;
        QTest::newRow("contact") << QPoint(100, 200) << Qt::LeftButton << true << false;
        QTest::newRow("logo") << QPoint(20, 60) << Qt::LeftButton << true << false;
        QTest::newRow("line") << QPoint(200, 151) << Qt::LeftButton << true << false;
        QTest::newRow("OK, right button") << QPoint(350, 270) << Qt::RightButton << true << false;
        // Released over the badge it started on: a click.
        QTest::newRow("badge") << QPoint(60, 270) << Qt::LeftButton << true << true;
        QTest::newRow("bare surface") << QPoint(300, 200) << Qt::LeftButton << false << false;
    }
    void dragKeepsBadgeUnlessStartedOnBareSurface()
    {
        QFETCH(QPoint, pressAt);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, lit);
        QFETCH(bool, opens);
        const auto form = loaded();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QWindow *window = form->windowHandle();
        QTest::mouseMove(window, QPoint(60, 270));
        QTest::mousePress(window, button, {}, pressAt);
        QTest::mouseMove(window, pressAt + QPoint(3, 1));
        QTest::mouseMove(window, pressAt + QPoint(6, 2));
        QCOMPARE(form->Image2[0]->isVisible(), lit);
        QTest::mouseRelease(window, button, {}, pressAt + QPoint(6, 2));
        QCOMPARE(fake.calls, opens ? recorderRequest() : QStringList());
    }

    void badgeClickOpensRecorderPageOnce_data()
    {
        QTest::addColumn<int>("element");
        QTest::newRow("grey") << 1;
        QTest::newRow("colour") << 0;
    }
    void badgeClickOpensRecorderPageOnce()
    {
        QFETCH(int, element);
        const auto form = loaded();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        if (element == 0)
            QTest::mouseMove(form->windowHandle(), QPoint(60, 270));
        ImageControl *badge = form->Image2[size_t(element)];
        QVERIFY(badge->isVisible());

        QTest::mouseClick(badge, Qt::LeftButton);
        QCOMPARE(fake.calls, recorderRequest());
        QTest::mouseClick(badge, Qt::LeftButton);
        QCOMPARE(fake.calls, recorderRequest() + recorderRequest());
        // Other buttons are no click.
        QTest::mouseClick(badge, Qt::RightButton);
        QCOMPARE(fake.calls.size(), 6);
        QVERIFY(form->isVisible());
    }

    void closes_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Enter") << "enter";
        QTest::newRow("Esc") << "escape";
        QTest::newRow("OK button") << "ok";
        QTest::newRow("caption close") << "close";
    }
    void closes()
    {
        QFETCH(QString, way);
        QPointer<FrmAbout> opened;
        bool emptiedOnUnload = false;
        const bool closed = whileOpen([&](FrmAbout *about) {
            opened = about;
            connect(about, &QDialog::finished, this, [&] { emptiedOnUnload = frmAbout.isNull(); });
            QCOMPARE(frmAbout.data(), about);
            QCOMPARE(QApplication::focusWidget(), about->cmdOK);
            if (way == QLatin1String("enter"))
                QTest::keyClick(about->windowHandle(), Qt::Key_Return);
            else if (way == QLatin1String("escape"))
                QTest::keyClick(about->windowHandle(), Qt::Key_Escape);
            else if (way == QLatin1String("ok"))
                QTest::mouseClick(about->cmdOK, Qt::LeftButton);
            else
                about->windowHandle()->close();
        });
        QVERIFY(closed);
        QVERIFY(emptiedOnUnload);
        QVERIFY(frmAbout.isNull());
        QTRY_VERIFY(opened.isNull());
        QVERIFY(fake.calls.isEmpty());
    }

    void secondOpeningIsFresh()
    {
        QPointer<FrmAbout> first;
        QString texts;
        QVERIFY(whileOpen([&](FrmAbout *about) {
            first = about;
            texts = about->lblVersion->caption() + about->lblContactInfo->caption();
            QTest::mouseMove(about->windowHandle(), QPoint(60, 270));
            QVERIFY(about->Image2[0]->isVisible());
            about->cmdOK->click();
        }));
        QTRY_VERIFY(first.isNull());

        QVERIFY(whileOpen([&](FrmAbout *about) {
            QVERIFY(!about->Image2[0]->isVisible());
            QVERIFY(about->Image2[1]->isVisible());
            QCOMPARE(about->lblVersion->caption() + about->lblContactInfo->caption(), texts);
            about->cmdOK->click();
        }));
    }

    void mainWindowTakesInputAfterwards()
    {
        QTemporaryDir folder;
        fake.appFolder = folder.path();
        frmPlayDemos = new FrmPlayDemos(fake);
        const QPointer<FrmPlayDemos> main = frmPlayDemos;
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        QRadioButton *option = main->optDemoVersion[0];
        const QPoint onOption = option->mapTo(main.get(), QPoint(6, option->height() / 2));

        QVERIFY(whileOpen([&] { main->mnuAbout->trigger(); },
                          [&](FrmAbout *about) {
                              QCOMPARE(about->parentWidget(), main.get());
                              QCOMPARE(about->windowIcon().cacheKey(),
                                       main->windowIcon().cacheKey());
                              QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
                              QVERIFY(!option->isChecked());
                              about->cmdOK->click();
                          }));
        QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, onOption);
        QVERIFY(option->isChecked());
        delete main.get();
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"

// The main window's widgets over the presenter: what the user sees and the keys, focus and
// mouse paths into the behaviour. What the presenter decides is tested in tests/core.

#include "AboutWidgets.h"
#include "RecordingPlatform.h"
#include "qvx/core/Catalogue.h"
#include "qvx/core/Design.h"
#include "qvx/qt/FrmPlayDemos.h"
#include "qvx/qt/Twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <memory>

using qvx::qt::FrmPlayDemos;
using qvx::qt::frmPlayDemos;
using Lines = std::vector<std::string>;

namespace {

QStringList items(const QComboBox *combo)
{
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

QRadioButton *option(FrmPlayDemos *form, int index)
{
    return form->control<QRadioButton>(QStringLiteral("optDemoVersion_%1").arg(index));
}

QComboBox *demos(FrmPlayDemos *form)
{
    return form->control<QComboBox>(QStringLiteral("cboDemos"));
}

QPushButton *button(FrmPlayDemos *form, const char *name)
{
    return form->control<QPushButton>(QLatin1String(name));
}

QAction *action(FrmPlayDemos *form, const QString &name)
{
    QAction *found = nullptr;
    for (QAction *candidate : form->menuBar()->findChildren<QAction *>(name))
        found = candidate;
    return found;
}

} // namespace

class TestFrmPlayDemos : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingPlatform> platform;

    FrmPlayDemos *load()
    {
        frmPlayDemos = new FrmPlayDemos(*platform);
        frmPlayDemos->Form_Load();
        return frmPlayDemos;
    }
    FrmPlayDemos *loadActive()
    {
        FrmPlayDemos *form = load();
        QApplication::setActiveWindow(form);
        if (!QTest::qWaitForWindowActive(form))
            return nullptr;
        return form;
    }
    // Chooses an entry of the list as the user does, with the arrow keys.
    void choose(FrmPlayDemos *form, const QString &name)
    {
        QComboBox *combo = demos(form);
        const int index = combo->findText(name, Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(name));
        combo->setCurrentIndex(index == 0 ? 1 : index - 1);
        QTest::keyClick(combo, index == 0 ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(combo->currentText(), name);
    }
    void typeText(FrmPlayDemos *form, const QString &text)
    {
        demos(form)->lineEdit()->clear();
        QTest::keyClicks(demos(form)->lineEdit(), text);
    }
    Lines starts() const { return platform->callsOf("start"); }

private slots:
    void init()
    {
        platform = std::make_unique<RecordingPlatform>();
        for (const char *path :
             {"/app/Demos/QVX/Box Office Sales.exe", "/app/Demos/QVX/Seating.exe",
              "/app/Demos/QVX Jr/Selling Tickets.exe", "/app/Demos/QVX Jr/Calendar.exe",
              "/app/Demos/Both/Reports.exe", "/app/Demos/Both/Ticket Setup.exe",
              "/app/Demos/Both/Help.exe", "/app/Demos/Both/Overview.exe"})
            platform->addFile(path);
    }
    void cleanup()
    {
        delete frmPlayDemos.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frmPlayDemos.isNull());
        for (const QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
        platform.reset();
    }

    void loadShowsTheWindowThenTheListedDemos()
    {
        bool visibleAtEvents = false;
        int entriesAtEvents = -1;
        platform->duringEvents = [&] {
            visibleAtEvents = frmPlayDemos->isVisible();
            entriesAtEvents = demos(frmPlayDemos)->count();
        };
        FrmPlayDemos *form = load();
        QVERIFY(visibleAtEvents);
        QCOMPARE(entriesAtEvents, 0);

        QVERIFY(form->isVisible());
        QVERIFY(option(form, 1)->isChecked());
        QVERIFY(!option(form, 0)->isChecked());
        QVERIFY(form->control(QStringLiteral("fraDemoInfo"))->isHidden());
        QVERIFY(form->control(QStringLiteral("fraExtracting"))->isHidden());
        QCOMPARE(items(demos(form)),
                 QStringList({QStringLiteral("Calendar"), QStringLiteral("Selling Tickets"),
                              QStringLiteral("Help"), QStringLiteral("Overview"),
                              QStringLiteral("Reports"), QStringLiteral("Ticket Setup")}));
        QCOMPARE(demos(form)->currentText(), QStringLiteral("Calendar"));
        QCOMPARE(QApplication::focusWidget(), demos(form));
    }

    void geometryAfterLoad()
    {
        using P = qvx::PlayDemosPresenter;
        FrmPlayDemos *form = load();
        const Twips t = Twips::forWidget(form);
        QCOMPARE(form->frameGeometry().size(), QSize(t.px(P::outerWidth), t.px(P::outerHeight)));
        const QRect screen = form->screen()->geometry();
        QVERIFY(qAbs(form->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form->frameGeometry().center().y() - screen.center().y()) <= 1);
        // Load puts the note frame beside the edition frame; the progress frame stays out of
        // sight where it was designed.
        const qvx::design::Rect note = qvx::design::frmPlayDemos().find("fraDemoInfo")->rect;
        QCOMPARE(form->control(QStringLiteral("fraDemoInfo"))->geometry(),
                 t.rect(P::noteLeft, P::noteTop, note.width, note.height));
        const qvx::design::Rect progress = qvx::design::frmPlayDemos().find("fraExtracting")->rect;
        QCOMPARE(form->control(QStringLiteral("fraExtracting"))->pos(),
                 QPoint(t.px(progress.left), t.px(progress.top)));
    }

    // Centring a window larger than the screen gives negative coordinates; the window goes
    // there rather than being pushed back onto the screen.
    void placedAtNegativePositions()
    {
        FrmPlayDemos *form = load();
        const Twips t = Twips::forWidget(form);
        form->moveOuter(-412.5f, -310.0f);
        const QPoint expected =
            form->screen()->geometry().topLeft() + QPoint(t.px(-412.5), t.px(-310));
        QTRY_COMPARE(form->frameGeometry().topLeft(), expected);
    }

    // The progress frame at its working place covers the edition frame: nothing of the
    // edition frame may show through it.
    void progressFrameHidesWhatLiesUnder()
    {
        using P = qvx::PlayDemosPresenter;
        FrmPlayDemos *form = load();
        form->moveControl({"fraExtracting"}, P::extractingLeft, P::extractingTop);
        form->setControlVisible({"fraExtracting"}, true);
        QWidget *client = form->centralWidget();
        QWidget *progress = form->control(QStringLiteral("fraExtracting"));
        QWidget *edition = form->control(QStringLiteral("Frame1"));
        const QRect covered = progress->geometry();
        QVERIFY(covered.intersects(edition->geometry()));
        const QImage over = client->grab(covered).toImage();
        edition->hide();
        const QImage alone = client->grab(covered).toImage();
        QCOMPARE(over, alone);
    }

    void clickedOptionListsItsEdition()
    {
        FrmPlayDemos *form = load();
        QRadioButton *quorvex = option(form, 0);
        QTest::mouseClick(quorvex, Qt::LeftButton, {}, QPoint(4, quorvex->height() / 2));
        QVERIFY(quorvex->isChecked());
        QVERIFY(!option(form, 1)->isChecked());
        QCOMPARE(demos(form)->currentText(), QStringLiteral("Box Office Sales"));
    }

    // An application folder whose path is not UTF-8, with demos whose names are not either:
    // listed with replacements, and what is listed plays.
    void listsAndPlaysNamesThatAreNotUtf8()
    {
        platform->appFolder = "/app\xe9";
        platform->addFile("/app\xe9/Demos/QVX Jr/\xff\xfe.exe");
        platform->addFile("/app\xe9/Demos/QVX Jr/Caf\xe9.exe");
        platform->addFile("/app\xe9/Demos/Both/Help.exe");
        const QString bad(QChar(0xFFFD));
        FrmPlayDemos *form = load();
        QCOMPARE(items(demos(form)),
                 QStringList({QStringLiteral("Caf") + bad, bad + bad, QStringLiteral("Help")}));

        choose(form, bad + bad);
        platform->calls.clear();
        QTest::mouseClick(button(form, "cmdPlay"), Qt::LeftButton);
        QCOMPARE(starts(),
                 Lines{"start /app\xe9/Demos/QVX Jr/\xff\xfe.exe | /app\xe9/Demos/QVX Jr"});
    }

    void listsFortyThousandDemos()
    {
        for (int i = 0; i < 40000; ++i)
            platform->files[QStringLiteral("/app/Demos/QVX Jr/Demo %1.exe")
                                .arg(i, 5, 10, QLatin1Char('0'))
                                .toStdString()] = "demo";
        FrmPlayDemos *form = load();
        QCOMPARE(demos(form)->count(), 40000 + 6);
        QCOMPARE(demos(form)->itemText(0), QStringLiteral("Calendar"));
        QCOMPARE(demos(form)->itemText(40000), QStringLiteral("Demo 39999"));
    }

    // A choice from the list, not typing and not Enter, shows the note for a shared demo.
    void choiceFromTheListShowsTheNote()
    {
        FrmPlayDemos *form = load();
        option(form, 0)->setChecked(true);
        auto *note = form->control<CaptionLabel>(QStringLiteral("lblInfo"));
        QWidget *frame = form->control(QStringLiteral("fraDemoInfo"));
        choose(form, QStringLiteral("Reports"));
        const QString reports = QString::fromStdString(qvx::Catalogue::noteFor("Reports"));
        QVERIFY(!reports.isEmpty());
        QCOMPARE(note->caption(), reports);
        QVERIFY(frame->isVisibleTo(form));

        typeText(form, QStringLiteral("Help"));
        QTest::keyClick(demos(form)->lineEdit(), Qt::Key_Return);
        QCOMPARE(note->caption(), reports);
        QCOMPARE(starts(), Lines{"start /app/Demos/Both/Help.exe | /app/Demos/Both"});

        choose(form, QStringLiteral("Seating"));
        QVERIFY(frame->isHidden());
        QCOMPARE(note->caption(), QString());
    }

    void enterPlaysFromTextFieldAndOptions()
    {
        FrmPlayDemos *form = loadActive();
        QVERIFY(form);
        QComboBox *combo = demos(form);
        const int entries = combo->count();

        typeText(form, QStringLiteral("sell"));
        QTest::keyClick(combo, Qt::Key_Return);
        // Played as typed: no completion, no new entry, no choice.
        QCOMPARE(combo->currentText(), QStringLiteral("sell"));
        QCOMPARE(combo->count(), entries);
        QVERIFY(starts().empty());

        typeText(form, QStringLiteral("Selling Tickets"));
        QTest::keyClick(combo, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(starts().size(), 1u);
        QCOMPARE(combo->count(), entries);

        option(form, 1)->setFocus();
        QTest::keyClick(option(form, 1), Qt::Key_Return);
        QCOMPARE(starts().size(), 2u);

        button(form, "cmdPlay")->setFocus();
        QTest::keyClick(button(form, "cmdPlay"), Qt::Key_Return);
        QCOMPARE(starts().size(), 3u);

        // Esc does nothing.
        QTest::keyClick(combo, Qt::Key_Escape);
        QVERIFY(form->isVisible());
        QCOMPARE(starts().size(), 3u);
    }

    void altKeysPressTheButtons()
    {
        FrmPlayDemos *form = loadActive();
        QVERIFY(form);
        QTest::keyClick(form->windowHandle(), Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(starts().size(), 1u);
        QTest::keyClick(form->windowHandle(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(frmPlayDemos.isNull());
    }

    void enterOnCloseCloses()
    {
        FrmPlayDemos *form = loadActive();
        QVERIFY(form);
        button(form, "cmdClose")->setFocus();
        QTest::keyClick(button(form, "cmdClose"), Qt::Key_Return);
        QTRY_VERIFY(frmPlayDemos.isNull());
        QVERIFY(starts().empty());
    }

    void threeWaysToClose_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Close button") << 0;
        QTest::newRow("File > Exit") << 1;
        QTest::newRow("caption close") << 2;
    }
    void threeWaysToClose()
    {
        QFETCH(int, way);
        FrmPlayDemos *form = load();
        bool destroyed = false;
        connect(form, &QObject::destroyed, this, [&] { destroyed = true; });
        if (way == 0)
            QTest::mouseClick(button(form, "cmdClose"), Qt::LeftButton);
        else if (way == 1)
            action(form, QStringLiteral("mnuExit"))->trigger();
        else
            QVERIFY(form->QMainWindow::close());
        QTRY_VERIFY(destroyed);
        QVERIFY(frmPlayDemos.isNull());
        QVERIFY(platform->callsOf("message").empty());
    }

    void tabOrderFollowsTheSelectedOption()
    {
        FrmPlayDemos *form = loadActive();
        QVERIFY(form);
        auto order = [&] {
            demos(form)->setFocus();
            QList<QWidget *> seen{QApplication::focusWidget()};
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen.append(QApplication::focusWidget());
            }
            return seen;
        };
        QWidget *combo = demos(form);
        QWidget *play = button(form, "cmdPlay");
        QWidget *close = button(form, "cmdClose");
        QCOMPARE(order(), (QList<QWidget *>{combo, play, option(form, 1), close, combo}));
        option(form, 0)->setChecked(true);
        QCOMPARE(order(), (QList<QWidget *>{combo, play, option(form, 0), close, combo}));
    }

    // Each menu item's action reaches its command, one request each; what the request holds
    // is the presenter's, tested in tests/core. Add-ons cannot be chosen.
    void menuItemsRunTheirCommands()
    {
        using qvx::design::Command;
        FrmPlayDemos *form = load();
        int reached = 0;
        for (const qvx::design::MenuItem &item : qvx::design::frmPlayDemos().menu) {
            if (item.command == Command::None || item.command == Command::Exit ||
                item.command == Command::About)
                continue;
            platform->calls.clear();
            action(form, QString::fromUtf8(item.name.data(), qsizetype(item.name.size())))
                ->trigger();
            const std::size_t requests = platform->callsOf("help").size() +
                                         platform->callsOf("open").size() + starts().size();
            QCOMPARE(requests, std::size_t(item.enabled ? 1 : 0));
            reached += item.enabled;
        }
        QCOMPARE(reached, 12); // Play, Contents, Index, eight topics, the web page
    }
};

QTEST_MAIN(TestFrmPlayDemos)
#include "tst_frmplaydemos.moc"

#include "DemoTree.h"
#include "FakePlatform.h"

#include "app/FrmPlayDemos.h"
#include "app/Module1.h"
#include "app/Twips.h"
#include "catalogue/FileListBox.h"
#include "qvx/helpviewer/NativeName.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

namespace {

const QStringList sampleTree{
    QStringLiteral("Demos/QVX/Box Office Sales.exe"),
    QStringLiteral("Demos/QVX/Seating.exe"),
    QStringLiteral("Demos/QVX Jr/Selling Tickets.exe"),
    QStringLiteral("Demos/QVX Jr/Calendar.exe"),
    QStringLiteral("Demos/Both/Reports.exe"),
    QStringLiteral("Demos/Both/Ticket Setup.exe"),
    QStringLiteral("Demos/Both/Help.exe"),
    QStringLiteral("Demos/Both/Overview.exe"),
};

QStringList items(const QComboBox *combo)
{
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

} // namespace

class TestFrmPlayDemos : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DemoTree> tree;
    std::unique_ptr<FakePlatform> fake;

    FrmPlayDemos *load(const QString &appFolder = QString())
    {
        fake->appFolder = appFolder.isEmpty() ? tree->path() : appFolder;
        frmPlayDemos = new FrmPlayDemos(*fake);
        frmPlayDemos->Form_Load();
        return frmPlayDemos;
    }
    // Chooses an entry of the list as the user does, with the arrow keys.
    void choose(FrmPlayDemos *form, const QString &name)
    {
        const int index = form->cboDemos->findText(name, Qt::MatchExactly);
        QVERIFY2(index >= 0, qPrintable(name));
        if (index == 0) {
            form->cboDemos->setCurrentIndex(1);
            QTest::keyClick(form->cboDemos, Qt::Key_Up);
        } else {
            form->cboDemos->setCurrentIndex(index - 1);
            QTest::keyClick(form->cboDemos, Qt::Key_Down);
        }
        QCOMPARE(form->cboDemos->currentText(), name);
    }
    void typeText(FrmPlayDemos *form, const QString &text)
    {
        form->cboDemos->lineEdit()->clear();
        QTest::keyClicks(form->cboDemos->lineEdit(), text);
    }

private slots:
    void init()
    {
        tree = std::make_unique<DemoTree>(sampleTree);
        fake = std::make_unique<FakePlatform>();
        Module1::sHelpFile.clear();
        Module1::sHelpTopic.clear();
    }
    void cleanup()
    {
        delete frmPlayDemos.data();
        QVERIFY(frmPlayDemos.isNull());
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(),
                             QApplication::topLevelWidgets().cend(),
                             [](QWidget *w) { return w->isVisible(); }));
        fake.reset();
        tree.reset();
    }

    void loadsWithJuniorSelectedAndListFilled()
    {
        FrmPlayDemos *form = load();
        QVERIFY(form->isVisible());
        QVERIFY(form->optDemoVersion[1]->isChecked());
        QVERIFY(!form->optDemoVersion[0]->isChecked());
        QVERIFY(!form->fraDemoInfo->isVisible());
        QVERIFY(!form->fraExtracting->isVisible());
        QCOMPARE(items(form->cboDemos),
                 QStringList({QStringLiteral("Calendar"), QStringLiteral("Selling Tickets"),
                              QStringLiteral("Help"), QStringLiteral("Overview"),
                              QStringLiteral("Reports"), QStringLiteral("Ticket Setup")}));
        QCOMPARE(form->cboDemos->currentText(), QStringLiteral("Calendar"));
        QCOMPARE(form->demoFolder(), tree->path() + QStringLiteral("/Demos/QVX Jr"));
        const QString helpFile = tree->path() + QStringLiteral("/Quorvex Demos.chm");
        QCOMPARE(Module1::sHelpFile, helpFile);
        // Busy pointer from the start, one pass of events before the list, default at the end.
        QCOMPARE(fake->calls,
                 QStringList({QStringLiteral("pointer 11"), QStringLiteral("helpfile ") + helpFile,
                              QStringLiteral("events"), QStringLiteral("pointer 0")}));
        QCOMPARE(QApplication::focusWidget(), form->cboDemos);
    }

    void listIsFilledAfterTheOnePassOfEvents()
    {
        fake->appFolder = tree->path();
        frmPlayDemos = new FrmPlayDemos(*fake);
        int countAtEvents = -1;
        bool visibleAtEvents = false;
        QPoint noteAtEvents;
        fake->duringEvents = [&] {
            countAtEvents = frmPlayDemos->cboDemos->count();
            visibleAtEvents = frmPlayDemos->isVisible();
            noteAtEvents = frmPlayDemos->fraDemoInfo->pos();
        };
        frmPlayDemos->Form_Load();
        QCOMPARE(countAtEvents, 0);
        QVERIFY(visibleAtEvents);
        const Twips t = Twips::forWidget(frmPlayDemos);
        QCOMPARE(noteAtEvents, QPoint(t.px(2760), t.px(1860)));
        QCOMPARE(frmPlayDemos->cboDemos->count(), 6);
    }

    void geometryAfterLoad()
    {
        FrmPlayDemos *form = load();
        const Twips t = Twips::forWidget(form);
        QCOMPARE(form->frameGeometry().size(), QSize(t.px(6825), t.px(4620)));
        const QRect screen = form->screen()->geometry();
        QVERIFY(qAbs(form->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form->frameGeometry().center().y() - screen.center().y()) <= 1);
        // Load puts the note frame beside the edition frame; the progress frame stays out
        // of sight where it was designed.
        QCOMPARE(form->fraDemoInfo->geometry(), t.rect(2760, 1860, 3795, 1035));
        QCOMPARE(form->fraExtracting->pos(), QPoint(t.px(6300), t.px(360)));
        // The shadow lies right of and below the title, and is drawn behind it.
        QCOMPARE(form->Label4[4]->pos() - form->Label4[3]->pos(),
                 QPoint(t.px(225) - t.px(180), t.px(30)));
        const QObjectList siblings = form->Label4[3]->parentWidget()->children();
        QVERIFY(siblings.indexOf(form->Label4[4]) < siblings.indexOf(form->Label4[3]));
        QVERIFY(form->filDemoFiles->isHidden());
    }

    // The progress frame at its working place covers the edition frame: nothing of the
    // edition frame may show through it.
    void progressFrameHidesWhatLiesUnder()
    {
        FrmPlayDemos *form = load();
        const Twips t = Twips::forWidget(form);
        form->fraExtracting->move(t.px(420), t.px(1860));
        form->fraExtracting->show();
        QWidget *client = form->centralWidget();
        const QRect covered = form->fraExtracting->geometry();
        QVERIFY(covered.intersects(form->Frame1->geometry()));
        const QImage over = client->grab(covered).toImage();
        form->Frame1->hide();
        const QImage alone = client->grab(covered).toImage();
        QCOMPARE(over, alone);
    }

    void centerFormAllowsNegativePositions()
    {
        const QPointF inside = Module1::centredPosition({15360, 11520}, {6825, 4620});
        QCOMPARE(inside, QPointF(4267.5, 3450));
        const QPointF larger = Module1::centredPosition({6000, 4000}, {6825, 4620});
        QCOMPARE(larger, QPointF(-412.5, -310));
    }

    void editionSelectionListsEditionThenShared()
    {
        FrmPlayDemos *form = load();
        QTest::mouseClick(form->optDemoVersion[0], Qt::LeftButton, {},
                          QPoint(4, form->optDemoVersion[0]->height() / 2));
        QVERIFY(form->optDemoVersion[0]->isChecked());
        QCOMPARE(form->demoFolder(), tree->path() + QStringLiteral("/Demos/QVX"));
        QCOMPARE(items(form->cboDemos),
                 QStringList({QStringLiteral("Box Office Sales"), QStringLiteral("Seating"),
                              QStringLiteral("Help"), QStringLiteral("Overview"),
                              QStringLiteral("Reports"), QStringLiteral("Ticket Setup")}));
        QCOMPARE(form->cboDemos->currentText(), QStringLiteral("Box Office Sales"));

        // Files added since are seen at the next selection, also of the same edition.
        tree->add(QStringLiteral("Demos/QVX/Add-on Sales.exe"));
        form->optDemoVersion_Click(0);
        QCOMPARE(form->cboDemos->itemText(0), QStringLiteral("Add-on Sales"));
        QCOMPARE(form->cboDemos->count(), 7);
    }

    void listingRulesForNames()
    {
        tree = std::make_unique<DemoTree>(QStringList{
            QStringLiteral("Demos/QVX Jr/b.exe"), QStringLiteral("Demos/QVX Jr/A.exe"),
            QStringLiteral("Demos/QVX Jr/c.EXE"), QStringLiteral("Demos/QVX Jr/readme.txt"),
            QStringLiteral("Demos/QVX Jr/.hidden.exe"), QStringLiteral("Demos/QVX Jr/folder.exe/"),
            QStringLiteral("Demos/QVX Jr/Help.exe"), QStringLiteral("Demos/Both/Help.exe"),
            QStringLiteral("Demos/Both/Étude.exe"), QStringLiteral("Demos/Both/Zebra.exe")});
        QFile::link(tree->file(QStringLiteral("Demos/QVX Jr/gone.exe")),
                    tree->file(QStringLiteral("Demos/QVX Jr/broken.exe")));
        FrmPlayDemos *form = load();
        // Each folder in case-blind order, accented names beside their letter; the shared
        // folder's names follow and duplicates stay.
        QCOMPARE(items(form->cboDemos),
                 QStringList({QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c"),
                              QStringLiteral("Help"), QStringLiteral("Étude"),
                              QStringLiteral("Help"), QStringLiteral("Zebra")}));
    }

    // An application folder whose path is not UTF-8, with demos whose names are not either:
    // listed with replacements, and what is listed plays.
    void listsAndPlaysNamesThatAreNotUtf8()
    {
        tree->addNative("app\xe9/Demos/QVX Jr/\xff\xfe.exe", "#!/bin/sh\npwd > started.txt\n",
                        0700);
        tree->addNative("app\xe9/Demos/QVX Jr/Caf\xe9.exe", "demo");
        tree->addNative("app\xe9/Demos/Both/Help.exe", "demo");
        const QString app =
            NativeName::decode(QByteArray(QFile::encodeName(tree->path()) + "/app\xe9"));
        const QString folder = app + QStringLiteral("/Demos/QVX Jr");
        const QString bad(QChar(0xFFFD));
        fake->reallyStart = true;
        FrmPlayDemos *form = load(app);
        QCOMPARE(items(form->cboDemos),
                 QStringList({QStringLiteral("Caf") + bad, bad + bad, QStringLiteral("Help")}));
        QCOMPARE(Module1::sHelpFile, app + QStringLiteral("/Quorvex Demos.chm"));

        choose(form, bad + bad);
        QTest::mouseClick(form->cmdPlay, Qt::LeftButton);
        QCOMPARE(fake->callsOf(QStringLiteral("start")),
                 QStringList(QStringLiteral("start ") + folder +
                             NativeName::decode("/\xff\xfe.exe") + QStringLiteral(" | ") + folder));
        QTRY_COMPARE(readNative(folder + QStringLiteral("/started.txt")).trimmed(),
                     NativeName::encode(folder));
    }

    void missingFoldersListAsEmpty()
    {
        tree = std::make_unique<DemoTree>(QStringList{QStringLiteral("Demos/Both/Help.exe")});
        FrmPlayDemos *form = load();
        QCOMPARE(items(form->cboDemos), QStringList({QStringLiteral("Help")}));
        tree = std::make_unique<DemoTree>();
        form->optDemoVersion_Click(0);
        QCOMPARE(form->cboDemos->count(), 0);
        QCOMPARE(form->cboDemos->currentText(), QString());
        QVERIFY(fake->callsOf(QStringLiteral("message")).isEmpty());
    }

    void listsFortyThousandDemos()
    {
        tree = std::make_unique<DemoTree>();
        QDir().mkpath(tree->file(QStringLiteral("Demos/QVX Jr")));
        for (int i = 0; i < 40000; ++i) {
            QFile file(tree->file(
                QStringLiteral("Demos/QVX Jr/Demo %1.exe").arg(i, 5, 10, QLatin1Char('0'))));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        FrmPlayDemos *form = load();
        QCOMPARE(form->cboDemos->count(), 40000);
        QCOMPARE(form->cboDemos->itemText(39999), QStringLiteral("Demo 39999"));
        QCOMPARE(form->filDemoFiles->path(), tree->file(QStringLiteral("Demos/Both")));
    }

    void notes_data()
    {
        QTest::addColumn<bool>("quorvex");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("note");
        const QString reports = QStringLiteral(
            "This QVX Jr demo also applies to the regular version with regard to basic "
            "functionality. The reports illustrated are different.");
        const QString setup = QStringLiteral(
            "This QVX Jr demo also applies to the regular version with regard to all "
            "functionality.");
        const QString help = QStringLiteral(
            "This QVX Jr demo also applies to the regular version with regard to basic "
            "functionality. The general content is different.");
        QTest::newRow("Reports under Quorvex") << true << "Reports" << reports;
        QTest::newRow("Ticket Setup under Quorvex") << true << "Ticket Setup" << setup;
        QTest::newRow("Help under Quorvex") << true << "Help" << help;
        QTest::newRow("HELP in capitals") << true << "HELP" << help;
        QTest::newRow("help in small letters") << true << "help" << help;
        QTest::newRow("a name that contains help") << true << "Help Desk" << QString();
        QTest::newRow("help2") << true << "help2" << QString();
        QTest::newRow("an edition demo") << true << "Seating" << QString();
        QTest::newRow("Reports under Junior") << false << "Reports" << QString();
        QTest::newRow("Help under Junior") << false << "Help" << QString();
    }
    void notes()
    {
        QFETCH(bool, quorvex);
        QFETCH(QString, name);
        QFETCH(QString, note);
        tree->add(QStringLiteral("Demos/Both/HELP.exe"));
        tree->add(QStringLiteral("Demos/Both/help.exe"));
        tree->add(QStringLiteral("Demos/Both/Help Desk.exe"));
        tree->add(QStringLiteral("Demos/Both/help2.exe"));
        FrmPlayDemos *form = load();
        if (quorvex)
            form->optDemoVersion[0]->setChecked(true);
        // A note shown before is replaced or hidden by the next choice.
        choose(form, QStringLiteral("Ticket Setup"));
        choose(form, name);
        QCOMPARE(form->lblInfo->text(), note);
        QCOMPARE(form->fraDemoInfo->isVisibleTo(form), !note.isEmpty());
    }

    void noteOnlyFollowsAChoice()
    {
        FrmPlayDemos *form = load();
        form->optDemoVersion[0]->setChecked(true);
        choose(form, QStringLiteral("Reports"));
        QVERIFY(form->fraDemoInfo->isVisibleTo(form));
        // Typing leaves the note; Enter does not count as a choice either.
        typeText(form, QStringLiteral("Help"));
        QVERIFY(form->lblInfo->text().contains(QStringLiteral("reports illustrated")));
        // A new edition selection hides it.
        form->optDemoVersion[1]->setChecked(true);
        QVERIFY(!form->fraDemoInfo->isVisibleTo(form));
        QCOMPARE(form->lblInfo->text(), QString());
        form->optDemoVersion[0]->setChecked(true);
        QVERIFY(!form->fraDemoInfo->isVisibleTo(form));
    }

    void playFolderRule_data()
    {
        QTest::addColumn<bool>("quorvex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("started"); // relative to the application folder; empty: none
        QTest::newRow("edition demo") << false << "Selling Tickets"
                                      << "Demos/QVX Jr/Selling Tickets.exe";
        QTest::newRow("shared demo under Junior") << false << "Ticket Setup"
                                                  << "Demos/Both/Ticket Setup.exe";
        QTest::newRow("shared demo under Quorvex") << true << "Ticket Setup"
                                                   << "Demos/Both/Ticket Setup.exe";
        QTest::newRow("typed in other case") << true << "ticket setup"
                                             << "Demos/Both/Ticket Setup.exe";
        QTest::newRow("edition name in other case") << true << "box office SALES"
                                                    << "Demos/QVX/Box Office Sales.exe";
        QTest::newRow("shared-only demo") << true << "Overview"
                                          << "Demos/Both/Overview.exe";
        QTest::newRow("demo of the other edition") << true << "Selling Tickets"
                                                   << "";
        QTest::newRow("typed name without a file") << false << "No Such Demo"
                                                   << "";
        QTest::newRow("empty text") << false << ""
                                    << "";
        QTest::newRow("quotes and semicolons") << false << "a\"b; rm -rf x"
                                               << "Demos/QVX Jr/a\"b; rm -rf x.exe";
    }
    void playFolderRule()
    {
        QFETCH(bool, quorvex);
        QFETCH(QString, typed);
        QFETCH(QString, started);
        tree->add(QStringLiteral("Demos/QVX Jr/a\"b; rm -rf x.exe"));
        FrmPlayDemos *form = load();
        if (quorvex)
            form->optDemoVersion[0]->setChecked(true);
        typeText(form, typed);
        fake->calls.clear();
        QTest::mouseClick(form->cmdPlay, Qt::LeftButton);
        if (started.isEmpty()) {
            QCOMPARE(fake->callsOf(QStringLiteral("start")), QStringList());
        } else {
            const QString path = tree->file(started);
            QCOMPARE(fake->callsOf(QStringLiteral("start")),
                     QStringList(QStringLiteral("start ") + path + QStringLiteral(" | ") +
                                 QFileInfo(path).absolutePath()));
        }
        QVERIFY(fake->callsOf(QStringLiteral("message")).isEmpty());
        QVERIFY(fake->callsOf(QStringLiteral("pointer")).isEmpty());
    }

    void editionFolderWinsForNamesInBoth()
    {
        tree->add(QStringLiteral("Demos/QVX/Overview.exe"));
        FrmPlayDemos *form = load();
        form->optDemoVersion[0]->setChecked(true);
        typeText(form, QStringLiteral("Overview"));
        form->mnuPlay->trigger();
        QCOMPARE(fake->callsOf(QStringLiteral("start")).value(0),
                 QStringLiteral("start ") + tree->file(QStringLiteral("Demos/QVX/Overview.exe")) +
                     QStringLiteral(" | ") + tree->file(QStringLiteral("Demos/QVX")));
    }

    void playRightAfterStartRunsTheFirstDemo()
    {
        FrmPlayDemos *form = load();
        form->mnuPlay->trigger();
        QTest::mouseClick(form->cmdPlay, Qt::LeftButton);
        const QString expected = QStringLiteral("start ") +
                                 tree->file(QStringLiteral("Demos/QVX Jr/Calendar.exe")) +
                                 QStringLiteral(" | ") + tree->file(QStringLiteral("Demos/QVX Jr"));
        QCOMPARE(fake->callsOf(QStringLiteral("start")), QStringList({expected, expected}));
    }

    void enterPlaysFromTextFieldAndOptions()
    {
        FrmPlayDemos *form = load();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        const int entries = form->cboDemos->count();

        typeText(form, QStringLiteral("sell"));
        QTest::keyClick(form->cboDemos, Qt::Key_Return);
        // Played as typed: no completion, no new entry, no choice.
        QCOMPARE(form->cboDemos->currentText(), QStringLiteral("sell"));
        QCOMPARE(form->cboDemos->count(), entries);
        QVERIFY(fake->callsOf(QStringLiteral("start")).isEmpty());

        typeText(form, QStringLiteral("Selling Tickets"));
        QTest::keyClick(form->cboDemos, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(fake->callsOf(QStringLiteral("start")).size(), 1);
        QCOMPARE(form->cboDemos->count(), entries);

        form->optDemoVersion[1]->setFocus();
        typeText(form, QStringLiteral("Selling Tickets"));
        QTest::keyClick(form->optDemoVersion[1], Qt::Key_Return);
        QCOMPARE(fake->callsOf(QStringLiteral("start")).size(), 2);

        form->cmdPlay->setFocus();
        QTest::keyClick(form->cmdPlay, Qt::Key_Return);
        QCOMPARE(fake->callsOf(QStringLiteral("start")).size(), 3);

        // Esc does nothing.
        QTest::keyClick(form->cboDemos, Qt::Key_Escape);
        QVERIFY(form->isVisible());
        QCOMPARE(fake->callsOf(QStringLiteral("start")).size(), 3);
    }

    void altKeysPressTheButtons()
    {
        FrmPlayDemos *form = load();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::keyClick(form->windowHandle(), Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(fake->callsOf(QStringLiteral("start")).size(), 1);
        QTest::keyClick(form->windowHandle(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(frmPlayDemos.isNull());
    }

    void enterOnCloseCloses()
    {
        FrmPlayDemos *form = load();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->cmdClose->setFocus();
        QTest::keyClick(form->cmdClose, Qt::Key_Return);
        QTRY_VERIFY(frmPlayDemos.isNull());
        QVERIFY(fake->callsOf(QStringLiteral("start")).isEmpty());
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
            QTest::mouseClick(form->cmdClose, Qt::LeftButton);
        else if (way == 1)
            form->mnuExit->trigger();
        else
            QVERIFY(form->close());
        QTRY_VERIFY(destroyed);
        QVERIFY(frmPlayDemos.isNull());
        QVERIFY(fake->callsOf(QStringLiteral("message")).isEmpty());
    }

    void tabOrderFollowsTheSelectedOption()
    {
        FrmPlayDemos *form = load();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->cboDemos->setFocus();
        auto order = [&] {
            QList<QWidget *> seen{QApplication::focusWidget()};
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen.append(QApplication::focusWidget());
            }
            return seen;
        };
        QCOMPARE(order(), (QList<QWidget *>{form->cboDemos, form->cmdPlay, form->optDemoVersion[1],
                                            form->cmdClose, form->cboDemos}));
        form->optDemoVersion[0]->setChecked(true);
        form->cboDemos->setFocus();
        QCOMPARE(order(), (QList<QWidget *>{form->cboDemos, form->cmdPlay, form->optDemoVersion[0],
                                            form->cmdClose, form->cboDemos}));
    }

    void onlyAddOnsIsUnavailable()
    {
        FrmPlayDemos *form = load();
        for (QAction *action : form->findChildren<QAction *>()) {
            if (!action->isSeparator())
                QCOMPARE(action->isEnabled(), action != form->mnuAdditionalAddOns);
            QVERIFY(action->shortcut().isEmpty());
        }
        QVERIFY(form->mnuAdditionalAddOns->isVisible());
        // Its siblings work.
        form->mnuWhatIsQuorvex->trigger();
        QCOMPARE(fake->callsOf(QStringLiteral("help")).size(), 1);
    }
};

QTEST_MAIN(TestFrmPlayDemos)
#include "tst_frmplaydemos.moc"

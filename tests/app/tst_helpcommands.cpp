#include "DemoTree.h"
#include "FakePlatform.h"

#include "BuildInfo.h"
#include "app/FrmPlayDemos.h"
#include "app/Module1.h"

#include <QAction>
#include <QTest>

class TestHelpCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DemoTree> tree;
    std::unique_ptr<FakePlatform> fake;
    QString helpFile;

    FrmPlayDemos *load(const QStringList &files = {})
    {
        tree = std::make_unique<DemoTree>(files);
        fake->appFolder = tree->path();
        frmPlayDemos = new FrmPlayDemos(*fake);
        frmPlayDemos->Form_Load();
        helpFile = tree->path() + QStringLiteral("/Quorvex Demos.chm");
        fake->calls.clear();
        return frmPlayDemos;
    }
    QString request(const QString &file, int command) const
    {
        return QStringLiteral("help frmPlayDemos | %1 | %2 | 0").arg(file).arg(command);
    }

private slots:
    void init()
    {
        fake = std::make_unique<FakePlatform>();
        Module1::sHelpTopic.clear();
    }
    void cleanup()
    {
        delete frmPlayDemos.data();
        fake.reset();
        tree.reset();
    }

    void topicItems_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("topic");
        QTest::newRow("Quorvex Demos") << "mnuQuorvexDemos" << "Welcome.htm";
        QTest::newRow("Playing Demos") << "mnuPlayingDemos" << "About the demos.htm";
        QTest::newRow("What is Quorvex") << "mnuWhatIsQuorvex" << "What is Quorvex.htm";
        QTest::newRow("Key Features (Quorvex)") << "mnuKeyFeaturesQVX" << "Key features of Quorvex.htm";
        QTest::newRow("Add-ons") << "mnuAdditionalAddOns" << "Add-ons.htm";
        QTest::newRow("What is Quorvex Junior") << "mnuWhatIsQuorvexJunior" << "What is Quorvex Junior.htm";
        QTest::newRow("Key Features (Junior)") << "mnuKeyFeaturesQVXJr" << "Key features of Quorvex Junior.htm";
        QTest::newRow("Ordering Quorvex") << "mnuOrderingQuorvex" << "Ordering Quorvex.htm";
        QTest::newRow("Contact Us") << "mnuContactUs" << "Contacting Brenlowe.htm";
    }
    void topicItems()
    {
        QFETCH(QString, item);
        QFETCH(QString, topic);
        FrmPlayDemos *form = load();
        auto *action = form->findChild<QAction *>(item);
        QVERIFY(action);
        // The unavailable item still carries its page, though the menu never offers it.
        action->setEnabled(true);
        action->trigger();
        QCOMPARE(Module1::sHelpTopic, topic);
        QCOMPARE(fake->calls,
                 QStringList(request(QStringLiteral("ms-its:") + helpFile + QStringLiteral("::/") + topic, 1)));
    }

    void contentsAndIndexLeaveTheTopic()
    {
        FrmPlayDemos *form = load();
        form->mnuOrderingQuorvex->trigger();
        fake->calls.clear();
        form->mnuHelpContents->trigger();
        form->mnuHelpIndex->trigger();
        QCOMPARE(fake->calls, QStringList({request(helpFile, 1), request(helpFile, 2)}));
        QCOMPARE(Module1::sHelpTopic, QStringLiteral("Ordering Quorvex.htm"));
    }

    void onlyExactWordsMakeRequests_data()
    {
        QTest::addColumn<QString>("word");
        QTest::newRow("small letters") << "contents";
        QTest::newRow("capitals") << "INDEX";
        QTest::newRow("topic in small letters") << "topic";
        QTest::newRow("empty") << "";
        QTest::newRow("trailing blank") << "Contents ";
    }
    void onlyExactWordsMakeRequests()
    {
        QFETCH(QString, word);
        FrmPlayDemos *form = load();
        Module1::ShowHelp(*fake, form, word);
        QCOMPARE(fake->calls, QStringList());
    }

    void folderWithSpacesStaysUnescaped()
    {
        FrmPlayDemos *form = load();
        QVERIFY(helpFile.contains(QLatin1Char('/')));
        Module1::sHelpFile = QStringLiteral("/opt/Demo Player/Quorvex Demos.chm");
        Module1::sHelpTopic = QStringLiteral("About the demos.htm");
        Module1::ShowHelp(*fake, form, QStringLiteral("Topic"));
        QCOMPARE(fake->calls,
                 QStringList(QStringLiteral("help frmPlayDemos | ms-its:/opt/Demo Player/Quorvex "
                                            "Demos.chm::/About the demos.htm | 1 | 0")));
    }

    void missingHelpFileStillMakesTheRequest()
    {
        FrmPlayDemos *form = load();
        QVERIFY(!QFile::exists(helpFile));
        form->mnuHelpContents->trigger();
        QCOMPARE(fake->calls, QStringList(request(helpFile, 1)));
    }

    void webCommandOpensTheHomePage()
    {
        FrmPlayDemos *form = load();
        form->mnuQuorvexontheWebSubHeader->trigger();
        const QString address = QStringLiteral("http://") + QLatin1String(BuildInfo::homePageHost) +
                                QStringLiteral("/index.htm");
        QCOMPARE(fake->calls, QStringList({QStringLiteral("pointer 11"), QStringLiteral("open ") + address,
                                           QStringLiteral("pointer 0")}));
        QVERIFY(!QString::fromLatin1(BuildInfo::homePageHost).isEmpty());
        QCOMPARE(Module1::sHelpTopic, QString());
    }

    void shellOpenEndsWithTheDefaultPointer_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown scheme") << "nosuchscheme:thing";
        QTest::newRow("spaces kept") << "http://example.invalid/a page.htm";
    }
    void shellOpenEndsWithTheDefaultPointer()
    {
        QFETCH(QString, target);
        // A wait pointer showing before does not come back afterwards.
        fake->setMousePointer(MousePointer::Busy);
        fake->calls.clear();
        Module1::ShellOpen(*fake, target);
        QCOMPARE(fake->calls, QStringList({QStringLiteral("pointer 11"), QStringLiteral("open ") + target,
                                           QStringLiteral("pointer 0")}));
    }
};

QTEST_MAIN(TestHelpCommands)
#include "tst_helpcommands.moc"

#include "RecordingPlatform.h"
#include "RecordingViews.h"
#include "qvx/core/Design.h"
#include "qvx/core/Module1.h"
#include "qvx/core/PlayDemos.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

const std::string reportsNote = "This QVX Jr demo also applies to the regular version with "
                                "regard to basic functionality. The reports illustrated are "
                                "different.";

// The shipped layout: two editions and the shared folder, plus a help file.
class PlayDemos : public testing::Test
{
protected:
    PlayDemos()
    {
        for (const char *path :
             {"/app/Demos/QVX Jr/Selling Tickets.exe", "/app/Demos/QVX Jr/Calendar.exe",
              "/app/Demos/QVX Jr/notes.txt", "/app/Demos/QVX/Box Office Sales.exe",
              "/app/Demos/QVX/Seating.exe", "/app/Demos/Both/Ticket Setup.exe",
              "/app/Demos/Both/Reports.exe", "/app/Demos/Both/Help.exe",
              "/app/Demos/Both/Overview.exe", "/app/Quorvex Demos.chm"})
            platform.addFile(path);
        platform.hidden.insert("/app/Demos/Both/Hidden.exe");
        platform.addFile("/app/Demos/Both/Hidden.exe");
        view.presenter = &presenter;
    }

    void load()
    {
        presenter.Form_Load();
        platform.calls.clear();
    }
    void choose(const std::string &text)
    {
        view.setDemoText(text);
        presenter.cboDemos_Click();
    }

    RecordingPlatform platform;
    RecordingPlayDemosView view{platform};
    qvx::PlayDemosPresenter presenter{platform, view};
};

TEST_F(PlayDemos, loadShowsTheWindowBeforeFillingTheListOfJuniorAndSharedDemos)
{
    presenter.Form_Load();
    const Lines expected{
        "pointer busy",
        "view size 6825x4620",
        // Centred on the whole screen, in single precision and not rounded.
        "view move 6187.5,4890",
        "view show",
        "view place fraDemoInfo 2760,1860",
        "helpfile /app/Quorvex Demos.chm",
        "events",
        "view paint",
        "view option 1 on",
        "view hide fraDemoInfo",
        "view caption lblInfo | ",
        "view clear",
        "view entries | Calendar | Selling Tickets | Help | Overview | Reports | Ticket Setup",
        "view text Calendar",
        "pointer default",
    };
    EXPECT_EQ(platform.calls, expected);
    EXPECT_EQ(presenter.demoFolder(), "/app/Demos/QVX Jr");
    EXPECT_EQ(qvx::Module1::sHelpFile, "/app/Quorvex Demos.chm");
}

TEST_F(PlayDemos, editionChoiceRebuildsTheListAndHidesTheNote)
{
    load();
    view.setOptionValue(0, true);
    choose("Reports");
    ASSERT_TRUE(view.visible["fraDemoInfo"]);
    view.setOptionValue(1, true);
    EXPECT_FALSE(view.visible["fraDemoInfo"]);
    EXPECT_EQ(view.captions["lblInfo"], "");
    view.setOptionValue(0, true);
    EXPECT_EQ(view.entries, (Lines{"Box Office Sales", "Seating", "Help", "Overview", "Reports",
                                   "Ticket Setup"}));
    EXPECT_EQ(view.text, "Box Office Sales");
    EXPECT_EQ(presenter.demoFolder(), "/app/Demos/QVX");
    // Any index but 0 is Junior.
    presenter.optDemoVersion_Click(7);
    EXPECT_EQ(presenter.demoFolder(), "/app/Demos/QVX Jr");
}

TEST_F(PlayDemos, missingFoldersListNothingWithoutComplaint)
{
    platform.files.clear();
    presenter.Form_Load();
    EXPECT_TRUE(view.entries.empty());
    EXPECT_EQ(view.text, "");
    EXPECT_TRUE(platform.callsOf("message").empty());
}

TEST_F(PlayDemos, notesFollowAChoiceOfASharedDemoUnderQuorvexOnly)
{
    const struct
    {
        bool quorvex;
        std::string name;
        bool noted;
    } cases[] = {
        {true, "Reports", true},    {true, "REPORTS", true}, {true, "ticket setup", true},
        {true, "Help Desk", false}, {true, "help2", false},  {true, "Seating", false},
        {false, "Reports", false},  {false, "Help", false},
    };
    load();
    for (const auto &c : cases) {
        view.setOptionValue(c.quorvex ? 0 : 1, true);
        // A note shown before is replaced or hidden by the next choice.
        choose("Ticket Setup");
        choose(c.name);
        EXPECT_EQ(view.visible["fraDemoInfo"], c.noted) << c.name;
        EXPECT_EQ(view.captions["lblInfo"].empty(), !c.noted) << c.name;
    }
    view.setOptionValue(0, true);
    choose("Reports");
    EXPECT_EQ(view.captions["lblInfo"], reportsNote);
    // Typing is no choice: the note stays as it was.
    view.setDemoText("Help");
    EXPECT_EQ(view.captions["lblInfo"], reportsNote);
}

TEST_F(PlayDemos, playStartsTheFileTheFolderRuleNames)
{
    platform.addFile("/app/Demos/QVX Jr/a\"b; rm -rf x.exe");
    platform.addFile("/app/Demos/QVX Jr/Caf\xE9.exe");
    const struct
    {
        bool quorvex;
        std::string typed;
        std::string started; // empty: nothing starts
    } cases[] = {
        {false, "Selling Tickets", "/app/Demos/QVX Jr/Selling Tickets.exe"},
        {false, "Ticket Setup", "/app/Demos/Both/Ticket Setup.exe"},
        {true, "Ticket Setup", "/app/Demos/Both/Ticket Setup.exe"},
        {true, "ticket setup", "/app/Demos/Both/Ticket Setup.exe"},
        {true, "box office SALES", "/app/Demos/QVX/Box Office Sales.exe"},
        {true, "Overview", "/app/Demos/Both/Overview.exe"},
        {true, "Selling Tickets", ""},
        {false, "No Such Demo", ""},
        {false, "", ""},
        {false, "a\"b; rm -rf x", "/app/Demos/QVX Jr/a\"b; rm -rf x.exe"},
        // Listed with a replacement for the byte that does not decode, and still played.
        {false, "Caf\xEF\xBF\xBD", "/app/Demos/QVX Jr/Caf\xE9.exe"},
    };
    load();
    for (const auto &c : cases) {
        view.setOptionValue(c.quorvex ? 0 : 1, true);
        view.setDemoText(c.typed);
        platform.calls.clear();
        presenter.cmdPlay_Click();
        const Lines expected =
            c.started.empty()
                ? Lines{}
                : Lines{"start " + c.started + " | " + c.started.substr(0, c.started.rfind('/'))};
        EXPECT_EQ(platform.callsOf("start"), expected) << c.typed;
        EXPECT_TRUE(platform.callsOf("message").empty());
        EXPECT_TRUE(platform.callsOf("pointer").empty());
    }
}

TEST_F(PlayDemos, editionFolderWinsForANameInBoth)
{
    platform.addFile("/app/Demos/QVX/Overview.exe");
    load();
    view.setOptionValue(0, true);
    view.setDemoText("Overview");
    presenter.menu_Click("mnuPlay");
    EXPECT_EQ(platform.callsOf("start"),
              Lines{"start /app/Demos/QVX/Overview.exe | /app/Demos/QVX"});
}

// A typed name that no file has exactly makes Play look through the folders: a folder that
// has not changed since the listing read it is not read again.
TEST_F(PlayDemos, playReadsAFolderAgainOnlyWhenItMayHaveChanged)
{
    const std::string junior = "/app/Demos/QVX Jr", both = "/app/Demos/Both";
    platform.stamps[junior] = {"1", true};
    platform.stamps[both] = {"1", true};
    load();
    const auto play = [&](const std::string &typed) {
        view.setDemoText(typed);
        platform.calls.clear();
        platform.listings.clear();
        presenter.cmdPlay_Click();
        return std::pair(platform.listings[junior], platform.callsOf("start").size());
    };
    EXPECT_EQ(play("No Such Demo"), std::pair(0, std::size_t(0)));
    EXPECT_EQ(platform.listings[both], 0);

    // A new file changes the folder's stamp.
    platform.addFile(junior + "/New Demo.exe");
    platform.stamps[junior].state = "2";
    EXPECT_EQ(play("new demo"), std::pair(1, std::size_t(1)));
    // A file gone from under a kept listing is not started.
    platform.files.erase(junior + "/New Demo.exe");
    EXPECT_EQ(play("new demo"), std::pair(0, std::size_t(0)));

    // A folder changed a moment ago may change again within the same tick: read every time.
    platform.stamps[junior] = {"3", false};
    EXPECT_EQ(play("calendar"), std::pair(1, std::size_t(1)));
    EXPECT_EQ(play("calendar"), std::pair(1, std::size_t(1)));
    // Without stamps, as before.
    platform.stamps.clear();
    EXPECT_EQ(play("No Such Demo"), std::pair(1, std::size_t(0)));
}

// Hiding a file leaves its folder's stamp alone on Windows: a selection reads the folders
// all the same, and Play then looks names up in what it read.
TEST_F(PlayDemos, selectionShowsFilesHiddenOrShownSinceTheLastOne)
{
    const std::string junior = "/app/Demos/QVX Jr", both = "/app/Demos/Both";
    platform.stamps[junior] = {"1", true};
    platform.stamps[both] = {"1", true};
    load();
    platform.hidden.insert(junior + "/Calendar.exe");
    platform.hidden.erase(both + "/Hidden.exe");
    view.setOptionValue(0, true);
    view.setOptionValue(1, true);
    EXPECT_EQ(view.entries,
              (Lines{"Selling Tickets", "Help", "Hidden", "Overview", "Reports", "Ticket Setup"}));
    platform.listings.clear();
    view.setDemoText("hidden");
    presenter.cmdPlay_Click();
    EXPECT_EQ(platform.callsOf("start"),
              Lines{"start /app/Demos/Both/Hidden.exe | /app/Demos/Both"});
    EXPECT_TRUE(platform.listings.empty());
}

TEST_F(PlayDemos, helpItemsMakeOneRequestEach)
{
    load();
    const std::string file = "/app/Quorvex Demos.chm";
    const struct
    {
        const char *item;
        std::string request;
    } cases[] = {
        {"mnuHelpContents", "help 42 | " + file + " | contents"},
        {"mnuHelpIndex", "help 42 | " + file + " | index"},
        {"mnuQuorvexDemos", "help 42 | ms-its:" + file + "::/Welcome.htm | contents"},
        {"mnuPlayingDemos", "help 42 | ms-its:" + file + "::/About the demos.htm | contents"},
        {"mnuWhatIsQuorvex", "help 42 | ms-its:" + file + "::/What is Quorvex.htm | contents"},
        {"mnuKeyFeaturesQVX",
         "help 42 | ms-its:" + file + "::/Key features of Quorvex.htm | contents"},
        {"mnuWhatIsQuorvexJunior",
         "help 42 | ms-its:" + file + "::/What is Quorvex Junior.htm | contents"},
        {"mnuKeyFeaturesQVXJr",
         "help 42 | ms-its:" + file + "::/Key features of Quorvex Junior.htm | contents"},
        {"mnuOrderingQuorvex", "help 42 | ms-its:" + file + "::/Ordering Quorvex.htm | contents"},
        {"mnuContactUs", "help 42 | ms-its:" + file + "::/Contacting Brenlowe.htm | contents"},
    };
    for (const auto &c : cases) {
        platform.calls.clear();
        presenter.menu_Click(c.item);
        EXPECT_EQ(platform.calls, Lines{c.request}) << c.item;
    }
    // Contents and Index leave the last topic as it was.
    EXPECT_EQ(qvx::Module1::sHelpTopic, "Contacting Brenlowe.htm");

    platform.calls.clear();
    presenter.menu_Click("mnuAdditionalAddOns"); // unavailable
    for (const char *word : {"contents", "INDEX", "", "Topic "})
        qvx::Module1::ShowHelp(platform, 42, word);
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(PlayDemos, webAboutAndCloseCommands)
{
    load();
    presenter.menu_Click("mnuQuorvexontheWebSubHeader");
    presenter.menu_Click("mnuAbout");
    EXPECT_EQ(platform.calls, (Lines{"pointer busy", "open " + qvx::Module1::homePageAddress(),
                                     "pointer default", "view about"}));
    EXPECT_EQ(qvx::Module1::homePageAddress().rfind("http://", 0), 0u);
    presenter.menu_Click("mnuExit");
    EXPECT_FALSE(view.open);
}

TEST(CenterForm, placesAWindowLargerThanTheScreenAtNegativeCoordinates)
{
    const qvx::Module1::TwipPoint at = qvx::Module1::centredPosition({9000, 6000}, {9001, 6825});
    EXPECT_FLOAT_EQ(at.left, -0.5f);
    EXPECT_FLOAT_EQ(at.top, -412.5f);
}

TEST_F(PlayDemos, listingRereadsTheFoldersAndKeepsANameOfBoth)
{
    platform.addFile("/app/Demos/QVX Jr/Help.exe");
    platform.addFile("/app/Demos/QVX Jr/Zoo.EXE");
    load();
    EXPECT_EQ(view.entries, (Lines{"Calendar", "Help", "Selling Tickets", "Zoo", "Help", "Overview",
                                   "Reports", "Ticket Setup"}));
    // Files added since are seen at the next selection, even of the same edition.
    platform.addFile("/app/Demos/QVX Jr/Atlas.exe");
    presenter.optDemoVersion_Click(1);
    EXPECT_EQ(view.entries.front(), "Atlas");
}

TEST_F(PlayDemos, eachSharedDemoHasItsOwnNote)
{
    const std::string setup = "This QVX Jr demo also applies to the regular version with regard "
                              "to all functionality.";
    const std::string help = "This QVX Jr demo also applies to the regular version with regard "
                             "to basic functionality. The general content is different.";
    load();
    view.setOptionValue(0, true);
    for (const auto &[name, note] : {std::pair{"Reports", reportsNote},
                                     {"Ticket Setup", setup},
                                     {"Help", help},
                                     {"help", help}}) {
        choose(name);
        EXPECT_EQ(view.captions["lblInfo"], note) << name;
    }
}

TEST_F(PlayDemos, helpIsRequestedEvenWithoutTheHelpFile)
{
    platform.files.erase("/app/Quorvex Demos.chm");
    load();
    presenter.menu_Click("mnuHelpContents");
    EXPECT_EQ(platform.calls, Lines{"help 42 | /app/Quorvex Demos.chm | contents"});
}

TEST(ShellOpen, handsTheTargetOnAsItIs)
{
    for (const std::string target :
         {"", "nosuchscheme:thing", "http://example.invalid/a page.htm"}) {
        RecordingPlatform platform;
        qvx::Module1::ShellOpen(platform, target);
        EXPECT_EQ(platform.calls, (Lines{"pointer busy", "open " + target, "pointer default"}));
    }
}

} // namespace

#include "RecordingPlatform.h"
#include "RecordingViews.h"
#include "qvx/core/DemoNames.h"
#include "qvx/core/OpError.h"
#include "qvx/core/PlayDemos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

const std::string prompt = "message information ok-cancel | Preparing New Files | ";
const std::string finished =
    "message information ok | Finished | The new files are now ready to use.";

// What a run ends with after a failure: the message, then the window given back.
Lines failureEnd(const std::string &numberAndDescription)
{
    return {"message warning ok | Error | " + numberAndDescription +
                "\\r\\rCan not prepare demo. Contact Brenlowe for assistance.",
            "view enable mnuFileHeader", "view enable mnuHelpHeader", "view hide fraExtracting",
            "pointer default"};
}

// The main window over an application folder "/app" and a temporary folder "/tmp". A
// delivered archive holds "zip"; run, it writes the file its name leads to into its working
// folder when it ends.
struct Bench
{
    Bench() { view.presenter = &presenter; }

    void addArchive(const std::string &name, const std::string &unpacks, const std::string &demo,
                    double seconds = 0)
    {
        platform.addFile("/app/" + name, "zip");
        platform.programs[name] = {seconds, 0, {{unpacks, demo}}};
    }
    // "<application folder> | <temporary folder>", each file as name=contents.
    std::string files() const
    {
        std::string listed[2];
        const std::string folders[2] = {"/app/", "/tmp/"};
        for (int i = 0; i < 2; ++i) {
            for (const auto &[path, contents] : platform.files) {
                const std::string name = path.substr(folders[i].size());
                if (path.starts_with(folders[i]) && name.find('/') == std::string::npos)
                    listed[i] += (listed[i].empty() ? "" : ", ") + name + '=' + contents;
            }
        }
        return listed[0] + " | " + listed[1];
    }
    Lines tail(std::size_t count) const
    {
        const Lines &calls = platform.calls;
        return Lines(calls.end() - std::ptrdiff_t(std::min(count, calls.size())), calls.end());
    }
    Lines fileOperations() const
    {
        Lines operations;
        for (const char *word : {"copy", "executable", "track", "attributes", "delete"}) {
            for (const std::string &line : platform.callsOf(word))
                operations.push_back(line);
        }
        return operations;
    }

    RecordingPlatform platform;
    RecordingPlayDemosView view{platform};
    qvx::PlayDemosPresenter presenter{platform, view};
};

TEST(Preparation, preparesOneArchiveStepByStep)
{
    Bench bench;
    bench.addArchive("ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "ticket setup demo", 7.5);
    // Left by an interrupted run: it must not pass for what this archive unpacks.
    bench.platform.addFile("/app/Qvx3_Tic.exe", "stale");
    bench.view.entries = {"One", "Two"};
    bench.view.text = "One";

    bench.presenter.func_UnzipDemos(false);

    const Lines expected{
        "pointer busy",
        // What a killed run left, first of all.
        "leftovers /tmp",
        "leftovers /app",
        "view clear",
        prompt + "A new demo has been found. The program will take a moment to prepare the "
                 "files.\\r\\rThe DOS window will open as the files are extracted. If it does not "
                 "close automatically, you may close it when the process is finished.",
        "view place fraExtracting 420,1860",
        "view show fraExtracting",
        "events",
        "view disable mnuFileHeader",
        "view disable mnuHelpHeader",
        "copy /app/ZIP_ticket_setup.exe -> /tmp/ZIP_ticket_setup.exe",
        "executable /tmp/ZIP_ticket_setup.exe",
        "wait 3",
        "events",
        "delete /app/Qvx3_Tic.exe",
        "track /tmp/ZIP_ticket_setup.exe | /app",
        "wait 7",
        // Still unpacking: looked at until it ends.
        "wait 0.2",
        "wait 0.2",
        "wait 0.2",
        "events",
        "copy /app/Qvx3_Tic.exe -> /app/QVX3 Ticket Setup.exe",
        "wait 3",
        "events",
        "attributes /tmp/ZIP_ticket_setup.exe",
        "delete /tmp/ZIP_ticket_setup.exe",
        "attributes /app/ZIP_ticket_setup.exe",
        "delete /app/ZIP_ticket_setup.exe",
        "delete /app/Qvx3_Tic.exe",
        "view enable mnuFileHeader",
        "view enable mnuHelpHeader",
        "view text ",
        "view hide fraExtracting",
        finished,
        "pointer default",
    };
    EXPECT_EQ(bench.platform.calls, expected);
    EXPECT_EQ(bench.files(), "QVX3 Ticket Setup.exe=ticket setup demo | ");
    EXPECT_EQ(bench.presenter.filDemoFiles().path(), "/app");
    EXPECT_EQ(bench.presenter.filDemoFiles().pattern(), "ZIP*.exe");
    EXPECT_TRUE(bench.view.entries.empty());
}

// A killed run's partial copies still go: no later run may come to remove them.
TEST(Preparation, withoutArchivesOnlyLeftoversGoAndTheListIsEmptied)
{
    Bench bench;
    for (const char *name : {"/app/Demo.exe", "/app/XZIP_a.exe", "/app/ZIP_a.txt"})
        bench.platform.addFile(name);
    bench.platform.hidden.insert("/app/ZIP_hidden.exe");
    bench.platform.addFile("/app/ZIP_hidden.exe");
    bench.view.entries = {"One", "Two"};
    bench.view.text = "One";

    bench.presenter.func_UnzipDemos(true);

    EXPECT_EQ(bench.platform.calls, (Lines{"pointer busy", "leftovers /tmp", "leftovers /app",
                                           "view clear", "pointer default"}));
    EXPECT_TRUE(bench.view.entries.empty());
    EXPECT_EQ(bench.view.text, "");
    EXPECT_EQ(bench.files(),
              "Demo.exe=demo, XZIP_a.exe=demo, ZIP_a.txt=demo, ZIP_hidden.exe=demo | ");
}

TEST(Preparation, cancelTouchesNothing)
{
    const Lines three{"ZIP_a.exe", "ZIPc.exe", "zip_b.EXE"};
    const struct
    {
        Lines archives;
        bool calledFromButton;
    } cases[] = {{{"ZIP_ticket_setup.exe"}, false}, {three, false}, {three, true}};
    for (const auto &c : cases) {
        Bench bench;
        for (const std::string &archive : c.archives)
            bench.addArchive(archive, "Qvx3_X.exe", "demo");
        const std::string before = bench.files();
        bench.platform.answers = {qvx::Answer::Cancel};

        bench.presenter.func_UnzipDemos(c.calledFromButton);

        std::string text = qvx::Prepare::promptText(c.archives.size(), c.calledFromButton);
        text.replace(text.find("\r\r"), 2, "\\r\\r");
        EXPECT_EQ(bench.platform.calls, (Lines{"pointer busy", "leftovers /tmp", "leftovers /app",
                                               "view clear", prompt + text, "pointer default"}))
            << c.archives.size();
        EXPECT_EQ(bench.files(), before);
    }
}

// In the file list's order, each once, replacing an earlier demo of the same name.
TEST(Preparation, preparesEachArchiveOnce)
{
    Bench bench;
    bench.platform.addFile("/app/QVX3 Reports.exe", "old");
    bench.addArchive("ZIP_reports.exe", "Qvx3_Rep.exe", "r");
    bench.addArchive("zip_help_me.exe", "Qvx3_Hel.exe", "h");
    bench.addArchive("ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "t");

    bench.presenter.func_UnzipDemos(false);

    EXPECT_EQ(bench.platform.callsOf("track"),
              (Lines{"track /tmp/zip_help_me.exe | /app", "track /tmp/ZIP_reports.exe | /app",
                     "track /tmp/ZIP_ticket_setup.exe | /app"}));
    const Lines messages = bench.platform.callsOf("message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].starts_with(prompt + "New demos have been found. ")) << messages[0];
    EXPECT_EQ(messages[1], finished);
    const Lines perArchive{"wait 3", "wait 7", "wait 3"};
    Lines waits;
    for (int i = 0; i < 3; ++i)
        waits.insert(waits.end(), perArchive.begin(), perArchive.end());
    EXPECT_EQ(bench.platform.callsOf("wait"), waits);
    EXPECT_EQ(bench.files(), "QVX3 Help Me.exe=h, QVX3 Reports.exe=r, QVX3 Ticket Setup.exe=t | ");
}

TEST(Preparation, undecodableArchiveNameKeepsItsBytes)
{
    Bench bench;
    bench.addArchive("ZIP_\xE9t\xE9_x.exe", "Qvx3_\xE9t\xE9.exe", "c");
    bench.presenter.func_UnzipDemos(false);
    EXPECT_EQ(bench.platform.callsOf("message").back(), finished);
    EXPECT_EQ(bench.files(), "QVX3 \xE9t\xE9 X.exe=c | ");
}

// The first failure ends the run and undoes nothing: each file stays as it was found.
TEST(Preparation, failureStopsTheRunAndKeepsFilesAsFound)
{
    using qvx::OpError::make;
    const std::string copy = "/tmp/ZIP_ticket_setup.exe";
    const std::string archive = "/app/ZIP_ticket_setup.exe";
    const std::string unpacked = "/app/Qvx3_Tic.exe";
    const std::string asFound = "QVX3 Ticket Setup.exe=old, ZIP_ticket_setup.exe=zip | ";
    const std::string started = asFound + "ZIP_ticket_setup.exe=zip";
    const std::string unpackedKept =
        "QVX3 Ticket Setup.exe=old, Qvx3_Tic.exe=new, ZIP_ticket_setup.exe=zip | "
        "ZIP_ticket_setup.exe=zip";
    const std::string demoWritten =
        "QVX3 Ticket Setup.exe=new, Qvx3_Tic.exe=new, ZIP_ticket_setup.exe=zip | "
        "ZIP_ticket_setup.exe=zip";
    const std::string archiveKept =
        "QVX3 Ticket Setup.exe=new, Qvx3_Tic.exe=new, ZIP_ticket_setup.exe=zip | ";
    const struct
    {
        const char *name;
        std::function<void(RecordingPlatform &)> arrange;
        std::string message;
        std::string lastStep; // the line before the message
        std::string filesLeft;
    } cases[] = {
        // Without one, the copy would land wherever the current folder is.
        {"no temporary folder", [](auto &p) { p.temp.clear(); },
         "76 Path not found: temporary folder", "view clear", asFound},
        {"read-only application folder", [](auto &p) { p.readOnlyFolders.insert("/app"); },
         "70 Permission denied: /app", "view clear", asFound},
        {"read-only temporary folder", [](auto &p) { p.readOnlyFolders.insert("/tmp"); },
         "70 Permission denied: " + copy, "copy " + archive + " -> " + copy, asFound},
        // Reading it would hang the run, and it is not ours to remove.
        {"FIFO under the unpacked name", [&](auto &p) { p.fifos.insert(unpacked); },
         "75 Path/File access error: not a regular file: " + unpacked, "events", started},
        {"start refused", [&](auto &p) { p.failures["start " + copy] = make(75, copy); },
         "75 Path/File access error: " + copy, "track " + copy + " | /app", started},
        {"unpacking fails", [](auto &p) { p.programs["ZIP_ticket_setup.exe"].exitStatus = 2; },
         "75 Path/File access error: unpacking failed with status 2: " + copy, "wait 7",
         unpackedKept},
        {"demo destination refused",
         [&](auto &p) { p.failures["copy " + unpacked] = make(70, "/app/QVX3 Ticket Setup.exe"); },
         "70 Permission denied: /app/QVX3 Ticket Setup.exe",
         "copy " + unpacked + " -> /app/QVX3 Ticket Setup.exe", unpackedKept},
        {"copy's attributes refused",
         [&](auto &p) { p.failures["attributes " + copy] = make(70, copy); },
         "70 Permission denied: " + copy, "attributes " + copy, demoWritten},
        {"copy still in use", [&](auto &p) { p.failures["delete " + copy] = make(75, copy); },
         "75 Path/File access error: " + copy, "delete " + copy, demoWritten},
        {"archive's attributes refused",
         [&](auto &p) { p.failures["attributes " + archive] = make(70, archive); },
         "70 Permission denied: " + archive, "attributes " + archive, archiveKept},
        {"archive deletion refused",
         [&](auto &p) { p.failures["delete " + archive] = make(70, archive); },
         "70 Permission denied: " + archive, "delete " + archive, archiveKept},
        {"unpacked file gone",
         [&](auto &p) { p.failures["delete " + unpacked] = make(53, unpacked); },
         "53 File not found: " + unpacked, "delete " + unpacked,
         "QVX3 Ticket Setup.exe=new, Qvx3_Tic.exe=new | "},
    };
    for (const auto &c : cases) {
        Bench bench;
        bench.addArchive("ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "new");
        bench.platform.addFile("/app/QVX3 Ticket Setup.exe", "old");
        c.arrange(bench.platform);

        bench.presenter.func_UnzipDemos(false);

        const Lines last = bench.tail(6);
        EXPECT_EQ(last[0], c.lastStep) << c.name;
        EXPECT_EQ(Lines(last.begin() + 1, last.end()), failureEnd(c.message)) << c.name;
        // Nothing is asked once the run cannot succeed.
        EXPECT_EQ(bench.platform.callsOf("message").size(), c.lastStep == "view clear" ? 1u : 2u)
            << c.name;
        EXPECT_EQ(bench.files(), c.filesLeft) << c.name;
    }
}

// Archives before the failing one stay prepared; those after it are not touched.
TEST(Preparation, missingUnpackedFileStopsTheRun)
{
    Bench bench;
    bench.addArchive("ZIP_alpha.exe", "Qvx3_Alp.exe", "a");
    // Unpacks under a name the rules do not expect.
    bench.addArchive("ZIP_beta.exe", "Qvx3_Xyz.exe", "b");
    bench.addArchive("ZIP_gamma.exe", "Qvx3_Gam.exe", "g");

    bench.presenter.func_UnzipDemos(false);

    EXPECT_EQ(bench.tail(5), failureEnd("53 File not found: /app/Qvx3_Bet.exe"));
    EXPECT_EQ(bench.files(), "QVX3 Alpha.exe=a, Qvx3_Xyz.exe=b, ZIP_beta.exe=zip, "
                             "ZIP_gamma.exe=zip | ZIP_beta.exe=zip");
    for (const std::string &line : bench.platform.calls)
        EXPECT_EQ(line.find("gamma"), std::string::npos) << line;
}

// An unpacking program is waited for, but not for ever: by default 7 seconds and 300 more.
TEST(Preparation, unpackingWaitIsBounded)
{
    const struct
    {
        double runs;
        qvx::PreparationWaits waits;
        std::string givenUpAfter; // empty: the demo is taken
    } cases[] = {
        {306.9, {}, ""},
        {307.1, {}, "307"},
        {1e6, {3, 0.5f, 3, 2}, "2.5"},
    };
    for (const auto &c : cases) {
        Bench bench;
        bench.addArchive("ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "new", c.runs);
        bench.platform.addFile("/app/QVX3 Ticket Setup.exe", "old");
        const double startedAt = bench.platform.clock + 3;
        double toldAt = 0;
        bench.platform.duringMessage = [&] { toldAt = bench.platform.clock; };

        bench.presenter.func_UnzipDemos(false, c.waits);

        if (c.givenUpAfter.empty()) {
            EXPECT_EQ(bench.platform.callsOf("message").back(), finished);
            EXPECT_EQ(bench.files(), "QVX3 Ticket Setup.exe=new | ");
            // The wait after the demo is written still comes whole.
            EXPECT_GE(toldAt - startedAt, c.runs + 3);
            continue;
        }
        EXPECT_EQ(bench.tail(5),
                  failureEnd("75 Path/File access error: still unpacking after " + c.givenUpAfter +
                             " seconds: /tmp/ZIP_ticket_setup.exe"));
        EXPECT_NEAR(toldAt - startedAt, c.waits.afterStart + c.waits.unpackingLimit, 0.2);
        EXPECT_EQ(bench.files(), "QVX3 Ticket Setup.exe=old, ZIP_ticket_setup.exe=zip | "
                                 "ZIP_ticket_setup.exe=zip");
    }
}

// The archives run where they lie, and nothing is copied onto itself.
TEST(Preparation, temporaryFolderThatIsTheApplicationFolder)
{
    Bench bench;
    bench.platform.temp = "/app";
    bench.addArchive("ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "new");

    bench.presenter.func_UnzipDemos(false);

    EXPECT_EQ(
        bench.fileOperations(),
        (Lines{"copy /app/Qvx3_Tic.exe -> /app/QVX3 Ticket Setup.exe",
               "executable /app/ZIP_ticket_setup.exe", "track /app/ZIP_ticket_setup.exe | /app",
               "attributes /app/ZIP_ticket_setup.exe", "delete /app/ZIP_ticket_setup.exe",
               "delete /app/Qvx3_Tic.exe"}));
    EXPECT_EQ(bench.platform.callsOf("leftovers"), (Lines{"leftovers /app"}));
    EXPECT_EQ(bench.platform.callsOf("message").back(), finished);
    EXPECT_EQ(bench.files(), "QVX3 Ticket Setup.exe=new | ");
}

// Closed while events are handled inside the run: nothing after that but the pointer.
TEST(Preparation, closingTheWindowStopsTheRun)
{
    const std::string bothArchives = "ZIP_alpha.exe=zip, ZIP_beta.exe=zip | ";
    const struct
    {
        std::string closeAt; // empty: while the prompt is shown
        int occurrence;
        std::string filesLeft;
    } cases[] = {
        {"", 0, bothArchives},
        {"events", 1, bothArchives},
        {"wait 3", 1, bothArchives + "ZIP_alpha.exe=zip"},
        {"wait 7", 1, bothArchives + "ZIP_alpha.exe=zip"},
        {"wait 0.2", 1, bothArchives + "ZIP_alpha.exe=zip"},
        {"wait 3", 4,
         "QVX3 Alpha.exe=a, QVX3 Beta.exe=b, Qvx3_Bet.exe=b, ZIP_beta.exe=zip | "
         "ZIP_beta.exe=zip"},
    };
    for (const auto &c : cases) {
        Bench bench;
        // Looked at once more after its first wait.
        bench.addArchive("ZIP_alpha.exe", "Qvx3_Alp.exe", "a", 7.1);
        bench.addArchive("ZIP_beta.exe", "Qvx3_Bet.exe", "b");
        RecordingPlatform &platform = bench.platform;
        if (c.closeAt.empty())
            platform.duringMessage = [&] { bench.view.close(); };
        platform.duringEvents = [&] {
            const Lines seen = platform.callsOf(c.closeAt);
            if (bench.view.open && platform.calls.back() == c.closeAt &&
                int(seen.size()) == c.occurrence)
                bench.view.close();
        };

        bench.presenter.func_UnzipDemos(false);

        const Lines &calls = platform.calls;
        const auto closed = std::find(calls.begin(), calls.end(), "view close");
        ASSERT_NE(closed, calls.end()) << c.closeAt << c.occurrence;
        EXPECT_EQ(Lines(closed + 1, calls.end()), Lines{"pointer default"})
            << c.closeAt << c.occurrence;
        EXPECT_EQ(bench.files(), c.filesLeft) << c.closeAt << c.occurrence;
    }
}

// The frame shows and the menus are off at every wait. An edition chosen and an archive
// added during the first wait change nothing: the names were taken before.
TEST(Preparation, editionChosenDuringTheRun)
{
    Bench bench;
    bench.platform.addFile("/app/Demos/QVX/Regular Demo.exe");
    bench.presenter.Form_Load();
    bench.addArchive("ZIP_reports.exe", "Qvx3_Rep.exe", "r");
    bench.addArchive("ZIP_ticket.exe", "Qvx3_Tic.exe", "t");
    Lines seen;
    bench.platform.duringEvents = [&] {
        if (!bench.platform.calls.back().starts_with("wait "))
            return;
        RecordingPlayDemosView &view = bench.view;
        seen.push_back(std::string(view.visible["fraExtracting"] ? "frame shown" : "frame hidden") +
                       (view.menuEnabled["mnuFileHeader"] ? ", File on" : ", File off") +
                       (view.menuEnabled["mnuHelpHeader"] ? ", Help on" : ", Help off"));
        if (seen.size() == 1) {
            view.setOptionValue(0, true);
            bench.addArchive("ZIP_late.exe", "Qvx3_Lat.exe", "l");
        }
    };

    bench.presenter.func_UnzipDemos(false);

    EXPECT_EQ(seen, Lines(6, "frame shown, File off, Help off"));
    EXPECT_EQ(bench.platform.callsOf("track").size(), 2u);
    EXPECT_EQ(bench.platform.callsOf("message").back(), finished);
    EXPECT_EQ(bench.files(), "QVX3 Reports.exe=r, QVX3 Ticket.exe=t, ZIP_late.exe=zip | ");
    EXPECT_FALSE(bench.view.visible["fraExtracting"]);
    EXPECT_TRUE(bench.view.menuEnabled["mnuFileHeader"]);
    EXPECT_TRUE(bench.view.menuEnabled["mnuHelpHeader"]);
    // The list that the choice filled stays; its text is its first entry.
    EXPECT_EQ(bench.view.entries, Lines{"Regular Demo"});
    EXPECT_EQ(bench.view.text, "Regular Demo");
}

} // namespace

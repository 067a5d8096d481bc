#include "RecordingPlatform.h"
#include "qvx/core/Catalogue.h"
#include "qvx/core/FileList.h"
#include "qvx/core/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

Lines texts(const std::vector<std::filesystem::path> &names)
{
    Lines out;
    for (const std::filesystem::path &name : names)
        out.push_back(qvx::text::fromPath(name));
    return out;
}

TEST(Catalogue, displayNameDropsTheLastFourCharacters)
{
    const struct
    {
        std::string file;
        std::string shown;
    } cases[] = {
        {"Ticket Setup.exe", "Ticket Setup"},
        {"c.EXE", "c"},
        {"v2.1 Intro.exe", "v2.1 Intro"},
        {"abc", ""},
        {"Pr\xC3\xA9parer la salle.exe", "Pr\xC3\xA9parer la salle"},
        // Shown with a replacement for the byte that does not decode.
        {"Caf\xE9.exe", "Caf\xEF\xBF\xBD"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qvx::Catalogue::displayName(qvx::text::toPath(c.file)), c.shown) << c.file;
}

TEST(Catalogue, sharedNamesMatchTheWholeTextInAnyCase)
{
    const struct
    {
        std::string text;
        bool shared;
    } cases[] = {
        {"Reports", true},    {"TICKET SETUP", true},   {"hElP", true}, {" help", false},
        {"Help Desk", false}, {"ticket  setup", false}, {"", false},    {"help.exe", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(qvx::Catalogue::isSharedDemoName(c.text), c.shared) << c.text;
        EXPECT_EQ(qvx::Catalogue::noteFor(c.text).empty(), !c.shared) << c.text;
    }
    EXPECT_EQ(qvx::Catalogue::noteFor("Help"),
              "This QVX Jr demo also applies to the regular version with regard to basic "
              "functionality. The general content is different.");
    EXPECT_EQ(qvx::Catalogue::noteFor("ticket setup"),
              "This QVX Jr demo also applies to the regular version with regard to all "
              "functionality.");
}

TEST(FileList, patternsMatchWholeNames)
{
    const struct
    {
        std::string name;
        std::string pattern;
        bool matches;
    } cases[] = {
        {"a.exe", "*.exe", true},
        {"c.EXE", "*.exe", true},
        {".exe", "*.exe", true},
        {"a.exe.txt", "*.exe", false},
        {"exe", "*.exe", false},
        {"ZIP_b.exe", "ZIP*.exe", true},
        {"zip_a.EXE", "ZIP*.exe", true},
        {"ZIP.exe", "ZIP*.exe", true},
        {"Zipper.txt", "ZIP*.exe", false},
        {"AZIP_c.exe", "ZIP*.exe", false},
        {"ZIP_a.exe.bak", "ZIP*.exe", false},
        // '?' takes one whole character, or one byte that does not decode.
        {"a1.exe", "a?.exe", true},
        {"a12.exe", "a?.exe", false},
        {"a.exe", "a?.exe", false},
        {"a\xC3\xA9.exe", "a?.exe", true},
        {"a\xF0\x9F\x98\x80.exe", "a?.exe", true},
        {"a\xE9.exe", "a?.exe", true},
        {"a\xE9\xE9.exe", "a?.exe", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qvx::FileList::matches(c.name, c.pattern), c.matches)
            << c.name << " against " << c.pattern;
}

// Each setPath and setPattern reads the folder afresh; order is the system's, case aside.
TEST(FileList, readsAfreshAndLeavesHiddenFilesOut)
{
    RecordingPlatform platform;
    for (const char *path :
         {"/x/b.exe", "/x/A.exe", "/x/c.EXE", "/x/readme.txt", "/x/sub.exe/inner.exe", "/x/.h.exe"})
        platform.addFile(path);
    platform.hidden.insert("/x/.h.exe");
    qvx::FileList list(platform);
    list.setPattern("*.exe");
    list.setPath("/x");
    EXPECT_EQ(texts(list.names()), (Lines{"A.exe", "b.exe", "c.EXE"}));

    platform.addFile("/x/ZIP_new.exe");
    list.setPattern("ZIP*.exe");
    EXPECT_EQ(texts(list.names()), Lines{"ZIP_new.exe"});
    platform.files.erase("/x/ZIP_new.exe");
    list.setPath("/x");
    EXPECT_EQ(list.listCount(), 0u);
    list.setPath("/missing");
    EXPECT_EQ(list.listCount(), 0u);
}

// The rows the main window's tests leave out.
TEST(Catalogue, playPathFallsBackBetweenFolders)
{
    RecordingPlatform platform;
    for (const char *path : {"/app/Demos/QVX/Intro.exe", "/app/Demos/QVX/intro.exe",
                             "/app/Demos/QVX/Help.exe", "/app/Demos/Both/Tour.exe"})
        platform.addFile(path);
    platform.folders.insert("/app/Demos/QVX/Folder.exe");
    const struct
    {
        std::string demoFolder;
        std::string text;
        std::string path;
    } cases[] = {
        {"/app/Demos/QVX", "Help", "/app/Demos/QVX/Help.exe"},
        {"/app/Demos/QVX", "intro", "/app/Demos/QVX/intro.exe"},
        {"/app/Demos/QVX", "INTRO", "/app/Demos/QVX/Intro.exe"},
        {"/app/Demos/QVX", "Folder", ""},
        {"", "Tour", "/app/Demos/Both/Tour.exe"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qvx::Catalogue::resolvePlayPath(platform, "/app", c.demoFolder, c.text), c.path)
            << c.text;
}

} // namespace

#include "BuildInfo.h"
#include "RecordingPlatform.h"
#include "RecordingViews.h"
#include "qvx/core/About.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

class About : public testing::Test
{
protected:
    RecordingPlatform platform;
    RecordingAboutView view{platform};
    qvx::AboutPresenter presenter{platform, view};
};

TEST_F(About, loadCentresThenSetsIconCaptionAndTheFourLabels)
{
    presenter.Form_Load("(c) Maker & <b>Co</b>");
    const Lines expected{
        // Centred on the whole screen, in single precision and not rounded.
        "about move 6525,4792.5",
        "about icon",
        "about title About Quorvex Demo Player",
        "about caption lblVersion",
        "about caption lblTitle",
        "about caption lblDescription",
        "about caption lblContactInfo",
    };
    EXPECT_EQ(platform.calls, expected);
    EXPECT_EQ(view.captions["lblVersion"], "Version 2.0.0\r(c) Maker & <b>Co</b>");
    EXPECT_EQ(view.captions["lblTitle"], "Quorvex Demo Player");
    EXPECT_EQ(view.captions["lblDescription"],
              "The Quorvex Demo Player allows you to easily select and view various demos of "
              "Quorvex and Quorvex Junior.");
    EXPECT_EQ(view.captions["lblContactInfo"],
              std::string("Brenlowe\rPhone:  ") + BuildInfo::makerPhone +
                  "\rFax:       " + BuildInfo::makerFax + "\rE-mail:   " + BuildInfo::makerEmail +
                  "\rWeb:     " + BuildInfo::makerWeb);
    EXPECT_FALSE(view.visible["Image2_0"]);
}

TEST_F(About, copyrightIsTheExecutablesOwnAndMayBeEmpty)
{
    presenter.Form_Load();
    EXPECT_EQ(view.captions["lblVersion"],
              std::string("Version 2.0.0\r") + BuildInfo::legalCopyright);
    presenter.Form_Load("");
    EXPECT_EQ(view.captions["lblVersion"], "Version 2.0.0\r");
}

// The colour badge shows over the grey one after a move over either badge element, until a
// move over bare surface; the grey one is never hidden.
TEST_F(About, badgeLightsUnderThePointer)
{
    enum Move { Grey, Colour, Bare };
    const struct
    {
        std::vector<Move> moves;
        bool lit;
    } cases[] = {
        {{}, false},
        {{Grey}, true},
        {{Grey, Bare}, false},
        {{Grey, Colour}, true},
        {{Grey, Bare, Colour}, true},
        {{Colour, Bare, Grey, Bare}, false},
        {{Bare, Bare}, false},
    };
    for (const auto &c : cases) {
        RecordingAboutView fresh(platform);
        qvx::AboutPresenter about(platform, fresh);
        for (const Move move : c.moves) {
            if (move == Bare)
                about.Form_MouseMove();
            else
                about.Image2_MouseMove(move == Grey ? 1 : 0);
        }
        EXPECT_EQ(fresh.visible["Image2_0"], c.lit) << c.moves.size();
        EXPECT_EQ(fresh.visible.count("Image2_1"), 0u);
    }
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(About, eachBadgeClickOpensTheRecordersPageOnce)
{
    presenter.Image2_Click(1);
    presenter.Image2_MouseMove(1);
    presenter.Image2_Click(0);
    const Lines request{"pointer busy", std::string("open ") + BuildInfo::recorderPage,
                        "pointer default"};
    Lines twice = request;
    twice.insert(twice.end(), request.begin(), request.end());
    EXPECT_EQ(platform.calls, twice);
    EXPECT_TRUE(std::string(BuildInfo::recorderPage).starts_with("http://"));
    EXPECT_FALSE(view.unloaded);
}

TEST_F(About, okUnloads)
{
    presenter.cmdOK_Click();
    EXPECT_TRUE(view.unloaded);
    EXPECT_EQ(platform.calls, Lines{"about unload"});
}

} // namespace

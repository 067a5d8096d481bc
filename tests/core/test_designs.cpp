#include "qvx/core/AboutTexts.h"
#include "qvx/core/Design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

using namespace qvx::design;

namespace {

class FormDesign : public testing::TestWithParam<const Form *>
{
};

TEST_P(FormDesign, controlsAreUniqueAndLiveInFramesOfTheSameForm)
{
    const Form &form = *GetParam();
    std::set<std::pair<std::string_view, int>> seen;
    std::set<int> tabIndexes;
    for (const Control &control : form.controls) {
        EXPECT_TRUE(seen.insert({control.name, control.index}).second)
            << control.name << '(' << control.index << ") is declared twice";
        if (control.tabIndex != noTabStop) {
            EXPECT_TRUE(tabIndexes.insert(control.tabIndex).second)
                << control.name << " shares tab index " << control.tabIndex;
        }
        if (!control.container.empty()) {
            const Control *container = form.find(control.container);
            ASSERT_NE(container, nullptr) << control.name << " lies in a missing container";
            EXPECT_EQ(container->kind, Kind::Frame) << control.name;
            // A container is created, and so stacked, before what it holds.
            EXPECT_LT(container, &control) << control.name;
        }
        EXPECT_EQ(form.find(control.name, control.index), &control);
    }
    const int defaults = int(std::count_if(form.controls.begin(), form.controls.end(),
                                           [](const Control &c) { return c.isDefault; }));
    EXPECT_EQ(defaults, 1) << "exactly one default button";
}

TEST_P(FormDesign, menuItemsHangUnderHeadersAndRunOneCommandEach)
{
    const Form &form = *GetParam();
    for (const MenuItem &item : form.menu) {
        const bool hasChildren =
            std::any_of(form.menu.begin(), form.menu.end(),
                        [&](const MenuItem &m) { return m.parent == item.name; });
        if (!item.parent.empty()) {
            const MenuItem *parent = form.findMenuItem(item.parent);
            ASSERT_NE(parent, nullptr) << item.name;
            EXPECT_LT(parent, &item) << item.name << " comes before its menu";
            EXPECT_EQ(parent->command, Command::None) << parent->name << " opens a menu";
        }
        if (hasChildren || item.isSeparator())
            EXPECT_EQ(item.command, Command::None) << item.name;
        else
            EXPECT_NE(item.command, Command::None) << item.name << " does nothing";
        EXPECT_EQ(item.command == Command::HelpTopic, !item.topic.empty()) << item.name;
    }
}

INSTANTIATE_TEST_SUITE_P(BothWindows, FormDesign, testing::Values(&frmPlayDemos(), &frmAbout()),
                         [](const testing::TestParamInfo<const Form *> &param) {
                             return std::string(param.param->name);
                         });

TEST(FormDesigns, sameCaptionedHelpItemsOpenDifferentPages)
{
    const Form &form = frmPlayDemos();
    const MenuItem *qvx = form.findMenuItem("mnuKeyFeaturesQVX");
    const MenuItem *junior = form.findMenuItem("mnuKeyFeaturesQVXJr");
    ASSERT_TRUE(qvx && junior);
    EXPECT_EQ(qvx->caption, junior->caption);
    EXPECT_NE(qvx->topic, junior->topic);
    EXPECT_FALSE(form.findMenuItem("mnuAdditionalAddOns")->enabled);
}

// A screen reader hears a caption's words, not its access-key markers.
TEST(AccessibleNames, leaveOutAccessKeyMarkers)
{
    EXPECT_EQ(withoutAccessKeys("E&xit"), "Exit");
    EXPECT_EQ(withoutAccessKeys("Tom && &Jerry"), "Tom & Jerry");
    EXPECT_EQ(withoutAccessKeys("Ends with &"), "Ends with &");
}

TEST(AboutTexts, linesBreakWithALoneCarriageReturn)
{
    const std::string version = qvx::about::versionText("");
    EXPECT_EQ(version.back(), '\r') << "an empty copyright leaves an empty second line";
    EXPECT_EQ(qvx::about::versionText("(C) X"), version + "(C) X");
    const std::string contact = qvx::about::contactText();
    EXPECT_EQ(std::count(contact.begin(), contact.end(), '\r'), 4);
    EXPECT_EQ(contact.find('\n'), std::string::npos);
    EXPECT_NE(contact.back(), '\r');
}

} // namespace

#include "RecordingPlatform.h"
#include "qvx/core/Module1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

// Window events wake a wait every `wake` seconds.
class WakingPlatform : public RecordingPlatform
{
public:
    double wake = 1e9;
    std::vector<double> asked;

    void waitForEvents(double maxSeconds) override
    {
        asked.push_back(maxSeconds);
        clock += std::min(maxSeconds, wake);
    }
};

TEST(Pause, waitsFiveSecondsByDefault)
{
    RecordingPlatform platform;
    qvx::Module1::Pause(platform);
    EXPECT_EQ(platform.calls, Lines{"wait 5"});
    EXPECT_EQ(platform.clock, 1005.0);
}

TEST(Pause, nothingToWaitForReturnsAtOnceWithoutEvents)
{
    for (const float seconds : {0.0f, -1.0f, -1e-30f, std::numeric_limits<float>::quiet_NaN()}) {
        RecordingPlatform platform;
        qvx::Module1::Pause(platform, seconds);
        EXPECT_TRUE(platform.calls.empty()) << seconds;
        EXPECT_EQ(platform.clock, 1000.0) << seconds;
    }
}

// Each pass asks for no more than what is left, and the wait ends once it has all passed.
TEST(Pause, waitsUntilElapsedReachesTheWait)
{
    const struct
    {
        double start;
        float seconds;
        double wake;
        std::size_t passes;
    } cases[] = {
        {1000.0, 0.5f, 10.0, 1},
        {0.0, 1.0f, 0.3, 4},
        // Readings near a day's end are nothing special on a clock that never jumps.
        {86399.0, 3.0f, 0.5, 6},
        {4.0e6, 3.0f, 1.0, 3},
        {12.0, 0.125f, 0.05, 3},
    };
    for (const auto &c : cases) {
        WakingPlatform platform;
        platform.clock = c.start;
        platform.wake = c.wake;

        qvx::Module1::Pause(platform, c.seconds);

        ASSERT_EQ(platform.asked.size(), c.passes) << c.seconds << " woken every " << c.wake;
        double before = 0;
        for (const double asked : platform.asked) {
            EXPECT_NEAR(asked, double(c.seconds) - before, 1e-6);
            before += std::min(asked, c.wake);
        }
        const double elapsed = platform.clock - c.start;
        EXPECT_GE(float(elapsed), c.seconds);
        EXPECT_LT(elapsed, double(c.seconds) + 1e-6);
    }
}

TEST(GetTempDir, endsWithOneSeparatorOrIsEmpty)
{
    const std::string deep = "/scratch/" + std::string(300, 't');
    const struct
    {
        std::string named;
        std::string expected;
    } cases[] = {
        {"/scratch/", "/scratch/"}, {"/scratch/temp", "/scratch/temp/"}, {"/", "/"},
        {deep, deep + '/'},         {"/tmp/caf\xE9", "/tmp/caf\xE9/"},   {"", ""},
    };
    for (const auto &c : cases) {
        RecordingPlatform platform;
        platform.temp = c.named;
        EXPECT_EQ(qvx::Module1::GetTempDir(platform), c.expected) << c.named;
    }
}

} // namespace

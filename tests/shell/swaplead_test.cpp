// The time from reading the music position to the swap, smoothed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shell/swaplead.h"

namespace {

TEST(SwapLeadTest, FollowsTheFramesPaceAndShrugsOffStalls) {
    struct Case {
        const char* what;
        std::vector<double> frames;  // seconds each
        double low, high;            // where the estimate ends
    } cases[] = {
        {"nothing measured", {}, 0, 0},
        {"the first frame is taken as it is", {0.016}, 0.016, 0.016},
        {"a steady pace", std::vector<double>(100, 0.010), 0.010 - 1e-9, 0.010 + 1e-9},
        {"one two-second stall among 16 ms frames", {0.016, 0.016, 2.0, 0.016}, 0.016, 0.020},
        {"a negative or undefined time is ignored", {0.016, -1.0, std::nan("")}, 0.016, 0.016},
        {"a frame of no time counts", [] {
             std::vector<double> v(200, 0.0);
             v.front() = 0.016;
             return v;
         }(), 0, 0.0001},
        {"each later frame moves it a twentieth of the way", {0.010, 0.030}, 0.011 - 1e-9, 0.011 + 1e-9},
        {"a slower pace is reached within a second", [] {
             std::vector<double> v(50, 0.005);
             v.insert(v.end(), 60, 0.025);
             return v;
         }(), 0.024, 0.025},
    };
    for (const Case& c : cases) {
        SwapLead lead;
        for (double s : c.frames) lead.add(s);
        EXPECT_GE(lead.seconds(), c.low) << c.what;
        EXPECT_LE(lead.seconds(), c.high) << c.what;
    }
}

}  // namespace

// The credits field's per-frame arithmetic on its own: what it allocates and,
// as a report rather than a check, how long it takes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "scenes/credits_field.h"

// GCC cannot see that the replacements below pair malloc with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocations{0};
}  // namespace

// Every allocation in this test program passes through here; only those made
// while counting is on are counted.
void* operator new(std::size_t size) {
    if (countingAllocations) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(CreditsArithmetic, AFrameAllocatesNothingOnAnyLine) {
    allocations = 0;
    countingAllocations = true;
    // Every line of the credits and the repeat after them, at several points of each row.
    for (float beats = 70.0f; beats < 120.0f; beats += 0.1f) buildCreditsFrame(beats, static_cast<int>(4 * beats));
    countingAllocations = false;
    EXPECT_EQ(allocations, 0);
}

TEST(CreditsArithmetic, TheRepeatsWrapEndsEvenFarPastTheSong) {
    // At 1e10 beats a step of 32 rows no longer changes the float: the wrap
    // stops there instead of looping for ever.
    EXPECT_FALSE(std::isnan(buildCreditsFrame(1e10f, 0)));
}

TEST(CreditsArithmetic, BuildsTheLineOfItsRowWithItsProgress) {
    CreditsFieldState* state = &creditsField;
    // Row 280 is the first of "CREDITS" (16 rows): at 70.5 beats it is 2 rows in.
    const float progress = buildCreditsFrame(70.5f, 282);
    EXPECT_NEAR(progress, 2.0f / 16.0f, 1e-5);
    // "CREDITS" lies in columns 1-56 and rows 5-12 of the mask, and only
    // there among the columns that are drawn (and cleared every frame).
    int inside = 0, outside = 0;
    for (int c = 0; c < creditColumns; ++c)
        for (int r = 0; r < creditRows; ++r)
            if (state->textMask[c][r] != 0.0f) (c >= 1 && c <= 56 && r >= 5 && r <= 12 ? inside : outside)++;
    EXPECT_GT(inside, 7 * 12);
    EXPECT_EQ(outside, 0);
    bool waves = false;
    for (int c = 0; c < creditColumns; ++c) waves = waves || state->cellHeight[c][10] != 0.0f;
    EXPECT_TRUE(waves);
}

// Not a check: the arithmetic's CPU time per frame on this machine. Run with
// --gtest_also_run_disabled_tests --gtest_filter='*ArithmeticTime*'.
TEST(CreditsArithmetic, DISABLED_ArithmeticTime) {
    CreditsFieldState* state = &creditsField;
    const int frames = 1000;
    const std::clock_t start = std::clock();
    float sink = 0;
    for (int k = 0; k < frames; ++k) {
        state->plasmaTime += 8.0f;
        const float beats = 70.0f + k * 0.03f;
        sink += buildCreditsFrame(beats, static_cast<int>(4 * beats));
    }
    const double ms = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC / frames;
    std::printf("credits field arithmetic: %.3f ms of CPU per frame over %d frames (%g)\n", ms, frames, sink);
}

}  // namespace

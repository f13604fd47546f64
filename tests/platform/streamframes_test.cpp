// Byte positions from seconds and back, as the audio back ends convert them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/streamframes.h"

namespace {

using audio::frames::bytesAt;
using audio::frames::secondsAt;

TEST(StreamFramesTest, EveryFrameRoundTripsAtEveryRate) {
    for (std::uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u}) {
        for (std::uint64_t frameBytes : {4u, 8u}) {
            for (std::uint64_t frame = 0; frame < 400000; frame += 997) {
                const double seconds = secondsAt(frame * frameBytes, rate, frameBytes);
                ASSERT_EQ(bytesAt(seconds, rate, frameBytes), frame * frameBytes)
                    << "frame " << frame << " at " << rate << " Hz";
                // Just before a frame starts, the frame before it.
                if (frame > 0) {
                    ASSERT_EQ(bytesAt(std::nextafter(seconds, 0.0), rate, frameBytes), (frame - 1) * frameBytes)
                        << "frame " << frame << " at " << rate << " Hz";
                }
            }
        }
    }
}

TEST(StreamFramesTest, NoTimeIsZeroAndNoTimeIsTooLong) {
    for (double seconds : {0.0, -1.0, std::nan("")}) EXPECT_EQ(bytesAt(seconds, 48000, 8), 0u) << seconds;
    // Past 2^53 bytes a double no longer holds every position: the end stops there.
    for (double seconds : {1e30, std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(bytesAt(seconds, 48000, 8), std::uint64_t(1) << 53) << seconds;
    }
    // The frame before that last one is still its own (2^50 frames of 8 bytes).
    const double lastButOne = static_cast<double>((std::uint64_t(1) << 50) - 1);
    EXPECT_EQ(bytesAt(lastButOne / 32768, 32768, 8), ((std::uint64_t(1) << 50) - 1) * 8);
}

}  // namespace

// Segments: N parts of a range of frames that tile it exactly, the tag a
// segment's video carries, and the check that a set of segments is one whole.
#include <gtest/gtest.h>

#include "segments.h"

namespace {

TEST(Segments, NPartsTileTheFramesWithNoGapNoDoubleAndLengthsWithinOne) {
    const std::vector<FrameRange> wholes = {{0, 1}, {0, 7}, {0, 12}, {5, 12}, {3, 103}, {1000, 6655}, {0, 2}};
    for (const FrameRange& whole : wholes)
        for (int n : {1, 2, 3, 7}) {
            SCOPED_TRACE(std::to_string(whole.first) + ".." + std::to_string(whole.end) + " in " + std::to_string(n));
            std::int64_t next = whole.first, shortest = whole.count(), longest = 0;
            for (int k = 1; k <= n; ++k) {
                const FrameRange part = segmentOf(whole, k, n);
                EXPECT_EQ(part.first, next) << "segment " << k;
                EXPECT_LE(part.first, part.end);
                next = part.end;
                shortest = std::min(shortest, part.count());
                longest = std::max(longest, part.count());
            }
            EXPECT_EQ(next, whole.end);
            EXPECT_LE(longest - shortest, 1);
        }
    // Worked by hand: 10 frames from 5 in 3 parts.
    EXPECT_EQ(segmentOf({5, 15}, 1, 3), (FrameRange{5, 8}));
    EXPECT_EQ(segmentOf({5, 15}, 2, 3), (FrameRange{8, 11}));
    EXPECT_EQ(segmentOf({5, 15}, 3, 3), (FrameRange{11, 15}));
}

TEST(Segments, OnlyKOfNWithOneToNIsASegment) {
    const std::vector<std::pair<std::string, std::pair<int, int>>> good = {
        {"1/1", {1, 1}}, {"2/3", {2, 3}}, {"7/7", {7, 7}}, {"1/100000", {1, 100000}}, {"100000/100000", {100000, 100000}}};
    for (const auto& [text, want] : good) {
        int k = 0, n = 0;
        std::string error;
        EXPECT_TRUE(parseSegment(text, k, n, error)) << text << ": " << error;
        EXPECT_EQ(std::make_pair(k, n), want) << text;
    }
    for (const std::string text : {"", "1", "0/3", "4/3", "1/0", "-1/3", "1/-3", "1/3/4", " 1/3", "1/3 ", "a/b",
                                   "1/100001", "1/99999999999", "+1/3", "1/"}) {
        int k = 0, n = 0;
        std::string error;
        EXPECT_FALSE(parseSegment(text, k, n, error)) << text;
        EXPECT_NE(error.find("--segment"), std::string::npos) << text;
    }
}

SegmentInfo part(int k, int n, FrameRange whole = {10, 110}) {
    return {k, n, segmentOf(whole, k, n), whole, 160, 90, 30, 1, 1.5};
}

TEST(Segments, ATagReadsBackAsWrittenAndOneThatDoesNotAddUpIsRefused) {
    SegmentInfo back;
    ASSERT_TRUE(parseSegmentTag(segmentTag(part(1, 1)), back)) << "one segment alone is a whole";
    ASSERT_TRUE(parseSegmentTag(segmentTag(part(2, 3)), back));
    EXPECT_EQ(back.k, 2);
    EXPECT_EQ(back.n, 3);
    EXPECT_EQ(back.frames, segmentOf({10, 110}, 2, 3));
    EXPECT_EQ(back.whole, (FrameRange{10, 110}));
    EXPECT_EQ(back.width, 160);
    EXPECT_EQ(back.fps, 30);
    EXPECT_EQ(back.supersample, 1);
    EXPECT_DOUBLE_EQ(back.musicStart, 1.5);
    SegmentInfo wrongFrames = part(2, 3);
    wrongFrames.frames.end += 1;
    SegmentInfo kPastN = part(3, 3);
    kPastN.k = 4;
    for (const std::string& text : {std::string(""), std::string("a comment"), segmentTag(wrongFrames), segmentTag(kPastN),
                                    segmentTag(part(1, 2)) + " more"}) {
        EXPECT_FALSE(parseSegmentTag(text, back)) << text;
    }
}

TEST(Segments, OnlyAllNPartsOfOneCaptureEachOnceAreAWhole) {
    auto names = [](std::size_t count) {
        std::vector<std::string> files;
        for (std::size_t i = 0; i < count; ++i) files.push_back("s" + std::to_string(i) + ".mp4");
        return files;
    };
    std::vector<std::size_t> order;
    std::string why;
    ASSERT_TRUE(checkSegments(names(3), {part(3, 3), part(1, 3), part(2, 3)}, order, why)) << why;
    EXPECT_EQ(order, (std::vector<std::size_t>{1, 2, 0}));

    SegmentInfo otherSize = part(2, 3);
    otherSize.width = 320;
    SegmentInfo otherRate = part(2, 3);
    otherRate.fps = 60;
    SegmentInfo otherSampling = part(2, 3);
    otherSampling.supersample = 2;
    SegmentInfo otherMusic = part(2, 3);
    otherMusic.musicStart = 2.0;
    const std::vector<std::pair<std::vector<SegmentInfo>, std::string>> bad = {
        {{part(1, 3), part(3, 3)}, "segments missing: 2/3"},
        {{part(1, 3), part(2, 3), part(2, 3), part(3, 3)}, "segment 2/3 is given twice"},
        {{part(1, 3), otherSize, part(3, 3)},
         "s1.mp4: a segment of another capture (320x90 supersampled 1 at 30 fps, frames 10 to 109 in 3 segments) "
         "than s0.mp4 (160x90 supersampled 1 at 30 fps, frames 10 to 109 in 3 segments)"},
        {{part(1, 3), otherRate, part(3, 3)}, "another capture"},
        {{part(1, 3), otherMusic, part(3, 3)}, "another capture"},
        {{part(1, 3), otherSampling, part(3, 3)}, "another capture"},
        {{part(1, 3), part(2, 3, {10, 111}), part(3, 3)}, "another capture"},
        {{part(1, 2), part(2, 3), part(3, 3)}, "another capture"},
        {{}, "no segments"},
    };
    for (const auto& [infos, message] : bad) {
        SCOPED_TRACE(message);
        why.clear();
        EXPECT_FALSE(checkSegments(names(infos.size()), infos, order, why));
        EXPECT_NE(why.find(message), std::string::npos) << why;
    }
}

}  // namespace

#pragma once
// A capture split into segments: the K-th of N equal ranges of frame numbers,
// so that segments rendered apart (on other machines) tile the frames of the
// whole exactly, and what each segment's video says of itself, so that a
// join can refuse a segment that is missing, doubled, from other settings or
// from another range.
#include <cstdint>
#include <string>
#include <vector>

// Frames first .. end - 1.
struct FrameRange {
    std::int64_t first = 0, end = 0;
    std::int64_t count() const { return end - first; }
    bool operator==(const FrameRange& o) const { return first == o.first && end == o.end; }
};

// The largest N a segment may be one of.
inline constexpr int maxSegments = 100000;

// "K/N" with 1 <= K <= N <= maxSegments, plain decimal digits; false with a
// message otherwise.
bool parseSegment(const std::string& text, int& k, int& n, std::string& error);

// The K-th (from 1) of N ranges that cut `whole` into parts whose lengths
// differ by at most one frame: segment k holds frames
// first + count * (k - 1) / N up to first + count * k / N (exclusive), so
// the N of them follow each other with no gap and no frame twice. Empty when
// N is larger than the count.
FrameRange segmentOf(FrameRange whole, int k, int n);

// What a segment's video records of itself (in its comment tag).
struct SegmentInfo {
    int k = 0, n = 0;
    FrameRange frames;  // this segment's frames
    FrameRange whole;   // the frames of all N together
    int width = 0, height = 0, fps = 0;
    int supersample = 1;
    double musicStart = 0;  // music position of the whole's first frame, seconds
};

std::string segmentTag(const SegmentInfo& info);
// False when `text` is no segment tag or one whose numbers do not add up.
bool parseSegmentTag(const std::string& text, SegmentInfo& info);

// Whether the segments, in any order, are the N parts of one capture, each
// once; `files` names them in the messages. On success `ordered` holds their
// indexes into `infos` in frame order. False with the reason otherwise.
bool checkSegments(const std::vector<std::string>& files, const std::vector<SegmentInfo>& infos,
                   std::vector<std::size_t>& ordered, std::string& why);

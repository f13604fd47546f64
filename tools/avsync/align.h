#pragma once
// Finding what was heard when: the recording of the sink's monitor is
// matched against the decoded music, window by window, and each frame's
// swap time is turned into the music position being played at that moment.
#include <cstdint>
#include <string>
#include <vector>

namespace avsync {

// A recorded frame count and the monotonic time (ns) its last frame played.
struct Stamp {
    double frames;
    double ns;
};

// One frame of the demo: when it was swapped, and the music it showed.
struct FrameRecord {
    double ns;
    double seconds;
};

// Where the music stood in one stretch of the recording: recording frame n
// held music frame n - lag.
struct Window {
    double centre;  // recording frame
    double lag;     // frames
    double score;   // normalised correlation, 1 for an exact copy
};

struct Figures {
    std::size_t frames = 0;       // frames compared
    double spanSeconds = 0;       // the music they cover
    double median = 0, p5 = 0, p95 = 0;  // seen - heard, ms
};

// time(n) = a + b n, fitted over the stamps that agree with each other
// (those within 5 ms of the line through them, the sink's nominal `rate`
// to start from); false with fewer than two.
bool fitClock(const std::vector<Stamp>& stamps, double rate, double& a, double& b);

// Matches the recording against the music around `expectedLag` (frames;
// searched within +-searchFrames), in windows of `windowFrames` every half
// window. Windows whose best match is weaker than minScore (silence, noise)
// are left out.
std::vector<Window> alignWindows(const std::vector<float>& recording, const std::vector<float>& music,
                                 double expectedLag, std::size_t searchFrames, std::size_t windowFrames,
                                 double minScore);

// seen - heard for every frame that falls inside an aligned window; the
// recording's clock is time(n) = a + b n.
std::vector<double> offsetsMs(const std::vector<FrameRecord>& frames, const std::vector<Window>& windows, double a,
                              double b, double rate, std::size_t windowFrames);

// The median and the 5th and 95th percentiles (nearest rank).
Figures summarise(std::vector<double> offsets);

}  // namespace avsync

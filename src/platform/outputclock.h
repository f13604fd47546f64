#pragma once
// The arithmetic of the heard position, apart from any device so that tests
// can feed it the reports a sound server would give.
//
// An output plays what was written to it after a delay: the frames it still
// holds (its buffers, the sound server's, the sink's) are the latency it
// reports. What is heard now is therefore the next frame to be written less
// that latency. A user's own offset (what no output reports: a TV's picture
// processing, a projector) moves the picture further: positive when the
// sound comes late, so the picture shows an earlier frame.
namespace audio::outputclock {

// The stream frame heard now, given the stream frame that the next write
// starts with, the latency reported now (seconds), the user's offset
// (seconds, positive: the sound comes late) and the stream's rate.
inline double heardFrame(double nextWritten, double latencySeconds, double offsetSeconds, double rate) {
    return nextWritten - (latencySeconds + offsetSeconds) * rate;
}

// The position to report: never below where playback (re)started, nor below
// the last one reported, never past the end. A latency that grows (a sink
// switched to a slower one) holds the picture until the sound catches up
// instead of moving it back.
inline double reportedFrame(double heard, double startFrame, double lastReported, double endFrame) {
    double p = heard < endFrame ? heard : endFrame;
    if (p < startFrame) p = startFrame;
    if (p < lastReported) p = lastReported;
    return p;
}

}  // namespace audio::outputclock

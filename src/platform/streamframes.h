#pragma once
// Sample-frame arithmetic shared by the audio back ends: positions are bytes
// of 32-bit float frames, frameBytes = channels x 4.
#include <cmath>
#include <cstdint>

namespace audio::frames {

// The byte position of the last frame that starts at or before `seconds`,
// judged the way secondsAt converts frames, so that the two round-trip
// exactly; 0 for no time or a negative one.
inline std::uint64_t bytesAt(double seconds, std::uint32_t rate, std::uint64_t frameBytes) {
    if (!(seconds > 0)) return 0;
    const double maxFrames = std::floor(9007199254740992.0 / static_cast<double>(frameBytes));  // 2^53 bytes
    double frame = std::floor(seconds * rate);
    // A time past the last position a double holds ends there, not a frame on.
    if (!(frame < maxFrames)) return static_cast<std::uint64_t>(maxFrames) * frameBytes;
    if (static_cast<double>(frame + 1) / rate <= seconds) frame += 1;
    else if (frame > 0 && frame / rate > seconds) frame -= 1;
    return static_cast<std::uint64_t>(frame) * frameBytes;
}

// The time at which the frame holding byte `bytes` starts.
inline double secondsAt(std::uint64_t bytes, std::uint32_t rate, std::uint64_t frameBytes) {
    return static_cast<double>(bytes / frameBytes) / rate;
}

}  // namespace audio::frames

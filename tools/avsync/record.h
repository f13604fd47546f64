#pragma once
// Records a PulseAudio source (a sink's monitor) as mono float at `rate`
// into `rawPath`, and after every read writes "FRAMES NS" to `stampPath`:
// the frames recorded so far and the monotonic time at which the last of
// them played (the time of the read less the latency the server reports for
// the recording). Runs until `seconds` have been recorded or SIGINT/SIGTERM.
#include <string>

namespace avsync {

bool record(const std::string& source, long rate, double seconds, const std::string& rawPath,
            const std::string& stampPath, std::string& why);

}  // namespace avsync

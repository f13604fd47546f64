#pragma once
// The music decoded as the demo decodes it (gapless, 32-bit float), mixed
// down to one channel.
#include <string>
#include <vector>

namespace avsync {

// False, with the reason, when the file gives no audio.
bool decodeMusic(const std::string& path, std::vector<float>& mono, long& rate, std::string& why);

}  // namespace avsync

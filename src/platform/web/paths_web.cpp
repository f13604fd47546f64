// In a browser the program has no folder of its own: the page puts the data
// in the file system's root, where the search finds it as ./data.
#include "platform/paths.h"

namespace platform {

std::string executableFolder() { return ""; }

}  // namespace platform

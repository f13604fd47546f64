#include "common/loadstatus.h"

bool loadFailed = false;
std::vector<std::string> loadMessages;

void printLoadMessages(std::FILE* out, const char* program) {
    for (const std::string& message : loadMessages) std::fprintf(out, "%s: %s\n", program, message.c_str());
    std::fflush(out);
    loadMessages.clear();
}

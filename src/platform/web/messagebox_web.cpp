// Message boxes in a browser: the text goes to stderr, which the page shows;
// a question answers No.
#include <cstdio>

#include "platform/messagebox.h"

namespace platform {

BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::No;
}

}  // namespace platform

#pragma once
// The last thing a program does: make sure its report reached standard
// output. A full disk, a closed pipe or /dev/full lose the report silently
// unless the stream is flushed and its error state read before exiting.

// `status`, or 1 when standard output (stdio's stdout or std::cout) could not
// take everything written to it; then one line "PROGRAM: cannot write to
// standard output: REASON" goes to stderr.
int exitStatusAfterOutput(const char* program, int status);

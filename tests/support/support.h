#pragma once
// Helpers shared by the tests: temporary folders, running programs with a
// time limit, and running the demo headless.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temp folder, removed with everything in
// it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

struct RunResult {
    int exitCode = -1;      // exit status, or -1 when killed by a signal
    int signal = 0;         // the signal that ended it, if any
    bool timedOut = false;  // killed at the time limit
    std::string out;        // standard output
    std::string err;        // standard error
    double seconds = 0;     // wall time
    long maxRssKb = 0;      // peak resident memory of the program, in KiB
};

// Runs argv in `workDir` with `extraEnv` ("NAME=value") added, with every
// signal at its default disposition (whatever the test runner ignores).
// After `interruptAfter` seconds (if > 0) it sends `interruptSignal`; at
// `timeLimit` seconds it sends SIGKILL to it and to everything it started
// (its process group) and reports a time-out.
RunResult runProgram(const std::vector<std::string>& argv, const std::string& workDir,
                     const std::vector<std::string>& extraEnv, double timeLimit, double interruptAfter = 0,
                     int interruptSignal = 2 /* SIGINT */);

// Runs the real demo executable headless (offscreen video, dummy audio,
// windowed) in `workDir`.
RunResult runDemo(const std::string& workDir, double timeLimit, double interruptAfter = 0,
                  const std::vector<std::string>& extraEnv = {}, int interruptSignal = 2 /* SIGINT */);

std::string demoExecutable();
std::string sourceDir();
std::string binaryDir();

// Runs a shell command; true when it exits 0.
bool shell(const std::string& command);
bool haveCommand(const std::string& name);

void writeFile(const std::string& path, const std::string& bytes);
// Makes `folder`/ffmpeg a shell script that runs `script` instead of the
// encoder; returns the PATH entry that puts it first, the system's after.
std::string fakeFfmpeg(const std::string& folder, const std::string& script);
// The bytes of a PNG that declares `width` x `height` pixels of 8-bit RGBA:
// signature, IHDR, a tiny IDAT and IEND. Its data never decodes to that size,
// so only a check of the header can tell how large it claims to be.
std::string pngDeclaring(std::uint32_t width, std::uint32_t height);
std::string readFile(const std::string& path);

// A bound on a program's peak memory in KiB: `plainMb` MiB, or `sanitizedMb`
// under AddressSanitizer, whose guard bytes and quarantine of freed memory
// (up to 256 MiB) weigh on every run; the normal build is the real check.
constexpr long peakMemoryBoundKb(long plainMb, long sanitizedMb) {
#ifdef __SANITIZE_ADDRESS__
    (void)plainMb;
    return sanitizedMb * 1024;
#else
    (void)sanitizedMb;
    return plainMb * 1024;
#endif
}

}  // namespace testsupport

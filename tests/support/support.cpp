#include "support/support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string sourceDir() { return TARNWICK_SOURCE_DIR; }
std::string binaryDir() { return TARNWICK_BINARY_DIR; }
std::string demoExecutable() { return binaryDir() + "/tarnwick"; }

RunResult runProgram(const std::vector<std::string>& argv, const std::string& workDir,
                     const std::vector<std::string>& extraEnv, double timeLimit, double interruptAfter,
                     int interruptSignal) {
    RunResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");

    // extraEnv wins over the inherited entry of the same name.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& extra : extraEnv) replaced = replaced || extra.compare(0, name.size(), name) == 0;
        if (!replaced) env.push_back(entry);
    }
    for (const std::string& extra : extraEnv) env.push_back(extra);

    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A runner started in the background may ignore SIGINT; the program
        // under test gets the defaults, as from a terminal.
        for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
        // A group of its own, so that the time limit also ends whatever it
        // started (a child left holding the output pipes would keep this
        // reading for ever).
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        std::vector<char*> args, envp;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid);  // as the child does, whichever runs first
    close(outPipe[1]);
    close(errPipe[1]);

    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    bool interrupted = false, killed = false;
    int open = 2;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    while (open > 0) {
        double t = elapsed();
        if (interruptAfter > 0 && !interrupted && t >= interruptAfter) {
            kill(pid, interruptSignal);
            interrupted = true;
        }
        if (!killed && t >= timeLimit) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            killed = true;
        }
        int n = poll(fds, 2, 20);
        if (n <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, size_t(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    for (;;) {
        rusage usage{};
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            result.maxRssKb = usage.ru_maxrss;
            break;
        }
        if (!killed && elapsed() >= timeLimit) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            killed = true;
        }
        usleep(10000);
    }
    result.timedOut = killed;
    result.seconds = elapsed();
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

RunResult runDemo(const std::string& workDir, double timeLimit, double interruptAfter,
                  const std::vector<std::string>& extraEnv, int interruptSignal) {
    std::vector<std::string> env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return runProgram({demoExecutable(), "--windowed"}, workDir, env, timeLimit, interruptAfter, interruptSignal);
}

bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool haveCommand(const std::string& name) { return shell("command -v " + name + " >/dev/null 2>&1"); }

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string fakeFfmpeg(const std::string& folder, const std::string& script) {
    const std::string path = folder + "/ffmpeg";
    writeFile(path, "#!/bin/sh\n" + script + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return "PATH=" + folder + ":/usr/bin:/bin";
}

std::string pngDeclaring(std::uint32_t width, std::uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    auto be32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((v >> shift) & 0xFF));
    };
    be32(13);
    bytes += "IHDR";
    be32(width);
    be32(height);
    bytes += std::string("\x08\x06\x00\x00\x00", 5);
    be32(0);  // CRC, not checked before the size
    be32(2);
    bytes += "IDAT";
    bytes += std::string("\x78\x9c", 2);
    be32(0);
    be32(0);
    bytes += "IEND";
    be32(0xAE426082u);
    return bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace testsupport

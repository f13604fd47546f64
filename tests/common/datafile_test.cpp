// Opening data files by kind, and the exit status after output that went through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "common/datafile.h"
#include "common/exitstatus.h"
#include "support/support.h"

namespace {

using testsupport::TempDir;

TEST(DataFile, EachKindOfPlaceOpensOrGivesItsReason) {
    TempDir dir;
    std::ofstream(dir.file("music.mp3")) << "bytes";
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string why;  // empty: opens
    } cases[] = {
        {dir.file("music.mp3"), ""},
        {dir.file("missing.mp3"), "no such file"},
        {dir.file("music.mp3/below"), "no such file"},
        {dir.path(), "is a directory"},
        {dir.file("pipe"), "not a regular file"},  // and no wait for a writer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string why;
        const int fd = openDataFile(c.path, why);
        EXPECT_EQ(fd >= 0, c.why.empty());
        EXPECT_EQ(why, c.why);
        if (fd >= 0) {
            char buffer[8] = {};
            EXPECT_EQ(read(fd, buffer, sizeof buffer), 5);  // blocking reads of the whole file
            close(fd);
        }
        why.clear();
        std::FILE* file = openDataStream(c.path, why);
        EXPECT_EQ(file != nullptr, c.why.empty());
        EXPECT_EQ(why, c.why);
        if (file) std::fclose(file);
    }
}

TEST(ExitStatus, OutputThatWentThroughKeepsTheStatus) {
    for (int status : {0, 1, 3}) EXPECT_EQ(exitStatusAfterOutput("test", status), status);
    // Output lost on a full device turns any status into 1 (in a child, whose
    // standard output is that device).
    for (int status : {0, 3}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::FILE* full = std::freopen("/dev/full", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            if (!full) _exit(99);
            std::printf("lost\n");
            _exit(exitStatusAfterOutput("test", status));
        }
        int wstatus = 0;
        ASSERT_EQ(waitpid(child, &wstatus, 0), child);
        ASSERT_TRUE(WIFEXITED(wstatus));
        EXPECT_EQ(WEXITSTATUS(wstatus), 1) << status;
    }
}

}  // namespace

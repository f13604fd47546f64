// The diagnostic frame log: a line per frame while it is open, nothing after.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "shell/framelog.h"
#include "support/support.h"

namespace {

TEST(FrameLog, ALinePerFrameWhileOpenAndAReasonWhenItCannotBeWritten) {
    testsupport::TempDir dir;
    std::string why;
    ASSERT_TRUE(openFrameLog(dir.file("frames.log"), why)) << why;
    EXPECT_TRUE(frameLogOpen());
    logFrame(1.25);
    logFrame(1.5);
    // Each line is whole in the file as soon as it is logged.
    std::ifstream early(dir.file("frames.log"));
    std::stringstream seen;
    seen << early.rdbuf();
    EXPECT_NE(seen.str().find(" 1.500000\n"), std::string::npos) << seen.str();
    closeFrameLog();
    EXPECT_FALSE(frameLogOpen());
    logFrame(2.0);  // closed: nothing, and no crash
    std::ifstream in(dir.file("frames.log"));
    long long ns = 0;
    double seconds = 0;
    int lines = 0;
    while (in >> ns >> seconds) {
        EXPECT_GT(ns, 0);
        EXPECT_EQ(seconds, lines == 0 ? 1.25 : 1.5);
        ++lines;
    }
    EXPECT_EQ(lines, 2);

    EXPECT_FALSE(openFrameLog(dir.file("no/such/folder/frames.log"), why));
    EXPECT_NE(why.find("no/such/folder/frames.log"), std::string::npos) << why;
}

}  // namespace

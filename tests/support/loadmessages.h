#pragma once
// Checking what the loaders hand up: they print nothing themselves, and the
// program that called them prints each message under its own name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/loadstatus.h"

namespace testsupport {

// Starts watching: no messages yet, and stderr captured.
inline void watchLoadMessages() {
    loadMessages.clear();
    testing::internal::CaptureStderr();
}

// What a program named `program` prints for the messages handed up since
// watchLoadMessages; fails the test when a loader printed anything itself.
inline std::string loadMessagesPrintedAs(const char* program) {
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a loader printed on its own";
    testing::internal::CaptureStderr();
    printLoadMessages(stderr, program);
    return testing::internal::GetCapturedStderr();
}

}  // namespace testsupport

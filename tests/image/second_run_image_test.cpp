// Two runs of the demo in one process: the second starts from the same state
// as the first, so it draws the same frames, byte for byte, at the same rows.
#include <gtest/gtest.h>

#include <vector>

#include "shell/window.h"
#include "support/framecapture.h"

namespace {

TEST(SecondRun, DrawsTheSameBytesAsTheFirstAtEveryRow) {
    // A row in every scene that keeps state from frame to frame.
    const std::vector<int> rows = {30, 150, 300, 560, 700};
    const auto first = testsupport::captureRows(rows);
    const auto second = testsupport::captureRows(rows);
    ASSERT_EQ(first.size(), rows.size());
    ASSERT_EQ(second.size(), rows.size());
    for (int row : rows) {
        const auto& a = first.at(row);
        const auto& b = second.at(row);
        EXPECT_EQ(a.index, b.index) << "row " << row;
        std::size_t differing = 0;
        for (std::size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) differing += a.rgb[i] != b.rgb[i];
        EXPECT_EQ(a.rgb.size(), b.rgb.size()) << "row " << row;
        EXPECT_EQ(differing, 0u) << "row " << row << ": bytes that differ of " << a.rgb.size();
    }
    EXPECT_EQ(windowHandle, nullptr) << "each run closes its window";
}

}  // namespace

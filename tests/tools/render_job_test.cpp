// The Kubernetes Indexed Job in docs/: what makes each pod render its own
// segment and the segments one whole, read from the manifest's text (no
// cluster needed).
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/support.h"

namespace {

std::string manifest() { return testsupport::readFile(testsupport::sourceDir() + "/docs/render-job.yaml"); }

// The value of the first "key: value" line for `key`, or "".
std::string valueOf(const std::string& text, const std::string& key) {
    std::smatch m;
    return std::regex_search(text, m, std::regex("\\n\\s*" + key + ":\\s*([^\\s#]+)")) ? m[1].str() : "";
}

TEST(RenderJob, EachIndexRendersItsOwnOfNSegmentsIntoTheSharedVolume) {
    const std::string text = manifest();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(valueOf(text, "apiVersion"), "batch/v1");
    EXPECT_EQ(valueOf(text, "kind"), "Job");
    EXPECT_EQ(valueOf(text, "completionMode"), "Indexed");
    const std::string n = valueOf(text, "completions");
    ASSERT_FALSE(n.empty());
    EXPECT_GE(std::stoi(n), 1);
    EXPECT_EQ(valueOf(text, "parallelism"), n);
    // The segment of pod i is i + 1 of the same N, written under its own
    // number into the volume mounted at the same place.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        text, m,
        std::regex("tarnwick-capture [^\\n]*\\n?[^\\n]*--segment \\$\\(\\(JOB_COMPLETION_INDEX \\+ 1\\)\\)/([0-9]+)\\s+"
                   "--video-only (/[a-z]+)/part\\$\\(\\(JOB_COMPLETION_INDEX \\+ 1\\)\\)\\.mp4")))
        << text;
    EXPECT_EQ(m[1].str(), n);
    EXPECT_EQ(valueOf(text, "mountPath"), m[2].str());
    EXPECT_EQ(valueOf(text, "restartPolicy"), "Never");
    // The join named in the comment reads the same files.
    EXPECT_NE(text.find("--join " + m[2].str() + "/part*.mp4"), std::string::npos);
}

}  // namespace

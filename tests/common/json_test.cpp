#include <gtest/gtest.h>

#include <string>

#include "common/json.h"
#include "support/json.h"

namespace {

TEST(JsonString, EveryTextParsesBackWhole) {
    const std::string longName = "AMD Radeon \"Pro\" W7900 (radeonsi, navi31, LLVM 15.0.6, DRM 3.54, 6.5.0) C:\\drivers\\" +
                                 std::string(20, 'x');
    // text written, text read back (bytes that are not UTF-8 come back as Latin-1 letters)
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", "llvmpipe (LLVM 15.0.6, 256 bits)"},
        {longName, longName},
        {"tab\there\nnew line\x01\x7f", "tab\there\nnew line\x01\x7f"},
        {"gr\xc3\xbc\xc3\x9f \xe2\x82\xac", "gr\xc3\xbc\xc3\x9f \xe2\x82\xac"},  // UTF-8 stays as it is
        {"\xff\xfe", "\xc3\xbf\xc3\xbe"},                                         // Latin-1 bytes
        {"\x80", "\xc2\x80"},                                                     // a continuation alone
        {"\"\\\"", "\"\\\""},
    };
    ASSERT_GE(longName.size(), 100u);
    // Control characters and DEL are written as escapes, the space as it is.
    EXPECT_EQ(jsonString("\x1f \x7f"), "\"\\u001f \\u007f\"");
    for (const auto& [text, back] : cases) {
        const std::string written = jsonString(text);
        testsupport::Json value;
        std::string error;
        ASSERT_TRUE(testsupport::parseJson(written, value, error)) << written << ": " << error;
        EXPECT_EQ(value.kind, testsupport::Json::String);
        EXPECT_EQ(value.text, back) << written;
    }
}

TEST(JsonReader, RefusesWhatIsNotJson) {
    for (const char* bad : {"", "\"open", "{\"a\":1,}", "[1 2]", "\"a\tb\"", "\"\\x41\"", "01", "{\"a\":1}x", "nul"}) {
        testsupport::Json value;
        std::string error;
        EXPECT_FALSE(testsupport::parseJson(bad, value, error)) << bad;
    }
}

}  // namespace

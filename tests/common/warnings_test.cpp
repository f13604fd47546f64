// Collecting warnings: the first few of each kind kept, all of them counted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "common/warnings.h"

namespace {

constexpr std::size_t kept = WarningList::keptPerKind;

TEST(WarningList, KeepsTheFirstOfEachKindAndCountsTheRestOnTheLastKept) {
    WarningList list;
    for (int i = 1; i <= 1000; ++i) list.add("flood", i, "again");
    list.add("other", 5000, std::string("once"));
    list.add("flood", 1001, "late");
    EXPECT_EQ(list.total(), 1002u);
    ASSERT_EQ(list.size(), kept + 1);
    for (std::size_t i = 0; i < kept; ++i) {
        EXPECT_EQ(list[i].line, static_cast<int>(i) + 1);
        EXPECT_EQ(list[i].kind, "flood");
    }
    EXPECT_EQ(list[kept - 1].more, 1001u - kept);
    EXPECT_EQ(list[kept - 2].more, 0u);
    // A later kind keeps its own place in the order found.
    EXPECT_EQ(list[kept].message, "once");
    EXPECT_EQ(list[kept].more, 0u);
    EXPECT_FALSE(list.keeps("flood"));
    EXPECT_TRUE(list.keeps("other"));
    EXPECT_TRUE(list.keeps("new"));

    list.clear();
    EXPECT_EQ(list.total(), 0u);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.keeps("flood"));
}

TEST(WarningList, ExactlyTheKeptNumberHasNoMore) {
    WarningList list;
    for (std::size_t i = 0; i < kept; ++i) {
        EXPECT_TRUE(list.keeps("k")) << i;
        list.add("k", 1, "m");
    }
    EXPECT_FALSE(list.keeps("k"));
    EXPECT_EQ(list.size(), kept);
    EXPECT_EQ(list[kept - 1].more, 0u);
    list.add("k", 2, "m");
    EXPECT_EQ(list.size(), kept);
    EXPECT_EQ(list[kept - 1].more, 1u);
    EXPECT_EQ(list.total(), kept + 1);
}

TEST(WarningList, ANullListIgnoresEverything) {
    addWarning(nullptr, "k", 1, "m");
    addWarning(nullptr, "k", 1, std::string("m"));
    EXPECT_FALSE(keepsWarning(nullptr, "k"));
}

TEST(WarningPrint, EachKindIsFollowedByTheCountOfTheRest) {
    WarningList list;
    for (int i = 1; i <= 25; ++i) list.add("a", i, "bad line");
    for (int i = 1; i <= 21; ++i) list.add("c", i, "one too many");  // exactly one more
    list.add("b", 0, "no end");
    list.add("b", 0, "no end");
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    printWarnings(out, "prog", "f.csv", list);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
    std::fclose(out);
    std::string expected;
    for (int i = 1; i <= 20; ++i) expected += "prog: f.csv:" + std::to_string(i) + ": bad line\n";
    expected += "prog: f.csv: ... and 5 more warnings like this\n";
    for (int i = 1; i <= 20; ++i) expected += "prog: f.csv:" + std::to_string(i) + ": one too many\n";
    expected += "prog: f.csv: ... and 1 more warning like this\nprog: f.csv: no end\nprog: f.csv: no end\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(moreWarningsText(1), "... and 1 more warning like this");
}

}  // namespace

namespace {

TEST(Quoted, PlainTextStaysAsItIs) {
    EXPECT_EQ(::quoted("fast"), "\"fast\"");
    EXPECT_EQ(::quoted(""), "\"\"");
    EXPECT_EQ(::quoted("Grüße, \"so\" \\ ok"), "\"Grüße, \"so\" \\ ok\"");
    EXPECT_EQ(::quoted("1 \u20ac \U0001F600"), "\"1 \u20ac \U0001F600\"");  // three and four bytes
}

TEST(Quoted, ControlAndForeignBytesAreEscapedSoAMessageStaysOneLine) {
    EXPECT_EQ(::quoted(std::string("a\r\nb\x01\x7f", 6)), "\"a\\x0d\\x0ab\\x01\\x7f\"");
    EXPECT_EQ(::quoted(std::string("\xff\xc3", 2)), "\"\\xff\\xc3\"");  // not UTF-8, and a sequence cut short
    EXPECT_EQ(::quoted(std::string("x\0y", 3)), "\"x\\x00y\"");
    EXPECT_EQ(::quoted("\xc3" "A"), "\"\\xc3A\"");  // a lead byte without its continuation
    EXPECT_EQ(::quoted("\x80"), "\"\\x80\"");        // a continuation byte without its lead
}

TEST(Quoted, LongTextIsCutWithTheCountOfWhatIsLeftOut) {
    const std::string longText(1'000'000, 'x');
    EXPECT_EQ(::quoted(longText), "\"" + std::string(quotedCharacters, 'x') + "\" (and 999940 more bytes)");
    // Characters are counted, not bytes: a sequence is never cut.
    std::string accents;
    for (int i = 0; i < 61; ++i) accents += "é";
    EXPECT_EQ(::quoted(accents), "\"" + accents.substr(0, 120) + "\" (and 2 more bytes)");
    EXPECT_EQ(::quoted(std::string(quotedCharacters, 'y')), "\"" + std::string(quotedCharacters, 'y') + "\"");
}

TEST(FormatNumber, NineSignificantDigitsAndTheNamesOfWhatIsNoNumber) {
    const std::pair<double, const char*> cases[] = {
        {0.5, "0.5"}, {1.0 / 3, "0.333333333"}, {-1e20, "-1e+20"},
        {std::nan(""), "nan"}, {-std::nan(""), "nan"}, {HUGE_VAL, "inf"}, {-HUGE_VAL, "-inf"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatNumber(value), text) << value;
}

}  // namespace

// The text helpers and the control model's selection events.
#include "ansi_text.h"
#include "controls.h"
#include "numbers.h"
#include "text_functions.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace plexmoor {
namespace {

TEST(FieldOf, SplitsLikeTheWindowExpects) {
    EXPECT_EQ(FieldOf("$Revision: 1.17 $", " ", 2), "1.17");
    EXPECT_EQ(FieldOf("2-Quarn-Lite", "-", 1), "2");
    EXPECT_EQ(FieldOf("2-Quarn-Lite", "-", 3), "Lite");
    EXPECT_EQ(FieldOf("2-Quarn-Lite", "-", 4), "");
    EXPECT_EQ(FieldOf("Orvo", "-", 1), "Orvo");
    EXPECT_EQ(FieldOf("a--b", "-", 2), "");
    EXPECT_EQ(FieldOf("a--b", "-", 3), "b");
    EXPECT_EQ(FieldOf("a b", " ", 0), "");
    EXPECT_EQ(FieldOf("a b", " ", -3), "");
    // A two-character delimiter: later fields keep its second character.
    EXPECT_EQ(FieldOf("one\r\ntwo\r\n", "\r\n", 2), "\ntwo");
    EXPECT_EQ(FieldOf("one\r\ntwo\r\n", "\r\n", 3), "\n");
}

// The window's UTF-8 and the code page's bytes: every byte goes and comes
// back; a character without a byte, and bytes that are no UTF-8, have none.
TEST(AnsiText, TheWindowsTextAndTheCodePagesBytes) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Plain 1", "Plain 1"}, {"K\u00e4se", "K\xe4se"},   {"\u20ac\u0152\u2122", "\x80\x8c\x99"},
        {"\u00ff", "\xff"},     {"\u0081", "\x81"},         {"\u65e5", std::nullopt},
        {"\xe4", std::nullopt}, {"\xc0\x80", std::nullopt}, {"\xed\xa0\x80", std::nullopt}};
    for (const auto& [utf8, bytes] : cases) {
        EXPECT_EQ(Utf8ToWindows1252(utf8), bytes) << utf8;
        if (bytes) {
            EXPECT_EQ(Windows1252ToUtf8(*bytes), utf8);
        }
    }
    std::string every;
    for (int b = 1; b < 256; ++b)
        every += static_cast<char>(b);
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(every)), every);
    // A file line: an earlier build's UTF-8 stays, anything else is the code page.
    EXPECT_EQ(FromFileText("K\xc3\xa4se"), "K\u00e4se");
    EXPECT_EQ(FromFileText("K\xe4se"), "K\u00e4se");
    EXPECT_EQ(ToFileText("\u65e5"), "\u65e5");
    EXPECT_EQ(CharacterCount("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"), 6u);
}

TEST(Numbers, WholeNumberTakesTheLeadingNumber) {
    EXPECT_EQ(WholeNumber("3"), 3);
    EXPECT_EQ(WholeNumber(" 12abc"), 12);
    EXPECT_EQ(WholeNumber("-7"), -7);
    EXPECT_EQ(WholeNumber(""), 0);
    EXPECT_EQ(WholeNumber("Orvo"), 0);
    EXPECT_EQ(WholeNumber("99999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(WholeNumber("-99999999999"), std::numeric_limits<int32_t>::min());
}

TEST(Numbers, ParseDecimal32AcceptsOnlyOneWholeNumberInRange) {
    EXPECT_EQ(ParseDecimal32("0"), 0);
    EXPECT_EQ(ParseDecimal32(" +65536 "), 65536);
    EXPECT_EQ(ParseDecimal32("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseDecimal32("2147483647"), std::numeric_limits<int32_t>::max());
    for (const char* bad :
         {"", " ", "-", "+", "1 2", "1.0", "1e3", "&H10", "2147483648", "-2147483649", "12x"}) {
        EXPECT_FALSE(ParseDecimal32(bad).has_value()) << bad;
    }
}

TEST(Numbers, TheNumericTestAndTheConversionsOfTheBoxes) {
    struct Case {
        const char* text;
        bool number;
        std::optional<int32_t> decimal, hex;
    };
    const std::optional<int32_t> none;
    const Case cases[] = {
        {"12", true, 12, 0x12},
        {" -12 ", true, -12, none},
        {"+0", true, 0, none},
        {"7fc0", false, none, 32704},
        {"FFFFFFFF", false, none, -1},
        {"&H10", true, none, none},
        {"&hFFFFFFFF", true, none, none},
        {"&O17", true, none, none},
        {"&H123456789", false, none, none},
        {"&H", false, none, none},
        {"1.5", true, none, none},
        {".5", true, none, none},
        {"1e3", true, none, 0x1E3},
        {"2D-3", true, none, none},
        {"1,000", true, none, none},
        {",1", false, none, none},
        {"1e", false, none, 0x1E},
        {"2147483647", true, 2147483647, none},
        {"-2147483648", true, -2147483647 - 1, none},
        {"2147483648", true, none, none},
        {"", false, none, none},
        {" ", false, none, none},
        {"-", false, none, none},
        {"1 2", false, none, none},
        {"12abc", false, none, 0x12ABC},
        {" 12", true, 12, none}, // no blank between "&H" and the digits
    };
    for (const Case& k : cases) {
        EXPECT_EQ(IsNumber(k.text), k.number) << k.text;
        EXPECT_EQ(ParseDecimal32(k.text), k.decimal) << k.text;
        EXPECT_EQ(HexToInt32(k.text), k.hex) << k.text;
    }
}

TEST(TextFunctions, JoinLinesReplaceRunsAndTokens) {
    EXPECT_EQ(JoinLines("a\r\n\r\nb\nc\r"), "a b c ");
    EXPECT_EQ(Token("\n 2 1 0 \r\n"), "2 1 0");
    EXPECT_EQ(ReplaceRuns("a\n\n\nb\nc", '\n', "|"), "a|b|c");
    EXPECT_EQ(ReplaceRuns("a||b", '|', "\r\n"), "a\r\nb");
    EXPECT_EQ(ReplaceRuns("\r\r", '\r', ""), "\r\r"); // an empty result keeps the text
    EXPECT_EQ(ReplaceRuns("", '\r', ""), "");
}

TEST(Numbers, DurationsRatesAndSizesAsAPersonReadsThem) {
    EXPECT_EQ(FormatSeconds(0.04), "0.0 s");
    EXPECT_EQ(FormatSeconds(3.21), "3.2 s");
    EXPECT_EQ(FormatSeconds(42.4), "42 s");
    EXPECT_EQ(FormatSeconds(185), "3 min 05 s");
    EXPECT_EQ(FormatSeconds(3725), "1 h 02 min");
    EXPECT_EQ(FormatSeconds(-1), "0.0 s");
    EXPECT_EQ(FormatRate(812), "812 B/s");
    EXPECT_EQ(FormatRate(52429), "51.2 KiB/s");
    EXPECT_EQ(FormatRate(1468006), "1.4 MiB/s");
    EXPECT_EQ(FormatSize(2u << 20), "2 MiB");
    EXPECT_EQ(FormatSize(64u << 10), "64 KiB");
    // A run too short to time honestly gives no rate.
    EXPECT_EQ(FormatTook(0.05, 6 << 20), "took 0.1 s");
    EXPECT_EQ(FormatTook(0.01, 6 << 20), "took 0.0 s");
    EXPECT_EQ(FormatTook(2.0, 3 << 20), "took 2.0 s, 1.5 MiB/s");
}

TEST(Numbers, FormatPercentOfProgress) {
    EXPECT_EQ(FormatPercent(0.0f), "00.0%");
    EXPECT_EQ(FormatPercent(4096.0f / 10000.0f), "41.0%");
    EXPECT_EQ(FormatPercent(8192.0f / 10000.0f), "81.9%");
    EXPECT_EQ(FormatPercent(0.05f), "05.0%");
    EXPECT_EQ(FormatPercent(1.0f), "100.0%");
    EXPECT_EQ(FormatPercent(12.2880f), "1228.8%");
    EXPECT_EQ(FormatPercent(-0.5f), "-50.0%");
}

TEST(Controls, ProgramSelectionRaisesClickAndTextFollowsIt) {
    ControlSet set;
    Control& list = set.add(C::cmbPrd, kNoIndex, Kind::ComboBox);
    int clicks = 0;
    set.onEvent([&](Control& c, Event e, const EventArgs&) {
        if (&c == &list && e == Event::Click) ++clicks;
    });
    list.addItem("1");
    list.addItem("2");
    EXPECT_EQ(list.text(), "");
    list.setListIndex(1);
    list.setListIndex(1); // the same entry again is a choice as well
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(list.text(), "2");
    list.setListIndex(2);
    list.setListIndex(-1);
    EXPECT_EQ(clicks, 2);
    list.clear();
    EXPECT_EQ(list.text(), "");
    EXPECT_EQ(list.listIndex(), -1);

    EXPECT_EQ(set(C::cmbPrd).key(), "cmbPrd");
    Control& box = set.add(C::txtFile3, 2, Kind::TextBox);
    EXPECT_EQ(&set(C::txtFile3, 2), &box);
    EXPECT_EQ(box.key(), "txtFile3(2)");
    EXPECT_THROW(set(C::txtFile3, 3), std::out_of_range);
    EXPECT_THROW(set.add(C::txtFile3, 2, Kind::TextBox), std::logic_error);
}

} // namespace
} // namespace plexmoor

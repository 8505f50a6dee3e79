#include "model/TextUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/Codepage.h"

using namespace std::literals;

namespace {

TEST(MakeWord16Test, Values) {
    struct Case {
        uint8_t high;
        uint8_t low;
        uint16_t expected;
    };
    const Case cases[] = {
        {0x00, 0x00, 0x0000}, {0x12, 0x34, 0x1234}, {0x01, 0x00, 0x0100},
        {0x00, 0xFF, 0x00FF}, {0xFF, 0xFF, 0xFFFF}, {0x80, 0x01, 0x8001},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeWord16(c.high, c.low), c.expected) << int(c.high) << " " << int(c.low);
    }
}

TEST(ReadBigEndian32Test, Values) {
    struct Case {
        std::string_view bytes;
        uint32_t expected;
    };
    const Case cases[] = {
        {"\x12\x34\x56\x78"sv, 0x12345678u},
        {"\x00\x00\x00\x00"sv, 0u},
        {"\xFF\xFF\xFF\xFE"sv, 0xFFFFFFFEu},
        {"\x80\x00\x00\x00"sv, 0x80000000u},
        // High bytes after the first must not sign-extend over their neighbours.
        {"\x00\x80\x00\xFF"sv, 0x008000FFu},
        {"\x01\x02\x03\x04\x05"sv, 0x01020304u},
        {""sv, 0u},
        {"\x12"sv, 0x12000000u},
        {"\x12\x34\x56"sv, 0x12345600u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadBigEndian32(c.bytes), c.expected) << "size " << c.bytes.size();
    }
    EXPECT_EQ(static_cast<int32_t>(ReadBigEndian32("\xFF\xFF\xFF\xFE"sv)), -2);
}

TEST(ReadBigEndian32Test, ShortInputDoesNotReadPastEnd) {
    // The view points into a larger buffer: bytes past its end must not count.
    const std::string buffer = "\x12\x34\x56\x78";
    EXPECT_EQ(ReadBigEndian32(std::string_view(buffer).substr(0, 2)), 0x12340000u);
}

struct ConversionCase {
    std::string_view input;
    std::string_view expected;
};

TEST(EncodeLineBreaksTest, Cases) {
    const ConversionCase cases[] = {
        {"", ""},
        {"no breaks", "no breaks"},
        {"a\r\nb", "a/nb"},
        {"a\nb", "a/nb"},
        {"a\rb", "ab"},
        {"\r\r\n", "/n"},
        {"\n\n", "/n/n"},
        {"line\r\n", "line/n"},
    };
    for (const ConversionCase& c : cases) {
        EXPECT_EQ(EncodeLineBreaks(c.input), c.expected) << c.input;
    }
}

TEST(DecodeLineBreaksTest, Cases) {
    const ConversionCase cases[] = {
        {"", ""},
        {"a/nb", "a\r\nb"},
        {"/n/n", "\r\n\r\n"},
        {"//n", "/\r\n"},
        {"/nn", "\r\nn"},
        {"/", "/"},
        {"a/", "a/"},
        {"n/", "n/"},
        {"/N", "/N"},
        {"a/ n", "a/ n"},
    };
    for (const ConversionCase& c : cases) {
        EXPECT_EQ(DecodeLineBreaks(c.input), c.expected) << c.input;
    }
}

TEST(DecodeLineBreaksTest, UndoesEncodeForCrLfText) {
    const std::string text = Utf8ToCp1251("Первая строка\r\nвторая\r\n\r\nконец");
    EXPECT_EQ(DecodeLineBreaks(EncodeLineBreaks(text)), text);
}

TEST(NormalizeSpacesTest, Cases) {
    const ConversionCase cases[] = {
        {"", ""},
        {"ab", "ab"},
        {" ", ""},
        {"  ", ""},
        {"     ", ""},
        {"  ab", "ab"},
        {"a b", "a b"},
        {"a   b", "a b"},
        {"ab ", "ab"},
        {"ab  ", "ab "},
        {"ab     ", "ab "},
        {"  ab  ", "ab "},
        {" a ", "a"},
        {"   ab  cd  ", "ab cd "},
        {"a  b ", "a b"},
        {"a\tb", "a\tb"},
        {"a \t  b", "a \t b"},
        {"a\r\n  b", "a\r\n b"},
    };
    for (const ConversionCase& c : cases) {
        EXPECT_EQ(NormalizeSpaces(c.input), c.expected) << "[" << c.input << "]";
    }
}

TEST(SplitVariantsTest, EverySeparatorStartsAVariant) {
    EXPECT_EQ(Cp1251ToUtf8(kVariantSeparator), kVariantSeparatorUtf8) << "one character in both encodings";
    // Written in UTF-8 and split either as it is or as cp1251: the same variants.
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"кошка", {"кошка"}},
        {"", {""}},
        {"кошка¦кот", {"кошка", "кот"}},
        {"¦", {"", ""}},
        {"один¦1¦", {"один", "1", ""}},
        {"¦¦а¦", {"", "", "а", ""}},
        // 'Ц' is D0 A6 in UTF-8: the byte 0xA6 alone separates nothing there.
        {"ЦЦ¦Ц", {"ЦЦ", "Ц"}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(SplitVariants(text, kVariantSeparatorUtf8), expected);
        std::vector<std::string> stored;
        for (const std::string& variant : expected) stored.push_back(Utf8ToCp1251(variant));
        EXPECT_EQ(SplitVariants(Utf8ToCp1251(text)), stored);
    }
}

TEST(MatchTypedAnswerTest, Cases) {
    // Written in UTF-8; '¦' is the cp1251 variant separator 0xA6.
    struct Case {
        const char* typed;
        const char* variants;
        bool expected;
    };
    const Case cases[] = {
        {"кошка", "кошк", true},
        {"большая кошка", "кошк", true},
        {"окошко", "кошк", false},
        {"КОШКА", "кошк", true},
        {"кошка", "КОШКА", true},
        {"ЁЖ", "ёж", true},
        {"Їжак", "їжак", true},
        {"Hello World", "world", true},
        {"ab", "b", false},
        {"", "кошк", false},
        {"кошка", "собака¦кошк", true},
        {"кот", "собака¦пёс", false},
        {"кот", "", true},
        {"", "", true},
        {"кот", "собака¦", true},
        {"кот", "собака¦¦пёс", true},
        {"кот", "¦собака", true},
        {"  кошка  ", "кошк", true},
        {"большая   кошка", "большая кошка", true},
        {"большая кошка", "  большая    кошка", true},
        {"большаякошка", "кошка", false},
        // One trailing space in a variant is dropped, a longer run requires
        // the typed word to end there.
        {"кошкам", "кошка ", true},
        {"кошкам", "кошка  ", false},
        {"кошка", "кошка  ", true},
        {"кошка и кот", "кошка  ", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchTypedAnswer(Utf8ToCp1251(c.typed), Utf8ToCp1251(c.variants)), c.expected)
            << "typed [" << c.typed << "] variants [" << c.variants << "]";
    }
}

TEST(FormatDurationTest, Cases) {
    struct Case {
        int32_t seconds;
        bool force;
        const char* expected;
    };
    const Case cases[] = {
        {0, false, "0 сек"},
        {59, false, "59 сек"},
        {60, false, "60 сек"},
        {61, false, "1 мин 1 сек"},
        {125, false, "2 мин 5 сек"},
        {3600, false, "60 мин 0 сек"},
        {0, true, "0 мин 0 сек"},
        {59, true, "0 мин 59 сек"},
        {120, true, "2 мин 0 сек"},
        {-5, false, "-5 сек"},
        {-61, false, "-61 сек"},
        {-61, true, "-1 мин -1 сек"},
        {std::numeric_limits<int32_t>::max(), false, "35791394 мин 7 сек"},
        {std::numeric_limits<int32_t>::min(), false, "-2147483648 сек"},
        {std::numeric_limits<int32_t>::min(), true, "-35791394 мин -8 сек"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDuration(c.seconds, c.force), Utf8ToCp1251(c.expected)) << c.expected;
    }
}

TEST(FormatDurationTest, OutputIsCp1251) {
    EXPECT_EQ(FormatDuration(61, false), "1 \xEC\xE8\xED 1 \xF1\xE5\xEA");
}

}  // namespace

TEST(TryStrToInt, AcceptsWholeNumbersOnly) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},          {"7", true, 7},
        {"  42", true, 42},      {"-5", true, -5},
        {"+5", true, 5},         {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0}, {"$FF", true, 255},
        {"0x10", true, 16},      {"$FFFFFFFF", true, -1},
        {"", false, 0},          {" ", false, 0},
        {"-", false, 0},         {"12a", false, 0},
        {"12 ", false, 0},       {"1.5", false, 0},
        {"abc", false, 0},       {"$", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        int32_t value = 12345;
        EXPECT_EQ(TryStrToInt(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        else EXPECT_EQ(value, 12345) << "failed parse must leave the value: \"" << c.text << '"';
    }
}

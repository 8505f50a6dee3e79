#include "model/Codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

using namespace std::literals;

namespace {

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) {
        s += static_cast<char>(i);
    }
    return s;
}

std::wstring Wide(std::initializer_list<uint32_t> units) {
    std::wstring s;
    for (uint32_t u : units) {
        s += static_cast<wchar_t>(u);
    }
    return s;
}

TEST(Utf8ToCp1251Test, KnownBytes) {
    struct Case {
        std::string_view utf8;
        std::string_view cp1251;
    };
    const Case cases[] = {
        {"", ""},
        {"abc 123", "abc 123"},
        {"А", "\xC0"},
        {"я", "\xFF"},
        {"Ё", "\xA8"},
        {"ё", "\xB8"},
        {"№", "\xB9"},
        {"€", "\x88"},
        {"¦", "\xA6"},
        {"\u00A0", "\xA0"},
        {"Кот 1", "\xCA\xEE\xF2 1"},
        {"\0a"sv, "\0a"sv},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
    }
}

TEST(Utf8ToCp1251Test, RussianAlphabetIsContiguous) {
    const std::string upper = Utf8ToCp1251("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
    const std::string lower = Utf8ToCp1251("абвгдежзийклмнопрстуфхцчшщъыьэюя");
    ASSERT_EQ(upper.size(), 32u);
    ASSERT_EQ(lower.size(), 32u);
    for (size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(static_cast<uint8_t>(upper[i]), 0xC0 + i) << i;
        EXPECT_EQ(static_cast<uint8_t>(lower[i]), 0xE0 + i) << i;
    }
}

TEST(Utf8ToCp1251Test, UnmappableAndMalformedBecomeQuestionMarks) {
    struct Case {
        std::string_view utf8;
        std::string_view cp1251;
        const char* what;
    };
    const Case cases[] = {
        {"é", "?", "Latin-1 letter missing from cp1251"},
        {"日本", "??", "CJK"},
        {"a😀b", "a?b", "four-byte sequence is one char"},
        {"a\x80" "b", "a?b", "stray continuation byte"},
        {"\xD0", "?", "truncated at end"},
        {"\xD0" "A", "?A", "truncated two-byte, next byte kept"},
        {"\xE2\x82" "A", "?A", "truncated three-byte counts once"},
        {"\xF0\x9F\x98", "?", "truncated four-byte counts once"},
        {"\xC0\x80", "??", "overlong two-byte"},
        {"\xE0\x80\x80", "???", "overlong three-byte"},
        {"\xED\xA0\x80", "???", "encoded surrogate"},
        {"\xF4\x90\x80\x80", "????", "above U+10FFFF"},
        {"\xFF\xFE", "??", "bytes never valid in UTF-8"},
        {"\xD0\xD0\x90", "?\xC0", "lead byte interrupted by another lead"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.what;
    }
}

TEST(Cp1251ToWideTest, KnownChars) {
    const std::map<uint8_t, uint32_t> cases = {
        {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0xC0, 0x0410}, {0xFF, 0x044F},
        {0xA8, 0x0401}, {0xB8, 0x0451}, {0xB9, 0x2116}, {0x88, 0x20AC}, {0xA0, 0x00A0},
        {0x80, 0x0402}, {0x98, 0x0098},
    };
    for (const auto& [byte, code] : cases) {
        const std::wstring wide = Cp1251ToWide(std::string(1, static_cast<char>(byte)));
        ASSERT_EQ(wide.size(), 1u) << std::hex << int(byte);
        EXPECT_EQ(static_cast<uint32_t>(wide[0]), code) << std::hex << int(byte);
    }
}

TEST(Cp1251ToWideTest, AllBytesRoundTrip) {
    const std::string all = AllBytes();
    const std::wstring wide = Cp1251ToWide(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(WideToCp1251(wide), all);
}

TEST(WideToCp1251Test, Conversions) {
    struct Case {
        std::wstring wide;
        std::string_view cp1251;
        const char* what;
    };
    const Case cases[] = {
        {L"", "", "empty"},
        {L"Abc", "Abc", "ASCII"},
        {Wide({0x0410, 0x044F, 0x0401, 0x2116}), "\xC0\xFF\xA8\xB9", "Cyrillic and No sign"},
        {Wide({0x00E9}), "?", "Latin-1 letter missing from cp1251"},
        {Wide({0x4E2D, 0xFFFF}), "??", "other BMP chars"},
        {L"a\U0001F600b", "a?b", "non-BMP literal in the platform's form"},
        {Wide({0xD83D, 0xDE00}), "?", "surrogate pair is one char"},
        {Wide({0xD800, 'a'}), "?a", "lone high surrogate"},
        {Wide({0xD83D}), "?", "high surrogate at end"},
        {Wide({0xDC00, 'a'}), "?a", "lone low surrogate"},
        {Wide({0xDE00, 0xD83D}), "??", "low before high is not a pair"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WideToCp1251(c.wide), c.cp1251) << c.what;
    }
}

TEST(WideToCp1251Test, WideValuesAboveBmpAreNotTruncated) {
    if (sizeof(wchar_t) < 4) {
        GTEST_SKIP() << "wchar_t cannot hold values above 0xFFFF here";
    }
    // Low 16 bits of these are 'A' and U+0410: a truncating conversion
    // would turn them into letters.
    EXPECT_EQ(WideToCp1251(Wide({0x10041, 0x10410, 0x1F600})), "???");
    EXPECT_EQ(WideToCp1251(Wide({0xFFFFFFFFu})), "?");
}

TEST(Cp1251ToUtf8Test, KnownChars) {
    struct Case {
        std::string_view cp1251;
        std::string_view utf8;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\xC0\xFF", "Ая"},
        {"\xA8\xB8", "Ёё"},
        {"\xB9", "№"},
        {"\x88", "€"},
        {"\x98", "\xC2\x98"},
        {"\0x"sv, "\0x"sv},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp1251ToUtf8(c.cp1251), c.utf8) << c.utf8;
    }
}

TEST(Cp1251ToUtf8Test, AllBytesRoundTrip) {
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(AllBytes())), AllBytes());
}

TEST(UpperCaseCp1251Test, EveryByte) {
    // Pairs outside the a-z and а-я ranges.
    std::map<uint8_t, uint8_t> upper = {
        {0xB8, 0xA8}, {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C},
        {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3},
        {0xB4, 0xA5}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},
    };
    for (int c = 'a'; c <= 'z'; ++c) {
        upper[static_cast<uint8_t>(c)] = static_cast<uint8_t>(c - 'a' + 'A');
    }
    for (int c = 0xE0; c <= 0xFF; ++c) {
        upper[static_cast<uint8_t>(c)] = static_cast<uint8_t>(c - 0x20);
    }
    for (int b = 0; b < 256; ++b) {
        const auto it = upper.find(static_cast<uint8_t>(b));
        const uint8_t expected = it == upper.end() ? static_cast<uint8_t>(b) : it->second;
        EXPECT_EQ(static_cast<uint8_t>(UpperCaseCharCp1251(static_cast<char>(b))), expected)
            << std::hex << b;
    }
}

TEST(UpperCaseCp1251Test, Strings) {
    struct Case {
        const char* utf8;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"ёжик в тумане, Hello 42!", "ЁЖИК В ТУМАНЕ, HELLO 42!"},
        {"ґєії ђѓљњќћџ ўјѕ", "ҐЄІЇ ЂЃЉЊЌЋЏ ЎЈЅ"},
        {"µ уже ВЕРХНИЙ", "µ УЖЕ ВЕРХНИЙ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpperCaseCp1251(Utf8ToCp1251(c.utf8)), Utf8ToCp1251(c.expected)) << c.utf8;
    }
}

TEST(Cp866ToCp1251Test, AsciiUnchanged) {
    const std::string ascii = AllBytes().substr(0, 128);
    EXPECT_EQ(Cp866ToCp1251(ascii), ascii);
}

TEST(Cp866ToCp1251Test, RussianLetters) {
    std::string upper;
    std::string lower;
    for (int b = 0x80; b <= 0x9F; ++b) {
        upper += static_cast<char>(b);
    }
    for (int b = 0xA0; b <= 0xAF; ++b) {
        lower += static_cast<char>(b);
    }
    for (int b = 0xE0; b <= 0xEF; ++b) {
        lower += static_cast<char>(b);
    }
    EXPECT_EQ(Cp866ToCp1251(upper), Utf8ToCp1251("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
    EXPECT_EQ(Cp866ToCp1251(lower), Utf8ToCp1251("абвгдежзийклмнопрстуфхцчшщъыьэюя"));
    EXPECT_EQ(Cp866ToCp1251("\x8F\xE0\xA8\xA2\xA5\xE2.txt"), Utf8ToCp1251("Привет.txt"));
}

TEST(Cp866ToCp1251Test, SingleBytes) {
    struct Case {
        uint8_t cp866;
        uint8_t cp1251;
        const char* what;
    };
    const Case cases[] = {
        {0x80, 0xC0, "А"}, {0xA0, 0xE0, "а"}, {0xE0, 0xF0, "р"}, {0xEF, 0xFF, "я"},
        {0xF0, 0xA8, "Ё"}, {0xF1, 0xB8, "ё"}, {0xF2, 0xAA, "Є"}, {0xF3, 0xBA, "є"},
        {0xF4, 0xAF, "Ї"}, {0xF5, 0xBF, "ї"}, {0xF6, 0xA1, "Ў"}, {0xF7, 0xA2, "ў"},
        {0xF8, 0xB0, "degree"}, {0xF9, '?', "bullet operator"}, {0xFA, 0xB7, "middle dot"},
        {0xFB, 'v', "square root"}, {0xFC, 0xB9, "No sign"}, {0xFD, 0xA4, "currency sign"},
        {0xFE, '?', "black square"}, {0xFF, 0xA0, "no-break space"},
        {0xC4, '-', "light horizontal"}, {0xCD, '-', "double horizontal"},
        {0xB3, '|', "light vertical"}, {0xBA, '|', "double vertical"},
        {0xDA, '+', "corner"}, {0xBC, '+', "double corner"}, {0xC3, '+', "tee"},
        {0xD1, '+', "mixed tee"}, {0xC5, '+', "cross"}, {0xCE, '+', "double cross"},
        {0xB0, '?', "light shade"}, {0xB2, '?', "dark shade"}, {0xDB, '?', "full block"},
        {0xDF, '?', "upper half block"},
    };
    for (const Case& c : cases) {
        const std::string out = Cp866ToCp1251(std::string(1, static_cast<char>(c.cp866)));
        ASSERT_EQ(out.size(), 1u) << c.what;
        EXPECT_EQ(static_cast<uint8_t>(out[0]), c.cp1251) << c.what;
    }
}

TEST(Cp1251ToCp866Test, InvertsCp866ForEveryByteItHas) {
    std::string highCp1251;
    for (int b = 0x80; b <= 0xFF; ++b) {
        highCp1251 += static_cast<char>(b);
    }
    const std::string cp866 = Cp1251ToCp866(highCp1251);
    ASSERT_EQ(cp866.size(), 128u);
    int mapped = 0;
    for (size_t i = 0; i < cp866.size(); ++i) {
        if (cp866[i] == '_') {
            continue;
        }
        ++mapped;
        EXPECT_GE(static_cast<uint8_t>(cp866[i]), 0x80) << std::hex << 0x80 + i;
        EXPECT_EQ(Cp866ToCp1251(cp866.substr(i, 1)), highCp1251.substr(i, 1)) << std::hex << 0x80 + i;
    }
    // 64 letters, Ё ё Є є Ї ї Ў ў, degree, middle dot, No sign, currency sign, no-break space.
    EXPECT_EQ(mapped, 77);
    // And from the other side: every cp866 byte with a cp1251 letter or sign comes back.
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string there = Cp866ToCp1251(one);
        if (static_cast<uint8_t>(there[0]) >= 0x80) {
            EXPECT_EQ(Cp1251ToCp866(there), one) << std::hex << b;
        }
    }
}

TEST(Cp1251ToCp866Test, Strings) {
    struct Case {
        std::string_view cp1251;
        std::string_view cp866;
        const char* what;
    };
    const Case cases[] = {
        {"", "", "empty"},
        {"INFO.SYS a_b-1+|?", "INFO.SYS a_b-1+|?", "ASCII unchanged, including the approximations"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2.txt", "\x8F\xE0\xA8\xA2\xA5\xE2.txt", "Привет"},
        {"\xA8\xB8\xB9\xA0", "\xF0\xF1\xFC\xFF", "Ё ё No sign no-break space"},
        {"\x97\x85\x88\xAB", "____", "dash, ellipsis, euro, guillemet"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp1251ToCp866(c.cp1251), c.cp866) << c.what;
    }
}

}  // namespace

#include "model/IniFile.h"

#include <gtest/gtest.h>

#include <string>

#include "model/Codepage.h"
#include "tests/core/TempDir.h"

namespace {

std::string WithLineEnds(std::initializer_list<std::string> lines, const std::string& end) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

const std::initializer_list<std::string> kSampleLines = {
    "; settings of the player",
    "Orphan=before any section",
    "[MAIN]",
    "PackLevel=3",
    "  LastQuest =  12  ",
    "Quoted=\"  spaced  \"",
    "Single='x'",
    "Mixed=\"x'",
    "Lone=\"",
    "Empty=",
    "BothQuotes=\"\"",
    "Inline=5 ; stays in the value",
    ";Commented=1",
    "  ; Indented=1",
    "NoEquals",
    "Equals=a=b",
    "",
    "[ Other ]",
    "Key=other",
    "PackLevel=from other",
    "[main]",
    "PackLevel=second main",
    "Extra=only in the second main",
    "\t[Tabbed]\t",
    "\tTab\t=\tvalue\t",
    "[Odd]Name]",
    "K=odd",
};

TEST(IniFileTest, ReadString) {
    struct Case {
        std::string section, key, expected;
    };
    const Case cases[] = {
        {"MAIN", "PackLevel", "3"},
        {"main", "PACKLEVEL", "3"},
        {"MAIN", "LastQuest", "12"},
        {"MAIN", "Quoted", "  spaced  "},
        {"MAIN", "Single", "x"},
        {"MAIN", "Mixed", "\"x'"},
        {"MAIN", "Lone", "\""},
        {"MAIN", "Empty", ""},
        {"MAIN", "BothQuotes", ""},
        {"MAIN", "Inline", "5 ; stays in the value"},
        {"MAIN", "Equals", "a=b"},
        {"MAIN", "Commented", "fallback"},
        {"MAIN", ";Commented", "fallback"},
        {"MAIN", "Indented", "fallback"},
        {"MAIN", "NoEquals", "fallback"},
        {"MAIN", "Missing", "fallback"},
        // A key of the same name elsewhere, or in a later section of the same name, is not found.
        {"MAIN", "Key", "fallback"},
        {"MAIN", "Extra", "fallback"},
        {"MAIN", "Orphan", "fallback"},
        {"Other", "Key", "other"},
        {"OTHER", "PackLevel", "from other"},
        {"Other", "Tab", "fallback"},
        {"Missing", "PackLevel", "fallback"},
        {"tabbed", "tab", "value"},
        // The last ']' closes the name.
        {"Odd]Name", "K", "odd"},
        {"Odd", "K", "fallback"},
    };
    for (const char* end : {"\r\n", "\n"}) {
        TIniFile ini;
        ini.Parse(WithLineEnds(kSampleLines, end));
        for (const Case& c : cases) {
            EXPECT_EQ(ini.ReadString(c.section, c.key, "fallback"), c.expected)
                << c.section << "/" << c.key << (end[0] == '\r' ? " CR LF" : " LF");
        }
    }
}

// A '[' line without ']' is no section header.
TEST(IniFileTest, BrokenHeaderBelongsToTheSectionAbove) {
    TIniFile ini;
    ini.Parse("[A]\r\nX=1\r\n[B]\r\n[Broken\r\nY=2\r\n");
    EXPECT_EQ(ini.ReadString("B", "Y", "none"), "2");
    EXPECT_EQ(ini.ReadString("A", "Y", "none"), "none");
}

TEST(IniFileTest, Cp1251NamesIgnoreCase) {
    TIniFile ini;
    ini.Parse(Utf8ToCp1251("[Настройки]\r\nУровень=2\r\n"));
    EXPECT_EQ(ini.ReadString(Utf8ToCp1251("НАСТРОЙКИ"), Utf8ToCp1251("уровень"), "0"), "2");
    EXPECT_EQ(ini.ReadString(Utf8ToCp1251("Настройка"), Utf8ToCp1251("Уровень"), "0"), "0");
}

TEST(IniFileTest, TextKeepsTheFileAsItWas) {
    const std::string texts[] = {
        "",
        "[MAIN]\r\n",
        WithLineEnds(kSampleLines, "\r\n"),
        "\r\n\r\n[A]\r\n\r\n",
    };
    for (const std::string& text : texts) {
        TIniFile ini;
        ini.Parse(text);
        EXPECT_EQ(ini.Text(), text);
    }
    // LF, or a missing last line end, come out as CR LF.
    TIniFile ini;
    ini.Parse("[A]\nX=1\r\nY=2");
    EXPECT_EQ(ini.Text(), "[A]\r\nX=1\r\nY=2\r\n");
}

TEST(IniFileTest, WriteString) {
    struct Case {
        const char* what;
        std::string before, section, key, value, after;
    };
    const Case cases[] = {
        {"empty file", "", "MAIN", "PackLevel", "1", "[MAIN]\r\nPackLevel=1\r\n"},
        {"replaces in place, keeping the spelling of the key",
         "[MAIN]\r\nPackLevel=0\r\nLastQuest=4\r\n", "main", "packlevel", "2",
         "[MAIN]\r\nPackLevel=2\r\nLastQuest=4\r\n"},
        {"spaces around the old key", "[MAIN]\r\n  PackLevel = 0 \r\nX=1\r\n", "MAIN", "PackLevel", "5",
         "[MAIN]\r\nPackLevel=5\r\nX=1\r\n"},
        {"first of two equal keys", "[MAIN]\r\nA=1\r\nA=2\r\n", "MAIN", "A", "9", "[MAIN]\r\nA=9\r\nA=2\r\n"},
        {"new key after the last non-empty line", "[MAIN]\r\nA=1\r\n\r\n[NEXT]\r\nB=2\r\n", "MAIN", "C", "3",
         "[MAIN]\r\nA=1\r\nC=3\r\n\r\n[NEXT]\r\nB=2\r\n"},
        {"a comment is a non-empty line", "[MAIN]\r\nA=1\r\n\r\n; note\r\n\r\n[NEXT]\r\n", "MAIN", "B", "2",
         "[MAIN]\r\nA=1\r\n\r\n; note\r\nB=2\r\n\r\n[NEXT]\r\n"},
        {"commented key stays", "[MAIN]\r\n;A=1\r\n", "MAIN", "A", "2", "[MAIN]\r\n;A=1\r\nA=2\r\n"},
        {"section without keys", "[MAIN]\r\n[NEXT]\r\n", "MAIN", "A", "1", "[MAIN]\r\nA=1\r\n[NEXT]\r\n"},
        {"key of another section untouched", "[OTHER]\r\nA=1\r\n[MAIN]\r\n", "MAIN", "A", "2",
         "[OTHER]\r\nA=1\r\n[MAIN]\r\nA=2\r\n"},
        {"first of two equal sections", "[MAIN]\r\nA=1\r\n[main]\r\nB=2\r\n", "MAIN", "B", "3",
         "[MAIN]\r\nA=1\r\nB=3\r\n[main]\r\nB=2\r\n"},
        {"new section at the end", "[MAIN]\r\nA=1\r\n\r\n", "NEXT", "B", "2",
         "[MAIN]\r\nA=1\r\n\r\n[NEXT]\r\nB=2\r\n"},
        {"lines before any section are not a section", "; top\r\nX=1\r\n", "MAIN", "X", "2",
         "; top\r\nX=1\r\n[MAIN]\r\nX=2\r\n"},
        {"LF and a missing last line end", "[MAIN]\nA=1", "MAIN", "B", "2", "[MAIN]\r\nA=1\r\nB=2\r\n"},
        {"empty value", "[MAIN]\r\nA=1\r\n", "MAIN", "A", "", "[MAIN]\r\nA=\r\n"},
        {"cp1251 names", Utf8ToCp1251("[Пример]\r\nКлюч=а\r\n"), Utf8ToCp1251("ПРИМЕР"), Utf8ToCp1251("КЛЮЧ"),
         "b", Utf8ToCp1251("[Пример]\r\nКлюч=b\r\n")},
    };
    for (const Case& c : cases) {
        TIniFile ini;
        ini.Parse(c.before);
        ini.WriteString(c.section, c.key, c.value);
        EXPECT_EQ(ini.Text(), c.after) << c.what;
        EXPECT_EQ(ini.ReadString(c.section, c.key, "fallback"), c.value) << c.what;
    }
}

TEST(IniFileTest, WrittenQuotesComeOffWhenRead) {
    TIniFile ini;
    ini.WriteString("MAIN", "Name", "\"  padded  \"");
    EXPECT_EQ(ini.Text(), "[MAIN]\r\nName=\"  padded  \"\r\n");
    EXPECT_EQ(ini.ReadString("MAIN", "Name", ""), "  padded  ");
}

TEST(IniFileTest, SaveAndLoad) {
    TTempDir dir;
    TIniFile ini;
    ini.WriteString("MAIN", "PackLevel", "2");
    ini.WriteString("MAIN", "LastQuest", "17");
    ASSERT_TRUE(ini.Save(dir / "INFO.SYS"));
    EXPECT_EQ(ReadFileBytes(dir / "INFO.SYS"), "[MAIN]\r\nPackLevel=2\r\nLastQuest=17\r\n");

    TIniFile loaded;
    ASSERT_TRUE(loaded.Load(dir / "INFO.SYS"));
    EXPECT_EQ(loaded.ReadString("MAIN", "PackLevel", "0"), "2");
    EXPECT_EQ(loaded.ReadString("MAIN", "LastQuest", "0"), "17");

    // Saving again replaces the file rather than adding to it.
    loaded.WriteString("MAIN", "LastQuest", "3");
    ASSERT_TRUE(loaded.Save(dir / "INFO.SYS"));
    EXPECT_EQ(ReadFileBytes(dir / "INFO.SYS"), "[MAIN]\r\nPackLevel=2\r\nLastQuest=3\r\n");

    EXPECT_FALSE(ini.Save(dir / "no folder" / "INFO.SYS"));
}

TEST(IniFileTest, LoadLargeFile) {
    // Larger than any read buffer.
    TTempDir dir;
    std::string text = "[MAIN]\r\n";
    for (int i = 0; i < 5000; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i * 3) + "\r\n";
    WriteFileBytes(dir / "INFO.SYS", text);
    TIniFile ini;
    ASSERT_TRUE(ini.Load(dir / "INFO.SYS"));
    EXPECT_EQ(ini.Text(), text);
    EXPECT_EQ(ini.ReadString("MAIN", "Key4999", ""), "14997");
}

TEST(IniFileTest, LoadMissingFileEmptiesTheContents) {
    TTempDir dir;
    TIniFile ini;
    ini.Parse("[MAIN]\r\nPackLevel=4\r\n");
    EXPECT_FALSE(ini.Load(dir / "INFO.SYS"));
    EXPECT_EQ(ini.Text(), "");
    EXPECT_EQ(ini.ReadString("MAIN", "PackLevel", "0"), "0");
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Payload.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "tests/core/TempDir.h"
#include "tools/GiftImport.h"
#include "tools/TestBuilder.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

using TStrings = std::vector<std::string>;

// The questions as test.json would hold them, without the settings GIFT has no word for.
ordered_json QuestionsOf(const TGiftImport& import) {
    ordered_json questions = TestSourceToJson(import.Source)["Questions"];
    for (ordered_json& q : questions) {
        EXPECT_EQ(q["Priority"], 1);
        EXPECT_EQ(q["TimeLimit"], 0);
        q.erase("Priority");
        q.erase("TimeLimit");
    }
    return questions;
}

std::string Dump(const TStrings& messages) { return ::testing::PrintToString(messages); }

}  // namespace

TEST(GiftImportTest, EveryKindWithAnEquivalentMapsToItsAnswerMode) {
    struct TCase {
        const char* Gift;
        const char* Question;  // JSON
    };
    const TCase cases[] = {
        // One "=" answer: a single choice, the other weights kept.
        {"Who is buried in Grant's tomb?{~Grant =Ulysses S. Grant#right ~%50%Grant's wife ~%-50%No one}",
         R"({"AnswerMode": "single", "Text": "Who is buried in Grant's tomb?", "Answers": [
             {"Weight": 0, "Text": "Grant"}, {"Weight": 100, "Text": "Ulysses S. Grant"},
             {"Weight": 50, "Text": "Grant's wife"}, {"Weight": -50, "Text": "No one"}]})"},
        // Weights alone: several to choose, negative ones included.
        {"Which are even? {~%50%2 ~%50%4 ~%-100%5 ~7}",
         R"({"AnswerMode": "multiple", "Text": "Which are even?", "Answers": [
             {"Weight": 50, "Text": "2"}, {"Weight": 50, "Text": "4"}, {"Weight": -100, "Text": "5"},
             {"Weight": 0, "Text": "7"}]})"},
        // Full marks by weight are as good as "=".
        {"Q {~%100%right ~%-25%wrong}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "right"}, {"Weight": -25, "Text": "wrong"}]})"},
        // Fractions round half to even.
        {"Weights {~%33.33333%a ~%33.5%b ~%34.5%c ~%-12.5%d ~%0.5%e ~%1.5%f ~%066.66667%g}",
         R"({"AnswerMode": "multiple", "Text": "Weights", "Answers": [
             {"Weight": 33, "Text": "a"}, {"Weight": 34, "Text": "b"}, {"Weight": 34, "Text": "c"},
             {"Weight": -12, "Text": "d"}, {"Weight": 0, "Text": "e"}, {"Weight": 2, "Text": "f"},
             {"Weight": 67, "Text": "g"}]})"},
        // "%" not followed by a weight is text, as Moodle reads it.
        {"Q {=%5 off ~%x%y}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "%5 off"}, {"Weight": 0, "Text": "%x%y"}]})"},
        // Short answer: equal weights are the variants of one answer.
        {"Capital of France? {=Paris =Париж =%50%Lyon#close =%50%Лион}",
         R"({"AnswerMode": "typed", "Text": "Capital of France?", "Answers": [
             {"Weight": 100, "Text": ["Paris", "Париж"]}, {"Weight": 50, "Text": ["Lyon", "Лион"]}]})"},
        {"Q {Paris}",
         R"({"AnswerMode": "typed", "Text": "Q", "Answers": [{"Weight": 100, "Text": ["Paris"]}]})"},
        {"Q {=two\\nlines}",
         R"({"AnswerMode": "typed", "Text": "Q", "Answers": [{"Weight": 100, "Text": ["two\nlines"]}]})"},
        // True/false: the right one weighs as a single choice's right answer.
        {"The Sun is a star {T}",
         R"({"AnswerMode": "single", "Text": "The Sun is a star", "Answers": [
             {"Weight": 100, "Text": "Верно"}, {"Weight": 0, "Text": "Неверно"}]})"},
        {"Q {TRUE}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "Верно"}, {"Weight": 0, "Text": "Неверно"}]})"},
        {"Q {F}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 0, "Text": "Верно"}, {"Weight": 100, "Text": "Неверно"}]})"},
        {"Q {FALSE#it is not#it is}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 0, "Text": "Верно"}, {"Weight": 100, "Text": "Неверно"}]})"},
        {"Q { true ####general}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "Верно"}, {"Weight": 0, "Text": "Неверно"}]})"},
        // Ordering: ranks in the given order.
        {"Order by size {> atom > cell#feedback > planet}",
         R"({"AnswerMode": "ordering", "Text": "Order by size", "Answers": [
             {"Weight": 1, "Text": "atom"}, {"Weight": 2, "Text": "cell"}, {"Weight": 3, "Text": "planet"}]})"},
        // Every escape; "\\" is a backslash that escapes nothing after it.
        {R"(Escapes \{ \} \= \~ \# \: \\ and\na break {=a\=b\~c#\#fb ~d\:e\\})",
         R"({"AnswerMode": "single", "Text": "Escapes { } = ~ # : \\ and\na break", "Answers": [
             {"Weight": 100, "Text": "a=b~c"}, {"Weight": 0, "Text": "d:e\\"}]})"},
        {R"(Q {=a\\~b})",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "a\\"}, {"Weight": 0, "Text": "b"}]})"},
        // Title, comments, line breaks kept in the text, answers on lines of their own.
        {"// before\n::Title::First line\n  second line, indented\n// inside\n{\n=right # fine\n~wrong\n}",
         R"({"AnswerMode": "single", "Text": "First line\n  second line, indented", "Answers": [
             {"Weight": 100, "Text": "right"}, {"Weight": 0, "Text": "wrong"}]})"},
        {"Q {=a#good ~b#bad ####general feedback}",
         R"({"AnswerMode": "single", "Text": "Q", "Answers": [
             {"Weight": 100, "Text": "a"}, {"Weight": 0, "Text": "b"}]})"},
        // Formats: html is stripped to text, answers take the question's format unless they name one.
        {"::H::[html]<p>1 &lt; 2 &amp;&amp; <b>bold</b><br/>next&nbsp;line &amp;lt;</p>{=<i>yes</i> ~[plain]<no>}",
         R"({"AnswerMode": "single", "Text": "1 < 2 && bold\nnext line &lt;", "Answers": [
             {"Weight": 100, "Text": "yes"}, {"Weight": 0, "Text": "<no>"}]})"},
        {"[html]<b>Order</b> {> &gt;1 > 2}",
         R"({"AnswerMode": "ordering", "Text": "Order", "Answers": [
             {"Weight": 1, "Text": ">1"}, {"Weight": 2, "Text": "2"}]})"},
        {"[markdown]**bold** text {=a ~b}",
         R"({"AnswerMode": "single", "Text": "**bold** text", "Answers": [
             {"Weight": 100, "Text": "a"}, {"Weight": 0, "Text": "b"}]})"},
        {"::T::[moodle]Plain <b> {=a ~b}",
         R"({"AnswerMode": "single", "Text": "Plain <b>", "Answers": [
             {"Weight": 100, "Text": "a"}, {"Weight": 0, "Text": "b"}]})"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Gift);
        const TGiftImport import = ParseGiftBank(c.Gift, "bank");
        EXPECT_EQ(import.Errors, TStrings{});
        EXPECT_EQ(import.Skipped, 0);
        EXPECT_EQ(QuestionsOf(import), ordered_json::array({ordered_json::parse(c.Question)}));
    }
}

TEST(GiftImportTest, KindsWithoutAnEquivalentAreSkippedNamingTitleOrFirstWordsAndLine) {
    const char* bank =
        "// Kinds a test cannot hold\n"                               // 1
        "::Match::Pair them {=cat -> кошка =dog -> собака}\n"          // 2
        "\n"                                                          // 3
        "What is 2+2? {#4}\n"                                         // 4
        "\n"                                                          // 5
        "::Essay::Tell about yourself {}\n"                           // 6
        "\n\n"                                                        // 7, 8
        "Just a text between questions\n"                             // 9
        "\n"                                                          // 10
        "The capital of France is {=Paris ~Lyon} for sure.\n"         // 11
        "\n"                                                          // 12
        "::Kept::Which is even? {=2 ~3}\n"                            // 13
        "\n"                                                          // 14
        "Two {=a ~b} blanks {=c ~d}\n"                                // 15
        "\n"                                                          // 16
        "// a comment first\n"                                        // 17
        "::Feedback only::Write anything {####thank you}\n"           // 18
        "\n"                                                          // 19
        "A rather long question with many words {#1:0.5}\n"           // 20
        "\n"                                                          // 21
        "Averyveryveryveryveryverylongwordwithoutanyspaces {#1..2}\n"  // 22
        "\n"                                                          // 23
        "Оченьоченьоченьоченьоченьоченьоченьоченьдлинное {#1}\n";     // 24
    const TGiftImport import = ParseGiftBank(bank, "bank");
    EXPECT_EQ(import.Errors, TStrings{});
    const std::string skipped = " has no equivalent in a test: skipped";
    EXPECT_EQ(import.Warnings, (TStrings{
                                   "line 2, question \"Match\": a matching question" + skipped,
                                   "line 4, question \"What is 2+2?\": a numerical question" + skipped,
                                   "line 6, question \"Essay\": an essay question" + skipped,
                                   "line 9, question \"Just a text between questions\": a description (a text "
                                   "without answers)" + skipped,
                                   "line 11, question \"The capital of France is\": a missing-word question (text "
                                   "after the answers)" + skipped,
                                   "line 15, question \"Two\": a missing-word question (text after the answers)" +
                                       skipped,
                                   "line 18, question \"Feedback only\": an essay question" + skipped,
                                   "line 20, question \"A rather long question with...\": a numerical question" +
                                       skipped,
                                   "line 22, question \"Averyveryveryveryveryverylongwordwithout...\": a numerical "
                                   "question" + skipped,
                                   "line 24, question \"Оченьоченьоченьоченьоченьоченьоченьочень...\": a numerical "
                                   "question" + skipped,
                               }));
    EXPECT_EQ(import.Skipped, 10);
    ASSERT_EQ(import.Source.Questions.size(), 1u);
    EXPECT_EQ(import.Source.Questions[0].Text, "Which is even?");
    EXPECT_EQ(import.QuestionLines, std::vector<int>{13});
}

TEST(GiftImportTest, ErrorsNameTheLineAndEveryBadQuestionIsReported) {
    const std::string cp1251 = " cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)";
    const std::pair<std::string, TStrings> cases[] = {
        {"First {=a ~b}\n\n::T::Text\nmore {=a\n~b", {"line 4, question \"T\": \"{\" is never closed"}},
        {"Q } {=a ~b}", {"line 1, question \"Q }\": \"}\" without its \"{\" (a brace in a text is written \\})"}},
        {"Q {=a\n{~b}}", {"line 2, question \"Q\": \"{\" inside the answers (a brace in a text is written \\{)"}},
        {"Q {~a ~b}", {"line 1, question \"Q\": no answer is right: mark one with \"=\" or give weights like ~%50%"}},
        {"Q {~%-50%a ~%0%b}",
         {"line 1, question \"Q\": no answer is right: mark one with \"=\" or give weights like ~%50%"}},
        {"Q {~a}", {"line 1, question \"Q\": a choice needs at least two answers"}},
        {"Q {=%0%a =%-10%b}", {"line 1, question \"Q\": no answer is right: give one a positive weight"}},
        {"Q\n{=a\n~%150%b}",
         {"line 3, question \"Q\": weight %150% is out of range: weights are percentages from -100 to 100"}},
        {"Q {=a ~%-100.5%b}",
         {"line 1, question \"Q\": weight %-100.5% is out of range: weights are percentages from -100 to 100"}},
        {"Q {=a ~%12345%b}",
         {"line 1, question \"Q\": weight %12345% is out of range: weights are percentages from -100 to 100"}},
        {"Q {=a ~ #feedback}", {"line 1, question \"Q\": an empty answer"}},
        {"Q {=a\n~[html]<p></p>}", {"line 2, question \"Q\": an empty answer"}},
        {"Q {> only}", {"line 1, question \"Q\": an ordering needs at least two items"}},
        {"Q {> a >> b}", {"line 1, question \"Q\": an empty answer"}},
        {"Q {=a¦b}", {"line 1, question \"Q\": an answer cannot hold \"¦\": it separates the variants"}},
        {"::T Q {=a ~b}", {"line 1: the title has no closing \"::\""}},
        {"Q \x03 {=a ~b}", {"line 1: a control character in the text"}},
        {"Q\nline ✓ {=a ~b}", {"line 2, question \"Q line ✓\": character \"✓\" (U+2713)" + cp1251}},
        {"Q {=a\n~b → c}", {"line 2, question \"Q\": character \"→\" (U+2192)" + cp1251}},
        {"Q {=a ~b}\n\n\xC2\xEE\xEF\xF0\xEE\xF1 {=a ~b}", {"line 3: not UTF-8 text (the bank must be saved as UTF-8)"}},
        {"", {"the bank holds no questions"}},
        {"// only a comment\n$CATEGORY: x\n", {"the bank holds no questions"}},
        {"Q {#1}\n\nR {}", {"none of the bank's questions has an equivalent in a test"}},
        {"A {~a ~b}\n\nB {=x ~y}\n\n// C\nC {=z",
         {"line 1, question \"A\": no answer is right: mark one with \"=\" or give weights like ~%50%",
          "line 6, question \"C\": \"{\" is never closed"}},
    };
    for (const auto& [gift, errors] : cases) {
        SCOPED_TRACE(gift);
        const TGiftImport import = ParseGiftBank(gift, "bank");
        EXPECT_FALSE(import.Ok());
        EXPECT_EQ(import.Errors, errors);
    }
    EXPECT_EQ(ParseGiftBank("A {~a ~b}\n\nB {=x ~y}", "bank").Source.Questions.size(), 1u)
        << "the good questions are read on";
}

TEST(GiftImportTest, TypedAnswersOfDifferentWeightsWarnThatTheyAddUp) {
    const std::pair<const char*, TStrings> cases[] = {
        {"Q {=a =%50%b =%25%c}",
         {"line 1, question \"Q\": typed answers of different weights add up: the best one alone scores 100 of 175"}},
        {"Q {=a =b =%-50%c}", {}},
        {"Q {=%50%a =%50%b}", {}},
    };
    for (const auto& [gift, warnings] : cases) {
        SCOPED_TRACE(gift);
        const TGiftImport import = ParseGiftBank(gift, "bank");
        EXPECT_EQ(import.Errors, TStrings{});
        EXPECT_EQ(import.Warnings, warnings);
    }
}

TEST(GiftImportTest, TheNameIsTheFirstCategorysLastPartElseTheBanksName) {
    const TGiftImport withCategory = ParseGiftBank(
        "// bank\n$CATEGORY: $course$/top/Физика//Оптика/\n\nQ {=a ~b}\n\n$CATEGORY: $course$/top/other\n", "bank");
    EXPECT_EQ(withCategory.Source.Name, "Физика/Оптика");
    EXPECT_EQ(withCategory.NameLine, 2);

    const TGiftImport without = ParseGiftBank("Q {=a ~b}", "Биология");
    EXPECT_EQ(without.Source.Name, "Биология");
    EXPECT_EQ(without.NameLine, 0);

    // Everything else is the source format's defaults.
    TTestSource defaults;
    defaults.Name = "Биология";
    defaults.Questions = without.Source.Questions;
    EXPECT_EQ(TestSourceToJson(without.Source), TestSourceToJson(defaults));
}

TEST(GiftImportTest, ByteOrderMarkAndWindowsLineEndsAreRead) {
    const TGiftImport import = ParseGiftBank("\xEF\xBB\xBFQ {=a ~b}\r\n  \r\nR\r\nline {=c\r\n~d}\r\n", "bank");
    EXPECT_EQ(import.Errors, TStrings{});
    ASSERT_EQ(import.Source.Questions.size(), 2u);
    EXPECT_EQ(import.Source.Questions[0].Text, "Q");
    EXPECT_EQ(import.Source.Questions[1].Text, "R\nline");
    EXPECT_EQ(import.Source.Questions[1].Answers[1].Text, "d");
    EXPECT_EQ(import.QuestionLines, (std::vector<int>{1, 3}));
}

TEST(GiftImportTest, SettingsOverrideTheDefaultsAndANameGivenWins) {
    TTestSource source = ParseGiftBank("$CATEGORY: Физика\nQ {=a ~b}", "bank").Source;
    ApplySourceSettings(source, R"({"MaxScore": 10, "PasswordTail": "x1", "ShowMark": false})", "s.json");
    EXPECT_EQ(source.Name, "Физика");
    EXPECT_EQ(source.MaxScore, 10);
    EXPECT_EQ(source.PasswordTail, std::optional<std::string>("x1"));
    EXPECT_FALSE(source.ShowMark);
    EXPECT_EQ(source.AnswerFontSize, 12);
    ASSERT_EQ(source.Questions.size(), 1u);
    ApplySourceSettings(source, R"({"Name": "Оптика", /* a comment */ "QuestionsPerTest": 1})", "s.json");
    EXPECT_EQ(source.Name, "Оптика");
    EXPECT_EQ(source.MaxScore, 5) << "each file of settings starts from the defaults";
    EXPECT_EQ(source.QuestionsPerTest, std::optional<int64_t>(1));
    EXPECT_EQ(source.Questions.size(), 1u);

    const std::pair<const char*, const char*> errors[] = {
        {R"({"MaxScore": "ten"})", "s.json: MaxScore: expected a whole number, found a text"},
        {R"({"Questions": []})", "s.json: \"Questions\" cannot be given here: the questions come from the bank"},
        {R"({"MaxScor": 1})", "s.json: unknown key \"MaxScor\" (did you mean \"MaxScore\"?)"},
        {R"({"MaxScore": )", "s.json: broken JSON: parse error at line 1, column 14"},
        {"[1]", "s.json: expected an object, found a list"},
    };
    for (const auto& [json, message] : errors) {
        SCOPED_TRACE(json);
        try {
            ApplySourceSettings(source, json, "s.json");
            ADD_FAILURE() << "no error";
        } catch (const ESourceError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, std::string(message).size()), message) << e.what();
        }
    }
}

class GiftImportFileTest : public ::testing::Test {
public:
    TTempDir dir;
    TPath bank = dir / "Биология.txt";
    TPath out = dir / "src";

    TGiftImport Import(const std::string& gift, const TPath& settings = {}, bool overwrite = false) {
        WriteFileBytes(bank, gift);
        TGiftImportOptions options;
        options.Bank = bank;
        options.Output = out;
        options.Settings = settings;
        options.Overwrite = overwrite;
        return ImportGiftFile(options);
    }
};

TEST_F(GiftImportFileTest, WritesATestJsonThatReadsBackAsTheImport) {
    WriteFileBytes(dir / "settings.json", R"({"MaxScore": 12, "SequentialOrder": true})");
    const TGiftImport import =
        Import("Q\nsecond line {=a =b ~c}\n\nC {=Paris =%50%Lyon}\n\nE {}", dir / "settings.json");
    ASSERT_EQ(import.Errors, TStrings{});
    EXPECT_EQ(import.Warnings,
              (TStrings{"line 4, question \"C\": typed answers of different weights add up: the best one alone "
                        "scores 100 of 150",
                        "line 6, question \"E\": an essay question has no equivalent in a test: skipped"}));
    const TTestSource read = ReadTestSource(out);
    EXPECT_EQ(read.Name, "Биология");
    EXPECT_EQ(read.MaxScore, 12);
    EXPECT_TRUE(read.SequentialOrder);
    EXPECT_EQ(TestSourceToJson(read), TestSourceToJson(import.Source));
    EXPECT_EQ(read.Questions.at(0).Text, "Q\nsecond line");
    EXPECT_EQ(read.Questions.at(1).Answers.at(0).Variants, (TStrings{"Paris"}));
    EXPECT_EQ(CheckTestFolder(out).Errors, TStrings{});
}

TEST_F(GiftImportFileTest, AnExistingTestJsonIsReplacedOnlyWhenAsked) {
    ASSERT_TRUE(Import("Q {=a ~b}").Ok());
    const std::string first = ReadFileBytes(out / "test.json");
    const TGiftImport again = Import("R {=a ~b}");
    EXPECT_EQ(again.Errors, TStrings{(out / "test.json").u8string() + " exists already (--force replaces it)"});
    EXPECT_EQ(ReadFileBytes(out / "test.json"), first);
    ASSERT_TRUE(Import("R {=a ~b}", {}, true).Ok());
    EXPECT_EQ(ReadTestSource(out).Questions.at(0).Text, "R");
}

TEST_F(GiftImportFileTest, WhatTheCheckFindsIsReportedAtTheBanksLineAndNothingIsWritten) {
    std::string many = "::Many::Q {=a";
    for (int i = 0; i < 255; ++i) many += " ~" + std::to_string(i);
    many += "}";
    const std::pair<std::string, std::string> cases[] = {
        {"A {=a ~b}\n\n\n" + many, "line 4: 256 answers, at most 255 fit"},
        {"$CATEGORY: top/Физика ✓\n\nQ {=a ~b}",
         "line 1, Name: character \"✓\" (U+2713) cannot be stored: test texts are in Windows-1251 (Cyrillic and "
         "Latin)"},
    };
    for (const auto& [gift, error] : cases) {
        SCOPED_TRACE(gift.substr(0, 30));
        EXPECT_EQ(Import(gift).Errors, TStrings{error});
        EXPECT_FALSE(fs::exists(out));
    }
    WriteFileBytes(dir / "settings.json", R"({"MaxScore": 0})");
    EXPECT_EQ(Import("Q {=a ~b}", dir / "settings.json").Errors, TStrings{"MaxScore: 0 is out of range (1 to 2147483647)"});
    WriteFileBytes(dir / "settings.json", R"({"Name": "Физика ✓"})");
    EXPECT_EQ(Import("$CATEGORY: top\nQ {=a ~b}", dir / "settings.json").Errors,
              TStrings{"Name: character \"✓\" (U+2713) cannot be stored: test texts are in Windows-1251 (Cyrillic and "
                       "Latin)"})
        << "a name from the settings has no line in the bank";
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(GiftImportFileTest, UnreadableFilesAreErrors) {
    TGiftImportOptions options;
    options.Bank = dir / "missing.txt";
    options.Output = out;
    EXPECT_EQ(ImportGiftFile(options).Errors, TStrings{options.Bank.u8string() + ": cannot be read"});
    EXPECT_EQ(Import("Q {=a ~b}", dir / "none.json").Errors,
              TStrings{(dir / "none.json").u8string() + ": cannot be read"});
    EXPECT_FALSE(fs::exists(out));
}

// The imported bank built into a test and opened as the player opens it.
TEST_F(GiftImportFileTest, AnImportedBankBuildsIntoATestThePlayerReads) {
    const char* gift =
        "$CATEGORY: $course$/top/Биология\n"
        "\n"
        "::Клетка::Что такое\nклетка? {=Единица жизни ~%-50%Молекула ~Орган}\n"
        "\n"
        "Чётные? {~%50%2 ~%50%4 ~%-100%5}\n"
        "\n"
        "Столица Франции? {=Париж =Paris =%50%Лион}\n"
        "\n"
        "Вода кипит при 100 \\{°C\\} {T}\n"
        "\n"
        "По возрастанию {> атом > клетка > организм}\n"
        "\n"
        "Пары {=a -> b =c -> d}\n";
    const TGiftImport import = Import(gift);
    ASSERT_EQ(import.Errors, TStrings{});
    EXPECT_EQ(import.Skipped, 1);

    const TPath player = dir / "testplayer.exe";
    WriteFileBytes(player, "MZ a stand-in for the player");
    TBuildOptions options;
    options.Player = player;
    options.Output = dir / "test.exe";
    const TBuildResult built = BuildTest(ReadTestSource(out), options);
    ASSERT_TRUE(built.Ok()) << Dump(built.Report.Errors);
    EXPECT_EQ(built.Report.Warnings, TStrings{});
    EXPECT_EQ(built.Questions, 5);

    TPayloadInfo payload;
    ReadPayload(options.Output, payload);
    ASSERT_FALSE(payload.ArchiveFile.empty());
    const TPath archive = dir / "archive.tmp";
    fs::copy_file(payload.ArchiveFile, archive);
    DeleteFileAt(payload.ArchiveFile);

    const TZipSignatures saved = ZipSignatures();
    SetZipSignatures(kTestArchiveSignatures);
    {
        TZipTest test;
        test.SetTempBase(dir / "work");
        ASSERT_TRUE(test.OpenTest(archive, payload.PasswordTail)) << int(test.LastError);
        EXPECT_EQ(test.GetComment(), Utf8ToCp1251("Биология"));
        ASSERT_EQ(test.QuestionCount(), 5);
        struct TExpected {
            uint8_t Mode;
            const char* Text;
            std::vector<std::pair<int, const char*>> Answers;
        };
        const TExpected expected[] = {
            {0, "Что такое/nклетка?", {{100, "Единица жизни"}, {-50, "Молекула"}, {0, "Орган"}}},
            {2, "Чётные?", {{50, "2"}, {50, "4"}, {-100, "5"}}},
            {1, "Столица Франции?", {{100, "Париж¦Paris"}, {50, "Лион"}}},
            {0, "Вода кипит при 100 {°C}", {{100, "Верно"}, {0, "Неверно"}}},
            {3, "По возрастанию", {{1, "атом"}, {2, "клетка"}, {3, "организм"}}},
        };
        for (int32_t n = 0; n < 5; ++n) {
            SCOPED_TRACE(n);
            TTestQuestion q;
            test.LoadQuestion(n, q);
            ASSERT_EQ(test.LastError, kZipTestOk);
            const TExpected& e = expected[n];
            EXPECT_EQ(q.AnswerMode, e.Mode);
            EXPECT_EQ(q.Priority, 1);
            EXPECT_EQ(q.Text, Utf8ToCp1251(e.Text));
            ASSERT_EQ(q.Answers.size(), e.Answers.size());
            for (size_t a = 0; a < e.Answers.size(); ++a) {
                EXPECT_EQ(q.Answers[a].Weight, e.Answers[a].first) << a;
                EXPECT_EQ(q.Answers[a].Text, Utf8ToCp1251(e.Answers[a].second)) << a;
            }
        }
    }
    SetZipSignatures(saved);
}

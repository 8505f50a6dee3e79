#include <gtest/gtest.h>

#include <filesystem>

#include "tests/core/TempDir.h"
#include "tools/TestSource.h"

namespace fs = std::filesystem;

namespace {

std::string ParseError(const std::string& json) {
    try {
        ParseTestSource(json, "folder");
    } catch (const ESourceError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(TestSourceRead, AMinimalSourceTakesTheDefaults) {
    TTestSource s = ParseTestSource(R"({"Questions": [{"Text": "2+2?", "Answers": [{"Text": "4"}]}]})",
                                    fs::path("tests") / "Физика");
    EXPECT_EQ(s.Name, "Физика");
    EXPECT_EQ(s.InfoText, "");
    EXPECT_EQ(s.MaxScore, 5);
    EXPECT_EQ(s.QuestionFontSize, 14);
    EXPECT_EQ(s.AnswerFontSize, 12);
    EXPECT_EQ(s.EffectSteps, 10);
    EXPECT_TRUE(s.ShowMark);
    EXPECT_EQ(s.LimitSeconds, 0);
    EXPECT_FALSE(s.QuestionsPerTest.has_value());
    EXPECT_EQ(s.EffectiveQuestionsPerTest(), 1);
    EXPECT_FALSE(s.KeepAnswerOrder);
    EXPECT_EQ(s.ShowRightAnswer, 0);
    EXPECT_EQ(s.SkipsAllowed, 0);
    EXPECT_FALSE(s.PasswordTail.has_value());
    EXPECT_EQ(s.PackLevel, 6);
    ASSERT_EQ(s.Questions.size(), 1u);
    const TSourceQuestion& q = s.Questions[0];
    EXPECT_EQ(q.AnswerMode, amSingle);
    EXPECT_EQ(q.Priority, 1);
    EXPECT_EQ(q.TimeLimit, 0);
    EXPECT_TRUE(q.Attach.File.empty());
    ASSERT_EQ(q.Answers.size(), 1u);
    EXPECT_EQ(q.Answers[0].Weight, 0);
    EXPECT_EQ(q.Answers[0].Text, "4");
}

TEST(TestSourceRead, TheFolderNameIsTheDefaultNameHoweverTheFolderIsWritten) {
    TTempDir dir;
    fs::create_directory(dir / "Химия");
    WriteFileBytes(dir / "Химия" / "test.json", R"({"Questions": []})");
    EXPECT_EQ(ReadTestSource(dir / "Химия").Name, "Химия");
    EXPECT_EQ(ReadTestSource(dir.Path() / "Химия" / "").Name, "Химия");
    EXPECT_EQ(ReadTestSource(dir / "Химия" / "test.json").Name, "Химия") << "the test.json itself may be named";
    EXPECT_EQ(ParseTestSource(R"({"Name": ""})", dir / "Химия").Name, "") << "an explicit name wins";
}

TEST(TestSourceRead, EveryKeyReachesItsField) {
    TTestSource s = ParseTestSource(R"({
        "Name": "N", "InfoText": "I", "ExtraFieldCaption": "C", "MaxScore": 10, "QuestionFontSize": 20,
        "AnswerFontSize": 16, "EffectSteps": 0, "ShowMark": false, "LimitSeconds": 600, "LimitWholeTest": true,
        "NoLimitForInput": true, "QuestionsPerTest": 7, "SequentialOrder": true, "KeepAnswerOrder": true,
        "ShowRightAnswer": 2, "SkipsAllowed": 3, "PasswordTail": "", "PackLevel": 9,
        "Questions": [{
            "AnswerMode": "ordering", "Priority": -3, "TimeLimit": 90, "Text": "T",
            "Attach": {"File": "a.jpg", "AutoPlay": true, "ReplaceText": true, "InPopup": true, "ScaleMode": 2,
                       "Width": 640, "Height": 480, "Option4": true, "Option6": true, "Option7": true},
            "Answers": [{"Weight": -5, "Text": "x", "Attach": "b.wav"}]
        }]
    })",
                                    "folder");
    EXPECT_EQ(s.Name, "N");
    EXPECT_EQ(s.InfoText, "I");
    EXPECT_EQ(s.ExtraFieldCaption, "C");
    EXPECT_EQ(s.MaxScore, 10);
    EXPECT_EQ(s.QuestionFontSize, 20);
    EXPECT_EQ(s.AnswerFontSize, 16);
    EXPECT_EQ(s.EffectSteps, 0);
    EXPECT_FALSE(s.ShowMark);
    EXPECT_EQ(s.LimitSeconds, 600);
    EXPECT_TRUE(s.LimitWholeTest);
    EXPECT_TRUE(s.NoLimitForInput);
    EXPECT_EQ(s.QuestionsPerTest, 7);
    EXPECT_TRUE(s.SequentialOrder);
    EXPECT_TRUE(s.KeepAnswerOrder);
    EXPECT_EQ(s.ShowRightAnswer, 2);
    EXPECT_EQ(s.SkipsAllowed, 3);
    EXPECT_EQ(s.PasswordTail, std::optional<std::string>(""));
    EXPECT_EQ(s.PackLevel, 9);
    const TSourceQuestion& q = s.Questions.at(0);
    EXPECT_EQ(q.AnswerMode, amOrdering);
    EXPECT_EQ(q.Priority, -3);
    EXPECT_EQ(q.TimeLimit, 90);
    EXPECT_EQ(q.Text, "T");
    TSourceAttach attach;
    attach.File = "a.jpg";
    attach.AutoPlay = attach.ReplaceText = attach.InPopup = attach.Option4 = attach.Option6 = attach.Option7 = true;
    attach.ScaleMode = 2;
    attach.Width = 640;
    attach.Height = 480;
    EXPECT_TRUE(q.Attach == attach);
    const TSourceAnswer& a = q.Answers.at(0);
    EXPECT_EQ(a.Weight, -5);
    EXPECT_EQ(a.Text, "x");
    EXPECT_EQ(a.Attach.File, "b.wav");
    EXPECT_FALSE(a.Attach.HasOptions());
}

TEST(TestSourceRead, AnswerModesByNameOrNumber) {
    const std::pair<const char*, uint8_t> cases[] = {
        {R"("single")", amSingle},
        {R"("typed")", amTyped},
        {R"("multiple")", amMultiple},
        {R"("Ordering")", amOrdering},
        {"0", amSingle},
        {"1", amTyped},
        {"2", amMultiple},
        {"3", amOrdering},
    };
    for (const auto& [mode, expected] : cases) {
        SCOPED_TRACE(mode);
        TTestSource s = ParseTestSource(std::string(R"({"Questions": [{"AnswerMode": )") + mode + "}]}", "f");
        EXPECT_EQ(s.Questions.at(0).AnswerMode, expected);
    }
}

TEST(TestSourceRead, TypedVariantsAsAListOrSeparatedByTheBrokenBar) {
    TTestSource s = ParseTestSource(R"({"Questions": [{"AnswerMode": "typed", "Answers": [
        {"Text": ["Москва", "Moscow"]}, {"Text": "один¦1¦"}, {"Text": "одно"}, {"Text": []}, {}]}]})",
                                    "f");
    const auto& answers = s.Questions.at(0).Answers;
    ASSERT_EQ(answers.size(), 5u);
    EXPECT_EQ(answers[0].Variants, (std::vector<std::string>{"Москва", "Moscow"}));
    EXPECT_EQ(answers[1].Variants, (std::vector<std::string>{"один", "1", ""}));
    EXPECT_EQ(answers[2].Variants, (std::vector<std::string>{"одно"}));
    EXPECT_TRUE(answers[3].Variants.empty());
    EXPECT_TRUE(answers[4].Variants.empty());
    EXPECT_EQ(answers[1].Text, "") << "typed answers keep their text only as variants";
}

TEST(TestSourceRead, BadSourcesGiveOneMessageNamingThePlace) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"Name": "x",})", "test.json: broken JSON: parse error at line 1, column 14"},
        {"", "test.json: broken JSON"},
        {R"(["not", "an", "object"])", "test.json: expected an object, found a list"},
        {R"({"MaxScore": "5"})", "MaxScore: expected a whole number, found a text"},
        {R"({"MaxScore": 4.5})", "MaxScore: expected a whole number, found a number with a fraction"},
        {R"({"ShowMark": 1})", "ShowMark: expected true or false, found a number"},
        {R"({"InfoText": null})", "InfoText: expected a text, found null"},
        {R"({"PasswordTail": 1234})", "PasswordTail: expected a text, found a number"},
        {R"({"Questions": {}})", "Questions: expected a list, found an object"},
        {R"({"Questions": [{}, "text"]})", "question 2: expected an object, found a text"},
        {R"({"Qestions": []})", R"(test.json: unknown key "Qestions" (did you mean "Questions"?))"},
        {R"({"Colour": "red"})", R"(test.json: unknown key "Colour")"},
        {R"({"Questions": [{"Answers": [{}, {"Wieght": 1}]}]})",
         R"(question 1, Answers[2]: unknown key "Wieght" (did you mean "Weight"?))"},
        {R"({"Questions": [{"Attach": {"File": "a.jpg", "Autoplay": true}}]})",
         R"(question 1, Attach: unknown key "Autoplay" (did you mean "AutoPlay"?))"},
        {R"({"Questions": [{}, {"AnswerMode": "essay"}]})", R"(question 2, AnswerMode: unknown answer mode "essay")"},
        {R"({"Questions": [{"AnswerMode": 4}]})", "question 1, AnswerMode: unknown answer mode 4"},
        {R"({"Questions": [{"AnswerMode": true}]})", "question 1, AnswerMode: expected an answer mode"},
        {R"({"Questions": [{"Answers": [{"Weight": 1.5}]}]})",
         "question 1, Answers[1].Weight: expected a whole number, found a number with a fraction"},
        {R"({"Questions": [{"Answers": [{"Text": ["a", "b"]}]}]})",
         "question 1, Answers[1].Text: a list of variants is only for typed answers"},
        {R"({"Questions": [{"AnswerMode": "typed", "Answers": [{"Text": ["a", 2]}]}]})",
         "question 1, Answers[1].Text[2]: expected a text, found a number"},
        {R"({"Questions": [{"AnswerMode": "typed", "Answers": [{"Text": ["a", "b¦c"]}]}]})",
         "question 1, Answers[1].Text[2]: a variant cannot hold"},
        {R"({"Questions": [{"AnswerMode": "typed", "Answers": [{"Text": {}}]}]})",
         "question 1, Answers[1].Text: expected a text or a list of texts, found an object"},
        {R"({"Questions": [{"Attach": 5}]})", "question 1, Attach: expected a file name or an object, found a number"},
        {R"({"Questions": [{"Attach": ""}]})", "question 1, Attach: the file name is empty"},
        {R"({"Questions": [{"Answers": [{"Attach": {"File": ""}}]}]})",
         "question 1, Answers[1].Attach.File: the file name is empty"},
        {R"({"Questions": [{"Attach": {"Width": "wide"}}]})",
         "question 1, Attach.Width: expected a whole number, found a text"},
    };
    for (const auto& [json, expected] : cases) {
        SCOPED_TRACE(json);
        const std::string message = ParseError(json);
        EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
    }
}

TEST(TestSourceRead, FolderProblems) {
    TTempDir dir;
    EXPECT_THROW(ReadTestSource(dir / "missing"), ESourceError);
    EXPECT_THROW(ReadTestSource(dir.Path()), ESourceError) << "a folder without test.json";
    // Notepad's byte order mark and comments are no problem.
    WriteFileBytes(dir / "test.json", "\xEF\xBB\xBF{ // the name\n\"Name\": \"t\"}");
    EXPECT_EQ(ReadTestSource(dir.Path()).Name, "t");
}

TEST(TestSourceWrite, WritesEverySettingAndReadsBackTheSame) {
    TTestSource s = ParseTestSource(R"({
        "Name": "Тест", "InfoText": "две\nстроки", "ExtraFieldCaption": "Группа", "MaxScore": 12,
        "QuestionFontSize": 18, "AnswerFontSize": 11, "EffectSteps": 3, "ShowMark": false, "LimitSeconds": 60,
        "LimitWholeTest": true, "NoLimitForInput": true, "SequentialOrder": true, "KeepAnswerOrder": true,
        "ShowRightAnswer": 1, "SkipsAllowed": 2, "PasswordTail": "tail", "PackLevel": 0,
        "Questions": [
            {"AnswerMode": "typed", "Priority": 2, "TimeLimit": 30, "Text": "q", "Answers": [
                {"Weight": 3, "Text": ["a", "b"]}]},
            {"AnswerMode": 2, "Attach": {"InPopup": true}, "Answers": [
                {"Text": "x", "Attach": {"File": "p.bmp", "Width": 10}}, {"Text": "y", "Attach": "s.wav"}]}
        ]})",
                                    "f");
    const nlohmann::ordered_json written = TestSourceToJson(s);
    EXPECT_EQ(written["QuestionsPerTest"], 2) << "the default is written out";
    EXPECT_EQ(written["Questions"][0]["Answers"][0]["Text"], nlohmann::ordered_json({"a", "b"}));
    EXPECT_EQ(written["Questions"][1]["AnswerMode"], "multiple");
    EXPECT_EQ(written["Questions"][1]["Attach"], nlohmann::ordered_json({{"InPopup", true}}))
        << "options without a file stay";
    EXPECT_EQ(written["Questions"][1]["Answers"][0]["Attach"],
              nlohmann::ordered_json({{"File", "p.bmp"}, {"Width", 10}}));
    EXPECT_EQ(written["Questions"][1]["Answers"][1]["Attach"], "s.wav") << "a bare file stays a string";
    EXPECT_FALSE(written["Questions"][0].contains("Attach"));
    EXPECT_EQ(written.begin().key(), "Name");
    EXPECT_EQ((--written.end()).key(), "Questions") << "the questions come last, after the settings";

    const TTestSource again = ParseTestSource(written.dump(), "elsewhere");
    EXPECT_EQ(TestSourceToJson(again), written);

    s.PasswordTail.reset();
    EXPECT_FALSE(TestSourceToJson(s).contains("PasswordTail")) << "no tail yet: the build draws one";
}

TEST(TestSourceText, FirstCharacterWindows1251CannotHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain text? yes", ""},
        {"Привет, мир! Ёё Ўў Її Ґґ", ""},
        {"цена 5 € — «в кавычках» №1 ™", ""},  // all of these have cp1251 bytes
        {"\xC2\x98", ""},                      // U+0098 stands for the one undefined byte
        {"ok ✓ done ✗", "✓"},
        {"smile 😀", "😀"},
        {"café", "é"},
        {"日本", "日"},
        {std::string("broken \xFF byte"), "\xFF"},
        {std::string("cut \xD0"), "\xD0"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(FirstNonCp1251(text), expected);
    }
    EXPECT_EQ(CodePointName("A"), "U+0041");
    EXPECT_EQ(CodePointName("é"), "U+00E9");
    EXPECT_EQ(CodePointName("✓"), "U+2713");
    EXPECT_EQ(CodePointName("😀"), "U+1F600");
}

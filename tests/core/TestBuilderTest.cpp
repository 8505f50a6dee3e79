#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/core/PictureTestData.h"
#include "tests/core/TempDir.h"
#include "tests/core/ZipTestUtil.h"
#include "tools/TestBuilder.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

const std::string kPlayerBytes = "MZ a stand-in for the player";

// Attachments the player's readers accept.
std::string Jpeg() { return jpegtest::EncodeJpeg({16, 8}, jpegtest::Quadrants); }
std::string Wav(const std::string& data) {
    std::string b = "RIFF";
    picturedata::Put32(b, static_cast<uint32_t>(4 + data.size()));
    return b + "WAVE" + data;
}

// A source folder, a player and an output path in a fresh folder.
class BuilderFixture : public ::testing::Test {
public:
    TTempDir dir;
    TPath src = dir / "src";
    TPath player = dir / "testplayer.exe";
    TPath output = dir / "out" / "test.exe";

    TZipSignatures savedSignatures = ZipSignatures();

    void SetUp() override {
        fs::create_directories(src);
        WriteFileBytes(player, kPlayerBytes);
    }
    void TearDown() override { SetZipSignatures(savedSignatures); }

    void Write(const std::string& name, const std::string& bytes) {
        fs::create_directories((src / fs::u8path(name)).parent_path());
        WriteFileBytes(src / fs::u8path(name), bytes);
    }

    TTestSource Source(const ordered_json& json) { return ParseTestSource(json.dump(), src); }

    TBuildResult Build(const TTestSource& source, const TPath& out) {
        TBuildOptions options;
        options.Player = player;
        options.Output = out;
        return BuildTest(source, options);
    }
};

// Reads a built test back: its settings and every entry, decompressed.
struct TBuiltTest {
    TPayloadInfo Payload;
    std::string Comment;
    std::vector<TZipEntry> Entries;
    std::map<std::string, std::string> Files;

    explicit TBuiltTest(const TPath& exe) {
        ReadPayload(exe, Payload);
        EXPECT_FALSE(Payload.ArchiveFile.empty()) << "no payload in " << exe;
        if (Payload.ArchiveFile.empty()) return;
        TZipSignatures saved = ZipSignatures();
        SetZipSignatures(kTestArchiveSignatures);
        {
            TZipArchive zip;
            zip.SetArchiveFile(Payload.ArchiveFile);
            zip.SetPassword(kArchivePasswordText + Payload.PasswordTail);
            zip.ReadDirectory();
            Comment = zip.Comment();
            Entries = zip.Entries();
            for (const TZipEntry& entry : Entries) {
                EXPECT_TRUE(zip.ExtractToMemory(entry.Name, Files[entry.Name])) << entry.Name;
            }
        }
        SetZipSignatures(saved);
        DeleteFileAt(Payload.ArchiveFile);
        Payload.ArchiveFile.clear();
    }
};

ordered_json MinimalTest() {
    return ordered_json::parse(
        R"({"Questions": [{"Text": "2+2?", "Answers": [{"Weight": 1, "Text": "4"}, {"Text": "5"}]}]})");
}

// Every feature the format has, so that a round trip has something to lose.
ordered_json FullTest() {
    return ordered_json::parse(R"({
        "Name": "Физика, 9 класс", "InfoText": "Прочтите вопросы.\nУдачи!", "ExtraFieldCaption": "Класс",
        "MaxScore": 10, "QuestionFontSize": 16, "AnswerFontSize": 13, "EffectSteps": 0, "ShowMark": false,
        "LimitSeconds": 900, "LimitWholeTest": true, "NoLimitForInput": true, "QuestionsPerTest": 3,
        "SequentialOrder": true, "KeepAnswerOrder": true, "ShowRightAnswer": 2, "SkipsAllowed": 1,
        "PasswordTail": "Хвост-7", "PackLevel": 3,
        "Questions": [
            {"Text": "Что на рисунке?\r\nОтветьте.", "Priority": 3, "TimeLimit": 120,
             "Attach": {"File": "media/Рисунок.jpeg", "ScaleMode": 2, "Width": 320, "Height": 200, "InPopup": true},
             "Answers": [{"Weight": 5, "Text": "Маятник", "Attach": {"File": "media/tick.WAV", "AutoPlay": true}},
                         {"Weight": -2, "Text": "Пружина / n"}]},
            {"AnswerMode": "typed", "Text": "Столица Франции?", "Priority": -1,
             "Answers": [{"Weight": 1, "Text": ["Париж", "Paris", "две\nстроки"]}, {"Weight": 0, "Text": "Лион"}]},
            {"AnswerMode": "multiple", "Text": "Чётные?", "Attach": {"Option4": true, "Option6": true, "Option7": true},
             "Answers": [{"Weight": 1, "Text": "2"},
                         {"Weight": 1, "Text": "4", "Attach": "media/../media/Рисунок.jpeg"},
                         {"Weight": 0, "Text": "5", "Attach": {"File": "clip.mpeg", "ReplaceText": true}}]},
            {"AnswerMode": "ordering", "Text": "По порядку", "Answers": [
                {"Weight": 1, "Text": "один", "Attach": "song.midi"}, {"Weight": 2, "Text": "два"},
                {"Weight": 3, "Text": "три", "Attach": "media\\tick.WAV"}]}
        ]})");
}

void WriteFullTestFiles(BuilderFixture& f) {
    f.Write("media/Рисунок.jpeg", Jpeg());
    f.Write("media/tick.WAV", Wav(ziptest::MixedData(3000, 2)));
    f.Write("clip.mpeg", std::string("\0\0\1\xBA", 4) + ziptest::MixedData(2000, 3));
    f.Write("song.midi", "MThd");
}

}  // namespace

TEST(AttachExtensionTest, ThreeLetterNamesOfKindsThePlayerShows) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.jpg", "JPG"},   {"a.JPEG", "JPG"},          {"dir.x/a.Mpeg", "MPG"}, {"a.midi", "MID"}, {"a.mp3", "MP3"},
        {"a.bmp", "BMP"},   {"a.emf", "EMF"},           {"a.avi", "AVI"},        {"a.fme", "FME"},  {"a.ole", "OLE"},
        {"a.rmi", "RMI"},   {"a.wma", "WMA"},           {"dir.x\\a", nullptr},   {"a", nullptr},    {"a.", nullptr},
        {"a.png", nullptr}, {"a.gif", nullptr},         {"a.tiff", nullptr},     {"a.jp", nullptr}, {"a.mp", nullptr},
        {"a.жпг", nullptr}, {"photo.jpg.txt", nullptr},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        std::string extension, reason;
        const bool ok = AttachExtension(file, extension, reason);
        EXPECT_EQ(ok, expected != nullptr) << reason;
        if (ok) {
            EXPECT_EQ(extension, expected);
        } else {
            EXPECT_NE(reason.find(file), std::string::npos) << "the reason names the file: " << reason;
        }
    }
}

// The reasons list the extensions of kAttachExtensions.
TEST(AttachExtensionTest, TheReasonsListWhatThePlayerShows) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.png",
         "\"a.png\": the player cannot show .png files; it shows .jpg .bmp .emf .wmf (pictures), "
         ".wav .mp1 .mp2 .mp3 .mid .rmi .wma (sounds), .avi .mpg (videos), .fme, .ole"},
        {"a.tiff", "\"a.tiff\": the extension must have three letters (.jpeg, .midi and .mpeg are shortened)"},
    };
    for (const auto& [file, expected] : cases) {
        std::string extension, reason;
        EXPECT_FALSE(AttachExtension(file, extension, reason));
        EXPECT_EQ(reason, expected);
    }
}

TEST(PasswordTailTest, RandomTailsAreEightSafeCharacters) {
    const std::string alphabet = kPasswordTailAlphabet;
    for (char c : std::string("0O1lI")) EXPECT_EQ(alphabet.find(c), std::string::npos) << c;
    std::string first = RandomPasswordTail();
    EXPECT_EQ(first.size(), kPasswordTailLength);
    for (char c : first) EXPECT_NE(alphabet.find(c), std::string::npos) << c;
    EXPECT_NE(RandomPasswordTail(), first);
}

struct TCheckCase {
    const char* what;
    std::function<void(ordered_json&)> change;
    std::vector<std::string> errors;  // each message starts with its entry, in order
    std::vector<std::string> warnings;
};

TEST_F(BuilderFixture, CheckFindsWhatAnAuthorWouldWantToKnow) {
    Write("pic.jpg", Jpeg());
    const std::string jpeg = Jpeg();
    Write("cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    Write("wide.bmp", picturedata::Bmp({4, 2, 24, 0, 0, "", std::string(8, '\0')}));  // rows need 24 bytes
    Write("noise.wav", ziptest::MixedData(100, 4));
    Write("plain.ole", "not an object");
    Write("pic.png", "PNG");
    Write("clip.tiff", "TIFF");
    Write("noext", "data");
    fs::create_directory(src / "folder.jpg");
    auto answers = [](ordered_json& t) -> ordered_json& { return t["Questions"][0]["Answers"]; };
    auto question = [](ordered_json& t) -> ordered_json& { return t["Questions"][0]; };
    auto typed = [](ordered_json& t, const ordered_json& text) {
        t["Questions"][0]["AnswerMode"] = "typed";
        ordered_json answer = ordered_json::object();
        answer["Weight"] = 1;
        answer["Text"] = text;
        t["Questions"][0]["Answers"] = ordered_json::array();
        t["Questions"][0]["Answers"].push_back(answer);
    };
    auto ordering = [](ordered_json& t, int w1, int w2) {
        t["Questions"][0]["AnswerMode"] = "ordering";
        t["Questions"][0]["Answers"] = {{{"Weight", w1}, {"Text", "a"}}, {{"Weight", w2}, {"Text", "b"}}};
    };
    const TCheckCase cases[] = {
        {"a clean test", [](ordered_json&) {}, {}, {}},
        {"texts that cp1251 holds, a real '?' among them",
         [&](ordered_json& t) {
             question(t)["Text"] = "Сколько стоит? 5 € — «дорого»";
             question(t)["Attach"] = "pic.jpg";
             t["Name"] = "Тест №1";
         },
         {},
         {}},
        {"a character cp1251 lacks",
         [&](ordered_json& t) { answers(t)[1]["Text"] = "верно ✓"; },
         {R"(question 1, Answers[2].Text: character "✓" (U+2713) cannot be stored)"},
         {}},
        {"an emoji in the info text",
         [](ordered_json& t) { t["InfoText"] = "Удачи 😀"; },
         {R"(InfoText: character "😀" (U+1F600))"},
         {}},
        {"a missing attachment",
         [&](ordered_json& t) { question(t)["Attach"] = "nope.jpg"; },
         {R"(question 1, Attach.File: "nope.jpg" is missing)"},
         {}},
        {"a folder instead of a file",
         [&](ordered_json& t) { answers(t)[0]["Attach"] = "folder.jpg"; },
         {R"(question 1, Answers[1].Attach.File: "folder.jpg" is not a file)"},
         {}},
        {"pictures, objects and sounds the player's readers refuse",
         [&](ordered_json& t) {
             question(t)["Attach"] = "cut.jpg";
             answers(t)[0]["Attach"] = "wide.bmp";
             answers(t)[1]["Attach"] = {{"File", "noise.wav"}, {"AutoPlay", true}};
             t["Questions"].push_back(t["Questions"][0]);
             t["Questions"][1]["Attach"] = "plain.ole";
             t["Questions"][1]["Answers"][0].erase("Attach");
             t["Questions"][1]["Answers"][1].erase("Attach");
         },
         {R"(question 1, Attach.File: "cut.jpg": the player would show an empty frame: )",
          R"(question 1, Answers[1].Attach.File: "wide.bmp": the player would show an empty frame: )",
          R"(question 1, Answers[2].Attach.File: "noise.wav": the player would show an empty frame: not a WAVE sound)",
          R"(question 2, Attach.File: "plain.ole": the player would show an empty frame: Invalid stream format)"},
         {}},
        {"a kind the player cannot show",
         [&](ordered_json& t) { question(t)["Attach"] = "pic.png"; },
         {R"(question 1, Attach.File: "pic.png": the player cannot show .png files)"},
         {}},
        {"a long extension",
         [&](ordered_json& t) { question(t)["Attach"] = "clip.tiff"; },
         {R"(question 1, Attach.File: "clip.tiff": the extension must have three letters)"},
         {}},
        {"no extension",
         [&](ordered_json& t) { question(t)["Attach"] = "noext"; },
         {R"(question 1, Attach.File: "noext" has no extension)"},
         {}},
        {"attachment options out of range",
         [&](ordered_json& t) {
             question(t)["Attach"] = {{"File", "pic.jpg"}, {"ScaleMode", 256}, {"Width", 70000}};
         },
         {"question 1, Attach.ScaleMode: 256 is out of range (0 to 255)",
          "question 1, Attach.Width: 70000 is out of range (0 to 65535)"},
         {}},
        {"single choice without a positive weight",
         [&](ordered_json& t) { answers(t)[0]["Weight"] = 0; },
         {},
         {"question 1: no answer has a positive Weight, so any answer scores full marks"}},
        {"multiple choice without a positive weight",
         [&](ordered_json& t) {
             question(t)["AnswerMode"] = "multiple";
             answers(t)[0]["Weight"] = -1;
         },
         {},
         {"question 1: no answer has a positive Weight"}},
        {"one answer to choose from",
         [&](ordered_json& t) { answers(t).erase(1); },
         {},
         {"question 1: only one answer to choose from"}},
        {"an empty typed variant",
         [&](ordered_json& t) {
             typed(t, ordered_json::array({"Paris", ""}));
         },
         {"question 1, Answers[1].Text: variant 2 is empty and would accept any answer"},
         {}},
        {"a typed variant of spaces",
         [&](ordered_json& t) { typed(t, "  "); },
         {"question 1, Answers[1].Text: variant 1 is empty"},
         {}},
        {"a typed answer without variants",
         [&](ordered_json& t) { typed(t, ordered_json::array()); },
         {"question 1, Answers[1].Text: no accepted variants"},
         {}},
        {"typed variants are fine without a positive weight",
         [&](ordered_json& t) {
             typed(t, ordered_json::array({"a"}));
             answers(t)[0]["Weight"] = 0;
         },
         {},
         {}},
        {"ordering with equal weights",
         [&](ordered_json& t) { ordering(t, 2, 2); },
         {},
         {"question 1: all answers have the same Weight, so any order is right"}},
        {"ordering with equal weights while the right answer is shown",
         [&](ordered_json& t) {
             ordering(t, 0, 0);
             t["ShowRightAnswer"] = 1;
         },
         {},
         {"question 1: all answers have the same Weight", "question 1: ShowRightAnswer is on"}},
        {"ordering with distinct weights", [&](ordered_json& t) { ordering(t, 1, 2); }, {}, {}},
        {"ordering a single answer",
         [&](ordered_json& t) {
             ordering(t, 1, 2);
             answers(t).erase(1);
         },
         {},
         {"question 1: an ordering question needs at least two answers"}},
        {"priority zero",
         [&](ordered_json& t) { question(t)["Priority"] = 0; },
         {},
         {"question 1, Priority: 0 means the question does not count"}},
        {"negative priority",
         [&](ordered_json& t) { question(t)["Priority"] = -5; },
         {},
         {"question 1, Priority: -5 means the question does not count"}},
        {"priority out of range",
         [&](ordered_json& t) { question(t)["Priority"] = 128; },
         {"question 1, Priority: 128 is out of range (-128 to 127)"},
         {}},
        {"weight out of range",
         [&](ordered_json& t) { answers(t)[1]["Weight"] = -129; },
         {"question 1, Answers[2].Weight: -129 is out of range (-128 to 127)"},
         {}},
        {"time limit out of range",
         [&](ordered_json& t) { question(t)["TimeLimit"] = 65536; },
         {"question 1, TimeLimit: 65536 is out of range (0 to 65535)"},
         {}},
        {"negative time limit",
         [&](ordered_json& t) { question(t)["TimeLimit"] = -1; },
         {"question 1, TimeLimit: -1 is out of range"},
         {}},
        {"effect steps out of range",
         [](ordered_json& t) { t["EffectSteps"] = 256; },
         {"EffectSteps: 256 is out of range (0 to 255)"},
         {}},
        {"a caption over 255 bytes",
         [](ordered_json& t) { t["ExtraFieldCaption"] = std::string(256, 'x'); },
         {"ExtraFieldCaption: too long: 256 bytes, at most 255 fit"},
         {}},
        {"a caption of 255 Cyrillic letters fits: one byte each",
         [](ordered_json& t) {
             std::string caption;
             for (int i = 0; i < 255; ++i) caption += "ж";
             t["ExtraFieldCaption"] = caption;
         },
         {},
         {}},
        {"a question text over 65535 bytes once line breaks take two",
         [&](ordered_json& t) { question(t)["Text"] = std::string(32768, '\n'); },
         {"question 1, Text: too long: 65536 bytes, at most 65535 fit"},
         {}},
        {"more answers than fit",
         [&](ordered_json& t) {
             for (int i = 0; i < 254; ++i) answers(t).push_back({{"Text", "more"}});
         },
         {"question 1: 256 answers, at most 255 fit"},
         {}},
        {"other settings out of range",
         [](ordered_json& t) {
             t["MaxScore"] = 0;
             t["PackLevel"] = 10;
             t["LimitSeconds"] = -2;
             t["QuestionFontSize"] = 2147483648LL;
         },
         {"MaxScore: 0 is out of range", "QuestionFontSize: 2147483648 is out of range", "LimitSeconds: -2",
          "PackLevel: 10"},
         {}},
        {"negative settings that mean something",
         [](ordered_json& t) {
             t["LimitSeconds"] = -1;      // each question's own limit
             t["SkipsAllowed"] = -1;      // no limit
             t["ShowRightAnswer"] = -1;   // open until closed
         },
         {},
         {}},
        {"more questions per test than the bank holds",
         [](ordered_json& t) { t["QuestionsPerTest"] = 5; },
         {},
         {"QuestionsPerTest: 5, but the bank holds 1 questions"}},
        {"no questions per test",
         [](ordered_json& t) { t["QuestionsPerTest"] = 0; },
         {"QuestionsPerTest: 0 is out of range"},
         {}},
        {"a whole-test limit with no limit",
         [](ordered_json& t) { t["LimitWholeTest"] = true; },
         {},
         {"LimitWholeTest: on, but LimitSeconds is 0"}},
        {"no questions",
         [](ordered_json& t) { t["Questions"] = ordered_json::array(); },
         {"Questions: the test has no questions"},
         {}},
        {"a question without answers",
         [&](ordered_json& t) { question(t).erase("Answers"); },
         {"question 1: no answers"},
         {}},
        {"a question that shows nothing, with an answer that shows nothing",
         [&](ordered_json& t) {
             question(t)["Text"] = " ";
             answers(t)[1]["Text"] = "";
         },
         {},
         {"question 1: no Text and no Attach", "question 1, Answers[2]: no Text and no Attach"}},
        {"an empty name", [](ordered_json& t) { t["Name"] = ""; }, {}, {"Name: empty"}},
    };
    for (const TCheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        ordered_json json = MinimalTest();
        c.change(json);
        const TCheckReport report = CheckTestSource(Source(json));
        auto expect = [](const std::vector<std::string>& got, const std::vector<std::string>& wanted) {
            ASSERT_EQ(got.size(), wanted.size()) << ::testing::PrintToString(got);
            for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].rfind(wanted[i], 0), 0u) << got[i];
        };
        expect(report.Errors, c.errors);
        expect(report.Warnings, c.warnings);
    }
}

TEST_F(BuilderFixture, CheckFolderReportsAnUnreadableSourceAsItsOneError) {
    Write("test.json", R"({"Questions": [{"Answers": [{"Wieght": 1}]}]})");
    TCheckReport report = CheckTestFolder(src);
    ASSERT_EQ(report.Errors.size(), 1u);
    EXPECT_EQ(report.Errors[0], R"(question 1, Answers[1]: unknown key "Wieght" (did you mean "Weight"?))");
    EXPECT_TRUE(report.Warnings.empty());
}

TEST_F(BuilderFixture, ABuiltTestOpensInThePlayerWithEverythingIntact) {
    WriteFullTestFiles(*this);
    const TTestSource source = Source(FullTest());
    TBuildResult result = Build(source, output);
    ASSERT_TRUE(result.Ok()) << ::testing::PrintToString(result.Report.Errors);
    EXPECT_EQ(result.Questions, 4);
    EXPECT_EQ(result.Attachments, 4) << "the picture and the sound are used twice each, by different paths";
    EXPECT_EQ(result.PasswordTail, "Хвост-7");
    EXPECT_EQ(ReadFileBytes(output).substr(0, kPlayerBytes.size()), kPlayerBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(output.parent_path()), fs::directory_iterator()), 1)
        << "nothing is left beside it";

    TPayloadInfo payload;
    ReadPayload(output, payload);
    ASSERT_FALSE(payload.ArchiveFile.empty());
    const TPath archive = dir / "archive.tmp";
    fs::copy_file(payload.ArchiveFile, archive);
    DeleteFileAt(payload.ArchiveFile);
    payload.ArchiveFile.clear();
    EXPECT_EQ(EncodePayloadSettings(payload), EncodePayloadSettings(PayloadFromSource(source, "Хвост-7")));
    EXPECT_EQ(payload.InfoText, Utf8ToCp1251("Прочтите вопросы./nУдачи!"));
    EXPECT_EQ(payload.PasswordTail, Utf8ToCp1251("Хвост-7"));
    EXPECT_EQ(payload.QuestionsPerTest, 3);
    EXPECT_EQ(payload.EffectSteps, 0);

    SetZipSignatures(kTestArchiveSignatures);
    {
        TZipTest test;
        test.SetTempBase(dir / "work");
        ASSERT_TRUE(test.OpenTest(archive, payload.PasswordTail)) << int(test.LastError);
        EXPECT_EQ(test.QuestionFiles, (std::vector<std::string>{"Q0001.QST", "Q0002.QST", "Q0003.QST", "Q0004.QST"}));
        EXPECT_EQ(test.GetComment(), Utf8ToCp1251("Физика, 9 класс"));
        EXPECT_EQ(test.ReadInfoValue("PackLevel", ""), "3");
        EXPECT_EQ(test.ReadLastQuest(), 0);
        for (const TZipEntry& entry : test.Zip.Entries()) {
            SCOPED_TRACE(entry.Name);
            EXPECT_EQ(entry.Flags & 1, 1) << "encrypted";
            EXPECT_EQ(entry.Method, 8) << "deflated";
        }
        EXPECT_EQ(test.Zip.Entries().back().Name, "INFO.SYS") << "last, so that the player rewrites it in place";

        test.ExtractAttachments = true;
        test.ClearBeforeLoad = true;
        const std::string picture = ReadFileBytes(src / "media" / "Рисунок.jpeg");
        const std::string sound = ReadFileBytes(src / "media" / "tick.WAV");

        TTestQuestion q;
        test.LoadQuestion(0, q);
        ASSERT_EQ(test.LastError, kZipTestOk);
        EXPECT_EQ(q.AnswerMode, 0);
        EXPECT_EQ(q.Priority, 3);
        EXPECT_EQ(q.TimeLimit, 120);
        EXPECT_EQ(q.Text, Utf8ToCp1251("Что на рисунке?/nОтветьте."));
        EXPECT_EQ(q.AttachKind, akPicture);
        EXPECT_EQ(q.AttachPath.filename().string(), "A0000001.JPG");
        EXPECT_EQ(ReadFileBytes(q.AttachPath), picture);
        EXPECT_TRUE(q.Attach.InPopup);
        EXPECT_FALSE(q.Attach.AutoPlay);
        EXPECT_EQ(q.Attach.ScaleMode, 2);
        EXPECT_EQ(q.Attach.Width, 320);
        EXPECT_EQ(q.Attach.Height, 200);
        ASSERT_EQ(q.Answers.size(), 2u);
        EXPECT_EQ(q.Answers[0].Weight, 5);
        EXPECT_EQ(q.Answers[0].Text, Utf8ToCp1251("Маятник"));
        EXPECT_EQ(q.Answers[0].AttachKind, akSound);
        EXPECT_TRUE(q.Answers[0].Attach.AutoPlay);
        EXPECT_EQ(ReadFileBytes(q.Answers[0].AttachPath), sound);
        EXPECT_EQ(q.Answers[1].Weight, -2);
        EXPECT_EQ(q.Answers[1].Text, Utf8ToCp1251("Пружина / n"));
        EXPECT_EQ(q.Answers[1].AttachFile, kNoAttachment);

        TTestQuestion typed;
        test.LoadQuestion(1, typed);
        ASSERT_EQ(test.LastError, kZipTestOk);
        EXPECT_EQ(typed.AnswerMode, 1);
        EXPECT_EQ(typed.Priority, -1);
        EXPECT_EQ(typed.AttachFile, kNoAttachment);
        ASSERT_EQ(typed.Answers.size(), 2u);
        EXPECT_EQ(typed.Answers[0].Text, Utf8ToCp1251("Париж¦Paris¦две/nстроки"));
        EXPECT_EQ(typed.Answers[0].Text[5], '\xA6') << "the byte that separates variants";
        EXPECT_EQ(typed.Answers[1].Text, Utf8ToCp1251("Лион"));

        TTestQuestion multiple;
        test.LoadQuestion(2, multiple);
        ASSERT_EQ(test.LastError, kZipTestOk);
        EXPECT_EQ(multiple.AnswerMode, 2);
        EXPECT_EQ(multiple.AttachFile, kNoAttachment);
        EXPECT_TRUE(multiple.Attach.Option4 && multiple.Attach.Option6 && multiple.Attach.Option7);
        ASSERT_EQ(multiple.Answers.size(), 3u);
        EXPECT_EQ(multiple.Answers[1].AttachPath.filename().string(), "A0000001.JPG") << "one entry for one file";
        EXPECT_EQ(ReadFileBytes(multiple.Answers[1].AttachPath), picture);
        EXPECT_EQ(multiple.Answers[2].AttachPath.filename().string(), "A0000003.MPG");
        EXPECT_EQ(multiple.Answers[2].AttachKind, akVideo);
        EXPECT_TRUE(multiple.Answers[2].Attach.ReplaceText);
        EXPECT_EQ(ReadFileBytes(multiple.Answers[2].AttachPath), ReadFileBytes(src / "clip.mpeg"));

        TTestQuestion ordering;
        test.LoadQuestion(3, ordering);
        ASSERT_EQ(test.LastError, kZipTestOk);
        ASSERT_EQ(ordering.Answers.size(), 3u);
        EXPECT_EQ(ordering.Answers[0].AttachPath.filename().string(), "A0000004.MID");
        EXPECT_EQ(ReadFileBytes(ordering.Answers[0].AttachPath), "MThd");
        EXPECT_EQ(ordering.Answers[2].AttachPath.filename().string(), "A0000002.WAV") << "backslashes separate too";
        EXPECT_EQ(ReadFileBytes(ordering.Answers[2].AttachPath), sound);
    }
}

TEST_F(BuilderFixture, BuildUnpackBuildGivesTheSameTest) {
    WriteFullTestFiles(*this);
    ASSERT_TRUE(Build(Source(FullTest()), output).Ok());
    const TBuiltTest first(output);

    TUnpackResult unpacked = UnpackTest(output, dir / "unpacked");
    ASSERT_TRUE(unpacked.Ok()) << ::testing::PrintToString(unpacked.Errors);
    EXPECT_TRUE(unpacked.Warnings.empty()) << ::testing::PrintToString(unpacked.Warnings);
    EXPECT_EQ(unpacked.Questions, 4);
    EXPECT_EQ(unpacked.Attachments, 4);
    for (const char* name : {"A0000001.JPG", "A0000002.WAV", "A0000003.MPG", "A0000004.MID"}) {
        EXPECT_EQ(ReadFileBytes(dir / "unpacked" / name), first.Files.at(name)) << name;
    }
    const ordered_json json = ordered_json::parse(ReadFileBytes(dir / "unpacked" / "test.json"));
    EXPECT_EQ(json["Questions"][1]["Answers"][0]["Text"], ordered_json({"Париж", "Paris", "две\nстроки"}));
    EXPECT_EQ(json["Questions"][0]["Text"], "Что на рисунке?\nОтветьте.");

    TTestSource again = ReadTestSource(dir / "unpacked");
    EXPECT_TRUE(CheckTestSource(again).Errors.empty());
    const TPath second = dir / "second.exe";
    ASSERT_TRUE(Build(again, second).Ok());
    const TBuiltTest rebuilt(second);

    EXPECT_EQ(rebuilt.Comment, first.Comment);
    EXPECT_EQ(EncodePayloadSettings(rebuilt.Payload), EncodePayloadSettings(first.Payload));
    EXPECT_EQ(rebuilt.Files, first.Files);
    ASSERT_EQ(rebuilt.Entries.size(), first.Entries.size());
    for (size_t i = 0; i < first.Entries.size(); ++i) EXPECT_EQ(rebuilt.Entries[i].Name, first.Entries[i].Name);

    // Unpacking the rebuilt test writes the very same source.
    ASSERT_TRUE(UnpackTest(second, dir / "again").Ok());
    EXPECT_EQ(ReadFileBytes(dir / "again" / "test.json"), ReadFileBytes(dir / "unpacked" / "test.json"));
}

TEST_F(BuilderFixture, WithoutATailABuildDrawsOneThatUnpackKeeps) {
    Write("test.json", MinimalTest().dump());
    const TTestSource source = ReadTestSource(src);
    TBuildResult result = Build(source, output);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.PasswordTail.size(), kPasswordTailLength);
    const TBuiltTest built(output);
    EXPECT_EQ(built.Payload.PasswordTail, result.PasswordTail);
    EXPECT_EQ(built.Comment, "src") << "named after the folder";
    EXPECT_EQ(built.Files.at("INDEX.SYS"), "Q0001.QST\r\n");
    EXPECT_EQ(built.Files.at("INFO.SYS"), "[MAIN]\r\nPackLevel=6\r\nLastQuest=0\r\n");
    EXPECT_EQ(built.Payload.MaxScore, 5);
    EXPECT_EQ(built.Payload.QuestionFontSize, 14);
    EXPECT_EQ(built.Payload.AnswerFontSize, 12);
    EXPECT_EQ(built.Payload.EffectSteps, 10);
    EXPECT_TRUE(built.Payload.ShowMark);
    EXPECT_EQ(built.Payload.QuestionsPerTest, 1);

    ASSERT_TRUE(UnpackTest(output, dir / "unpacked").Ok());
    EXPECT_EQ(ReadTestSource(dir / "unpacked").PasswordTail, result.PasswordTail);
    EXPECT_NE(Build(source, dir / "other.exe").PasswordTail, result.PasswordTail) << "each build draws anew";
}

TEST_F(BuilderFixture, AFailedBuildWritesNothingAndKeepsAnOldOutput) {
    fs::create_directories(output.parent_path());
    WriteFileBytes(output, "the previous build");
    Write("pic.jpg", Jpeg());
    struct Case {
        const char* what;
        std::function<void(ordered_json&, TBuildOptions&)> change;
        const char* error;
    } cases[] = {
        {"a check error", [](ordered_json& t, TBuildOptions&) { t["Questions"][0]["Answers"][0]["Weight"] = 200; },
         "question 1, Answers[1].Weight: 200 is out of range"},
        {"a missing attachment", [](ordered_json& t, TBuildOptions&) { t["Questions"][0]["Attach"] = "gone.jpg"; },
         R"(question 1, Attach.File: "gone.jpg" is missing)"},
        {"no player", [this](ordered_json&, TBuildOptions& o) { o.Player = dir / "nowhere.exe"; }, "the player "},
        {"the player as the output", [this](ordered_json&, TBuildOptions& o) { o.Output = player; },
         "is the player itself"},
        {"a folder as the output", [this](ordered_json&, TBuildOptions& o) { o.Output = src; }, "is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ordered_json json = MinimalTest();
        json["Questions"][0]["Attach"] = "pic.jpg";
        TBuildOptions options;
        options.Player = player;
        options.Output = output;
        c.change(json, options);
        const TBuildResult result = BuildTest(Source(json), options);
        ASSERT_EQ(result.Report.Errors.size(), 1u);
        EXPECT_NE(result.Report.Errors[0].find(c.error), std::string::npos) << result.Report.Errors[0];
        EXPECT_EQ(ReadFileBytes(output), "the previous build");
        EXPECT_EQ(ReadFileBytes(player), kPlayerBytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(output.parent_path()), fs::directory_iterator()), 1);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3)
            << "src, out and the player only";
    }
    // A good build replaces the old output.
    ordered_json json = MinimalTest();
    ASSERT_TRUE(Build(Source(json), output).Ok());
    EXPECT_NE(ReadFileBytes(output), "the previous build");
}

TEST_F(BuilderFixture, ProgressIsReportedOnlyForLargeAttachments) {
    Write("big.wav", Wav(ziptest::MixedData(300000 - 12, 9)));  // 300000 bytes with the header
    ordered_json json = MinimalTest();
    json["Questions"][0]["Attach"] = "big.wav";
    for (uint64_t threshold : {uint64_t{0}, uint64_t{300001}}) {
        SCOPED_TRACE(threshold);
        std::vector<int> seen;
        TBuildOptions options;
        options.Player = player;
        options.Output = output;
        options.ProgressMinBytes = threshold;
        options.OnProgress = [&](int percent) { seen.push_back(percent); };
        ASSERT_TRUE(BuildTest(Source(json), options).Ok());
        if (threshold > 300000) {
            EXPECT_TRUE(seen.empty());
            continue;
        }
        ASSERT_GE(seen.size(), 3u);
        EXPECT_EQ(seen.front(), 0);
        EXPECT_EQ(seen.back(), 100);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
}

TEST_F(BuilderFixture, UnpackRefusesWhatItCannotDoAndCreatesNothing) {
    Write("test.json", MinimalTest().dump());
    ASSERT_TRUE(Build(ReadTestSource(src), output).Ok());
    fs::create_directory(dir / "full");
    WriteFileBytes(dir / "full" / "keep.txt", "mine");

    TUnpackResult result = UnpackTest(output, dir / "full");
    ASSERT_EQ(result.Errors.size(), 1u);
    EXPECT_NE(result.Errors[0].find("is not an empty folder"), std::string::npos) << result.Errors[0];
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "full"), fs::directory_iterator()), 1);

    result = UnpackTest(player, dir / "new");
    ASSERT_EQ(result.Errors.size(), 1u);
    EXPECT_NE(result.Errors[0].find("no test inside"), std::string::npos) << result.Errors[0];
    EXPECT_FALSE(fs::exists(dir / "new"));

    // The right archive with another tail does not open.
    TPayloadInfo payload;
    ReadPayload(output, payload);
    const TPath archive = payload.ArchiveFile;
    payload.PasswordTail = "wrong";
    ASSERT_EQ(WritePayloadExe(player, archive, payload, dir / "wrong.exe"), "");
    DeleteFileAt(archive);
    result = UnpackTest(dir / "wrong.exe", dir / "new");
    ASSERT_EQ(result.Errors.size(), 1u);
    EXPECT_NE(result.Errors[0].find("does not open with the test's password"), std::string::npos) << result.Errors[0];
    EXPECT_FALSE(fs::exists(dir / "new"));

    fs::create_directory(dir / "empty");
    EXPECT_TRUE(UnpackTest(output, dir / "empty").Ok()) << "an empty folder is fine";
    EXPECT_TRUE(fs::exists(dir / "empty" / "test.json"));
}

// A test made by another tool: odd entry names, a missing attachment, an empty index line.
TEST_F(BuilderFixture, UnpackKeepsForeignEntryNamesInsideTheFolder) {
    TTestQuestion q;
    q.AnswerMode = 0;
    q.Priority = 1;
    q.Text = "q";
    q.AttachFile = "..\\EVIL1.JPG";
    q.Attach.AutoPlay = true;
    TTestAnswer a;
    a.Weight = 1;
    a.Text = "a";
    a.AttachFile = "GONE0001.WAV";
    a.Attach.Width = 7;
    q.Answers = {a, a};
    q.Answers[1].AttachFile = "con.jpg     ";

    const std::string password = kArchivePasswordText + std::string("t");
    std::vector<ziptest::TTestEntry> entries(5);
    entries[0].name = "INDEX.SYS";
    entries[0].data = "Q1.QST\r\n\r\nQ1.QST\r\n";
    entries[1].name = "Q1.QST";
    entries[1].data = EncodeQuestion(q);
    entries[2].name = "..\\EVIL1.JPG";
    entries[2].data = "picture";
    entries[3].name = "con.jpg     ";
    entries[3].data = "device";
    entries[4].name = "INFO.SYS";
    entries[4].data = "[MAIN]\r\nPackLevel=2\r\n";
    for (auto& e : entries) e.password = password;
    ziptest::TZipLayout layout;
    layout.signatures = kTestArchiveSignatures;
    layout.comment = "foreign";
    WriteFileBytes(dir / "foreign.zip", ziptest::BuildZip(entries, layout).bytes);
    TPayloadInfo info;
    info.PasswordTail = "t";
    ASSERT_EQ(WritePayloadExe(player, dir / "foreign.zip", info, dir / "foreign.exe"), "");

    TUnpackResult result = UnpackTest(dir / "foreign.exe", dir / "out");
    ASSERT_TRUE(result.Ok()) << ::testing::PrintToString(result.Errors);
    EXPECT_EQ(result.Questions, 2);
    EXPECT_EQ(result.Attachments, 2);
    const std::vector<std::string> warnings = {
        "INDEX.SYS line 1 (Q1.QST): attachment \"GONE0001.WAV\" is not in the archive: left out",
        "INDEX.SYS line 2: no readable question there: left out",
        "INDEX.SYS line 3 (Q1.QST): attachment \"GONE0001.WAV\" is not in the archive: left out",
    };
    EXPECT_EQ(result.Warnings, warnings);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir / "out")) files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{".._EVIL1.JPG", "_con.jpg    _", "test.json"}));
    EXPECT_FALSE(fs::exists(dir / "EVIL1.JPG"));
    EXPECT_EQ(ReadFileBytes(dir / "out" / ".._EVIL1.JPG"), "picture");

    const TTestSource source = ReadTestSource(dir / "out");
    EXPECT_EQ(source.Name, "foreign");
    EXPECT_EQ(source.PackLevel, 2);
    ASSERT_EQ(source.Questions.size(), 2u);
    EXPECT_EQ(source.Questions[0].Attach.File, ".._EVIL1.JPG");
    EXPECT_TRUE(source.Questions[0].Attach.AutoPlay);
    EXPECT_EQ(source.Questions[0].Answers[0].Attach.File, "") << "the missing file is left out";
    EXPECT_EQ(source.Questions[0].Answers[0].Attach.Width, 7) << "its options stay";
    EXPECT_EQ(source.Questions[0].Answers[1].Attach.File, "_con.jpg    _");
}

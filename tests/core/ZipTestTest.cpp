#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "tests/core/TempDir.h"

namespace fs = std::filesystem;

namespace {

TTestQuestion MakeQuestion(const std::string& text, const std::string& attach, int answers) {
    TTestQuestion q;
    q.AnswerMode = 0;
    q.Priority = 2;
    q.Text = text;
    q.AttachFile = attach;
    for (int i = 0; i < answers; ++i) {
        TTestAnswer a;
        a.Weight = static_cast<int8_t>(i);
        a.Text = "answer " + std::to_string(i);
        a.AttachFile = i == 0 ? "SOUND001.WAV" : kNoAttachment;
        q.Answers.push_back(a);
    }
    return q;
}

// A test archive built with the archive writer, as the authoring tool makes them.
class ZipTestFixture : public ::testing::Test {
public:  // the case tables arrange a fixture through a reference
    TTempDir dir;
    TPath archive = dir / "test.tmp";
    TPath work = dir / "work";
    TPath src = dir / "src";
    TZipSignatures saved = ZipSignatures();
    std::string tail = "tail";

    void SetUp() override {
        SetZipSignatures(kTestArchiveSignatures);
        fs::create_directories(work);
        fs::create_directories(src);
    }
    void TearDown() override { SetZipSignatures(saved); }

    void Build(const std::map<std::string, std::string>& files, const std::string& password, int level = 6,
               const std::string& comment = Utf8ToCp1251("Физика, 9 класс")) {
        fs::remove(archive);
        TZipArchive zip;
        zip.SetArchiveFile(archive);
        zip.SetPassword(password);
        zip.SetCompressionLevel(level);
        zip.SetComment(comment);
        for (const auto& [name, bytes] : files) {
            WriteFileBytes(src / name, bytes);
            zip.FileList.push_back((src / name).string());
        }
        ASSERT_EQ(zip.Add(), static_cast<int>(files.size()));
    }

    std::map<std::string, std::string> StandardFiles() {
        return {
            {"INDEX.SYS", "Q0001.QST\r\nQ0002.QST\r\n\r\nQ0004.QST"},
            {"INFO.SYS", "[MAIN]\r\nPackLevel=6\r\nLastQuest=1\r\n"},
            {"Q0001.QST", EncodeQuestion(MakeQuestion("first", "PICTURE1.BMP", 2))},
            {"Q0002.QST", EncodeQuestion(MakeQuestion("second", kNoAttachment, 0))},
            {"PICTURE1.BMP", "BM picture bytes"},
            {"SOUND001.WAV", "RIFF sound bytes"},
        };
    }
    std::string Password() const { return kArchivePasswordText + tail; }

    std::unique_ptr<TZipTest> Open(bool expect = true) {
        auto test = std::make_unique<TZipTest>();
        test->SetTempBase(work);
        EXPECT_EQ(test->OpenTest(archive, tail), expect) << "LastError " << int(test->LastError);
        return test;
    }
};

}  // namespace

TEST(ZipTestPassword, IsTenCharactersBeforeTheTail) { EXPECT_EQ(std::string(kArchivePasswordText).size(), 10u); }

TEST_F(ZipTestFixture, OpensAndReadsTheIndexEveryLineCounting) {
    Build(StandardFiles(), Password());
    auto test = Open();
    EXPECT_EQ(test->LastError, kZipTestOk);
    EXPECT_EQ(test->QuestionFiles, (std::vector<std::string>{"Q0001.QST", "Q0002.QST", "", "Q0004.QST"}));
    EXPECT_EQ(test->QuestionCount(), 4);
    EXPECT_EQ(test->GetComment(), Utf8ToCp1251("Физика, 9 класс"));
    EXPECT_EQ(test->Zip.CompressionLevel(), 6);
    // The index was read and deleted: nothing stays in the work folder.
    EXPECT_TRUE(fs::is_empty(test->TempDir));

    // Opening again reloads the index instead of appending to it.
    ASSERT_TRUE(test->OpenTest(archive, tail));
    EXPECT_EQ(test->QuestionCount(), 4);
}

TEST_F(ZipTestFixture, FailedOpensSayWhy) {
    struct Case {
        const char* what;
        std::function<void(ZipTestFixture&)> arrange;
        uint8_t lastError;
    } cases[] = {
        {"missing archive", [](ZipTestFixture& f) { fs::remove(f.archive); }, kZipTestOpenFailed},
        {"not an archive", [](ZipTestFixture& f) { WriteFileBytes(f.archive, "0123456789"); }, kZipTestOpenFailed},
        {"standard signatures",
         [](ZipTestFixture& f) {
             SetZipSignatures(kStandardZipSignatures);
             f.Build(f.StandardFiles(), f.Password());
             SetZipSignatures(kTestArchiveSignatures);
         },
         kZipTestOpenFailed},
        {"wrong password", [](ZipTestFixture& f) { f.Build(f.StandardFiles(), "Kp4#nV7q!Zother"); },
         kZipTestWrongPassword},
        {"no index",
         [](ZipTestFixture& f) {
             auto files = f.StandardFiles();
             files.erase("INDEX.SYS");
             f.Build(files, f.Password());
         },
         kZipTestNotExtracted},
        {"non-numeric PackLevel",
         [](ZipTestFixture& f) {
             auto files = f.StandardFiles();
             files["INFO.SYS"] = "[MAIN]\r\nPackLevel=fast\r\n";
             f.Build(files, f.Password());
         },
         kZipTestOpenFailed},
        {"truncated archive",
         [](ZipTestFixture& f) {
             f.Build(f.StandardFiles(), f.Password());
             std::string bytes = ReadFileBytes(f.archive);
             WriteFileBytes(f.archive, bytes.substr(0, bytes.size() / 2));
         },
         kZipTestOpenFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(StandardFiles(), Password());
        c.arrange(*this);
        auto test = Open(false);
        EXPECT_EQ(test->LastError, c.lastError);
        EXPECT_EQ(test->QuestionCount(), 0);
    }
}

TEST_F(ZipTestFixture, AnEmptyTailUsesTheFixedTextAlone) {
    tail = "";
    Build(StandardFiles(), kArchivePasswordText);
    auto test = Open();
    EXPECT_EQ(test->QuestionCount(), 4);
}

TEST_F(ZipTestFixture, LoadsQuestionsWithTheirAttachments) {
    Build(StandardFiles(), Password());
    auto test = Open();
    test->ExtractAttachments = true;
    test->ClearBeforeLoad = true;

    TTestQuestion q;
    test->LoadQuestion(0, q);
    EXPECT_EQ(test->LastError, kZipTestOk);
    EXPECT_EQ(q.Text, "first");
    ASSERT_EQ(q.Answers.size(), 2u);
    EXPECT_EQ(q.AttachFile, PathToCp1251(test->TempDir / "PICTURE1.BMP"));
    EXPECT_EQ(ReadFileBytes(q.AttachPath), "BM picture bytes");
    EXPECT_EQ(ReadFileBytes(q.Answers[0].AttachPath), "RIFF sound bytes");
    EXPECT_EQ(q.Answers[1].AttachFile, kNoAttachment);
    EXPECT_FALSE(fs::exists(test->TempDir / "Q0001.QST")) << "the question file is deleted once read";

    // The next question empties the folder first: the old attachments go.
    TTestQuestion q2;
    test->LoadQuestion(1, q2);
    EXPECT_EQ(q2.Text, "second");
    EXPECT_EQ(q2.AttachFile, kNoAttachment);
    EXPECT_TRUE(fs::is_empty(test->TempDir));

    // Without attachment extraction the names stay bare.
    test->ExtractAttachments = false;
    TTestQuestion q3;
    test->LoadQuestion(0, q3);
    EXPECT_EQ(q3.AttachFile, "PICTURE1.BMP");
    EXPECT_FALSE(fs::exists(test->TempDir / "PICTURE1.BMP"));
}

TEST_F(ZipTestFixture, LoadQuestionOutcomes) {
    auto files = StandardFiles();
    std::string cut = EncodeQuestion(MakeQuestion("cut short", kNoAttachment, 3));
    files["Q0004.QST"] = cut.substr(0, cut.size() - 3);
    Build(files, Password());
    auto test = Open();

    TTestQuestion untouched;
    untouched.Text = "keep";
    test->LoadQuestion(4, untouched);
    EXPECT_EQ(test->LastError, kZipTestOutOfRange);
    EXPECT_EQ(untouched.Text, "keep");

    TTestQuestion missing;
    test->LoadQuestion(2, missing);  // the empty index line names no entry
    EXPECT_EQ(test->LastError, kZipTestNotExtracted);
    EXPECT_FALSE(test->QuestionDamaged) << "a missing entry shows as an empty question";

    TTestQuestion partial;
    test->LoadQuestion(3, partial);
    EXPECT_EQ(test->LastError, kZipTestParseFailed);
    EXPECT_EQ(partial.Text, "cut short");
    EXPECT_EQ(partial.Answers.size(), 3u);
    EXPECT_EQ(partial.Answers[1].Text, "answer 1");
}

TEST_F(ZipTestFixture, DamagedQuestionDataIsAFailedLoadNotAnException) {
    Build(StandardFiles(), Password(), 0);
    // The directory says Q0001.QST is far longer than the file: its data ends early.
    std::string bytes = ReadFileBytes(archive);
    size_t name = bytes.rfind("Q0001.QST");
    ASSERT_NE(name, std::string::npos);
    bytes.replace(name - 46 + 20, 4, std::string("\xF0\xFF\xFF\x7F", 4));
    WriteFileBytes(archive, bytes);

    auto test = Open();
    TTestQuestion q;
    q.Text = "keep";
    test->LoadQuestion(0, q);
    EXPECT_EQ(test->LastError, kZipTestNotExtracted);
    EXPECT_TRUE(test->QuestionDamaged);
    EXPECT_EQ(q.Text, "keep");
    TTestQuestion next;
    test->LoadQuestion(1, next);
    EXPECT_EQ(test->LastError, kZipTestOk) << "one damaged entry does not spoil the others";
    EXPECT_FALSE(test->QuestionDamaged);
    EXPECT_EQ(next.Text, "second");
}

TEST_F(ZipTestFixture, LastQuestReadsWritesAndDefaults) {
    Build(StandardFiles(), Password());
    auto test = Open();
    EXPECT_EQ(test->ReadLastQuest(), 1);
    const uintmax_t before = fs::file_size(archive);
    for (int n : {7, 12, 3, 7}) {
        test->WriteLastQuest(n);
        EXPECT_EQ(test->ReadLastQuest(), n);
    }
    // Written in place: the archive does not grow with every write.
    EXPECT_LT(fs::file_size(archive), before + 512);
    EXPECT_EQ(test->ReadInfoValue("PackLevel", "x"), "6");

    // The other entries still read after the writes, by a fresh reader too.
    TZipTest again;
    again.SetTempBase(work);
    ASSERT_TRUE(again.OpenTest(archive, tail));
    EXPECT_EQ(again.ReadLastQuest(), 7);
    TTestQuestion q;
    again.LoadQuestion(0, q);
    EXPECT_EQ(q.Text, "first");

    auto files = StandardFiles();
    files["INFO.SYS"] = "[MAIN]\r\nLastQuest=seven\r\n";
    Build(files, Password());
    EXPECT_EQ(Open()->ReadLastQuest(), -1);

    files.erase("INFO.SYS");
    Build(files, Password());
    auto none = Open();
    EXPECT_EQ(none->ReadLastQuest(), 0);
    EXPECT_EQ(none->Zip.CompressionLevel(), 0);
    // No "PackLevel": the settings file goes back stored, not deflated.
    none->WriteLastQuest(5);
    EXPECT_EQ(none->ReadLastQuest(), 5);
    bool found = false;
    for (const TZipEntry& e : none->Zip.Entries()) {
        if (e.Name == "INFO.SYS") {
            found = true;
            EXPECT_EQ(e.Method, 0);
            EXPECT_TRUE(e.Flags & 1) << "written back encrypted";
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ZipTestFixture, WorkFolderLifecycle) {
    const TPath base = dir / "base";
    fs::create_directories(base / "_$Orvotst" / "old");
    WriteFileBytes(base / "_$Orvotst" / "old" / "left.bmp", "x");
    {
        TZipTest test;
        test.SetTempBase(base);
        EXPECT_EQ(test.TempDir, IncludeBackslash(base / "_$Orvotst"));
        EXPECT_TRUE(fs::is_directory(test.TempDir));
        EXPECT_TRUE(fs::is_empty(test.TempDir)) << "a folder left by an earlier run is emptied";

        // Moving to another base removes the old folder.
        test.SetTempBase(dir / "other" / "deeper");
        EXPECT_FALSE(fs::exists(base / "_$Orvotst"));
        EXPECT_TRUE(fs::is_directory(dir / "other" / "deeper" / "_$Orvotst"));
        WriteFileBytes(test.TempDir / "shown.bmp", "x");
    }
    EXPECT_FALSE(fs::exists(dir / "other" / "deeper" / "_$Orvotst")) << "destruction removes the folder";
}

TEST_F(ZipTestFixture, NoWorkFolderMeansNothingIsExtracted) {
    Build(StandardFiles(), Password());
    WriteFileBytes(dir / "afile", "x");
    TZipTest test;
    test.SetTempBase(dir / "afile");  // a folder cannot be made under a file
    EXPECT_TRUE(test.TempDir.empty());
    EXPECT_FALSE(test.OpenTest(archive, tail));
    EXPECT_FALSE(fs::exists("INDEX.SYS")) << "nothing may land in the current folder";
}

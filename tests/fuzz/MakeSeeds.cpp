// Writes the small seed corpus of every fuzz target into DIR/<target>/.
//   make_fuzz_seeds DIR

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/Payload.h"
#include "archive/ZipArchive.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "model/TestData.h"
#include "tests/core/JpegTestUtil.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& path, const std::string& bytes) {
    TBinaryFile file;
    if (!file.Create(path) || !file.Write(bytes.data(), bytes.size())) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

std::string Get(const fs::path& path) {
    TBinaryFile file;
    uint64_t size = 0;
    if (!file.OpenRead(path) || !file.Size(size)) return "";
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0) file.ReadExact(&bytes[0], bytes.size());
    return bytes;
}

TTestQuestion SampleQuestion() {
    TTestQuestion q;
    q.AnswerMode = 2;
    q.Priority = 3;
    q.TimeLimit = 30;
    q.Text = Utf8ToCp1251("Какие из чисел чётные?/nВыберите все.");
    q.AttachFile = "PICTURE1.BMP";
    q.Attach.ScaleMode = 2;
    for (int i = 0; i < 3; ++i) {
        TTestAnswer a;
        a.Weight = static_cast<int8_t>(i == 1 ? -1 : 1);
        a.Text = std::to_string(i * 2 + (i == 1));
        a.AttachFile = kNoAttachment;
        q.Answers.push_back(a);
    }
    return q;
}

std::string MakeArchive(const fs::path& work, const TZipSignatures& signatures, int level) {
    SetZipSignatures(signatures);
    const fs::path zipPath = work / "seed.zip";
    fs::remove(zipPath);
    Put(work / "INDEX.SYS", "Q0001.QST\r\nQ0002.QST\r\n");
    Put(work / "INFO.SYS", "[MAIN]\r\nPackLevel=6\r\nLastQuest=0\r\n");
    Put(work / "Q0001.QST", EncodeQuestion(SampleQuestion()));
    TZipArchive zip;
    zip.SetArchiveFile(zipPath);
    zip.SetPassword("Kp4#nV7q!Z");
    zip.SetCompressionLevel(level);
    for (const char* name : {"INDEX.SYS", "INFO.SYS", "Q0001.QST"}) zip.AddFiles.push_back(work / name);
    zip.Add();
    zip.Close();
    return Get(zipPath);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path work = root / "work";
    for (const char* target : {"payload", "archive", "question", "ini", "jpeg"}) fs::create_directories(root / target);
    fs::create_directories(work);

    const std::string testArchive = MakeArchive(work, kTestArchiveSignatures, 6);
    Put(root / "archive" / "test-deflated", testArchive);
    Put(root / "archive" / "test-stored", MakeArchive(work, kTestArchiveSignatures, 0));
    Put(root / "archive" / "standard", MakeArchive(work, kStandardZipSignatures, 6));
    Put(root / "archive" / "empty", "");

    TPayloadInfo info;
    info.InfoText = Utf8ToCp1251("Проверка");
    info.ExtraFieldCaption = "Group";
    info.PasswordTail = "tail";
    info.LimitSeconds = -1;
    Put(work / "base.exe", "MZ");
    Put(work / "archive.bin", testArchive);
    if (!WritePayloadExe(work / "base.exe", work / "archive.bin", info, root / "payload" / "player").empty()) return 1;
    Put(root / "payload" / "no-marker", "MZ plain executable");

    Put(root / "question" / "sample", EncodeQuestion(SampleQuestion()));
    TTestQuestion typed;
    typed.AnswerMode = 1;
    typed.Text = "?";
    typed.AttachFile = kNoAttachment;
    TTestAnswer variants;
    variants.Weight = 5;
    variants.Text = Utf8ToCp1251("кошка") + "\xA6" + Utf8ToCp1251("кот");
    variants.AttachFile = kNoAttachment;
    typed.Answers.push_back(variants);
    Put(root / "question" / "typed", EncodeQuestion(typed));

    Put(root / "ini" / "info", "[MAIN]\r\nPackLevel=6\r\nLastQuest=12\r\n");
    Put(root / "ini" / "odd", "; comment\n[ main ]\n lastquest = \"3\" \n[OTHER]\nx=y\n");
    using jpegtest::TLayout;
    Put(root / "jpeg" / "rgb", jpegtest::EncodeJpeg({17, 9, TLayout::Rgb, true, false, 75}, jpegtest::Quadrants));
    Put(root / "jpeg" / "gray", jpegtest::EncodeJpeg({9, 17, TLayout::Gray, false, false, 75}, jpegtest::Quadrants));
    Put(root / "jpeg" / "progressive", jpegtest::EncodeJpeg({24, 16, TLayout::Rgb, true, true, 75}, jpegtest::Quadrants));
    Put(root / "jpeg" / "ycck", jpegtest::EncodeJpeg({8, 8, TLayout::Ycck, false, false, 75}, jpegtest::Quadrants));
    fs::remove_all(work);
    return 0;
}

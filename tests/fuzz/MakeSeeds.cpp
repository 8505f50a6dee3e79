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
#include "model/OleStream.h"
#include "tests/core/BankPictureTestUtil.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/core/PictureTestData.h"
#include "tools/OleBuilder.h"

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
    for (const char* target : {"payload", "archive", "question", "ini", "jpeg", "picture", "ole", "bank"}) fs::create_directories(root / target);
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

    using namespace picturedata;
    Put(root / "picture" / "bmp24", Bmp({4, 2, 24, 0, 0, "", std::string(24, 'x')}));
    Put(root / "picture" / "bmp8", Bmp({4, 2, 8, 0, 2, std::string(8, 'c'), std::string(8, '\1')}));
    Put(root / "picture" / "rle8",
        Bmp({8, 2, 8, 1, 2, std::string(8, 'c'), std::string("\x04\x01\x00\x00\x02\x01\x00\x03\x07\x08\x09\x00\x00\x00\x00\x01", 16)}));
    Put(root / "picture" / "emf",
        Emf({Record(39, {1, 0, 0xFF, 0}), Record(37, {1}), Record(3, {0, 0, 9, 9, 3, 0, 0, 9, 0, 0, 9}),
             Record(81, {0, 0, 0, 0, 0, 0, 0, 0, 4, 2, 80, 40, 120, 24, 0, 0xCC0020, 4, 2}, Dib(4, 2, 24)),
             Record(33, {}), Record(34, {0xFFFFFFFF})}));
    const std::string wmf = Wmf({WmfRecord(0x02FC, {0, 0xFF, 0, 0}), WmfRecord(0x012D, {0}),
                                 WmfRecord(0x0324, {2, 0, 0, 5, 5}), WmfRecord(0x001E, {}), WmfRecord(0x0127, {0xFFFF}),
                                 WmfRecord(0x0F43, {0x20, 0xCC, 0, 2, 4, 0, 0, 2, 4, 0, 0}, Dib(4, 2, 24))});
    Put(root / "picture" / "wmf", wmf);
    Put(root / "picture" / "placeable", std::string(22, '\0') + wmf);

    TRawImage image;
    image.Width = 5;
    image.Height = 3;
    image.Bgra.assign(5 * 3 * 4, '\x40');
    const std::string storage = BuildPictureObjectStorage(image);
    Put(root / "ole" / "object", MakeOleStream(1, storage));
    Put(root / "ole" / "storage", storage);

    Put(root / "bank" / "png-photo", banktest::Png(12, 10, banktest::Gradient(12, 10)));
    Put(root / "bank" / "png-drawing", banktest::Png(3, 2, std::vector<uint8_t>(3 * 2 * 4, 0x80)));
    Put(root / "bank" / "gif", banktest::Gif(4, 9, {{0, 0, 0}, {255, 0, 0}, {0, 0, 255}},
                                             std::vector<uint8_t>(4 * 9, 1), 2, true));
    Put(root / "bank" / "moodle",
        "<?xml version=\"1.0\"?>\n<quiz><question type=\"category\"><category><text>$course$/top/A</text>"
        "</category></question><question type=\"multichoice\"><name><text>Q</text></name>"
        "<questiontext format=\"html\"><text><![CDATA[<p>Q&laquo;<img src=\"@@PLUGINFILE@@/a.png\"></p>]]></text>"
        "<file name=\"a.png\" path=\"/\" encoding=\"base64\">iVBORw0KGgo=</file></questiontext>"
        "<single>false</single><answer fraction=\"50\" format=\"html\"><text>a</text></answer>"
        "<answer fraction=\"-33.33333\"><text>b</text></answer></question>"
        "<question type=\"ordering\"><questiontext><text>o</text></questiontext>"
        "<answer fraction=\"2\"><text>x</text></answer><answer fraction=\"1\"><text>y</text></answer></question>"
        "</quiz>");
    fs::remove_all(work);
    return 0;
}

// The test archive through the Windows file system: wide paths, file times and attributes.

#include <windows.h>
#include <gtest/gtest.h>

#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "tests/win/WinTestUtil.h"

namespace {

class ZipTestWin : public ::testing::Test {
protected:
    TScratchFolder scratch{L" архив 档案"};
    TPath archive = scratch / L"test.tmp";
    TZipSignatures saved = ZipSignatures();

    void SetUp() override { SetZipSignatures(kTestArchiveSignatures); }
    void TearDown() override { SetZipSignatures(saved); }

    void Build() {
        TTestQuestion q;
        q.Text = Utf8ToCp1251("Что на картинке?");
        q.AttachFile = "PICTURE1.BMP";
        TTestAnswer a;
        a.Text = Utf8ToCp1251("Кошка");
        a.AttachFile = kNoAttachment;
        q.Answers.push_back(a);
        const TPath src = scratch / L"src";
        CreateFolder(src);
        ASSERT_TRUE(WriteWholeFile(src / L"INDEX.SYS", "Q0001.QST\r\n"));
        ASSERT_TRUE(WriteWholeFile(src / L"INFO.SYS", "[MAIN]\r\nPackLevel=9\r\n"));
        ASSERT_TRUE(WriteWholeFile(src / L"Q0001.QST", EncodeQuestion(q)));
        ASSERT_TRUE(WriteWholeFile(src / L"PICTURE1.BMP", "BM bytes"));
        // A read-only attachment must come out read-only, and a second load must still
        // be able to overwrite it.
        SetFileAttributesW((src / L"PICTURE1.BMP").c_str(), FILE_ATTRIBUTE_READONLY);
        TZipArchive zip;
        zip.SetArchiveFile(archive);
        zip.SetPassword(std::string(kArchivePasswordText) + "x");
        zip.SetComment(Utf8ToCp1251("Тест"));
        for (const wchar_t* name : {L"INDEX.SYS", L"INFO.SYS", L"Q0001.QST", L"PICTURE1.BMP"}) {
            zip.AddFiles.push_back(src / name);
        }
        ASSERT_EQ(zip.Add(), 4);
        SetFileAttributesW((src / L"PICTURE1.BMP").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
};

}  // namespace

TEST_F(ZipTestWin, LoadsIntoAWorkFolderUnderAnyName) {
    Build();
    TZipTest test;
    test.SetTempBase(scratch.Path());
    EXPECT_EQ(test.TempDir.native(), (scratch / L"_$Orvotst").native() + L"\\");
    ASSERT_TRUE(test.OpenTest(archive, "x")) << int(test.LastError);
    EXPECT_EQ(test.GetComment(), Utf8ToCp1251("Тест"));
    test.ExtractAttachments = true;
    test.ClearBeforeLoad = true;
    for (int round = 0; round < 2; ++round) {
        TTestQuestion q;
        test.LoadQuestion(0, q);
        ASSERT_EQ(test.LastError, kZipTestOk);
        EXPECT_EQ(q.Answers.at(0).Text, Utf8ToCp1251("Кошка"));
        EXPECT_EQ(ReadWholeFile(q.AttachPath), "BM bytes");
        DWORD attributes = GetFileAttributesW(q.AttachPath.c_str());
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    }
    test.WriteLastQuest(3);
    EXPECT_EQ(test.ReadLastQuest(), 3);
}

TEST_F(ZipTestWin, ExtractedFilesKeepTheirEntryTime) {
    Build();
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword(std::string(kArchivePasswordText) + "x");
    zip.ReadDirectory();
    const TPath out = scratch / L"out";
    CreateFolder(out);
    zip.SetDestination(IncludeBackslash(out));
    zip.FileList = {"INDEX.SYS"};
    ASSERT_EQ(zip.Extract(), 1);
    const TZipEntry* entry = nullptr;
    for (const TZipEntry& e : zip.Entries()) {
        if (e.Name == "INDEX.SYS") entry = &e;
    }
    ASSERT_NE(entry, nullptr);
    HANDLE h = CreateFileW((out / L"INDEX.SYS").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME written, local;
    GetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
    FileTimeToLocalFileTime(&written, &local);
    WORD date = 0, time = 0;
    FileTimeToDosDateTime(&local, &date, &time);
    EXPECT_EQ(date, entry->Date);
    EXPECT_EQ(time, entry->Time);
}

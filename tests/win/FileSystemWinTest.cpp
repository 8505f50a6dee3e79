#include <windows.h>
#include <gtest/gtest.h>

#include "app/Payload.h"
#include "model/Codepage.h"
#include "tests/win/WinTestUtil.h"

TEST(GetTempFolderWin, EndsInABackslashAndExists) {
    std::wstring folder = GetTempFolder().native();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(IncludeBackslashWin, UsesTheBackslash) {
    EXPECT_EQ(IncludeBackslash(TPath(L"C:\\Temp")).native(), L"C:\\Temp\\");
    EXPECT_EQ(IncludeBackslash(TPath(L"C:\\Temp\\")).native(), L"C:\\Temp\\");
}

class ClearFolderWinTest : public ::testing::Test {
protected:
    TScratchFolder scratch;
    TPath work = scratch / L"work";
    TPath outside = scratch / L"outside";
    void SetUp() override {
        ASSERT_TRUE(CreateFolder(work));
        ASSERT_TRUE(CreateFolder(outside));
        ASSERT_TRUE(WriteWholeFile(outside / L"keep.txt", "keep"));
    }
};

TEST_F(ClearFolderWinTest, DeletesReadOnlyHiddenAndNestedEntries) {
    ASSERT_TRUE(CreateFolder(work / L"sub"));
    ASSERT_TRUE(CreateFolder(work / L"sub" / L"deeper"));
    ASSERT_TRUE(WriteWholeFile(work / L"plain.txt", "p"));
    ASSERT_TRUE(WriteWholeFile(work / L"ro.txt", "r"));
    ASSERT_TRUE(WriteWholeFile(work / L"sub" / L"hidden.sys", "h"));
    ASSERT_TRUE(WriteWholeFile(work / L"sub" / L"deeper" / L"файл.bmp", "f"));
    SetFileAttributesW((work / L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((work / L"sub" / L"hidden.sys").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((work / L"sub" / L"deeper").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(ClearFolder(work));
    EXPECT_TRUE(PathExists(work));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((work / L"*").c_str(), &data);
    int entries = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") ++entries;
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    EXPECT_EQ(entries, 0);
}

TEST_F(ClearFolderWinTest, AFileHeldOpenFailsTheResultAndStays) {
    ASSERT_TRUE(WriteWholeFile(work / L"held.avi", "video"));
    HANDLE held = CreateFileW((work / L"held.avi").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ClearFolder(work));
    EXPECT_TRUE(PathExists(work / L"held.avi"));
    CloseHandle(held);
    EXPECT_TRUE(ClearFolder(work));
    EXPECT_FALSE(PathExists(work / L"held.avi"));
}

namespace {

// Wine shows a Unix symbolic link to a folder as a reparse point, the way Windows shows a
// junction; plant one with the system's ln. Empty when not running under Wine.
std::string UnixPath(const TPath& path) {
    using TWineUnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<TWineUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return "";
    char* name = toUnix(path.c_str());
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Starts a Unix program under Wine. Wine does not wait for such children, so callers
// wait for the effect.
bool RunUnix(const wchar_t* program, std::wstring command) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return true;
}

bool PlantUnixFolderLink(const TPath& link, const TPath& target) {
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    return RunUnix(L"Z:\\bin\\ln", L"/bin/ln -s \"" + Wide(unixTarget) + L"\" \"" + Wide(unixLink) + L"\"") &&
           WaitUntil([&] { return PathExists(link); }, 5000);
}

// Deleting the name through Windows would delete the target under Wine.
void RemoveUnixLink(const TPath& link) {
    std::string unixLink = UnixPath(link);
    if (!unixLink.empty() && RunUnix(L"Z:\\bin\\rm", L"/bin/rm -f \"" + Wide(unixLink) + L"\"")) {
        WaitUntil([&] { return !PathExists(link); }, 5000);
    }
}

}  // namespace

TEST_F(ClearFolderWinTest, NeverDescendsIntoALinkedFolder) {
    ASSERT_TRUE(CreateFolder(outside / L"inner"));
    ASSERT_TRUE(WriteWholeFile(outside / L"inner" / L"keep2.txt", "keep"));
    const TPath link = work / L"link";
    ASSERT_TRUE(PlantUnixFolderLink(link, outside));
    ASSERT_TRUE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_EQ(ReadWholeFile(link / L"keep.txt"), "keep");

    ClearFolder(work);
    // Wine cannot remove the Unix link itself (Windows removes a junction); what matters
    // is that nothing behind it is touched.
    EXPECT_EQ(ReadWholeFile(outside / L"keep.txt"), "keep");
    EXPECT_EQ(ReadWholeFile(outside / L"inner" / L"keep2.txt"), "keep");
    RemoveUnixLink(link);
}

TEST(BinaryFileWin, WritesReadsAndCopiesLargeBlocks) {
    TScratchFolder scratch;
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 5; ++i) bytes += static_cast<char>(i * 7 % 253);
    ASSERT_TRUE(WriteWholeFile(scratch / L"a.bin", bytes));
    TBinaryFile from, to;
    ASSERT_TRUE(from.OpenRead(scratch / L"a.bin"));
    uint64_t size = 0;
    ASSERT_TRUE(from.Size(size));
    EXPECT_EQ(size, bytes.size());
    ASSERT_TRUE(from.Seek(5));
    ASSERT_TRUE(to.Create(scratch / L"b.bin"));
    ASSERT_TRUE(TBinaryFile::Copy(from, to, size - 5));
    EXPECT_FALSE(TBinaryFile::Copy(from, to, 1));  // nothing is left to read
    to.Close();
    EXPECT_EQ(ReadWholeFile(scratch / L"b.bin"), bytes.substr(5));
}

// Paths reach the file system as UTF-16: folders named in any language work.
TEST(PayloadWin, ReadsFromAndCopiesToFoldersWithNonAnsiNames) {
    TScratchFolder scratch(L" тест 测试 ü");
    const TPath tmp = scratch / L"врем 临时";
    ASSERT_TRUE(CreateFolder(tmp));
    ASSERT_TRUE(WriteWholeFile(scratch / L"base.exe", "MZ"));
    ASSERT_TRUE(WriteWholeFile(scratch / L"архив.zip", "archive bytes"));
    TPayloadInfo in;
    in.InfoText = Utf8ToCp1251("Информация");
    in.SkipsAllowed = 2;
    ASSERT_EQ(WritePayloadExe(scratch / L"base.exe", scratch / L"архив.zip", in, scratch / L"игрок 玩家.exe"), "");

    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", tmp.c_str());
    TPayloadInfo out;
    ReadPayload(scratch / L"игрок 玩家.exe", out);
    SetEnvironmentVariableW(L"TMP", saved);

    EXPECT_EQ(out.InfoText, in.InfoText);
    EXPECT_EQ(out.SkipsAllowed, 2);
    EXPECT_EQ(out.ArchiveFile.parent_path(), tmp);
    EXPECT_EQ(ReadWholeFile(out.ArchiveFile), "archive bytes");
    DeleteFileAt(out.ArchiveFile);
}

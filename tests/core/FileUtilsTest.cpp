#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "model/FileUtils.h"
#include "model/Random.h"
#include "tests/core/TempDir.h"

namespace fs = std::filesystem;

TEST(IncludeBackslash, AppendsTheSeparatorOnce) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"/tmp/work", "/tmp/work/"},
        {"/tmp/work/", "/tmp/work/"},
        {"a", "a/"},
        {"/", "/"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(IncludeBackslash(TPath(c.in)).native(), c.out) << c.in;
}

TEST(RandomInt, StaysInRangeAndCoversIt) {
    RandomSeed(1);
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        int32_t v = RandomInt(10);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 10);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(RandomInt(0), 0);
    EXPECT_EQ(RandomInt(-5), 0);
}

TEST(UniqueRandomFileName, EightCharactersOfTheAlphabetAndTheExtension) {
    TTempDir dir;
    const std::string alphabet = kRandomNameAlphabet;
    ASSERT_EQ(alphabet.size(), 64u);
    EXPECT_EQ(alphabet.find_first_of("eE"), std::string::npos);
    RandomSeed(7);
    std::set<char> used;
    for (int i = 0; i < 500; ++i) {
        TPath p = UniqueRandomFileName(dir.Path(), ".tmp");
        EXPECT_EQ(p.parent_path(), dir.Path());
        std::string name = p.filename().string();
        ASSERT_EQ(name.size(), 12u) << name;
        EXPECT_EQ(name.substr(8), ".tmp");
        for (char c : name.substr(0, 8)) {
            EXPECT_NE(alphabet.find(c), std::string::npos) << name;
            used.insert(c);
        }
    }
    EXPECT_EQ(used.count('e') + used.count('E'), 0u);
    EXPECT_GT(used.size(), 50u);  // 4000 draws reach nearly all of the 62 distinct characters
}

TEST(UniqueRandomFileName, NeverNamesAnExistingFile) {
    TTempDir dir;
    // Replay the generator: the first name it would give is taken, so the next one must come.
    RandomSeed(42);
    TPath first = UniqueRandomFileName(dir.Path(), ".tmp");
    WriteFileBytes(first, "x");
    RandomSeed(42);
    TPath second = UniqueRandomFileName(dir.Path(), ".tmp");
    EXPECT_NE(first, second);
    EXPECT_FALSE(fs::exists(second));
}

TEST(BinaryFileCreateNew, TakesANameOnlyWhenNothingHasIt) {
    // Drawing a free name and creating the file are one step apart: two programs that drew
    // the same name must not both get it.
    TTempDir dir;
    const TPath path = dir / "copy.tmp";
    TBinaryFile first;
    ASSERT_TRUE(first.CreateNew(path));
    ASSERT_TRUE(first.Write("first", 5));
    first.Close();
    TBinaryFile second;
    EXPECT_FALSE(second.CreateNew(path));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(ReadFileBytes(path), "first");
}

class ClearFolderTest : public ::testing::Test {
protected:
    TTempDir dir;
    TPath work = dir / "work";
    void SetUp() override { fs::create_directories(work); }
};

TEST_F(ClearFolderTest, DeletesFilesAndNestedFoldersButKeepsTheFolder) {
    fs::create_directories(work / "a" / "b");
    WriteFileBytes(work / "one.txt", "1");
    WriteFileBytes(work / ".hidden", "h");
    WriteFileBytes(work / "a" / "two.bin", "2");
    WriteFileBytes(work / "a" / "b" / "three", "3");
    chmod((work / "a" / "two.bin").c_str(), 0444);
    EXPECT_TRUE(ClearFolder(work));
    EXPECT_TRUE(fs::is_directory(work));
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(ClearFolderTest, AFolderThatDoesNotExistGivesTrue) {
    EXPECT_TRUE(ClearFolder(dir / "missing"));
    EXPECT_TRUE(ClearFolder(TPath()));
}

TEST_F(ClearFolderTest, RemovesLinksButNeverWhatTheyPointTo) {
    const TPath outside = dir / "outside";
    fs::create_directories(outside / "inner");
    WriteFileBytes(outside / "keep.txt", "keep");
    WriteFileBytes(outside / "inner" / "keep2.txt", "keep");
    fs::create_directory_symlink(outside, work / "dirlink");
    fs::create_symlink(outside / "keep.txt", work / "filelink");
    fs::create_symlink(dir / "nowhere", work / "dangling");

    EXPECT_TRUE(ClearFolder(work));
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(outside / "inner" / "keep2.txt"), "keep");
}

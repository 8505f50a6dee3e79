#include "archive/ZipArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/EntryName.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "tests/core/TempDir.h"
#include "tests/core/ZipTestUtil.h"

using namespace ziptest;
namespace fs = std::filesystem;

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// "Class: message" of the archive error thrown by `action`, "" when none is thrown. Anything
// that is not an archive error escapes and fails the test.
std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EZipError& e) {
        return std::string(e.ClassName()) + ": " + e.what();
    }
    return "";
}

const std::string kNotAZip = "ENotAZipFile: Not a valid zip file!";
const std::string kBadZip = "EBadZipFile: Not a valid zip file!";

bool IsWritable(const TPath& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

struct TEventLog {
    std::vector<std::pair<std::string, std::string>> skipped;
    std::vector<std::string> wrongPassword;
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<int> progress;
    int unzipEnds = 0;
    int zipEnds = 0;
    // The passwords OnWrongPassword hands out, one per call; when none are left it refuses.
    std::vector<std::string> answers;

    void Attach(TZipArchive& zip) {
        zip.OnSkipped = [this](const std::string& name, const std::string& reason) {
            skipped.emplace_back(name, reason);
        };
        zip.OnWrongPassword = [this](const std::string& name, std::string& password) {
            wrongPassword.push_back(name);
            if (answers.empty()) return false;
            password = answers.front();
            answers.erase(answers.begin());
            return true;
        };
        zip.OnMessage = [this](const std::string& text, const std::string& caption) {
            messages.emplace_back(text, caption);
        };
        zip.OnTotalProgress = [this](int percent) { progress.push_back(percent); };
        zip.OnUnzipEnd = [this] { ++unzipEnds; };
        zip.OnZipEnd = [this] { ++zipEnds; };
    }
};

class ZipFixture : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ZipSignatures();
        SetZipSignatures(kStandardZipSignatures);
        fs::create_directories(out);
        fs::create_directories(src);
        zip.SetArchiveFile(archivePath);
        zip.SetDestination(IncludeBackslash(out));
        zip.SetPassword("pw");
        log.Attach(zip);
    }
    void TearDown() override { SetZipSignatures(saved_); }

    // Closes the directory too: two archives written within the file system's time step
    // would otherwise look like the same file.
    void WriteArchive(const std::string& bytes) {
        WriteFileBytes(archivePath, bytes);
        zip.Close();
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const TZipEntry& entry : zip.Entries()) names.push_back(entry.Name);
        return names;
    }

    const TZipEntry* Find(const std::string& name) const {
        for (const TZipEntry& entry : zip.Entries()) {
            if (entry.Name == name) return &entry;
        }
        return nullptr;
    }

    std::set<std::string> OutFiles() const {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(out)) names.insert(PathToCp1251(item.path().filename()));
        return names;
    }

    int ExtractNames(const std::vector<std::string>& names) {
        zip.FileList = names;
        return zip.Extract();
    }

    int AddFiles(const std::vector<std::string>& paths) {
        zip.FileList = paths;
        return zip.Add();
    }

    // A source file for Add, named in cp1251; returns the path as Add expects it.
    std::string Source(const std::string& name, const std::string& content) {
        TPath path = src / Cp1251ToPath(name);
        WriteFileBytes(path, content);
        return PathToCp1251(path);
    }

    TTempDir temp;
    TPath archivePath = temp / "test.zip";
    TPath out = temp / "out";
    TPath src = temp / "src";
    TZipArchive zip;
    TEventLog log;

private:
    TZipSignatures saved_;
};

TTestEntry Entry(const std::string& name, const std::string& data, uint16_t method = 8,
                 const std::string& password = "pw") {
    TTestEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    e.password = password;
    return e;
}

// ---------------------------------------------------------------- platform additions

class DosFileInfoTest : public ZipFixture {};

TEST_F(DosFileInfoTest, DateAndTimeRoundTrip) {
    struct Case {
        uint16_t date, time;
        bool accepted;
        const char* what;
    };
    const Case cases[] = {
        {0x5B8A, 0x7A3C, true, "2025-12-10 15:17:56"},
        {0x0021, 0x0000, true, "1980-01-01 00:00:00"},
        {0x585D, 0xBF7D, true, "2024-02-29 23:59:58"},
        {0xFF9F, 0xBF7D, true, "2107-12-31 23:59:58"},
        {0x5A5D, 0xBF7D, false, "2025-02-29"},
        {0x5B9F, 0x0000, true, "2025-12-31"},
        {0x5B7F, 0x0000, false, "2025-11-31"},
        {0x0000, 0x0000, false, "month 0"},
        {0x5B80, 0x0000, false, "day 0"},
        {0x5B8A, 0xC000, false, "hour 24"},
        {0x5B8A, 0x7F80, false, "minute 60"},
        {0x5B8A, 0x7A3E, false, "second 60"},
    };
    TPath file = temp / "file.txt";
    WriteFileBytes(file, "x");
    for (const Case& c : cases) {
        ASSERT_TRUE(SetFileDosDateTime(file, 0x5021, 0x1000));
        EXPECT_EQ(SetFileDosDateTime(file, c.date, c.time), c.accepted) << c.what;
        uint16_t date = 0, time = 0;
        ASSERT_TRUE(GetFileDosDateTime(file, date, time)) << c.what;
        EXPECT_EQ(date, c.accepted ? c.date : 0x5021) << c.what;
        EXPECT_EQ(time, c.accepted ? c.time : 0x1000) << c.what;
    }
}

TEST_F(DosFileInfoTest, TimesBefore1980ReadAsTheFirstDosDay) {
    TPath file = temp / "old.txt";
    WriteFileBytes(file, "x");
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(24 * 365 * 60));
    uint16_t date = 0, time = 0;
    ASSERT_TRUE(GetFileDosDateTime(file, date, time));
    EXPECT_EQ(date, 0x21);
    EXPECT_EQ(time, 0);
}

TEST_F(DosFileInfoTest, AttributesAndModificationTime) {
    TPath file = temp / "file.txt";
    WriteFileBytes(file, "x");
    EXPECT_EQ(GetFileDosAttributes(file), 0);
    ASSERT_TRUE(SetFileDosAttributes(file, 0x21));
    EXPECT_EQ(GetFileDosAttributes(file), kDosReadOnly);
    EXPECT_FALSE(IsWritable(file));
    ASSERT_TRUE(ClearReadOnly(file));
    EXPECT_TRUE(IsWritable(file));
    ASSERT_TRUE(SetFileDosAttributes(file, kDosReadOnly));
    ASSERT_TRUE(SetFileDosAttributes(file, 0x20));
    EXPECT_TRUE(IsWritable(file));
    EXPECT_TRUE(ClearReadOnly(temp / "missing"));
    EXPECT_EQ(GetFileDosAttributes(temp / "missing"), -1);

    int64_t before = 0, after = 0, again = 0;
    ASSERT_TRUE(GetFileModificationTime(file, before));
    ASSERT_TRUE(GetFileModificationTime(file, again));
    EXPECT_EQ(before, again);
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::milliseconds(1));
    ASSERT_TRUE(GetFileModificationTime(file, after));
    EXPECT_NE(before, after);
    EXPECT_FALSE(GetFileModificationTime(temp / "missing", after));
}

// ---------------------------------------------------------------- reading the directory

class ZipReadTest : public ZipFixture {};

TEST_F(ZipReadTest, EntryFieldsAndNames) {
    struct Case {
        uint8_t host;
        std::string raw;
        std::string name;
    };
    const Case cases[] = {
        {0, "\x8F\xE0\xA8\xA2\xA5\xE2.txt", Cp("Привет.txt")},  // OEM bytes from an MS-DOS host
        {3, Cp("Привет.txt"), Cp("Привет.txt")},                 // any other host: as stored
        {0, "dir/a.txt", "dir\\a.txt"},
        {11, "UPPER.TXT", "UPPER.TXT"},
    };
    std::vector<TTestEntry> entries;
    for (const Case& c : cases) {
        TTestEntry e = Entry(c.raw, "data of " + c.raw);
        e.host = c.host;
        entries.push_back(e);
    }
    entries[1].extra = std::string("\x55\x54\x05\x00\x01\x10\x20\x30\x40", 9);
    entries[1].comment = "entry comment";
    entries[1].externalAttributes = 0x81A40001;
    TZipLayout layout;
    layout.comment = Cp("Тест по физике");
    TBuiltZip built = BuildZip(entries, layout);
    WriteArchive(built.bytes);

    zip.ReadDirectory();
    EXPECT_TRUE(zip.IsOpen());
    EXPECT_EQ(zip.Comment(), layout.comment);
    ASSERT_EQ(zip.Entries().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const TZipEntry& e = zip.Entries()[i];
        EXPECT_EQ(e.Name, cases[i].name) << i;
        EXPECT_EQ(e.RawName, cases[i].raw) << i;
        EXPECT_EQ(e.VersionMadeBy >> 8, cases[i].host) << i;
        EXPECT_EQ(e.VersionNeeded, 20) << i;
        EXPECT_EQ(e.LocalHeaderOffset, built.localOffsets[i]) << i;
        EXPECT_EQ(e.Crc, Crc(entries[i].data)) << i;
        EXPECT_EQ(e.UncompressedSize, entries[i].data.size()) << i;
        EXPECT_EQ(e.CompressedSize, RawDeflate(entries[i].data).size() + 12) << i;
        EXPECT_EQ(e.Flags, 1) << i;
        EXPECT_EQ(e.Method, 8) << i;
        EXPECT_EQ(e.Time, 0x7A3C) << i;
        EXPECT_EQ(e.Date, 0x5B8A) << i;
    }
    EXPECT_EQ(zip.Entries()[1].Extra, entries[1].extra);
    EXPECT_EQ(zip.Entries()[1].Comment, "entry comment");
    EXPECT_EQ(zip.Entries()[1].ExternalAttributes, 0x81A40001u);
}

TEST_F(ZipReadTest, LocatesTheEndRecord) {
    std::string record;  // the end record of an empty archive whose comment is "FAKE"
    Put32(record, kStandardZipSignatures.End);
    record += std::string(16, '\0');
    Put16(record, 4);
    const std::string sig = record.substr(0, 4);
    auto withComment = [&](const std::string& comment, std::optional<uint16_t> length = std::nullopt) {
        TZipLayout layout;
        layout.comment = comment;
        layout.commentLength = length;
        return BuildZip({Entry("a.txt", "alpha")}, layout).bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
        size_t entries;
        std::string comment;
    };
    const Case cases[] = {
        {"empty file: an archive with nothing in it", "", 0, ""},
        {"plain archive", withComment("Test"), 1, "Test"},
        {"a record inside the comment, 22 or more bytes before the end, is taken",
         withComment(record + "FAKE" + std::string(10, 'x')), 0, "FAKE"},
        {"signature bytes 21 bytes before the end are not looked at", withComment("abc" + sig + std::string(17, 'z')),
         1, "abc" + sig + std::string(17, 'z')},
        {"comment length beyond the file: cut at the end", withComment("short", 500), 1, "short"},
        {"longest comment", withComment(std::string(0xFFFF, 'c')), 1, std::string(0xFFFF, 'c')},
    };
    for (const Case& c : cases) {
        WriteArchive(c.bytes);
        zip.ReadDirectory();
        EXPECT_TRUE(zip.IsOpen()) << c.what;
        EXPECT_EQ(zip.Entries().size(), c.entries) << c.what;
        EXPECT_EQ(zip.Comment(), c.comment) << c.what;
    }
}

TEST_F(ZipReadTest, EmptyArchiveExtractsNothing) {
    WriteArchive("");
    EXPECT_EQ(ExtractNames({"INDEX.SYS"}), 0);
    EXPECT_TRUE(zip.IsOpen());
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_TRUE(OutFiles().empty());
    std::string data = "old";
    EXPECT_FALSE(zip.ExtractToMemory("INDEX.SYS", data));
    EXPECT_TRUE(data.empty());
}

TEST_F(ZipReadTest, FilesWithoutAnEndRecord) {
    TBuiltZip built = BuildZip({Entry("a.txt", "alpha"), Entry("b.txt", "bravo")});
    const std::string headless = built.bytes.substr(0, built.directoryOffset);
    std::string endStart;
    Put32(endStart, kStandardZipSignatures.End);
    using A = TIncompleteAnswer;
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<A> answer;
        std::string error;
        size_t entries;
    };
    const Case cases[] = {
        {"10 bytes", "0123456789", std::nullopt, kNotAZip, 0},
        {"21 bytes starting like an end record", endStart + std::string(17, '\0'), std::nullopt, kNotAZip, 0},
        {"10 bytes, damaged: nothing to recover", "0123456789", A::Damaged, kBadZip, 0},
        {"directory cut off, no answer", headless, std::nullopt, kNotAZip, 0},
        {"directory cut off, not an archive", headless, A::NotAnArchive, kNotAZip, 0},
        {"directory cut off, multi-part", headless, A::MultiPart, "EIncompleteZip: Incomplete Zip File", 0},
        {"directory cut off, damaged: local headers read", headless, A::Damaged, "", 2},
    };
    for (const Case& c : cases) {
        WriteArchive(c.bytes);
        int asked = 0;
        zip.OnIncompleteArchive = nullptr;
        if (c.answer) {
            zip.OnIncompleteArchive = [&] {
                ++asked;
                return *c.answer;
            };
        }
        EXPECT_EQ(ErrorOf([&] { zip.ReadDirectory(); }), c.error) << c.what;
        EXPECT_EQ(asked, c.answer ? 1 : 0) << c.what;
        EXPECT_EQ(zip.IsOpen(), c.error.empty()) << c.what;
        EXPECT_EQ(zip.Entries().size(), c.entries) << c.what;
    }
    zip.OnIncompleteArchive = [] { return TIncompleteAnswer::Damaged; };
    ASSERT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(ExtractNames({"a.txt", "b.txt"}), 2);
    EXPECT_EQ(ReadFileBytes(out / "b.txt"), "bravo");
}

TEST_F(ZipReadTest, SignaturesAreAProcessSetting) {
    struct Case {
        const TZipSignatures& written;
        const TZipSignatures& read;
        std::string error;
    };
    const Case cases[] = {
        {kStandardZipSignatures, kStandardZipSignatures, ""},
        {kTestArchiveSignatures, kTestArchiveSignatures, ""},
        {kStandardZipSignatures, kTestArchiveSignatures, kNotAZip},
        {kTestArchiveSignatures, kStandardZipSignatures, kNotAZip},
    };
    for (const Case& c : cases) {
        TZipLayout layout;
        layout.signatures = c.written;
        WriteArchive(BuildZip({Entry("a.txt", "alpha")}, layout).bytes);
        SetZipSignatures(c.read);
        EXPECT_EQ(ErrorOf([&] { zip.ReadDirectory(); }), c.error) << std::hex << c.written.End << " " << c.read.End;
        if (c.error.empty()) {
            EXPECT_EQ(ExtractNames({"a.txt"}), 1);
            EXPECT_EQ(ReadFileBytes(out / "a.txt"), "alpha");
        }
    }
}

TEST_F(ZipReadTest, RecoveryScan) {
    const std::vector<TTestEntry> two = {Entry("a.txt", "alpha"), Entry("b.txt", "bravo")};
    auto brokenCentral = [](TBuiltZip built) {
        built.bytes.replace(built.centralOffsets[0], 4, "XXXX");
        return built.bytes;
    };
    TZipLayout manyEntries;
    manyEntries.entryCount = 0xFFFF;
    std::vector<TTestEntry> withDescriptor = two;
    withDescriptor[0].descriptor = true;
    // Bytes in front of the archive whose offsets do not count them, as when an archive is
    // appended to a program: the directory is not where the end record says.
    std::string decoy;
    Put32(decoy, kStandardZipSignatures.Local);
    decoy += std::string(22, '\0');
    Put16(decoy, 5);
    Put16(decoy, 0);
    decoy += "DECOY";
    std::string prefix(14100, '\0');
    prefix.replace(100, decoy.size(), decoy);
    const std::string exe = prefix + BuildZip(two).bytes;
    std::string garbage(100, 'x');
    Put32(garbage, kStandardZipSignatures.End);
    garbage += std::string(4, '\0');
    Put16(garbage, 1);
    Put16(garbage, 1);
    garbage += std::string(10, '\0');

    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        std::string bytes;
        std::string file;
        V names;
        std::string error;
    };
    const Case cases[] = {
        {"central header with a wrong signature", brokenCentral(BuildZip(two)), "t.zip", V{"a.txt", "b.txt"}, ""},
        {"end record claims 65535 entries", BuildZip(two, manyEntries).bytes, "t.zip", V{"a.txt", "b.txt"}, ""},
        {"an entry with a data descriptor", brokenCentral(BuildZip(withDescriptor)), "t.zip", V{"a.txt", "b.txt"},
         ""},
        {"program file: the scan starts at 14000", exe, "t.EXE", V{"a.txt", "b.txt"}, ""},
        {"program file, lower-case extension", exe, "t.exe", V{"a.txt", "b.txt"}, ""},
        {"any other file: the scan starts at 0", exe, "t.zip", V{"DECOY"}, ""},
        {"program file shorter than 14000 bytes", brokenCentral(BuildZip(two)), "t.exe", V{}, kBadZip},
        {"no local header anywhere", garbage, "t.zip", V{}, kBadZip},
    };
    for (const Case& c : cases) {
        TPath path = temp / c.file;
        WriteFileBytes(path, c.bytes);
        zip.SetArchiveFile(path);
        EXPECT_EQ(ErrorOf([&] { zip.ReadDirectory(); }), c.error) << c.what;
        EXPECT_EQ(Names(), c.names) << c.what;
        if (!c.error.empty()) continue;
        ASSERT_TRUE(ClearFolder(out));
        EXPECT_EQ(ExtractNames(c.names), static_cast<int>(c.names.size())) << c.what;
        if (c.names.size() == 2) {
            EXPECT_EQ(ReadFileBytes(out / "b.txt"), "bravo") << c.what;
        }
    }
}

TEST_F(ZipReadTest, RereadsOnlyWhenTheFileTimeChanges) {
    WriteArchive(BuildZip({Entry("a.txt", "alpha")}).bytes);
    zip.ReadDirectory();
    ASSERT_EQ(Names(), std::vector<std::string>{"a.txt"});
    const auto time = fs::last_write_time(archivePath);

    WriteFileBytes(archivePath, BuildZip({Entry("b.txt", "bravo")}).bytes);
    fs::last_write_time(archivePath, time);
    EXPECT_EQ(ExtractNames({"b.txt"}), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});

    fs::last_write_time(archivePath, time + std::chrono::seconds(2));
    EXPECT_EQ(ExtractNames({"b.txt"}), 1);
    EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});
    EXPECT_EQ(ReadFileBytes(out / "b.txt"), "bravo");
}

TEST_F(ZipReadTest, CloseForgetsTheDirectory) {
    TZipLayout layout;
    layout.comment = "name";
    WriteArchive(BuildZip({Entry("a.txt", "alpha")}, layout).bytes);
    zip.ReadDirectory();
    ASSERT_TRUE(zip.IsOpen());
    zip.Close();
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_EQ(zip.Comment(), "");
    EXPECT_EQ(ExtractNames({"a.txt"}), 1);
    EXPECT_EQ(zip.Comment(), "name");
}

// ---------------------------------------------------------------- extracting

class ZipExtractTest : public ZipFixture {};

TEST_F(ZipExtractTest, DecodesEveryKind) {
    struct Case {
        uint16_t method;
        const char* password;
        bool descriptor;
        size_t size;
    };
    const Case cases[] = {
        {0, "", false, 200000}, {8, "", false, 200000}, {0, "pw", false, 200000}, {8, "pw", false, 200000},
        {0, "pw", true, 200000}, {8, "pw", true, 200000}, {8, "", true, 1000},   {0, "pw", false, 0},
        {8, "pw", false, 0},     {8, "", false, 1},
    };
    for (const Case& c : cases) {
        const std::string what = "method " + std::to_string(c.method) + " password '" + c.password +
                                  "' descriptor " + std::to_string(c.descriptor) + " size " + std::to_string(c.size);
        TTestEntry e = Entry("file.bin", MixedData(c.size, 7), c.method, c.password);
        e.descriptor = c.descriptor;
        WriteArchive(BuildZip({e}).bytes);
        EXPECT_EQ(ExtractNames({"file.bin"}), 1) << what;
        EXPECT_EQ(ReadFileBytes(out / "file.bin"), e.data) << what;
        uint16_t date = 0, time = 0;
        ASSERT_TRUE(GetFileDosDateTime(out / "file.bin", date, time)) << what;
        EXPECT_EQ(date, e.date) << what;
        EXPECT_EQ(time, e.time) << what;
        std::string data;
        EXPECT_TRUE(zip.ExtractToMemory("FILE.BIN", data)) << what;
        EXPECT_EQ(data, e.data) << what;
        EXPECT_TRUE(log.skipped.empty()) << what;
    }
}

TEST_F(ZipExtractTest, AnEmptyDeflatedEntryMayStoreNothing) {
    TTestEntry e = Entry("empty.txt", "", 8, "");
    e.payload = "";
    WriteArchive(BuildZip({e}).bytes);
    EXPECT_EQ(ExtractNames({"empty.txt"}), 1);
    EXPECT_EQ(ReadFileBytes(out / "empty.txt"), "");
}

TEST_F(ZipExtractTest, SelectsNamesIgnoringCase) {
    TTestEntry cyrillic = Entry("\x8F\xE0\xA8\xA2\xA5\xE2.TXT", "privet");  // OEM "Привет.TXT"
    WriteArchive(BuildZip({cyrillic, Entry("index.sys", "index"), Entry("other.txt", "other")}).bytes);
    EXPECT_EQ(ExtractNames({Cp("пРИВЕТ.txt"), "INDEX.SYS", "missing.txt"}), 2);
    EXPECT_TRUE(zip.FileList.empty());
    EXPECT_EQ(OutFiles(), (std::set<std::string>{Cp("Привет.TXT"), "index.sys"}));
    EXPECT_EQ(ReadFileBytes(out / Cp1251ToPath(Cp("Привет.TXT"))), "privet");
    EXPECT_TRUE(log.skipped.empty());
}

TEST_F(ZipExtractTest, AppliesTimeAndAttributesOverwritingReadOnlyFiles) {
    struct Case {
        uint32_t attributes;
        bool writable;
    };
    const Case cases[] = {{0x20, true}, {0x21, false}, {0x01, false}, {0x00, true}, {0x81A40000, true}};
    for (const Case& c : cases) {
        TTestEntry e = Entry("file.txt", "content " + std::to_string(c.attributes));
        e.externalAttributes = c.attributes;
        WriteArchive(BuildZip({e}).bytes);
        // Twice: the second run overwrites what the first left, read-only or not.
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(ExtractNames({"file.txt"}), 1) << std::hex << c.attributes;
            EXPECT_EQ(ReadFileBytes(out / "file.txt"), e.data) << std::hex << c.attributes;
            EXPECT_EQ(IsWritable(out / "file.txt"), c.writable) << std::hex << c.attributes;
        }
    }
    EXPECT_TRUE(log.skipped.empty());
}

TEST_F(ZipExtractTest, WrongPassword) {
    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        bool handler;
        V answers;
        int written;
        size_t asked;
    };
    const Case cases[] = {
        {"no handler", false, V{}, 0, 0},
        {"the person gives up", true, V{}, 0, 1},
        {"the person finds the password", true, V{"secret"}, 1, 1},
        {"second try right", true, V{"guess", "secret"}, 1, 2},
        {"second try wrong, then gives up", true, V{"guess"}, 0, 2},
    };
    TTestEntry locked = Entry("locked.txt", MixedData(5000, 1), 8, "secret");
    WriteArchive(BuildZip({locked, Entry("open.txt", "open", 8, "")}).bytes);
    for (const Case& c : cases) {
        ASSERT_TRUE(ClearFolder(out));
        log = TEventLog();
        log.Attach(zip);
        if (!c.handler) zip.OnWrongPassword = nullptr;
        log.answers = c.answers;
        zip.SetPassword("pw");
        EXPECT_EQ(ExtractNames({"locked.txt", "open.txt"}), c.written + 1) << c.what;
        EXPECT_EQ(log.wrongPassword.size(), c.asked) << c.what;
        EXPECT_EQ(PathExists(out / "locked.txt"), c.written == 1) << c.what;
        if (c.written == 1) {
            EXPECT_EQ(ReadFileBytes(out / "locked.txt"), locked.data) << c.what;
            EXPECT_TRUE(log.skipped.empty()) << c.what;
        } else {
            EXPECT_EQ(log.skipped, (std::vector<std::pair<std::string, std::string>>{{"locked.txt", "wrong password"}}))
                << c.what;
        }
    }
}

TEST_F(ZipExtractTest, DamagedDataWithTheRightPassword) {
    enum Damage { kFlipByte, kCrcLowByte, kStatedSize };
    struct Case {
        const char* what;
        uint16_t method;
        const char* password;
        Damage damage;
        size_t asked;
        const char* reason;
    };
    const Case cases[] = {
        {"encrypted stored, a data byte flipped", 0, "pw", kFlipByte, 1, "wrong password"},
        {"encrypted deflated, CRC differs below the check byte", 8, "pw", kCrcLowByte, 1, "wrong password"},
        {"plain stored, a data byte flipped", 0, "", kFlipByte, 0, "CRC error"},
        {"plain deflated, CRC differs", 8, "", kCrcLowByte, 0, "CRC error"},
        {"plain stored, stated size one more than the data", 0, "", kStatedSize, 0, "CRC error"},
    };
    for (const Case& c : cases) {
        log = TEventLog();
        log.Attach(zip);
        TTestEntry e = Entry("file.bin", MixedData(3000, 3), c.method, c.password);
        if (c.damage == kCrcLowByte) e.crc = Crc(e.data) ^ 0x01;
        if (c.damage == kStatedSize) e.uncompressedSize = static_cast<uint32_t>(e.data.size() + 1);
        TBuiltZip built = BuildZip({e});
        if (c.damage == kFlipByte) built.bytes[30 + e.name.size() + (e.password.empty() ? 0 : 12) + 100] ^= 0x01;
        WriteArchive(built.bytes);
        EXPECT_EQ(ExtractNames({"file.bin"}), 0) << c.what;
        EXPECT_FALSE(PathExists(out / "file.bin")) << c.what;
        EXPECT_EQ(log.wrongPassword.size(), c.asked) << c.what;
        ASSERT_EQ(log.skipped.size(), 1u) << c.what;
        EXPECT_EQ(log.skipped[0].second, c.reason) << c.what;
        std::string data;
        EXPECT_FALSE(zip.ExtractToMemory("file.bin", data)) << c.what;
        EXPECT_TRUE(data.empty()) << c.what;
    }
}

TEST_F(ZipExtractTest, CheckByteComesFromTheTimeWithADataDescriptor) {
    const std::string content = "check byte data";
    ASSERT_NE(Crc(content) >> 24, 0x7Au) << "the CRC must differ from the time in the high byte";
    struct Case {
        const char* what;
        bool descriptor;
        uint8_t checkByte;
        int written;
    };
    const Case cases[] = {
        {"bit 3 set, header checked against the time", true, 0x7A, 1},
        {"bit 3 set, header holding the CRC byte", true, static_cast<uint8_t>(Crc(content) >> 24), 0},
        {"bit 3 clear, header holding the time byte", false, 0x7A, 0},
        {"bit 3 clear, header checked against the CRC", false, static_cast<uint8_t>(Crc(content) >> 24), 1},
    };
    for (const Case& c : cases) {
        log = TEventLog();
        log.Attach(zip);
        TTestEntry e = Entry("file.txt", content, 0);
        e.descriptor = c.descriptor;
        e.checkByte = c.checkByte;
        WriteArchive(BuildZip({e}).bytes);
        EXPECT_EQ(ExtractNames({"file.txt"}), c.written) << c.what;
        EXPECT_EQ(log.wrongPassword.size(), c.written == 1 ? 0u : 1u) << c.what;
    }
}

TEST_F(ZipExtractTest, UnknownMethodIsReportedAndSkipped) {
    TTestEntry odd = Entry("odd.bin", "imploded?", 6, "");
    odd.payload = odd.data;
    WriteArchive(BuildZip({odd, Entry("good.txt", "good")}).bytes);
    EXPECT_EQ(ExtractNames({"odd.bin", "good.txt"}), 1);
    EXPECT_EQ(OutFiles(), std::set<std::string>{"good.txt"});
    using M = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(log.messages, (M{{"Unknown Compression Method", "Zip Error"}}));
    EXPECT_EQ(std::string(kUnknownMethodText), "Unknown Compression Method");
    EXPECT_EQ(std::string(kZipErrorCaption), "Zip Error");
    ASSERT_EQ(log.skipped.size(), 1u);
    EXPECT_EQ(log.skipped[0].first, "odd.bin");
    std::string data;
    EXPECT_FALSE(zip.ExtractToMemory("odd.bin", data));
    EXPECT_EQ(log.messages.size(), 2u);
}

TEST_F(ZipExtractTest, DataEndingEarlyIsFatal) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    TTestEntry big = Entry("big.bin", MixedData(100000, 5), 0, "");
    TTestEntry longer = big;
    longer.compressedSize = 10000000;
    TBuiltZip moved = BuildZip({big});
    Set32(moved.bytes, moved.centralOffsets[0] + 42, 0x7FFFFFF0);
    TTestEntry encrypted = Entry("big.bin", "", 0, "pw");
    encrypted.payload = "";
    encrypted.compressedSize = 4000;
    const Case cases[] = {
        {"stated compressed size runs past the end", BuildZip({Entry("a.txt", "alpha"), longer}).bytes},
        {"local header beyond the end", moved.bytes},
        {"an encrypted entry running past the end", BuildZip({encrypted}).bytes},
    };
    for (const Case& c : cases) {
        WriteArchive(c.bytes);
        zip.FileList = {"a.txt", "big.bin"};
        EXPECT_EQ(ErrorOf([&] { zip.Extract(); }), "EFatalUnzipError: Premature end of file reached") << c.what;
        EXPECT_TRUE(zip.FileList.empty()) << c.what;
        EXPECT_FALSE(PathExists(out / "big.bin")) << c.what;
        std::string data;
        EXPECT_EQ(ErrorOf([&] { zip.ExtractToMemory("big.bin", data); }),
                  "EFatalUnzipError: Premature end of file reached")
            << c.what;
        EXPECT_TRUE(data.empty()) << c.what;
    }
}

TEST_F(ZipExtractTest, ProgressEndsAtOneHundred) {
    std::vector<TTestEntry> entries;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) entries.push_back(Entry(name, MixedData(150000, 9), 0));
    WriteArchive(BuildZip(entries).bytes);
    EXPECT_EQ(ExtractNames({"a.bin", "b.bin", "c.bin"}), 3);
    ASSERT_GE(log.progress.size(), 4u);
    EXPECT_LT(log.progress.front(), 100);
    EXPECT_TRUE(std::is_sorted(log.progress.begin(), log.progress.end()));
    EXPECT_EQ(log.progress.back(), 100);
    EXPECT_EQ(log.unzipEnds, 1);
}

TEST_F(ZipExtractTest, CancelFromAnEventStopsBetweenBlocks) {
    WriteArchive(BuildZip({Entry("big.bin", MixedData(1000000, 2), 0)}).bytes);
    zip.OnTotalProgress = [&](int percent) {
        if (percent > 0) zip.Cancel = true;
    };
    zip.FileList = {"big.bin"};
    EXPECT_EQ(ErrorOf([&] { zip.Extract(); }), "EUserCanceled: User Aborted Operation");
    EXPECT_TRUE(zip.FileList.empty());
    EXPECT_FALSE(PathExists(out / "big.bin"));
    zip.OnTotalProgress = nullptr;
    EXPECT_EQ(ExtractNames({"big.bin"}), 1);
}

// ---------------------------------------------------------------- sound behaviour on hostile input

class ZipSoundTest : public ZipFixture {};

TEST_F(ZipSoundTest, NamesReachingOutsideTheFolderAreNeverWritten) {
    struct Case {
        uint8_t host;
        std::string raw;
    };
    const Case cases[] = {
        {0, "dir/evil.txt"},  {3, "dir\\evil.txt"}, {3, "../evil.txt"}, {0, "..\\evil.txt"},
        {0, "C:evil.txt"},    {3, "c:\\evil.txt"},  {3, "/evil.txt"},   {0, "\\evil.txt"},
        {0, "evil.txt:ads"},  {0, ".."},            {0, "."},           {0, ". ."},
        {0, ""},              {0, "CON"},           {0, "nul.txt"},     {0, "com1"},
        {0, "evil\x01.txt"},  {0, "evil.txt/"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ClearFolder(out));
        log = TEventLog();
        log.Attach(zip);
        TTestEntry bad = Entry(c.raw, "evil");
        bad.host = c.host;
        WriteArchive(BuildZip({bad, Entry("good.txt", "good")}).bytes);
        zip.ReadDirectory();
        const std::string name = zip.Entries()[0].Name;
        EXPECT_EQ(ExtractNames({name, "good.txt"}), 1) << c.raw;
        ASSERT_EQ(log.skipped.size(), 1u) << c.raw;
        EXPECT_EQ(log.skipped[0].first, name) << c.raw;
        EXPECT_FALSE(log.skipped[0].second.empty()) << c.raw;
        EXPECT_EQ(OutFiles(), std::set<std::string>{"good.txt"}) << c.raw;
        for (const auto& item : fs::recursive_directory_iterator(temp.Path())) {
            EXPECT_EQ(item.path().filename().string().find("evil"), std::string::npos) << item.path();
        }
        EXPECT_FALSE(PathExists("/evil.txt")) << c.raw;
    }
}

// The extraction trims the spaces before the dot as Windows does; testmaker's unpack never did.
TEST(DeviceNameTest, ThePartBeforeTheFirstDotNamesADevice) {
    struct Case {
        std::string name;
        bool trimmed;
        bool asWritten;
    };
    const Case cases[] = {
        {"CON", true, true},         {"con", true, true},          {"Aux.txt", true, true},
        {"nul.tar.gz", true, true},  {"PRN.", true, true},         {"com1", true, true},
        {"COM9.jpg", true, true},    {"lpt5.wav", true, true},     {"CON .txt", true, false},
        {"nul  ", true, false},      {"com1 .x", true, false},     {" CON", false, false},
        {"COM0", false, false},      {"COM10", false, false},      {"LPT", false, false},
        {"CONX.txt", false, false},  {"CO", false, false},         {"a.CON", false, false},
        {"", false, false},          {".CON", false, false},       {"CON_", false, false},
        {Cp("сон"), false, false},   {"\xC3\x87ON", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDeviceName(c.name, TDeviceStem::SpacesTrimmed), c.trimmed) << "[" << c.name << "]";
        EXPECT_EQ(IsDeviceName(c.name, TDeviceStem::AsWritten), c.asWritten) << "[" << c.name << "]";
    }
}

TEST_F(ZipSoundTest, OutputBeyondTheStatedSizeStops) {
    struct Case {
        uint16_t method;
        const char* password;
    };
    const Case cases[] = {{0, ""}, {8, ""}, {0, "pw"}, {8, "pw"}};
    for (const Case& c : cases) {
        log = TEventLog();
        log.Attach(zip);
        TTestEntry e = Entry("bomb.bin", std::string(300000, 'z'), c.method, c.password);
        e.uncompressedSize = 1000;
        WriteArchive(BuildZip({e}).bytes);
        std::string data;
        EXPECT_EQ(ErrorOf([&] { zip.ExtractToMemory("bomb.bin", data); }),
                  "EBiggerThanUncompressed: File is larger than uncompressed size!")
            << c.method << c.password;
        EXPECT_TRUE(data.empty());
        EXPECT_EQ(ExtractNames({"bomb.bin"}), 0) << c.method << c.password;
        EXPECT_FALSE(PathExists(out / "bomb.bin"));
        ASSERT_EQ(log.skipped.size(), 1u);
        EXPECT_EQ(log.skipped[0].second, "the data is larger than its stated size");
    }
}

TEST_F(ZipSoundTest, DeflateDataThatDoesNotInflate) {
    const std::string data = MixedData(100000, 11);
    const std::string packed = RawDeflate(data);
    struct Case {
        const char* what;
        std::string payload;
    };
    const Case cases[] = {
        {"reserved block type", std::string(6, '\xFF')},
        {"stream cut in the middle", packed.substr(0, packed.size() / 2)},
        {"bytes after the end of the stream", packed + "JUNK"},
        {"a whole second block of bytes after the end", packed + std::string(70000, '\0')},
        {"stored block longer than the data", std::string("\x01\x10\x00\xEF\xFF", 5) + "abc"},
        {"nothing stored, something expected", ""},
        {"a lone byte", std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        log = TEventLog();
        log.Attach(zip);
        TTestEntry e = Entry("file.bin", data, 8, "");
        e.payload = c.payload;
        WriteArchive(BuildZip({e}).bytes);
        EXPECT_EQ(ExtractNames({"file.bin"}), 0) << c.what;
        EXPECT_FALSE(PathExists(out / "file.bin")) << c.what;
        EXPECT_EQ(log.skipped, (std::vector<std::pair<std::string, std::string>>{{"file.bin",
                                                                                  "damaged compressed data"}}))
            << c.what;
        std::string bytes;
        EXPECT_FALSE(zip.ExtractToMemory("file.bin", bytes)) << c.what;
    }
}

// Every byte of a small archive changed in turn: whatever the damage, the outcome is an
// archive error or a skipped entry, and nothing lands outside the destination folder.
TEST_F(ZipSoundTest, AnyDamagedByteEndsInAnArchiveError) {
    TTestEntry descriptor = Entry("c.txt", "charlie charlie charlie", 0);
    descriptor.descriptor = true;
    const std::string good =
        BuildZip({Entry("a.txt", "alpha alpha alpha", 0), Entry("b.txt", MixedData(300, 1), 8, ""), descriptor})
            .bytes;
    zip.OnIncompleteArchive = [] { return TIncompleteAnswer::Damaged; };
    for (size_t at = 0; at < good.size(); ++at) {
        for (uint8_t change : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t(good[at] ^ 0x80)}) {
            std::string bytes = good;
            bytes[at] = static_cast<char>(change);
            WriteArchive(bytes);
            zip.SetArchiveFile(archivePath);
            ErrorOf([&] {
                zip.ReadDirectory();
                std::vector<std::string> names = Names();
                for (const std::string& name : names) {
                    std::string data;
                    zip.ExtractToMemory(name, data);
                }
                zip.FileList = names;
                zip.Extract();
            });
            for (const auto& item : fs::directory_iterator(out)) {
                EXPECT_TRUE(item.is_regular_file()) << at;
            }
            std::set<std::string> top;
            for (const auto& item : fs::directory_iterator(temp.Path())) top.insert(item.path().filename().string());
            EXPECT_EQ(top, (std::set<std::string>{"out", "src", "test.zip"})) << at;
            ASSERT_TRUE(ClearFolder(out));
        }
    }
}

// ---------------------------------------------------------------- writing

class ZipAddTest : public ZipFixture {
protected:
    // The archive read by a separate reader: what any later user of the file sees.
    std::vector<std::pair<std::string, std::string>> Contents(const std::string& password = "pw") {
        TZipArchive reader;
        reader.SetArchiveFile(archivePath);
        reader.SetPassword(password);
        reader.ReadDirectory();
        std::vector<std::pair<std::string, std::string>> contents;
        for (const TZipEntry& entry : reader.Entries()) {
            std::string data;
            EXPECT_TRUE(reader.ExtractToMemory(entry.Name, data)) << entry.Name;
            contents.emplace_back(entry.Name, data);
        }
        return contents;
    }
    static uint64_t DirectorySize(const std::vector<TZipEntry>& entries) {
        uint64_t size = 0;
        for (const TZipEntry& e : entries) size += 46 + e.RawName.size() + e.Extra.size() + e.Comment.size();
        return size;
    }
};

TEST_F(ZipAddTest, WritesEntriesThatReadBack) {
    struct Case {
        int level;
        const char* password;
        uint16_t method;
        uint16_t flags;
    };
    const Case cases[] = {
        {0, "", 0, 0}, {0, "pw", 0, 1}, {6, "", 8, 4}, {6, "pw", 8, 5}, {9, "pw", 8, 5}, {1, "pw", 8, 5},
    };
    const std::string name = Cp("Отчёт №1.txt");
    const std::string content = MixedData(150000, 4);
    for (const Case& c : cases) {
        const std::string what = "level " + std::to_string(c.level) + " password '" + c.password + "'";
        fs::remove(archivePath);
        log = TEventLog();
        log.Attach(zip);
        std::string path = Source(name, content);
        ASSERT_TRUE(SetFileDosDateTime(Cp1251ToPath(path), 0x5B8A, 0x7A3C));
        zip.SetCompressionLevel(c.level);
        zip.SetPassword(c.password);
        EXPECT_EQ(AddFiles({path}), 1) << what;
        EXPECT_TRUE(zip.FileList.empty()) << what;
        EXPECT_EQ(log.zipEnds, 1) << what;
        ASSERT_FALSE(log.progress.empty()) << what;
        EXPECT_EQ(log.progress.back(), 100) << what;
        ASSERT_EQ(zip.Entries().size(), 1u) << what;
        const TZipEntry& e = zip.Entries()[0];
        EXPECT_EQ(e.Name, name) << what;
        EXPECT_EQ(e.RawName, Cp1251ToCp866(name)) << what;
        EXPECT_EQ(e.RawName.substr(0, 2), "\x8E\xE2") << what;  // "От" in cp866
        EXPECT_EQ(e.VersionMadeBy, 20) << what;
        EXPECT_EQ(e.VersionNeeded, 20) << what;
        EXPECT_EQ(e.Method, c.method) << what;
        EXPECT_EQ(e.Flags, c.flags) << what;
        EXPECT_EQ(e.Date, 0x5B8A) << what;
        EXPECT_EQ(e.Time, 0x7A3C) << what;
        EXPECT_EQ(e.Crc, Crc(content)) << what;
        EXPECT_EQ(e.UncompressedSize, content.size()) << what;
        EXPECT_EQ(e.LocalHeaderOffset, 0u) << what;
        const size_t header = *c.password ? 12 : 0;
        if (c.level == 0) {
            EXPECT_EQ(e.CompressedSize, content.size() + header) << what;
        }
        if (c.level != 0) {
            EXPECT_LT(e.CompressedSize, content.size() * 3 / 4) << what;
        }

        const std::string bytes = ReadFileBytes(archivePath);
        EXPECT_EQ(bytes.size(), 30 + e.RawName.size() + e.CompressedSize + DirectorySize(zip.Entries()) + 22) << what;
        if (*c.password) {
            // The encryption header ends in the CRC's high byte.
            std::string head = TTestCipher(c.password).Decrypt(bytes.substr(30 + e.RawName.size(), 12));
            EXPECT_EQ(static_cast<uint8_t>(head[11]), Crc(content) >> 24) << what;
        }
        EXPECT_EQ(Contents(c.password), (std::vector<std::pair<std::string, std::string>>{{name, content}})) << what;
        ASSERT_TRUE(ClearFolder(out));
        EXPECT_EQ(ExtractNames({name}), 1) << what;
        EXPECT_EQ(ReadFileBytes(out / Cp1251ToPath(name)), content) << what;
    }
}

TEST_F(ZipAddTest, AlreadyCompressedDataIsKeptInStoredDeflateBlocks) {
    // Bytes no deflate can shrink (as in a photograph or a sound) go into stored blocks: the
    // entry stays deflated for every reader, a few bytes per 64 KiB larger than the data.
    std::string noise(300000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    struct Case {
        const char* what;
        std::string content;
        bool stored;
    };
    const Case cases[] = {
        {"noise", noise, true},
        {"text", MixedData(300000, 9), false},
        // A compressible start decides, whatever follows.
        {"text then noise", MixedData(262144, 3) + noise, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(archivePath);
        std::string path = Source("data.bin", c.content);
        zip.SetCompressionLevel(6);
        zip.SetPassword("pw");
        ASSERT_EQ(AddFiles({path}), 1);
        ASSERT_EQ(zip.Entries().size(), 1u);
        const TZipEntry& e = zip.Entries()[0];
        EXPECT_EQ(e.Method, 8);
        const size_t blocks = (c.content.size() + 65534) / 65535;
        if (c.stored) {
            EXPECT_EQ(e.CompressedSize, 12 + c.content.size() + 5 * blocks);
        } else {
            EXPECT_NE(e.CompressedSize, 12 + c.content.size() + 5 * blocks);
        }
        EXPECT_EQ(Contents("pw"), (std::vector<std::pair<std::string, std::string>>{{"data.bin", c.content}}));
    }
}

TEST_F(ZipAddTest, NamesWithoutAnOemCharacter) {
    std::string path = Source(Cp("a—b.txt"), "dash");  // an em dash: cp866 has none
    EXPECT_EQ(AddFiles({path}), 1);
    ASSERT_EQ(Names(), std::vector<std::string>{"a_b.txt"});
    EXPECT_EQ(ExtractNames({"a_b.txt"}), 1);
    EXPECT_EQ(ReadFileBytes(out / "a_b.txt"), "dash");
}

TEST_F(ZipAddTest, ReplacesTheLastEntryInPlace) {
    zip.SetCompressionLevel(0);
    const std::string info = Source("INFO.SYS", "[Test]\r\nLast=0\r\n");
    ASSERT_EQ(AddFiles({Source("a.txt", MixedData(5000, 1)), Source("b.txt", MixedData(7000, 2)), info}), 3);
    const uint64_t size = fs::file_size(archivePath);
    const uint32_t offset = Find("INFO.SYS")->LocalHeaderOffset;
    ASSERT_GT(offset, 12000u);
    struct Case {
        std::string content;
        int64_t growth;
    };
    const Case cases[] = {
        {"[Test]\r\nLast=1\r\n", 0},
        {"[Test]\r\nLast=2\r\n", 0},
        {"[Test]\r\nLast=3\r\nScore=10\r\n", 10},
        {"[Test]\r\n", -8},
    };
    for (const Case& c : cases) {
        Source("INFO.SYS", c.content);
        ASSERT_EQ(AddFiles({info}), 1) << c.content;
        EXPECT_EQ(static_cast<int64_t>(fs::file_size(archivePath)), static_cast<int64_t>(size) + c.growth)
            << c.content;
        EXPECT_EQ(Find("INFO.SYS")->LocalHeaderOffset, offset) << c.content;
        EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "INFO.SYS"})) << c.content;
        using C = std::vector<std::pair<std::string, std::string>>;
        const C expected = {{"a.txt", MixedData(5000, 1)}, {"b.txt", MixedData(7000, 2)}, {"INFO.SYS", c.content}};
        EXPECT_EQ(Contents(), expected) << c.content;
    }
}

TEST_F(ZipAddTest, ReplacesAnotherEntryAtTheOldDirectory) {
    TTestEntry foreign = Entry("a.txt", MixedData(5000, 1));
    foreign.host = 3;
    foreign.extra = std::string("\x55\x54\x05\x00\x03\x10\x20\x30\x40", 9);
    foreign.comment = "kept as it was";
    foreign.externalAttributes = 0x81A40000;
    TZipLayout layout;
    layout.comment = Cp("Тест");
    TBuiltZip built = BuildZip({foreign, Entry("info.sys", "[Test]\r\nLast=0\r\n"), Entry("b.txt", "bravo")}, layout);
    WriteArchive(built.bytes);
    auto record = [](const std::string& bytes, size_t at) {
        return bytes.substr(at, 46 + Get16(bytes, at + 28) + Get16(bytes, at + 30) + Get16(bytes, at + 32));
    };
    const std::string recordA = record(built.bytes, built.centralOffsets[0]);
    const std::string recordB = record(built.bytes, built.centralOffsets[2]);

    const std::string info = Source("INFO.SYS", "[Test]\r\nLast=1\r\n");
    ASSERT_EQ(AddFiles({info}), 1);
    // The new entry took the old directory's place; the old one stays behind as dead bytes.
    const TZipEntry* added = Find("INFO.SYS");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->LocalHeaderOffset, built.directoryOffset);
    const uint64_t size = fs::file_size(archivePath);
    EXPECT_EQ(size, built.directoryOffset + 30 + 8 + added->CompressedSize + DirectorySize(zip.Entries()) + 22 +
                        layout.comment.size());
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "INFO.SYS", "b.txt"}));

    const std::string bytes = ReadFileBytes(archivePath);
    TRecordOffsets records = FindRecords(bytes, kStandardZipSignatures);
    ASSERT_EQ(records.central.size(), 3u);
    EXPECT_EQ(record(bytes, records.central[0]), recordA);
    EXPECT_EQ(record(bytes, records.central[2]), recordB);
    EXPECT_EQ(bytes.substr(0, built.directoryOffset), built.bytes.substr(0, built.directoryOffset));
    EXPECT_EQ(bytes.substr(bytes.size() - layout.comment.size()), layout.comment);

    // Now the last entry: replaced where it is, the file keeps its size.
    Source("INFO.SYS", "[Test]\r\nLast=2\r\n");
    ASSERT_EQ(AddFiles({info}), 1);
    EXPECT_EQ(Find("INFO.SYS")->LocalHeaderOffset, built.directoryOffset);
    EXPECT_EQ(fs::file_size(archivePath), size);
    EXPECT_EQ(Contents(), (std::vector<std::pair<std::string, std::string>>{
                              {"a.txt", foreign.data}, {"INFO.SYS", "[Test]\r\nLast=2\r\n"}, {"b.txt", "bravo"}}));
    TZipArchive reader;
    reader.SetArchiveFile(archivePath);
    reader.ReadDirectory();
    EXPECT_EQ(reader.Comment(), layout.comment);
}

TEST_F(ZipAddTest, WritesWithTheCurrentSignatures) {
    SetZipSignatures(kTestArchiveSignatures);
    ASSERT_EQ(AddFiles({Source("a.txt", "alpha"), Source("b.txt", "bravo")}), 2);
    const std::string bytes = ReadFileBytes(archivePath);
    EXPECT_EQ(Get32(bytes, 0), kTestArchiveSignatures.Local);
    TRecordOffsets records = FindRecords(bytes, kTestArchiveSignatures);
    EXPECT_EQ(records.local.size(), 2u);
    EXPECT_EQ(Get32(bytes, records.local[1]), kTestArchiveSignatures.Local);
    EXPECT_EQ(Contents(), (std::vector<std::pair<std::string, std::string>>{{"a.txt", "alpha"}, {"b.txt", "bravo"}}));
    SetZipSignatures(kStandardZipSignatures);
    TZipArchive reader;
    reader.SetArchiveFile(archivePath);
    EXPECT_EQ(ErrorOf([&] { reader.ReadDirectory(); }), kNotAZip);
}

TEST_F(ZipAddTest, StartsAnArchiveWhereThereIsNone) {
    struct Case {
        const char* what;
        std::optional<std::string> existing;
    };
    std::string farAway;  // no entries, a directory claimed at 2 GiB
    Put32(farAway, kStandardZipSignatures.End);
    farAway += std::string(12, '\0');
    Put32(farAway, 0x7FFFFFFF);
    Put16(farAway, 0);
    const Case cases[] = {
        {"no file", std::nullopt}, {"an empty file", std::string()}, {"no entries, directory far away", farAway}};
    for (const Case& c : cases) {
        fs::remove(archivePath);
        if (c.existing) WriteArchive(*c.existing);
        zip.SetArchiveFile(archivePath);
        EXPECT_EQ(AddFiles({Source("a.txt", "alpha")}), 1) << c.what;
        EXPECT_EQ(Contents(), (std::vector<std::pair<std::string, std::string>>{{"a.txt", "alpha"}})) << c.what;
        ASSERT_EQ(zip.Entries().size(), 1u) << c.what;
        EXPECT_EQ(fs::file_size(archivePath), 30 + 5 + zip.Entries()[0].CompressedSize + 46 + 5 + 22u) << c.what;
    }
}

TEST_F(ZipAddTest, SetCommentNamesTheArchive) {
    struct Case {
        const char* what;
        bool existing;  // an archive holding a.txt under the comment "old name"
        bool addFile;
        int added;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"a new archive", false, true, 1, {"b.txt"}},
        {"an archive that is there, a file added", true, true, 1, {"a.txt", "b.txt"}},
        {"an archive that is there, only the comment", true, false, 0, {"a.txt"}},
    };
    const std::string name = Cp("Физика, 9 класс");
    for (const Case& c : cases) {
        fs::remove(archivePath);
        zip.SetArchiveFile(archivePath);
        if (c.existing) {
            zip.SetComment("old name");
            ASSERT_EQ(AddFiles({Source("a.txt", "alpha")}), 1) << c.what;
            zip.Close();
            zip.ReadDirectory();
            ASSERT_EQ(zip.Comment(), "old name") << c.what;
        }
        zip.SetComment(name);
        EXPECT_EQ(AddFiles(c.addFile ? std::vector<std::string>{Source("b.txt", "bravo")} : std::vector<std::string>{}),
                  c.added)
            << c.what;
        EXPECT_EQ(zip.Comment(), name) << c.what;
        TZipArchive reader;
        reader.SetArchiveFile(archivePath);
        reader.ReadDirectory();
        EXPECT_EQ(reader.Comment(), name) << c.what;
        std::vector<std::string> names;
        for (const TZipEntry& e : reader.Entries()) names.push_back(e.Name);
        EXPECT_EQ(names, c.names) << c.what;
        // Written once: a later Add keeps it without being told again.
        ASSERT_EQ(AddFiles({Source("c.txt", "charlie")}), 1) << c.what;
        reader.ReadDirectory();
        EXPECT_EQ(reader.Comment(), name) << c.what;
    }
    // Nothing to write into an archive that is not there: no file appears for a comment alone.
    fs::remove(archivePath);
    zip.SetArchiveFile(archivePath);
    zip.SetComment(name);
    EXPECT_EQ(AddFiles({}), 0);
    EXPECT_FALSE(PathExists(archivePath));
}

TEST_F(ZipAddTest, AddFilesTakesPaths) {
    Source("b.txt", "bravo");
    zip.FileList = {Source("a.txt", "alpha")};
    zip.AddFiles = {src / "b.txt", src / "missing.txt"};
    EXPECT_EQ(zip.Add(), 2);
    EXPECT_TRUE(zip.FileList.empty());
    EXPECT_TRUE(zip.AddFiles.empty());
    EXPECT_EQ(Contents(), (std::vector<std::pair<std::string, std::string>>{{"a.txt", "alpha"}, {"b.txt", "bravo"}}));
    ASSERT_EQ(log.skipped.size(), 1u);
    EXPECT_EQ(log.skipped[0].first, PathToCp1251(src / "missing.txt"));
}

TEST_F(ZipAddTest, MissingSourceLeavesTheArchiveAlone) {
    ASSERT_EQ(AddFiles({Source("a.txt", "alpha")}), 1);
    const std::string before = ReadFileBytes(archivePath);
    log = TEventLog();
    log.Attach(zip);
    const std::string missing = PathToCp1251(src / "missing.txt");
    EXPECT_EQ(AddFiles({missing}), 0);
    EXPECT_TRUE(zip.FileList.empty());
    EXPECT_EQ(ReadFileBytes(archivePath), before);
    EXPECT_EQ(log.zipEnds, 1);
    ASSERT_EQ(log.skipped.size(), 1u);
    EXPECT_EQ(log.skipped[0].first, missing);

    fs::remove(archivePath);
    EXPECT_EQ(AddFiles({missing}), 0);
    EXPECT_FALSE(PathExists(archivePath));
}

TEST_F(ZipAddTest, CancelLeavesAValidArchive) {
    struct Case {
        const char* what;
        std::string bigName;  // the name the large file goes in under
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"a new entry: the archive is as before", "new.bin", {"a.txt", "BIG.BIN"}},
        {"replacing the last entry: that entry is lost", "BIG.BIN", {"a.txt"}},
    };
    for (const Case& c : cases) {
        fs::remove(archivePath);
        zip.SetArchiveFile(archivePath);
        zip.OnTotalProgress = nullptr;
        ASSERT_EQ(AddFiles({Source("a.txt", "alpha"), Source("BIG.BIN", "small")}), 2);
        fs::remove(src / "BIG.BIN");
        const std::string before = ReadFileBytes(archivePath);
        const std::string big = Source(c.bigName, MixedData(1000000, 3));
        zip.OnTotalProgress = [&](int percent) {
            if (percent > 0) zip.Cancel = true;
        };
        zip.FileList = {big};
        EXPECT_EQ(ErrorOf([&] { zip.Add(); }), "EUserCanceled: User Aborted Operation") << c.what;
        std::vector<std::string> names;
        for (const auto& [name, data] : Contents()) names.push_back(name);
        EXPECT_EQ(names, c.left) << c.what;
        if (c.left.size() == 2) {
            EXPECT_EQ(ReadFileBytes(archivePath), before) << c.what;
        }
        fs::remove(src / c.bigName);
    }
}

// ---------------------------------------------------------------- Info-ZIP as the peer

class ZipInteropTest : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        if (std::system("zip -v >/dev/null 2>&1") != 0 || std::system("unzip -v >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "Info-ZIP zip and unzip are needed";
        }
    }
    int Run(const std::string& command) { return std::system(("cd '" + src.string() + "' && " + command).c_str()); }
    std::string Output(const std::string& command) {
        std::string text;
        FILE* pipe = popen(("cd '" + src.string() + "' && " + command).c_str(), "r");
        if (pipe == nullptr) return text;
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
        pclose(pipe);
        return text;
    }
};

TEST_F(ZipInteropTest, ReadsInfoZipArchivesWithChangedSignatures) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.txt", "short text\r\n"}, {"b.bin", MixedData(300000, 8)}, {"c.txt", std::string(100000, 'c')}};
    for (const auto& [name, data] : files) Source(name, data);
    struct Case {
        const char* command;
        std::vector<std::pair<std::string, std::string>> expected;
    };
    const Case cases[] = {
        {"zip -q -P pw z.zip a.txt b.bin c.txt", files},
        {"zip -q -0 -P pw z.zip a.txt b.bin c.txt", files},
        {"zip -q -9 -P pw z.zip a.txt b.bin c.txt", files},
        {"cat b.bin | zip -q -P pw -fz- z.zip -", {{"-", files[1].second}}},
    };
    for (const Case& c : cases) {
        fs::remove(src / "z.zip");
        ASSERT_EQ(Run(c.command), 0) << c.command;
        const std::string standard = ReadFileBytes(src / "z.zip");
        WriteArchive(PatchSignatures(standard, kStandardZipSignatures, kTestArchiveSignatures));
        SetZipSignatures(kTestArchiveSignatures);
        zip.ReadDirectory();
        bool descriptor = false;
        std::vector<std::string> names;
        for (const TZipEntry& e : zip.Entries()) {
            descriptor = descriptor || (e.Flags & 8) != 0;
            EXPECT_EQ(e.Flags & 1, 1) << c.command;
            names.push_back(e.Name);
        }
        EXPECT_TRUE(descriptor) << c.command << ": Info-ZIP was expected to use data descriptors";
        ASSERT_TRUE(ClearFolder(out));
        EXPECT_EQ(ExtractNames(names), static_cast<int>(c.expected.size())) << c.command;
        for (const auto& [name, data] : c.expected) {
            EXPECT_EQ(ReadFileBytes(out / name), data) << c.command << " " << name;
        }
        EXPECT_TRUE(log.skipped.empty()) << c.command;
        SetZipSignatures(kStandardZipSignatures);
    }
}

TEST_F(ZipInteropTest, InfoZipAcceptsOurArchives) {
    const std::string a = MixedData(200000, 1);
    const std::string b = "[Test]\r\nLast=0\r\n";
    for (int level : {0, 1, 6, 9}) {
        fs::remove(archivePath);
        zip.SetArchiveFile(archivePath);
        zip.SetCompressionLevel(level);
        ASSERT_EQ(AddFiles({Source("a.bin", a), Source("INFO.SYS", b), Source("c.txt", "charlie")}), 3);
        const std::string test = "unzip -t -P pw '" + archivePath.string() + "' 2>&1";
        EXPECT_NE(Output(test).find("No errors detected"), std::string::npos) << level << "\n" << Output(test);
        EXPECT_EQ(Output("unzip -p -P pw '" + archivePath.string() + "' a.bin"), a) << level;
        // After replacing a middle entry and then the last one in place.
        for (int round = 1; round <= 2; ++round) {
            Source("INFO.SYS", "[Test]\r\nLast=" + std::to_string(round) + "\r\n");
            ASSERT_EQ(AddFiles({PathToCp1251(src / "INFO.SYS")}), 1);
            EXPECT_NE(Output(test).find("No errors detected"), std::string::npos) << level << " " << round;
            EXPECT_EQ(Output("unzip -p -P pw '" + archivePath.string() + "' INFO.SYS"),
                      "[Test]\r\nLast=" + std::to_string(round) + "\r\n");
        }
    }
}

}  // namespace

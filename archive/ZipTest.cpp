#include "archive/ZipTest.h"

#include <system_error>

#include "model/FileUtils.h"
#include "model/IniFile.h"
#include "model/TextUtils.h"

const char kArchivePasswordText[] = "Kp4#nV7q!Z";
const char kWorkFolderName[] = "_$Orvotst";

namespace {

constexpr char kIndexFile[] = "INDEX.SYS";
constexpr char kInfoFile[] = "INFO.SYS";
constexpr char kInfoSection[] = "MAIN";

bool FolderExists(const TPath& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool CreateFolderTree(const TPath& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return FolderExists(path);
}

TPath DefaultTempDir() {
#ifdef _WIN32
    return TPath(L"C:\\_$Orvotst\\");
#else
    return IncludeBackslash(GetTempFolder() / kWorkFolderName);
#endif
}

TPath InFolder(const TPath& folder, const std::string& name) {
    // TempDir ends in a separator; entry names are bare names in the ANSI code page.
    return TPath(folder.native() + Cp1251ToPath(name).native());
}

}  // namespace

TZipTest::TZipTest() : TempDir(DefaultTempDir()) {
    Zip.SetDestination(TempDir);
    Zip.SetCompressionLevel(6);
    Zip.OnWrongPassword = [this](const std::string&, std::string&) {
        LastError = kZipTestWrongPassword;
        return false;
    };
    Zip.OnTotalProgress = [this](int percent) {
        if (ShowProgress && OnProgress) OnProgress(percent);
    };
    Zip.OnUnzipEnd = [this] {
        if (ShowProgress && OnProgress) OnProgress(100);
    };
    Zip.OnZipEnd = Zip.OnUnzipEnd;
    Zip.OnIncompleteArchive = [] { return TIncompleteAnswer::NotAnArchive; };
}

TZipTest::~TZipTest() {
    Zip.Close();
    if (!TempDir.empty()) {
        ClearFolder(TempDir);
        if (OnBeforeRemoveFolder) OnBeforeRemoveFolder();
        RemoveEmptyFolder(TempDir);
    }
}

void TZipTest::SetTempBase(const TPath& base) {
    if (!TempDir.empty() && FolderExists(TempDir)) {
        ClearFolder(TempDir);
        RemoveEmptyFolder(TempDir);
    }
    TempDir = IncludeBackslash(IncludeBackslash(base) / kWorkFolderName);
    if (FolderExists(TempDir)) {
        ClearFolder(TempDir);
    } else if (!CreateFolderTree(TempDir)) {
        TempDir.clear();
    }
    Zip.SetDestination(TempDir);
}

bool TZipTest::EnsureTempDir() {
    // With no work folder nothing is extracted: files never land in the current folder.
    return !TempDir.empty() && (FolderExists(TempDir) || CreateFolderTree(TempDir));
}

int TZipTest::ExtractNamed(const std::vector<std::string>& names) {
    if (!EnsureTempDir()) {
        Zip.FileList.clear();
        return 0;
    }
    Zip.FileList = names;
    return Zip.Extract();
}

bool TZipTest::OpenTest(const TPath& archiveFile, const std::string& passwordTail) {
    EnsureTempDir();
    QuestionFiles.clear();
    LastError = kZipTestOk;
    Zip.SetArchiveFile(archiveFile);
    Zip.SetPassword(kArchivePasswordText + passwordTail);
    try {
        Zip.ReadDirectory();
    } catch (...) {
        LastError = kZipTestOpenFailed;
        return false;
    }
    try {
        if (ExtractNamed({kIndexFile}) == 0) {
            if (LastError == kZipTestOk) LastError = kZipTestNotExtracted;
            return false;
        }
        const TPath index = InFolder(TempDir, kIndexFile);
        bool result = ReadIndexFile(index, QuestionFiles);
        if (!result) LastError = kZipTestNotExtracted;
        DeleteFileAt(index);

        int32_t level = 0;
        if (!TryStrToInt(ReadInfoValue("PackLevel", "0"), level)) {
            // A damaged settings file: the test cannot be run as it is.
            LastError = kZipTestOpenFailed;
            QuestionFiles.clear();
            return false;
        }
        Zip.SetCompressionLevel(level < 0 ? 0 : (level > 9 ? 9 : level));
        return result;
    } catch (...) {
        if (LastError == kZipTestOk) LastError = kZipTestNotExtracted;
        QuestionFiles.clear();
        return false;
    }
}

int32_t TZipTest::QuestionCount() const { return static_cast<int32_t>(QuestionFiles.size()); }

bool TZipTest::LoadQuestionFile(const TPath& path, TTestQuestion& question) {
    return ::LoadQuestionFile(path, question);
}

void TZipTest::LoadQuestion(int32_t n, TTestQuestion& question) {
    EnsureTempDir();
    LastError = kZipTestOk;
    QuestionDamaged = false;
    if (n < 0 || n > QuestionCount() - 1) {
        LastError = kZipTestOutOfRange;
        return;
    }
    if (ClearBeforeLoad && !TempDir.empty()) ClearFolder(TempDir);
    const std::string& name = QuestionFiles[static_cast<size_t>(n)];
    try {
        if (ExtractNamed({name}) == 0) {
            if (LastError == kZipTestOk) LastError = kZipTestNotExtracted;
            return;
        }
    } catch (...) {
        if (LastError == kZipTestOk) LastError = kZipTestNotExtracted;
        QuestionDamaged = true;
        return;
    }
    const TPath file = InFolder(TempDir, name);
    if (!LoadQuestionFile(file, question)) LastError = kZipTestParseFailed;
    DeleteFileAt(file);

    if (!ExtractAttachments) return;
    std::vector<std::string> names;
    auto take = [&](std::string& attachFile, TPath& attachPath) {
        names.push_back(attachFile);
        if (attachFile != kNoAttachment) {
            attachPath = InFolder(TempDir, attachFile);
            attachFile = PathToCp1251(attachPath);
        }
    };
    take(question.AttachFile, question.AttachPath);
    for (TTestAnswer& answer : question.Answers) take(answer.AttachFile, answer.AttachPath);
    try {
        ExtractNamed(names);
    } catch (...) {
        // A missing or damaged attachment is simply not on disk.
    }
}

std::string TZipTest::ReadInfoValue(const std::string& key, const std::string& fallback) {
    if (ExtractNamed({kInfoFile}) == 0) return fallback;
    const TPath info = InFolder(TempDir, kInfoFile);
    TIniFile ini;
    ini.Load(info);
    DeleteFileAt(info);
    return ini.ReadString(kInfoSection, key, fallback);
}

bool TZipTest::WriteInfoValue(const std::string& key, const std::string& value) {
    if (!EnsureTempDir()) return false;
    try {
        ExtractNamed({kInfoFile});
    } catch (...) {
        return false;
    }
    const TPath info = InFolder(TempDir, kInfoFile);
    bool added = false;
    TIniFile ini;
    ini.Load(info);
    ini.WriteString(kInfoSection, key, value);
    if (ini.Save(info)) {
        try {
            Zip.AddFiles = {info};
            added = Zip.Add() > 0;
        } catch (...) {
            added = false;
        }
    }
    DeleteFileAt(info);
    return added;
}

int32_t TZipTest::ReadLastQuest() {
    try {
        int32_t value = 0;
        return TryStrToInt(ReadInfoValue("LastQuest", "0"), value) ? value : -1;
    } catch (...) {
        return -1;
    }
}

void TZipTest::WriteLastQuest(int32_t n) { WriteInfoValue("LastQuest", std::to_string(n)); }

std::string TZipTest::GetComment() const { return Zip.Comment(); }

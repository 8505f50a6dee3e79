#pragma once
// The player's one door to the test archive: opens the archive copy with the test's
// password, reads the question index, loads questions (and their attachments) into a
// private work folder, and reads and writes the settings file "INFO.SYS".

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "model/TestData.h"

// The fixed part of every test archive's password; the authoring tool uses the same.
extern const char kArchivePasswordText[];  // 10 characters
// The work folder's name under the temporary folder.
extern const char kWorkFolderName[];       // "_$Orvotst"

// LastError codes.
enum : uint8_t {
    kZipTestOk = 0,
    kZipTestNotExtracted = 2,
    kZipTestOpenFailed = 3,
    kZipTestOutOfRange = 4,
    kZipTestWrongPassword = 5,
    kZipTestParseFailed = 7,
};

class TZipTest {
public:
    TZipTest();
    ~TZipTest();
    TZipTest(const TZipTest&) = delete;
    TZipTest& operator=(const TZipTest&) = delete;

    bool ShowProgress = true;
    bool ClearBeforeLoad = false;
    bool ExtractAttachments = false;
    std::vector<std::string> QuestionFiles;
    TZipArchive Zip;
    uint8_t LastError = kZipTestOk;
    // The last LoadQuestion met a damaged entry (an archive error, not just a missing entry):
    // what it loaded cannot be trusted.
    bool QuestionDamaged = false;
    TPath TempDir;  // ends in a separator; empty when it could not be created
    std::function<void(int32_t percent)> OnProgress;
    // Lets pending window messages run before the work folder is removed, so that viewers
    // release the files they show.
    std::function<void()> OnBeforeRemoveFolder;

    void SetTempBase(const TPath& base);
    // Opens the archive and reads its question index and "PackLevel". Never throws: a
    // damaged archive is a failed open.
    bool OpenTest(const TPath& archiveFile, const std::string& passwordTail);
    int32_t QuestionCount() const;
    // Loads question n (0-based) into `question`; the outcome is in LastError. Never throws.
    void LoadQuestion(int32_t n, TTestQuestion& question);
    static bool LoadQuestionFile(const TPath& path, TTestQuestion& question);
    // Section "MAIN" of "INFO.SYS". Errors of the archive pass to the caller.
    std::string ReadInfoValue(const std::string& key, const std::string& fallback);
    bool WriteInfoValue(const std::string& key, const std::string& value);
    // "LastQuest": 0 when missing, -1 when it is not a number or cannot be read.
    int32_t ReadLastQuest();
    void WriteLastQuest(int32_t n);
    std::string GetComment() const;

private:
    bool EnsureTempDir();
    int ExtractNamed(const std::vector<std::string>& names);
};

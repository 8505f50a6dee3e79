#pragma once
// Moodle GIFT question banks turned into a test source. Multiple choice, multiple answers,
// short answer, true/false and the ordering extension ("{> a > b > c}") have equivalents;
// matching, numerical, essay, description and missing-word questions are skipped with a
// warning. Weights are percentages, -100 to 100 (the format's signed byte holds them all),
// fractions rounded half to even; "=" is 100. Messages start with the bank's line:
// `line 12, question "Capitals": ...`.

#include <string>
#include <vector>

#include "tools/TestSource.h"

struct TGiftImport {
    TTestSource Source;
    std::vector<int> QuestionLines;     // the bank's line of each question in Source
    std::vector<std::string> Errors;    // any error: nothing is to be written
    std::vector<std::string> Warnings;  // skipped questions, and what scores differently
    int Skipped = 0;
    int NameLine = 0;  // the $CATEGORY line the Name comes from; 0 when it is the file's name
    bool Ok() const { return Errors.empty(); }
};

// `utf8` is the bank's text (a UTF-8 BOM is allowed); `bankName` becomes the test's Name when
// the bank has no $CATEGORY. The settings are the source format's defaults.
TGiftImport ParseGiftBank(const std::string& utf8, const std::string& bankName);

// Overrides settings of `source` with the JSON's: test.json's keys without "Questions". A
// "Name" given there wins over the bank's. Throws ESourceError, the message starting with
// `fileName`.
void ApplySourceSettings(TTestSource& source, const std::string& jsonText, const std::string& fileName);

struct TGiftImportOptions {
    TPath Bank;
    TPath Output;    // the source folder to write test.json into; created when missing
    TPath Settings;  // empty: the defaults
    bool Overwrite = false;  // replace an existing test.json
};

// Reads the bank, applies the settings, checks the result as `testmaker check` would (its
// messages are prefixed with the question's line) and writes OUTPUT/test.json when there are
// no errors.
TGiftImport ImportGiftFile(const TGiftImportOptions& options);

#pragma once
// What the importers of question banks (GIFT, Moodle XML) share: the result, the settings given
// beside the bank, the check of the finished source and the writing of the source folder.
// Messages start with the bank's line: `line 12, question "Capitals": ...`.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/TestSource.h"

struct TBankImport {
    TTestSource Source;
    std::vector<int> QuestionLines;     // the bank's line of each question in Source
    std::vector<std::string> Errors;    // any error: nothing is to be written
    std::vector<std::string> Warnings;  // skipped questions, and what scores differently
    int Skipped = 0;
    int NameLine = 0;  // the line the Name comes from; 0 when it is the file's name
    // Attachments to write beside test.json: the file name the source uses, and its bytes.
    std::vector<std::pair<std::string, std::string>> Files;
    bool Ok() const { return Errors.empty(); }
};

struct TBankImportOptions {
    TPath Bank;
    TPath Output;    // the source folder to write test.json into; created when missing
    TPath Settings;  // empty: the defaults
    bool Overwrite = false;  // replace an existing test.json and attachments
};

// Overrides settings of `source` with the JSON's: test.json's keys without "Questions". A
// "Name" given there wins over the bank's. Throws ESourceError, the message starting with
// `fileName`.
void ApplySourceSettings(TTestSource& source, const std::string& jsonText, const std::string& fileName);

// Applies the settings, checks the result as `testmaker check` would (its messages get the
// question's line) and writes OUTPUT/test.json and the Files when there are no errors.
void FinishBankImport(TBankImport& result, const TBankImportOptions& options);

bool ReadBankFile(const TPath& path, std::string& bytes);

// Reads the bank, parses it (the text, and the file's name for a test without one) and finishes
// the import.
using TBankParser = TBankImport (*)(const std::string& text, const std::string& bankName);
TBankImport ImportBankFile(const TBankImportOptions& options, TBankParser parse);

// Helpers of the readers.
namespace bank {

constexpr std::string_view kWhitespace = " \t\r\n\v\f";
constexpr int64_t kRightWeight = 100;
extern const char kTrueText[];   // "Верно"
extern const char kFalseText[];  // "Неверно"

std::string_view Trim(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);
// The length of the well-formed UTF-8 sequence at `at`; 0 when there is none.
size_t Utf8Length(std::string_view s, size_t at);
bool IsUtf8(std::string_view s);
// The first words of a question, to name it in messages when it has no title.
std::string FirstWords(std::string_view text);
std::string AtLine(int line, const std::string& name, const std::string& message);
// The last part of "$course$/top/Physics//Optics": "Physics/Optics" ("//" is a slash in a name).
std::string CategoryName(std::string_view path);

// A percentage ("50", "-33.33333") rounded half to even. nullopt when it is not a number;
// `outOfRange` tells one beyond -100..100.
std::optional<int64_t> RoundPercent(std::string_view number, bool& outOfRange);

// Typed answers: the accepted texts of one weight are the variants of one answer. False when no
// weight is positive; `warning` gets what scores differently from the bank, or stays empty.
struct TTypedPiece {
    int64_t Weight = 0;
    std::string Text;
};
bool GroupTypedAnswers(const std::vector<TTypedPiece>& pieces, TSourceQuestion& question, std::string& warning);

}  // namespace bank

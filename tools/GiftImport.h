#pragma once
// Moodle GIFT question banks turned into a test source. Multiple choice, multiple answers,
// short answer, true/false and the ordering extension ("{> a > b > c}") have equivalents;
// matching, numerical, essay, description and missing-word questions are skipped with a
// warning. Weights are percentages, -100 to 100 (the format's signed byte holds them all),
// fractions rounded half to even; "=" is 100. Messages start with the bank's line:
// `line 12, question "Capitals": ...`.

#include <string>
#include <vector>

#include "tools/BankImport.h"

using TGiftImport = TBankImport;
using TGiftImportOptions = TBankImportOptions;

// `utf8` is the bank's text (a UTF-8 BOM is allowed); `bankName` becomes the test's Name when
// the bank has no $CATEGORY. The settings are the source format's defaults.
TGiftImport ParseGiftBank(const std::string& utf8, const std::string& bankName);

// Reads the bank, applies the settings, checks the result as `testmaker check` would (its
// messages are prefixed with the question's line) and writes OUTPUT/test.json when there are
// no errors.
TGiftImport ImportGiftFile(const TGiftImportOptions& options);

#pragma once
// Moodle XML question banks (what Moodle exports, pictures included) turned into a test source.
// Multiple choice (<single> true or false), true/false, short answer and the ordering question
// type have equivalents; every other type is skipped with a warning. Fractions are
// percentages, as GIFT's weights; <defaultgrade> becomes the Priority. The first <img> of a
// question's text is its attachment, the first of an answer's text the answer's, the file
// taken from the <file> element it names (tools/BankPicture.h makes it one the player shows).
// Messages start with the line of the <question>: `line 12, question "Capitals": ...`.

#include <string>

#include "tools/BankImport.h"

using TMoodleImport = TBankImport;

// `xml` is the bank's text (UTF-8, a BOM allowed); `bankName` becomes the test's Name when the
// bank has no category. The attachments come back in Files, named 8.3 and uniquely.
TMoodleImport ParseMoodleBank(const std::string& xml, const std::string& bankName);

// Reads the bank, applies the settings, checks the result as `testmaker check` would and writes
// OUTPUT/test.json and the attachments when there are no errors.
TMoodleImport ImportMoodleFile(const TBankImportOptions& options);

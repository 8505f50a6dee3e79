#pragma once
// The player's results files read back, and one table of all their records for a spreadsheet.
//
// A record is the six lines FormatResultsRecord writes. Its values are written as they were
// typed, unescaped, so the reader leans on what cannot vary: the fixed captions of lines 1, 2, 4
// and 5, the forms of the time and of the mark, and the two typed fields being one-line edit
// boxes. A test's name and the caption of the second field may span lines.
//
// Line 3 is caption + " - " + value where both may hold " - ". A caption given as known splits
// it right after itself; otherwise the separator is the first " - " of the line's last line (the
// typed value has no line break), or the first one at all when that line has none. So a value
// with " - " is read right, a caption with " - " is cut at its first one unless it is known.
//
// Damage is tolerated, never silently: trailing Ctrl-Z bytes are dropped; a record is kept when
// its mark line is there up to its line break (the closing empty line does not matter) and
// skipped with a warning otherwise. The player appends right after whatever a crash left, so a
// new record may start in the middle of a line: the caption of line 1 starts a record wherever
// it is found (a test named with that caption inside is read wrong).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "windows/ResultsFile.h"

struct TResultsRow {
    TResultsRecord Record;  // texts cp1251, as in the file
    std::string Source;     // UTF-8, the file as the caller named it
    int Line = 0;           // the record's first line, from 1
};

struct TResultsParse {
    std::vector<TResultsRow> Rows;
    std::vector<std::string> Warnings;  // UTF-8, "file:line: what"
};

// "45 сек" or "10 мин 21 сек" (any sign, as FormatDuration writes them) to seconds.
bool ParseTestTime(const std::string& cp1251, int32_t& seconds);
// "345 баллов", "1 балл", "-3 балла" to the number.
bool ParsePointsText(const std::string& cp1251, int32_t& points);

// Appends the records of one results file, given as its bytes. `knownCaptions` are cp1251.
void ParseResultsFile(const std::string& bytes, const std::string& sourceUtf8,
                      const std::vector<std::string>& knownCaptions, TResultsParse& into);

// The table as CSV bytes: UTF-8 with a byte order mark, CR LF, fields quoted as RFC 4180 wants
// when they hold the separator, a quote or a line break. Columns: test, person, second field,
// time in seconds, mark, source file. The second field's column is headed by its caption when
// every row has the same non-empty one; otherwise the captions get a column of their own
// before it (when they differ) and the field a generic header.
std::string ResultsCsv(const std::vector<TResultsRow>& rows, char separator);

struct TResultsTableOptions {
    char Separator = ';';                    // what Excel expects in a Russian locale
    std::vector<std::string> KnownCaptions;  // cp1251
};

struct TResultsTableResult {
    int Records = 0;
    std::vector<std::string> Errors;    // UTF-8; any error means nothing was written
    std::vector<std::string> Warnings;  // UTF-8
    bool Ok() const { return Errors.empty(); }
};

// Reads every file (named in UTF-8) and writes the table to `output` through a scratch file
// renamed into place, so a failure leaves an existing output as it was.
TResultsTableResult MakeResultsTable(const std::vector<std::string>& filesUtf8, const TPath& output,
                                     const TResultsTableOptions& options);

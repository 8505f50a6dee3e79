#include "tools/ResultsTable.h"

#include <algorithm>
#include <string_view>

#include "model/Codepage.h"
#include "model/FileUtils.h"

namespace {

const std::string kSeparator = " - ";
const std::string kTestNameLead = Utf8ToCp1251("Название теста:") + kSeparator;
const std::string kFIOLead = Utf8ToCp1251("ФИО тестируемого") + kSeparator;
const std::string kTimeLead = Utf8ToCp1251("Время тестирования:") + kSeparator;
const std::string kMarkLead = Utf8ToCp1251("Результирующая оценка:") + kSeparator;

bool StartsWith(std::string_view text, std::string_view lead) { return text.substr(0, lead.size()) == lead; }

// A signed decimal number at `pos`, advancing past it.
bool ReadNumber(std::string_view text, size_t& pos, int64_t& value) {
    const bool negative = pos < text.size() && text[pos] == '-';
    size_t i = negative ? pos + 1 : pos;
    const size_t first = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (int64_t{1} << 40)) return false;
    }
    if (i == first) return false;
    value = negative ? -magnitude : magnitude;
    pos = i;
    return true;
}

bool FitsInt32(int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

// One line of the file, or the part of one before a record that starts inside it.
struct TPiece {
    std::string_view Text;
    std::string_view End;  // "\r\n", "\n", "\r" when the line feed never came, "" when cut off
    int Line = 0;
};

void AddPiece(std::vector<TPiece>& pieces, std::string_view text, std::string_view end, int line) {
    if (end.empty() && !text.empty() && text.back() == '\r') {
        end = text.substr(text.size() - 1);
        text.remove_suffix(1);
    }
    pieces.push_back({text, end, line});
}

std::vector<TPiece> SplitPieces(std::string_view text) {
    std::vector<TPiece> pieces;
    int line = 1;
    for (size_t pos = 0; pos < text.size(); ++line) {
        const size_t feed = text.find('\n', pos);
        size_t end = feed == std::string_view::npos ? text.size() : feed;
        if (feed != std::string_view::npos && end > pos && text[end - 1] == '\r') --end;
        const std::string_view whole = text.substr(pos, end - pos);
        const std::string_view terminator =
            feed == std::string_view::npos ? std::string_view() : text.substr(end, feed + 1 - end);
        size_t start = 0;
        for (size_t at = whole.find(kTestNameLead, 1); at != std::string_view::npos;
             at = whole.find(kTestNameLead, at + 1)) {
            AddPiece(pieces, whole.substr(start, at - start), {}, line);
            start = at;
        }
        AddPiece(pieces, whole.substr(start), terminator, line);
        pos = feed == std::string_view::npos ? text.size() : feed + 1;
    }
    return pieces;
}

// Ctrl-Z bytes are an old end-of-file mark; the player leaves those it does not find at the very
// end and writes after them.
bool IsBlank(const TPiece& piece) { return piece.Text.find_first_not_of('\x1A') == std::string_view::npos; }

// Pieces [first, last) as the text they were cut from.
std::string Join(const std::vector<TPiece>& pieces, size_t first, size_t last) {
    std::string text;
    for (size_t i = first; i < last; ++i) {
        if (i > first) text += pieces[i - 1].End;
        text += pieces[i].Text;
    }
    return text;
}

class TResultsParser {
public:
    TResultsParser(const std::string& source, const std::vector<std::string>& knownCaptions, TResultsParse& into)
        : source_(source), into_(into), captions_(knownCaptions) {
        // The longest first: a caption may begin with another one.
        std::sort(captions_.begin(), captions_.end(),
                  [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    }

    void Parse(std::string_view bytes) {
        const size_t kept = bytes.find_last_not_of('\x1A');
        bytes = bytes.substr(0, kept == std::string_view::npos ? 0 : kept + 1);
        pieces_ = SplitPieces(bytes);
        const size_t before = into_.Rows.size();
        for (size_t i = 0; i < pieces_.size();) {
            if (IsBlank(pieces_[i])) {
                ++i;
                continue;
            }
            size_t end = i + 1;
            while (end < pieces_.size() && !StartsWith(pieces_[end].Text, kTestNameLead)) ++end;
            if (StartsWith(pieces_[i].Text, kTestNameLead)) {
                Record(i, end);
            } else {
                Warn(pieces_[i].Line, "not a results record, skipped");
            }
            i = end;
        }
        if (into_.Rows.size() == before) into_.Warnings.push_back(source_ + ": no records");
    }

private:
    void Warn(int line, const std::string& what) {
        into_.Warnings.push_back(source_ + ":" + std::to_string(line) + ": " + what);
    }

    // The pieces [first, last) start with line 1 of a record and hold no other record's start.
    void Record(size_t first, size_t last) {
        const std::vector<TPiece>& p = pieces_;
        size_t fio = first + 1;
        while (fio < last && !StartsWith(p[fio].Text, kFIOLead)) ++fio;
        // At least one line for the second field, then the time and the mark.
        size_t time = fio + 2;
        while (time + 1 < last && !(StartsWith(p[time].Text, kTimeLead) && StartsWith(p[time + 1].Text, kMarkLead))) {
            ++time;
        }
        const size_t mark = time + 1;
        // A mark line without its line break may have lost digits.
        if (fio >= last || mark >= last || p[mark].End.empty()) {
            Warn(p[first].Line, "incomplete record, skipped");
            return;
        }
        TResultsRow row;
        row.Source = source_;
        row.Line = p[first].Line;
        TResultsRecord& record = row.Record;
        record.TestName = Join(p, first, fio).substr(kTestNameLead.size());
        record.FIO = std::string(p[fio].Text.substr(kFIOLead.size()));
        if (!SplitSecondField(fio + 1, time, record)) {
            Warn(p[fio + 1].Line, "no \" - \" between the caption and the second field, record skipped");
            return;
        }
        const std::string timeText(p[time].Text.substr(kTimeLead.size()));
        if (!ParseTestTime(timeText, record.TestSeconds)) {
            Warn(p[time].Line, "time \"" + Cp1251ToUtf8(timeText) + "\" cannot be read, record skipped");
            return;
        }
        const std::string markText(p[mark].Text.substr(kMarkLead.size()));
        if (!ParsePointsText(markText, record.Mark)) {
            Warn(p[mark].Line, "mark \"" + Cp1251ToUtf8(markText) + "\" cannot be read, record skipped");
            return;
        }
        into_.Rows.push_back(row);
        for (size_t i = mark + 1; i < last; ++i) {
            if (!IsBlank(p[i])) {
                Warn(p[i].Line, "text after the record, skipped");
                break;
            }
        }
    }

    bool SplitSecondField(size_t first, size_t last, TResultsRecord& record) const {
        const std::string text = Join(pieces_, first, last);
        size_t at = std::string::npos;
        for (const std::string& caption : captions_) {
            if (StartsWith(text, caption + kSeparator)) {
                at = caption.size();
                break;
            }
        }
        if (at == std::string::npos) {
            // The value was typed into a one-line box: the separator is on the last line.
            const size_t lastLine = text.size() - pieces_[last - 1].Text.size();
            at = text.find(kSeparator, lastLine);
            if (at == std::string::npos) at = text.find(kSeparator);
            if (at == std::string::npos) return false;
        }
        record.OtherInfoCaption = text.substr(0, at);
        record.OtherInfo = text.substr(at + kSeparator.size());
        return true;
    }

    const std::string& source_;
    TResultsParse& into_;
    std::vector<std::string> captions_;
    std::vector<TPiece> pieces_;
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kLineEnd = "\r\n";

std::string CsvField(const std::string& text, char separator) {
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + "\"";
}

bool ReadWholeFile(const TPath& path, std::string& bytes) {
    TBinaryFile file;
    uint64_t size = 0;
    if (!file.OpenRead(path) || !file.Size(size)) return false;
    bytes.assign(static_cast<size_t>(size), '\0');
    return size == 0 || file.ReadExact(&bytes[0], bytes.size());
}

}  // namespace

bool ParseTestTime(const std::string& cp1251, int32_t& seconds) {
    static const std::string kMinutes = Utf8ToCp1251(" мин ");
    static const std::string kSeconds = Utf8ToCp1251(" сек");
    const std::string_view text = cp1251;
    size_t pos = 0;
    int64_t first = 0, second = 0;
    if (!ReadNumber(text, pos, first)) return false;
    int64_t total = first;
    if (text.substr(pos, kMinutes.size()) == kMinutes) {
        pos += kMinutes.size();
        if (!ReadNumber(text, pos, second)) return false;
        total = first * 60 + second;
    }
    if (text.substr(pos) != kSeconds || !FitsInt32(total)) return false;
    seconds = static_cast<int32_t>(total);
    return true;
}

bool ParsePointsText(const std::string& cp1251, int32_t& points) {
    const std::string_view text = cp1251;
    size_t pos = 0;
    int64_t number = 0;
    if (!ReadNumber(text, pos, number) || pos >= text.size() || text[pos] != ' ' || !FitsInt32(number)) return false;
    const std::string_view word = text.substr(pos + 1);
    for (const char* known : {"балл", "балла", "баллов"}) {
        if (word == Utf8ToCp1251(known)) {
            points = static_cast<int32_t>(number);
            return true;
        }
    }
    return false;
}

void ParseResultsFile(const std::string& bytes, const std::string& sourceUtf8,
                      const std::vector<std::string>& knownCaptions, TResultsParse& into) {
    TResultsParser(sourceUtf8, knownCaptions, into).Parse(bytes);
}

std::string ResultsCsv(const std::vector<TResultsRow>& rows, char separator) {
    bool sameCaption = true;
    for (const TResultsRow& row : rows) {
        sameCaption = sameCaption && row.Record.OtherInfoCaption == rows.front().Record.OtherInfoCaption;
    }
    const std::string caption = rows.empty() ? std::string() : Cp1251ToUtf8(rows.front().Record.OtherInfoCaption);
    const bool captionColumn = !sameCaption;
    const std::string fieldHeader = sameCaption && !caption.empty() ? caption : "Второе поле";

    std::string csv = kBom;
    auto line = [&](const std::vector<std::string>& fields) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) csv += separator;
            csv += CsvField(fields[i], separator);
        }
        csv += kLineEnd;
    };
    std::vector<std::string> header = {"Тест", "ФИО"};
    if (captionColumn) header.push_back("Подпись второго поля");
    header.insert(header.end(), {fieldHeader, "Время, с", "Оценка", "Файл"});
    line(header);
    for (const TResultsRow& row : rows) {
        const TResultsRecord& r = row.Record;
        std::vector<std::string> fields = {Cp1251ToUtf8(r.TestName), Cp1251ToUtf8(r.FIO)};
        if (captionColumn) fields.push_back(Cp1251ToUtf8(r.OtherInfoCaption));
        fields.insert(fields.end(), {Cp1251ToUtf8(r.OtherInfo), std::to_string(r.TestSeconds),
                                     std::to_string(r.Mark), row.Source});
        line(fields);
    }
    return csv;
}

TResultsTableResult MakeResultsTable(const std::vector<std::string>& filesUtf8, const TPath& output,
                                     const TResultsTableOptions& options) {
    TResultsTableResult result;
    TResultsParse parse;
    for (const std::string& name : filesUtf8) {
        const TPath path = std::filesystem::u8path(name);
        std::string bytes;
        if (!ReadWholeFile(path, bytes)) {
            result.Errors.push_back(name + (PathExists(path) ? ": cannot be read" : ": no such file"));
            continue;
        }
        ParseResultsFile(bytes, name, options.KnownCaptions, parse);
    }
    result.Warnings = parse.Warnings;
    if (!result.Ok()) return result;

    const std::string csv = ResultsCsv(parse.Rows, options.Separator);
    std::error_code ec;
    TPath target = std::filesystem::absolute(output, ec);
    if (ec) target = output;
    ec.clear();
    const TPath scratch = UniqueRandomFileName(target.parent_path(), ".tmp");
    TBinaryFile file;
    bool written = file.Create(scratch) && file.Write(csv.data(), csv.size());
    file.Close();
    if (written) {
        std::filesystem::rename(scratch, target, ec);
        written = !ec;
    }
    if (!written) {
        DeleteFileAt(scratch);
        result.Errors.push_back("cannot write " + output.u8string() + (ec ? ": " + ec.message() : std::string()));
        return result;
    }
    result.Records = static_cast<int>(parse.Rows.size());
    return result;
}

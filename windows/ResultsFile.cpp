#include "windows/ResultsFile.h"

#include <cerrno>
#include <cstring>

#include "model/Codepage.h"
#include "model/TextUtils.h"

namespace {

TSystemError ReadErrno() {
    TSystemError error;
    error.Code = errno;
    // strerror speaks the C locale's language; convert in case it is UTF-8.
    error.Text = Utf8ToCp1251(std::strerror(error.Code));
    return error;
}

TSystemErrorReader gErrorReader = &ReadErrno;

// The reason must be read right after the failing call, before anything else can overwrite it.
TAppendResult Failure(const TPath& path, const char* whatUtf8, const TSystemError& error) {
    TAppendResult result;
    result.Ok = false;
    result.ErrorCode = error.Code;
    result.Message = Utf8ToCp1251(whatUtf8) + " \"" + Utf8ToCp1251(path.u8string()) + "\".\r\n" + error.Text;
    return result;
}

// Old editors end a text file with Ctrl-Z; a record written after it would be hidden from them.
// Only such a trailing mark is taken off: a Ctrl-Z with anything else after it is content.
bool ReadEndOfFileMark(TBinaryFile& file, uint64_t size, std::string& mark) {
    constexpr uint64_t kSearched = 128;
    const uint64_t length = size < kSearched ? size : kSearched;
    std::string tail(static_cast<size_t>(length), '\0');
    if (length > 0 && !(file.Seek(size - length) && file.ReadExact(&tail[0], tail.size()))) return false;
    const size_t first = tail.find('\x1A');
    if (first != std::string::npos && tail.find_first_not_of('\x1A', first) == std::string::npos) {
        mark = tail.substr(first);
    } else {
        mark.clear();
    }
    return true;
}

}  // namespace

std::string PointsWord(const std::string& decimalText) {
    size_t n = decimalText.size();
    if (n >= 2 && decimalText[n - 2] == '1') return Utf8ToCp1251("баллов");
    char last = n > 0 ? decimalText[n - 1] : '\0';
    if (last == '1') return Utf8ToCp1251("балл");
    if (last == '2' || last == '3' || last == '4') return Utf8ToCp1251("балла");
    return Utf8ToCp1251("баллов");
}

std::string PointsText(int32_t points) {
    std::string digits = std::to_string(points);
    return digits + " " + PointsWord(digits);
}

std::string TestTimeText(int32_t seconds) { return FormatDuration(seconds, false); }

std::string InterruptedNoteText() { return Utf8ToCp1251("* Тест был\r\n  прерван"); }

std::string FormatResultsRecord(const TResultsRecord& record) {
    static const std::string kSeparator = " - ";
    static const std::string kLineEnd = "\r\n";
    auto line = [](const std::string& caption, const std::string& value) {
        return caption + kSeparator + value + kLineEnd;
    };
    return line(Utf8ToCp1251("Название теста:"), record.TestName) +
           line(Utf8ToCp1251("ФИО тестируемого"), record.FIO) + line(record.OtherInfoCaption, record.OtherInfo) +
           line(Utf8ToCp1251("Время тестирования:"), TestTimeText(record.TestSeconds)) +
           line(Utf8ToCp1251("Результирующая оценка:"), PointsText(record.Mark)) + kLineEnd;
}

TPath ResultsFilePath(const TPath& exeFolder) { return exeFolder / "Results.txt"; }

void SetSystemErrorReader(TSystemErrorReader reader) { gErrorReader = reader != nullptr ? reader : &ReadErrno; }

TAppendResult AppendResultsRecord(const TPath& path, const std::string& bytes) {
    TBinaryFile file;
    // Open first and create only when that fails for want of a file: Create truncates.
    if (!file.OpenReadWrite(path)) {
        TSystemError openError = gErrorReader();
        if (PathExists(path)) return Failure(path, "Не удается открыть файл результатов", openError);
        if (!file.Create(path)) return Failure(path, "Не удается создать файл результатов", gErrorReader());
    }
    uint64_t size = 0;
    if (!file.Size(size)) return Failure(path, "Не удается дописать файл результатов", gErrorReader());
    std::string mark;
    if (!ReadEndOfFileMark(file, size, mark)) {
        return Failure(path, "Не удается дописать файл результатов", gErrorReader());
    }
    const uint64_t start = size - mark.size();
    if (!file.Seek(start)) return Failure(path, "Не удается дописать файл результатов", gErrorReader());
    if (!file.Write(bytes.data(), bytes.size()) || (bytes.size() < mark.size() && !file.TruncateHere())) {
        TSystemError writeError = gErrorReader();
        // Put the file back as it was, end-of-file mark included.
        if (file.Seek(start) && file.TruncateHere()) file.Write(mark.data(), mark.size());
        return Failure(path, "Не удается записать результаты в файл", writeError);
    }
    return TAppendResult();
}

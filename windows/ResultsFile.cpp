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
    if (!file.Size(size) || !file.Seek(size)) {
        return Failure(path, "Не удается дописать файл результатов", gErrorReader());
    }
    if (!file.Write(bytes.data(), bytes.size())) {
        TSystemError writeError = gErrorReader();
        if (file.Seek(size)) file.TruncateHere();
        return Failure(path, "Не удается записать результаты в файл", writeError);
    }
    return TAppendResult();
}

#include "windows/ResultsFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

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

namespace {

TBinaryFile::TExclusiveOpen OpenWithRetries(TBinaryFile& file, const TPath& path, const TRetryPolicy& retry,
                                            TSystemError& error) {
    using TClock = std::chrono::steady_clock;
    static std::minstd_rand jitter(std::random_device{}());
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(retry.TotalMilliseconds);
    int32_t pause = std::max<int32_t>(1, retry.FirstPauseMilliseconds);
    for (;;) {
        const TBinaryFile::TExclusiveOpen opened = file.OpenExclusive(path);
        if (opened == TBinaryFile::TExclusiveOpen::Opened) return opened;
        error = gErrorReader();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (opened == TBinaryFile::TExclusiveOpen::Failed || left <= 0) return opened;
        // Between half and one and a half of the pause, never past the deadline.
        const int32_t drawn = pause / 2 + static_cast<int32_t>(jitter() % static_cast<uint32_t>(pause + 1));
        const int32_t wait = static_cast<int32_t>(std::min<long long>(std::max(drawn, 1), left));
        if (retry.Pause) {
            retry.Pause(wait);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        }
        pause = std::min(pause * 2, std::max(retry.LongestPauseMilliseconds, retry.FirstPauseMilliseconds));
    }
}

}  // namespace

TAppendResult AppendResultsRecord(const TPath& path, const std::string& bytes, const TRetryPolicy& retry) {
    TBinaryFile file;
    TSystemError openError;
    switch (OpenWithRetries(file, path, retry, openError)) {
    case TBinaryFile::TExclusiveOpen::Opened:
        break;
    case TBinaryFile::TExclusiveOpen::Busy:
        return Failure(path, "Файл результатов занят другой программой", openError);
    case TBinaryFile::TExclusiveOpen::Failed:
        return Failure(path, PathExists(path) ? "Не удается открыть файл результатов" : "Не удается создать файл результатов",
                       openError);
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

TRecordWrite WriteResultsRecord(const TPath& primary, const TPath& fallbackFolder, const std::string& bytes,
                                const TRetryPolicy& retry) {
    TRecordWrite write;
    write.Primary = AppendResultsRecord(primary, bytes, retry);
    if (write.Primary.Ok) {
        write.Ok = true;
        write.WrittenTo = primary;
        return write;
    }
    if (fallbackFolder.empty()) return write;
    const TPath fallback = ResultsFilePath(fallbackFolder);
    // The same file by another name is no second chance.
    if (fallback.lexically_normal() == primary.lexically_normal()) return write;
    write.FallbackTried = true;
    write.Fallback = AppendResultsRecord(fallback, bytes, retry);
    if (write.Fallback.Ok) {
        write.Ok = true;
        write.InFallback = true;
        write.WrittenTo = fallback;
    }
    return write;
}

#include "tools/BankImport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <system_error>

#include "model/TextUtils.h"
#include "tools/TestBuilder.h"

namespace fs = std::filesystem;
using TJson = nlohmann::ordered_json;

namespace bank {

const char kTrueText[] = "Верно";
const char kFalseText[] = "Неверно";

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) return s.substr(s.size());
    return s.substr(first, s.find_last_not_of(kWhitespace) - first + 1);
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

size_t Utf8Length(std::string_view s, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > s.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    }
    return length;
}

bool IsUtf8(std::string_view s) {
    for (size_t at = 0; at < s.size();) {
        const size_t length = Utf8Length(s, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string FirstWords(std::string_view text) {
    constexpr size_t kWords = 5, kCharacters = 40;
    std::string out;
    size_t words = 0;
    bool more = false;
    for (size_t at = text.find_first_not_of(kWhitespace); at != std::string_view::npos;
         at = text.find_first_not_of(kWhitespace, at)) {
        if (words == kWords) {
            more = true;
            break;
        }
        const size_t end = std::min(text.find_first_of(kWhitespace, at), text.size());
        out += (words++ ? " " : "") + std::string(text.substr(at, end - at));
        at = end;
    }
    size_t characters = 0;
    for (size_t at = 0; at < out.size(); ++at) {
        if ((static_cast<unsigned char>(out[at]) & 0xC0) == 0x80) continue;
        if (characters++ == kCharacters) {
            out.resize(at);
            more = true;
            break;
        }
    }
    return more ? out + "..." : out;
}

std::string AtLine(int line, const std::string& name, const std::string& message) {
    std::string out = "line " + std::to_string(line);
    if (!name.empty()) out += ", question \"" + name + "\"";
    return out + ": " + message;
}

std::string CategoryName(std::string_view path) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '/') {
            parts.back() += path[i];
        } else if (i + 1 < path.size() && path[i + 1] == '/') {
            parts.back() += '/';
            ++i;
        } else {
            parts.emplace_back();
        }
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        const std::string_view part = Trim(*it);
        if (!part.empty()) return std::string(part);
    }
    return "";
}

std::optional<int64_t> RoundPercent(std::string_view number, bool& outOfRange) {
    outOfRange = false;
    const bool negative = StartsWith(number, "-");
    const std::string_view digits = number.substr(negative || StartsWith(number, "+") ? 1 : 0);
    const size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : digits.substr(point + 1);
    auto allDigits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || !allDigits(whole) || !allDigits(fraction)) return std::nullopt;
    const std::string_view significant = whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    const bool fractionZero = fraction.find_first_not_of('0') == std::string_view::npos;
    const int64_t value = significant.size() > 3 ? kRightWeight + 1 : std::stoll("0" + std::string(significant));
    if (value > kRightWeight || (value == kRightWeight && !fractionZero)) {
        outOfRange = true;
        return std::nullopt;
    }
    const int first = fraction.empty() ? 0 : fraction[0] - '0';
    const bool restZero = fraction.size() < 2 || fraction.substr(1).find_first_not_of('0') == std::string_view::npos;
    const bool up = first > 5 || (first == 5 && (!restZero || value % 2 == 1));
    return (negative ? -1 : 1) * (value + (up ? 1 : 0));
}

bool GroupTypedAnswers(const std::vector<TTypedPiece>& pieces, TSourceQuestion& question, std::string& warning) {
    question.AnswerMode = amTyped;
    for (const TTypedPiece& piece : pieces) {
        auto same = [&](const TSourceAnswer& a) { return a.Weight == piece.Weight; };
        auto it = std::find_if(question.Answers.begin(), question.Answers.end(), same);
        if (it == question.Answers.end()) {
            question.Answers.push_back({piece.Weight, "", {}, {}});
            it = std::prev(question.Answers.end());
        }
        it->Variants.push_back(piece.Text);
    }
    int64_t best = 0, total = 0;
    for (const TSourceAnswer& answer : question.Answers) {
        best = std::max(best, answer.Weight);
        total += std::max<int64_t>(answer.Weight, 0);
    }
    warning.clear();
    if (best <= 0) return false;
    // The player adds up the weights of every answer found in what is typed.
    if (best != total) {
        warning = "typed answers of different weights add up: the best one alone scores " + std::to_string(best) +
                  " of " + std::to_string(total);
    }
    return true;
}

}  // namespace bank

namespace {

using bank::StartsWith;

bool WriteWholeFile(const TPath& path, const std::string& bytes) {
    TBinaryFile file;
    return file.Create(path) && file.Write(bytes.data(), bytes.size());
}

// The check numbers questions as the source does; the bank's reader wants its lines.
std::string AtBankLine(const TBankImport& import, const std::string& message) {
    const std::string question = "question ";
    if (StartsWith(message, question)) {
        size_t end = question.size();
        while (end < message.size() && message[end] >= '0' && message[end] <= '9') ++end;
        const size_t index = std::stoul("0" + message.substr(question.size(), end - question.size()));
        if (index >= 1 && index <= import.QuestionLines.size()) {
            return "line " + std::to_string(import.QuestionLines[index - 1]) + message.substr(end);
        }
    }
    if (import.NameLine != 0 && StartsWith(message, "Name:")) {
        return "line " + std::to_string(import.NameLine) + ", " + message;
    }
    return message;
}

// The attachments are checked where they are written first, beside the output, and moved in
// only when everything passed.
class TStaging {
public:
    explicit TStaging(const TPath& output) {
        std::random_device device;
        TPath target = fs::absolute(output).lexically_normal();
        if (!target.has_filename()) target = target.parent_path();  // "src/"
        for (;;) {
            path_ = target.parent_path() / fs::u8path(target.filename().u8string() + ".import-" + std::to_string(device()));
            if (!PathExists(path_)) break;
        }
    }
    ~TStaging() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TStaging(const TStaging&) = delete;
    TStaging& operator=(const TStaging&) = delete;
    const TPath& Path() const { return path_; }

private:
    TPath path_;
};

}  // namespace

bool ReadBankFile(const TPath& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void ApplySourceSettings(TTestSource& source, const std::string& jsonText, const std::string& fileName) {
    TTestSource settings;
    bool hasName = false;
    try {
        const TJson root = TJson::parse(jsonText, nullptr, false, true);
        if (root.is_object()) {
            if (root.contains("Questions")) {
                throw ESourceError("\"Questions\" cannot be given here: the questions come from the bank");
            }
            hasName = root.contains("Name");
        }
        settings = ParseTestSource(jsonText, source.Folder);
    } catch (const ESourceError& e) {
        std::string what = e.what();
        // The reader names test.json for what is not about one key.
        const std::string own = std::string(kSourceFileName) + ": ";
        if (StartsWith(what, own)) what.erase(0, own.size());
        throw ESourceError(fileName + ": " + what);
    }
    settings.Folder = source.Folder;
    if (!hasName) settings.Name = source.Name;
    settings.Questions = std::move(source.Questions);
    source = std::move(settings);
}

void FinishBankImport(TBankImport& result, const TBankImportOptions& options) {
    result.Source.Folder = options.Output;
    if (!options.Settings.empty()) {
        std::string json;
        const std::string name = result.Source.Name;
        if (!ReadBankFile(options.Settings, json)) {
            result.Errors.push_back(options.Settings.u8string() + ": cannot be read");
        } else {
            try {
                ApplySourceSettings(result.Source, json, options.Settings.u8string());
            } catch (const ESourceError& e) {
                result.Errors.push_back(e.what());
            }
        }
        if (result.Source.Name != name) result.NameLine = 0;
    }
    if (!result.Ok()) return;

    std::error_code ec;
    TStaging staging(options.Output);
    if (!result.Files.empty()) {
        fs::create_directories(staging.Path(), ec);
        for (const auto& [name, bytes] : result.Files) {
            if (ec || !WriteWholeFile(staging.Path() / fs::u8path(name), bytes)) {
                result.Errors.push_back("cannot write in " + staging.Path().parent_path().u8string());
                return;
            }
        }
        result.Source.Folder = staging.Path();
    }
    const TCheckReport report = CheckTestSource(result.Source);
    result.Source.Folder = options.Output;
    for (const std::string& message : report.Errors) result.Errors.push_back(AtBankLine(result, message));
    for (const std::string& message : report.Warnings) result.Warnings.push_back(AtBankLine(result, message));
    if (!result.Ok()) return;

    std::vector<std::string> names = {kSourceFileName};
    for (const auto& file : result.Files) names.push_back(file.first);
    if (!options.Overwrite) {
        for (const std::string& name : names) {
            const TPath file = options.Output / fs::u8path(name);
            if (fs::exists(file, ec)) result.Errors.push_back(file.u8string() + " exists already (--force replaces it)");
        }
        if (!result.Ok()) return;
    }
    fs::create_directories(options.Output, ec);
    for (const auto& file : result.Files) {
        fs::rename(staging.Path() / fs::u8path(file.first), options.Output / fs::u8path(file.first), ec);
        if (ec) {
            result.Errors.push_back("cannot write " + (options.Output / fs::u8path(file.first)).u8string());
            return;
        }
    }
    const TPath file = options.Output / kSourceFileName;
    if (!WriteWholeFile(file, TestSourceToJson(result.Source).dump(2) + "\n")) {
        result.Errors.push_back("cannot write " + file.u8string());
    }
}

TBankImport ImportBankFile(const TBankImportOptions& options, TBankParser parse) {
    TBankImport result;
    std::string bank;
    if (!ReadBankFile(options.Bank, bank)) {
        result.Errors.push_back(options.Bank.u8string() + ": cannot be read");
        return result;
    }
    result = parse(bank, options.Bank.stem().u8string());
    if (result.Ok()) FinishBankImport(result, options);
    return result;
}

#include "tools/GiftImport.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "model/TextUtils.h"
#include "tools/TestBuilder.h"

namespace fs = std::filesystem;
using TJson = nlohmann::ordered_json;

namespace {

// Escaped characters stand in the text as bytes that no text holds, so that splitting at the
// markup never sees them; the finished texts get the characters back. "\\" is simply a
// backslash, and it escapes nothing after it.
constexpr std::string_view kEscapable = ":#={}~";  // "\:" becomes '\x01', ... "\~" '\x06'
constexpr char kEscapedNewline = '\x07';           // "\n"
constexpr char kLastMarker = kEscapedNewline;

constexpr std::string_view kWhitespace = " \t\r\n\v\f";

constexpr int64_t kRightWeight = 100;
constexpr char kTrueText[] = "Верно";
constexpr char kFalseText[] = "Неверно";

enum TFormat { fmPlain, fmHtml };

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) return s.substr(s.size());
    return s.substr(first, s.find_last_not_of(kWhitespace) - first + 1);
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The length of the well-formed UTF-8 sequence at `at`; 0 when there is none.
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

// Tags go, "<br>" becomes a line break; then the usual entities. One pass, so "&amp;lt;"
// stays "&lt;".
std::string HtmlToText(std::string_view s) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&nbsp;", ' '}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '<') {
            const size_t end = s.find('>', i);
            if (end == std::string_view::npos) {
                out += s.substr(i);
                break;
            }
            const std::string tag = UpperAscii(Trim(s.substr(i + 1, end - i - 1)));
            if (tag == "BR" || tag == "BR/" || StartsWith(tag, "BR ")) out += '\n';
            i = end + 1;
            continue;
        }
        bool decoded = false;
        if (s[i] == '&') {
            for (const auto& [entity, character] : kEntities) {
                if (StartsWith(s.substr(i), entity)) {
                    out += character;
                    i += entity.size();
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded) out += s[i++];
    }
    return out;
}

// A format prefix at the start of `text` is taken off; `current` holds when there is none.
TFormat TakeFormat(std::string_view& text, TFormat current) {
    static const std::pair<std::string_view, TFormat> kFormats[] = {
        {"[html]", fmHtml}, {"[moodle]", fmPlain}, {"[plain]", fmPlain}, {"[markdown]", fmPlain}};
    for (const auto& [prefix, format] : kFormats) {
        if (StartsWith(text, prefix)) {
            text = Trim(text.substr(prefix.size()));
            return format;
        }
    }
    return current;
}

// The first words of a question, to name it in messages when it has no title.
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

// The last part of "$course$/top/Physics//Optics": "Physics/Optics" ("//" is a slash in a name).
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

// One question's lines: escapes replaced, comment and category lines left out.
struct TChunk {
    std::string Text;
    std::vector<int> Lines;  // the bank's line of each byte of Text
    int ControlLine = 0;     // a line with a byte that only escapes may produce

    void Add(std::string_view line, int number) {
        if (!Text.empty()) Put('\n', Lines.back());
        for (size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                const char next = line[i + 1];
                const size_t escaped = next == '\0' ? std::string_view::npos : kEscapable.find(next);
                if (escaped != std::string_view::npos || next == 'n' || next == '\\') {
                    Put(escaped != std::string_view::npos ? static_cast<char>(escaped + 1)
                                                          : next == 'n' ? kEscapedNewline : '\\',
                        number);
                    ++i;
                    continue;
                }
            }
            if (c >= 1 && c <= kLastMarker && ControlLine == 0) ControlLine = number;
            Put(c, number);
        }
    }
    void Put(char c, int line) {
        Text += c;
        Lines.push_back(line);
    }
    int LineAt(std::string_view within, size_t offset = 0) const {
        const size_t at = static_cast<size_t>(within.data() - Text.data()) + offset;
        return at < Lines.size() ? Lines[at] : Lines.back();
    }
};

struct TGiftError {
    int Line;
    std::string Message;
};

class TQuestionParser {
public:
    TQuestionParser(const TChunk& chunk, TGiftImport& result) : chunk_(chunk), result_(result) {}

    void Run() {
        try {
            Parse();
        } catch (const TGiftError& e) {
            result_.Errors.push_back(AtLine(e.Line, name_, e.Message));
        }
    }

private:
    struct TPiece {
        char Marker = 0;  // what began it; 0 for the text before the first marker
        std::string_view Text;
    };

    [[noreturn]] static void Fail(int line, const std::string& message) { throw TGiftError{line, message}; }

    void Skip(const std::string& what) {
        result_.Warnings.push_back(AtLine(line_, name_, what + " has no equivalent in a test: skipped"));
        ++result_.Skipped;
    }

    void Parse() {
        std::string_view text = Trim(chunk_.Text);
        line_ = chunk_.LineAt(text);
        if (chunk_.ControlLine != 0) Fail(chunk_.ControlLine, "a control character in the text");
        if (StartsWith(text, "::")) {
            const size_t end = text.find("::", 2);
            if (end == std::string_view::npos) Fail(line_, "the title has no closing \"::\"");
            name_ = Clean(text.substr(2, end - 2), fmPlain);
            text = Trim(text.substr(end + 2));
        }
        format_ = TakeFormat(text, fmPlain);
        if (name_.empty()) name_ = FirstWords(Clean(text.substr(0, text.find('{')), format_));

        size_t open = std::string_view::npos, close = std::string_view::npos, lastOpen = 0;
        int blocks = 0;
        bool inside = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '{') {
                if (inside) Fail(chunk_.LineAt(text, i), "\"{\" inside the answers (a brace in a text is written \\{)");
                inside = true;
                lastOpen = i;
                if (open == std::string_view::npos) open = i;
            } else if (text[i] == '}') {
                if (!inside) Fail(chunk_.LineAt(text, i), "\"}\" without its \"{\" (a brace in a text is written \\})");
                inside = false;
                if (blocks++ == 0) close = i;
            }
        }
        if (inside) Fail(chunk_.LineAt(text, lastOpen), "\"{\" is never closed");
        if (open == std::string_view::npos) return Skip("a description (a text without answers)");
        if (blocks > 1 || !Trim(text.substr(close + 1)).empty()) {
            return Skip("a missing-word question (text after the answers)");
        }

        std::string_view answers = Trim(text.substr(open + 1, close - open - 1));
        const size_t generalFeedback = answers.rfind("####");
        if (generalFeedback != std::string_view::npos) answers = Trim(answers.substr(0, generalFeedback));

        TSourceQuestion question;
        if (answers.empty()) return Skip("an essay question");
        if (answers[0] == '#') return Skip("a numerical question");
        if (answers[0] == '>') {
            Ordering(answers, question);
        } else if (answers.find('~') != std::string_view::npos) {
            Choice(answers, question);
        } else if (answers.find('=') != std::string_view::npos && answers.find("->") != std::string_view::npos) {
            return Skip("a matching question");
        } else if (!TrueFalse(answers, question)) {
            ShortAnswer(answers, question);
        }
        question.Text = Finish(text.substr(0, open), format_);
        result_.Source.Questions.push_back(std::move(question));
        result_.QuestionLines.push_back(line_);
    }

    // Trimmed, the markup of the format removed and the escaped characters back.
    static std::string Clean(std::string_view raw, TFormat format) {
        std::string text(Trim(raw));
        if (format == fmHtml) text = std::string(Trim(HtmlToText(text)));
        for (char& c : text) {
            if (c == kEscapedNewline) {
                c = '\n';
            } else if (c >= 1 && c < kEscapedNewline) {
                c = kEscapable[static_cast<size_t>(c - 1)];
            }
        }
        return text;
    }

    // Clean, and storable.
    std::string Finish(std::string_view raw, TFormat format) const {
        std::string text = Clean(raw, format);
        const std::string bad = FirstNonCp1251(text);
        if (!bad.empty()) {
            const size_t at = raw.find(bad);
            Fail(chunk_.LineAt(raw, at == std::string_view::npos ? 0 : at),
                 "character \"" + bad + "\" (" + CodePointName(bad) +
                     ") cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)");
        }
        return text;
    }

    int LineOf(const TPiece& piece) const {
        const std::string_view text = Trim(piece.Text);
        return chunk_.LineAt(text.empty() ? piece.Text : text);
    }

    // Splits at every marker; the text before the first one counts only when it is not blank.
    static std::vector<TPiece> Split(std::string_view answers, std::string_view markers) {
        std::vector<TPiece> pieces(1);
        size_t start = 0;
        for (size_t i = 0; i < answers.size(); ++i) {
            if (markers.find(answers[i]) == std::string_view::npos) continue;
            pieces.back().Text = answers.substr(start, i - start);
            pieces.push_back({answers[i], {}});
            start = i + 1;
        }
        pieces.back().Text = answers.substr(start);
        if (Trim(pieces.front().Text).empty()) pieces.erase(pieces.begin());
        return pieces;
    }

    // "%50%", "%-33.33333%": a percentage, rounded half to even. Anything else after a "%"
    // is the answer's text, as Moodle reads it.
    static std::optional<int64_t> TakeWeight(std::string_view& text, int line) {
        if (text.empty() || text[0] != '%') return std::nullopt;
        const size_t end = text.find('%', 1);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view number = text.substr(1, end - 1);
        const bool negative = StartsWith(number, "-");
        const std::string_view digits = number.substr(negative ? 1 : 0);
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
            Fail(line, "weight %" + std::string(number) +
                           "% is out of range: weights are percentages from -100 to 100");
        }
        const int first = fraction.empty() ? 0 : fraction[0] - '0';
        const bool restZero = fraction.size() < 2 || fraction.substr(1).find_first_not_of('0') == std::string_view::npos;
        const bool up = first > 5 || (first == 5 && (!restZero || value % 2 == 1));
        text = Trim(text.substr(end + 1));
        return (negative ? -1 : 1) * (value + (up ? 1 : 0));
    }

    struct TAnswerPiece {
        std::optional<int64_t> Weight;
        std::string Text;
        int Line = 0;
    };

    TAnswerPiece ReadPiece(const TPiece& piece, bool weighted) const {
        TAnswerPiece out;
        out.Line = LineOf(piece);
        std::string_view text = Trim(piece.Text);
        if (weighted) out.Weight = TakeWeight(text, out.Line);
        text = Trim(text.substr(0, text.find('#')));  // the feedback
        const TFormat format = TakeFormat(text, format_);
        out.Text = Finish(text, format);
        if (out.Text.empty()) Fail(out.Line, "an empty answer");
        return out;
    }

    void Choice(std::string_view answers, TSourceQuestion& question) const {
        const std::vector<TPiece> pieces = Split(answers, "~=");
        if (pieces.size() < 2) Fail(line_, "a choice needs at least two answers");
        bool full = false, right = false;
        for (const TPiece& piece : pieces) {
            TAnswerPiece read = ReadPiece(piece, true);
            TSourceAnswer answer;
            answer.Weight = read.Weight.value_or(piece.Marker == '=' ? kRightWeight : 0);
            answer.Text = std::move(read.Text);
            full = full || answer.Weight == kRightWeight;
            right = right || answer.Weight > 0;
            question.Answers.push_back(std::move(answer));
        }
        if (!right) Fail(line_, "no answer is right: mark one with \"=\" or give weights like ~%50%");
        // One answer worth full marks makes a single choice; partial weights alone, several to choose.
        question.AnswerMode = full ? amSingle : amMultiple;
    }

    bool TrueFalse(std::string_view answers, TSourceQuestion& question) const {
        const std::string value = UpperAscii(Trim(answers.substr(0, answers.find('#'))));
        if (value != "T" && value != "TRUE" && value != "F" && value != "FALSE") return false;
        const bool isTrue = value[0] == 'T';
        question.AnswerMode = amSingle;
        question.Answers = {{isTrue ? kRightWeight : 0, kTrueText, {}, {}},
                            {isTrue ? 0 : kRightWeight, kFalseText, {}, {}}};
        return true;
    }

    void ShortAnswer(std::string_view answers, TSourceQuestion& question) {
        question.AnswerMode = amTyped;
        // Accepted texts of one weight are the variants of one answer.
        for (const TPiece& piece : Split(answers, "=")) {
            TAnswerPiece read = ReadPiece(piece, true);
            if (read.Text.find(kVariantSeparatorUtf8) != std::string::npos) {
                Fail(read.Line, "an answer cannot hold \"" + std::string(kVariantSeparatorUtf8) +
                                    "\": it separates the variants");
            }
            const int64_t weight = read.Weight.value_or(kRightWeight);
            auto same = [&](const TSourceAnswer& a) { return a.Weight == weight; };
            auto it = std::find_if(question.Answers.begin(), question.Answers.end(), same);
            if (it == question.Answers.end()) {
                question.Answers.push_back({weight, "", {}, {}});
                it = std::prev(question.Answers.end());
            }
            it->Variants.push_back(std::move(read.Text));
        }
        int64_t best = 0, total = 0;
        for (const TSourceAnswer& answer : question.Answers) {
            best = std::max(best, answer.Weight);
            total += std::max<int64_t>(answer.Weight, 0);
        }
        if (best <= 0) Fail(line_, "no answer is right: give one a positive weight");
        // The player adds up the weights of every answer found in what is typed.
        if (best != total) {
            result_.Warnings.push_back(AtLine(line_, name_,
                                              "typed answers of different weights add up: the best one alone scores " +
                                                  std::to_string(best) + " of " + std::to_string(total)));
        }
    }

    void Ordering(std::string_view answers, TSourceQuestion& question) const {
        question.AnswerMode = amOrdering;
        int64_t rank = 0;
        for (const TPiece& piece : Split(answers, ">")) {
            TSourceAnswer answer;
            answer.Weight = ++rank;
            answer.Text = ReadPiece(piece, false).Text;
            question.Answers.push_back(std::move(answer));
        }
        if (question.Answers.size() < 2) Fail(line_, "an ordering needs at least two items");
    }

    const TChunk& chunk_;
    TGiftImport& result_;
    int line_ = 0;
    std::string name_;
    TFormat format_ = fmPlain;
};

bool ReadWholeFile(const TPath& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const TPath& path, const std::string& bytes) {
    TBinaryFile file;
    return file.Create(path) && file.Write(bytes.data(), bytes.size());
}

// The check numbers questions as the source does; the bank's reader wants its lines.
std::string AtBankLine(const TGiftImport& import, const std::string& message) {
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

}  // namespace

TGiftImport ParseGiftBank(const std::string& utf8, const std::string& bankName) {
    TGiftImport result;
    std::string_view text = utf8;
    if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);

    std::optional<std::string> category;
    int categoryLine = 0;
    TChunk chunk;
    auto flush = [&] {
        if (!chunk.Text.empty()) TQuestionParser(chunk, result).Run();
        chunk = TChunk();
    };
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!IsUtf8(line)) {
            // Most likely the whole bank is in an 8-bit code page: one message says it.
            result.Errors.push_back("line " + std::to_string(number) +
                                    ": not UTF-8 text (the bank must be saved as UTF-8)");
            return result;
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty()) {
            flush();
        } else if (StartsWith(trimmed, "//")) {
            continue;
        } else if (StartsWith(trimmed, "$CATEGORY:")) {
            if (!category) {
                category = CategoryName(trimmed.substr(10));
                categoryLine = number;
            }
        } else {
            chunk.Add(line, number);
        }
    }
    flush();

    if (category && !category->empty()) {
        result.Source.Name = *category;
        result.NameLine = categoryLine;
    } else {
        result.Source.Name = bankName;
    }
    if (result.Source.Questions.empty() && result.Errors.empty()) {
        result.Errors.push_back(result.Skipped == 0 ? "the bank holds no questions"
                                                    : "none of the bank's questions has an equivalent in a test");
    }
    return result;
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

TGiftImport ImportGiftFile(const TGiftImportOptions& options) {
    TGiftImport result;
    std::string bank;
    if (!ReadWholeFile(options.Bank, bank)) {
        result.Errors.push_back(options.Bank.u8string() + ": cannot be read");
        return result;
    }
    result = ParseGiftBank(bank, options.Bank.stem().u8string());
    result.Source.Folder = options.Output;
    if (!options.Settings.empty()) {
        std::string json;
        const std::string name = result.Source.Name;
        if (!ReadWholeFile(options.Settings, json)) {
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
    if (!result.Ok()) return result;

    const TCheckReport report = CheckTestSource(result.Source);
    for (const std::string& message : report.Errors) result.Errors.push_back(AtBankLine(result, message));
    for (const std::string& message : report.Warnings) {
        result.Warnings.push_back(AtBankLine(result, message));
    }
    if (!result.Ok()) return result;

    const TPath file = options.Output / kSourceFileName;
    std::error_code ec;
    if (fs::exists(file, ec) && !options.Overwrite) {
        result.Errors.push_back(file.u8string() + " exists already (--force replaces it)");
        return result;
    }
    fs::create_directories(options.Output, ec);
    if (ec || !WriteWholeFile(file, TestSourceToJson(result.Source).dump(2) + "\n")) {
        result.Errors.push_back("cannot write " + file.u8string());
    }
    return result;
}

#include "tools/GiftImport.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/TextUtils.h"
#include "tools/TestBuilder.h"


namespace {

// Escaped characters stand in the text as bytes that no text holds, so that splitting at the
// markup never sees them; the finished texts get the characters back. "\\" is simply a
// backslash, and it escapes nothing after it.
constexpr std::string_view kEscapable = ":#={}~";  // "\:" becomes '\x01', ... "\~" '\x06'
constexpr char kEscapedNewline = '\x07';           // "\n"
constexpr char kLastMarker = kEscapedNewline;

using bank::kFalseText;
using bank::kRightWeight;
using bank::kTrueText;
using bank::kWhitespace;
using bank::StartsWith;
using bank::Trim;

enum TFormat { fmPlain, fmHtml };

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
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
            result_.Errors.push_back(bank::AtLine(e.Line, name_, e.Message));
        }
    }

private:
    struct TPiece {
        char Marker = 0;  // what began it; 0 for the text before the first marker
        std::string_view Text;
    };

    [[noreturn]] static void Fail(int line, const std::string& message) { throw TGiftError{line, message}; }

    void Skip(const std::string& what) {
        result_.Warnings.push_back(bank::AtLine(line_, name_, what + " has no equivalent in a test: skipped"));
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
        if (name_.empty()) name_ = bank::FirstWords(Clean(text.substr(0, text.find('{')), format_));

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
        bool outOfRange = false;
        const std::optional<int64_t> weight = bank::RoundPercent(number, outOfRange);
        if (outOfRange) {
            Fail(line, "weight %" + std::string(number) +
                           "% is out of range: weights are percentages from -100 to 100");
        }
        if (!weight) return std::nullopt;
        text = Trim(text.substr(end + 1));
        return weight;
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
        std::vector<bank::TTypedPiece> pieces;
        for (const TPiece& piece : Split(answers, "=")) {
            TAnswerPiece read = ReadPiece(piece, true);
            if (read.Text.find(kVariantSeparatorUtf8) != std::string::npos) {
                Fail(read.Line, "an answer cannot hold \"" + std::string(kVariantSeparatorUtf8) +
                                    "\": it separates the variants");
            }
            pieces.push_back({read.Weight.value_or(kRightWeight), std::move(read.Text)});
        }
        std::string warning;
        if (!bank::GroupTypedAnswers(pieces, question, warning)) {
            Fail(line_, "no answer is right: give one a positive weight");
        }
        if (!warning.empty()) result_.Warnings.push_back(bank::AtLine(line_, name_, warning));
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
        if (!bank::IsUtf8(line)) {
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
                category = bank::CategoryName(trimmed.substr(10));
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

TGiftImport ImportGiftFile(const TGiftImportOptions& options) { return ImportBankFile(options, ParseGiftBank); }

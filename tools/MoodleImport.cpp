#include "tools/MoodleImport.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <pugixml.hpp>

#include "model/Codepage.h"
#include "model/TextUtils.h"
#include "tools/BankPicture.h"
#include "tools/HtmlText.h"

using bank::kRightWeight;
using bank::StartsWith;
using bank::Trim;

namespace {

constexpr char kPluginFile[] = "@@PLUGINFILE@@/";
constexpr int64_t kMaxPriority = 127;

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// What the skipped types are called in the warnings.
std::string TypeDescription(const std::string& type) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"matching", "a matching question"},
        {"numerical", "a numerical question"},
        {"essay", "an essay question"},
        {"description", "a description (a text without answers)"},
        {"cloze", "an embedded answers (cloze) question"},
        {"calculated", "a calculated question"},
        {"calculatedsimple", "a calculated question"},
        {"calculatedmulti", "a calculated question"},
        {"randomsamatch", "a random short-answer matching question"},
        {"ddwtos", "a drag and drop into text question"},
        {"gapselect", "a select missing words question"},
        {"ddimageortext", "a drag and drop onto image question"},
        {"ddmarker", "a drag and drop markers question"},
    };
    for (const auto& [name, description] : kNames) {
        if (type == name) return description;
    }
    return "a question of type \"" + type + "\"";
}

std::string Base64Decode(std::string_view text, bool& ok) {
    std::string out;
    uint32_t bits = 0;
    int count = 0, padding = 0;
    ok = true;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') value = c - 'A';
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
        else if (c >= '0' && c <= '9') value = c - '0' + 52;
        else if (c == '+' || c == '-') value = 62;
        else if (c == '/' || c == '_') value = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (bank::kWhitespace.find(c) != std::string_view::npos) {
            continue;
        }
        if (value < 0 || padding > 0) {
            ok = false;
            return "";
        }
        bits = (bits << 6) | static_cast<uint32_t>(value);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1) ok = false;
    if (count == 2) out += static_cast<char>((bits >> 4) & 0xFF);
    if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return out;
}

// Every text and CDATA piece of the element, joined.
std::string ChildText(pugi::xml_node node) {
    std::string out;
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) out += child.value();
    }
    return out;
}

std::string TextOf(pugi::xml_node owner) { return ChildText(owner.child("text")); }

// Russian letters in Latin ones, so that "рисунок 1.png" keeps a readable name; other
// characters stay as they are.
std::string Transliterated(const std::string& utf8) {
    static const char* const kLetters[32] = {"a", "b", "v", "g", "d",  "e", "zh", "z",  "i",    "y", "k",
                                             "l", "m", "n", "o", "p",  "r", "s",  "t",  "u",    "f", "h",
                                             "c", "ch", "sh", "sch", "", "y", "",  "e", "yu", "ya"};
    const std::string text = Utf8ToCp1251(utf8);
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0xC0) {
            out += kLetters[(u - 0xC0) % 32];  // 0xC0-0xDF upper, 0xE0-0xFF lower case
        } else if (u == 0xA8 || u == 0xB8) {
            out += "e";  // Ё ё
        } else if (u < 0x80) {
            out += c;
        }
    }
    return out;
}

struct TBankError {
    int Line;
    std::string Message;
};

// The attachments of the bank by the names they get in the source folder.
class TPictureFiles {
public:
    explicit TPictureFiles(TMoodleImport& result) : result_(result) {}

    // The 8.3 name of the picture: the same bytes under the same name are one file.
    std::string Add(const std::string& original, const TBankPicture& picture) {
        std::string stem;
        for (const char c : Transliterated(original.substr(0, original.rfind('.')))) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
                stem += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            }
        }
        if (stem.empty()) stem = "PICTURE";
        stem.resize(std::min<size_t>(stem.size(), 8));
        for (int n = 1;; ++n) {
            std::string name = stem;
            if (n > 1) {
                const std::string suffix = "_" + std::to_string(n);
                name = stem.substr(0, std::min(stem.size(), 8 - suffix.size())) + suffix;
            }
            name += "." + picture.Extension;
            auto same = [&](const auto& file) { return file.first == name; };
            auto it = std::find_if(result_.Files.begin(), result_.Files.end(), same);
            if (it == result_.Files.end()) {
                result_.Files.emplace_back(name, picture.Bytes);
                return name;
            }
            if (it->second == picture.Bytes) return name;
        }
    }

private:
    TMoodleImport& result_;
};

class TLineIndex {
public:
    explicit TLineIndex(std::string_view text) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') breaks_.push_back(i);
        }
    }
    int LineAt(ptrdiff_t offset) const {
        if (offset < 0) return 0;
        return static_cast<int>(std::upper_bound(breaks_.begin(), breaks_.end(), static_cast<size_t>(offset)) -
                                breaks_.begin()) + 1;
    }
    int LineOf(pugi::xml_node node) const { return LineAt(node.offset_debug()); }

private:
    std::vector<size_t> breaks_;
};

class TQuestionReader {
public:
    TQuestionReader(pugi::xml_node question, const TLineIndex& lines, TMoodleImport& result, TPictureFiles& files)
        : q_(question), lines_(lines), result_(result), files_(files) {}

    void Run() {
        line_ = lines_.LineOf(q_);
        type_ = q_.attribute("type").value();
        name_ = std::string(Trim(TextOf(q_.child("name"))));
        try {
            Read();
        } catch (const TBankError& e) {
            result_.Errors.push_back(bank::AtLine(e.Line, name_, e.Message));
        }
    }

private:
    [[noreturn]] static void Fail(int line, const std::string& message) { throw TBankError{line, message}; }

    void Warn(const std::string& message) { warnings_.push_back(bank::AtLine(line_, name_, message)); }

    void Read() {
        if (type_ != "multichoice" && type_ != "truefalse" && type_ != "shortanswer" && type_ != "ordering") {
            if (name_.empty()) name_ = bank::FirstWords(HtmlToText(TextOf(q_.child("questiontext"))));
            result_.Warnings.push_back(
                bank::AtLine(line_, name_, TypeDescription(type_) + " has no equivalent in a test: skipped"));
            ++result_.Skipped;
            return;
        }
        TSourceQuestion question;
        question.Text = Text(q_.child("questiontext"), &question.Attach, "the question's text");
        if (name_.empty()) name_ = bank::FirstWords(question.Text);
        question.Priority = Priority();
        if (type_ == "multichoice") {
            Choice(question);
        } else if (type_ == "truefalse") {
            TrueFalse(question);
        } else if (type_ == "shortanswer") {
            ShortAnswer(question);
        } else {
            Ordering(question);
        }
        result_.Source.Questions.push_back(std::move(question));
        result_.QuestionLines.push_back(line_);
        result_.Warnings.insert(result_.Warnings.end(), warnings_.begin(), warnings_.end());
    }

    // The text of an element with <text> inside as the test shows it; with `attach`, its first
    // picture too.
    std::string Text(pugi::xml_node owner, TSourceAttach* attach, const std::string& what) {
        const std::string raw = TextOf(owner);
        const std::string format = owner.attribute("format").as_string("html");
        std::string text;
        if (format == "html") {
            text = HtmlToText(raw);
            if (attach) Picture(owner, raw, *attach, what);
        } else if (format == "moodle_auto_format") {
            // Html whose line ends are line breaks too.
            std::string html;
            for (const char c : raw) {
                if (c == '\n') html += "<br>";
                else if (c != '\r') html += c;
            }
            text = HtmlToText(html);
            if (attach) Picture(owner, html, *attach, what);
        } else {
            for (const char c : raw) {
                if (c != '\r') text += c;
            }
        }
        text = std::string(Trim(text));
        const std::string bad = FirstNonCp1251(text);
        if (!bad.empty()) {
            Fail(lines_.LineOf(owner), "character \"" + bad + "\" (" + CodePointName(bad) +
                                           ") cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)");
        }
        return text;
    }

    void Picture(pugi::xml_node owner, const std::string& html, TSourceAttach& attach, const std::string& what) {
        const std::vector<std::string> sources = HtmlImageSources(html);
        if (sources.empty()) return;
        if (sources.size() > 1) {
            Warn(what + " has " + std::to_string(sources.size()) + " pictures: only the first is kept");
        }
        const std::string& src = sources.front();
        std::string name, bytes;
        bool decoded = false;
        if (StartsWith(src, kPluginFile)) {
            const std::string path = PercentDecode(std::string_view(src).substr(sizeof kPluginFile - 1));
            const size_t slash = path.rfind('/');
            name = slash == std::string::npos ? path : path.substr(slash + 1);
            const std::string folder = "/" + (slash == std::string::npos ? "" : path.substr(0, slash + 1));
            pugi::xml_node file = FindFile(owner, name, folder);
            if (!file) file = FindFile(q_, name, folder);
            if (!file) {
                Warn("picture \"" + name + "\" of " + what + " is not in the bank: left out");
                return;
            }
            bytes = Base64Decode(ChildText(file), decoded);
        } else if (StartsWith(src, "data:") && src.find(";base64,") != std::string::npos) {
            name = "picture";
            bytes = Base64Decode(std::string_view(src).substr(src.find(";base64,") + 8), decoded);
        } else {
            Warn("picture \"" + src + "\" of " + what + " is outside the bank (a link): left out");
            return;
        }
        TBankPicture picture;
        std::string reason = "its base64 text is damaged";
        if (!decoded || !MakePlayerPicture(bytes, picture, reason)) {
            Warn("picture \"" + name + "\" of " + what + " cannot be shown: " + reason + ": left out");
            return;
        }
        attach.File = files_.Add(name, picture);
    }

    // A <file> of `owner` or of anything inside it.
    static pugi::xml_node FindFile(pugi::xml_node owner, const std::string& name, const std::string& folder) {
        pugi::xml_node found;
        auto matches = [&](pugi::xml_node n) {
            return std::string_view(n.name()) == "file" && name == n.attribute("name").value() &&
                   folder == n.attribute("path").as_string("/");
        };
        for (pugi::xml_node n = owner.first_child(); n && !found; n = n.next_sibling()) {
            if (matches(n)) found = n;
        }
        if (found) return found;
        for (pugi::xml_node n : owner.children()) {
            if (std::string_view(n.name()) == "file") continue;
            found = FindFile(n, name, folder);
            if (found) return found;
        }
        return found;
    }

    int64_t Priority() {
        const std::string text(Trim(ChildText(q_.child("defaultgrade"))));
        if (text.empty()) return 1;
        const size_t point = text.find('.');
        const std::string whole = text.substr(0, point);
        const bool fractionZero =
            point == std::string::npos || text.find_first_not_of('0', point + 1) == std::string::npos;
        int64_t value = 0;
        const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
        if (ec == std::errc() && end == whole.data() + whole.size() && fractionZero && value >= 1 &&
            value <= kMaxPriority) {
            return value;
        }
        Warn("defaultgrade " + text + " is not a whole number from 1 to " + std::to_string(kMaxPriority) +
             ": Priority 1");
        return 1;
    }

    struct TReadAnswer {
        pugi::xml_node Node;
        int Line = 0;
        std::string Fraction;  // as written
        std::string Text;
        TSourceAttach Attach;
    };

    std::vector<TReadAnswer> Answers(bool pictures) {
        std::vector<TReadAnswer> out;
        int n = 0;
        for (pugi::xml_node a : q_.children("answer")) {
            TReadAnswer answer;
            answer.Node = a;
            answer.Line = lines_.LineOf(a);
            answer.Fraction = std::string(Trim(a.attribute("fraction").as_string("0")));
            answer.Text = Text(a, pictures ? &answer.Attach : nullptr, "answer " + std::to_string(++n));
            out.push_back(std::move(answer));
        }
        return out;
    }

    int64_t Weight(const TReadAnswer& answer) {
        bool outOfRange = false;
        const std::optional<int64_t> weight = bank::RoundPercent(answer.Fraction, outOfRange);
        if (outOfRange) {
            Fail(answer.Line, "fraction " + answer.Fraction + " is out of range: fractions are percentages from -100 to 100");
        }
        if (!weight) Fail(answer.Line, "fraction \"" + answer.Fraction + "\" is not a number");
        return *weight;
    }

    void NotEmpty(const TReadAnswer& answer) {
        if (answer.Text.empty() && answer.Attach.File.empty()) Fail(answer.Line, "an empty answer");
    }

    void Choice(TSourceQuestion& question) {
        const std::string single = LowerAscii(Trim(ChildText(q_.child("single"))));
        question.AnswerMode = single == "false" || single == "0" ? amMultiple : amSingle;
        bool right = false;
        for (TReadAnswer& read : Answers(true)) {
            NotEmpty(read);
            TSourceAnswer answer;
            answer.Weight = Weight(read);
            answer.Text = std::move(read.Text);
            answer.Attach = std::move(read.Attach);
            right = right || answer.Weight > 0;
            question.Answers.push_back(std::move(answer));
        }
        if (question.Answers.size() < 2) Fail(line_, "a choice needs at least two answers");
        if (!right) Fail(line_, "no answer is right: give one a positive fraction");
    }

    void TrueFalse(TSourceQuestion& question) {
        std::optional<int64_t> isTrue, isFalse;
        for (const TReadAnswer& read : Answers(false)) {
            const std::string value = LowerAscii(read.Text);
            if (value == "true") isTrue = Weight(read);
            if (value == "false") isFalse = Weight(read);
        }
        if (!isTrue || !isFalse) Fail(line_, "a true/false question needs its \"true\" and \"false\" answers");
        if (*isTrue <= 0 && *isFalse <= 0) Fail(line_, "no answer is right: give one a positive fraction");
        question.AnswerMode = amSingle;
        question.Answers = {{*isTrue, bank::kTrueText, {}, {}}, {*isFalse, bank::kFalseText, {}, {}}};
    }

    void ShortAnswer(TSourceQuestion& question) {
        std::vector<bank::TTypedPiece> pieces;
        for (TReadAnswer& read : Answers(false)) {
            if (read.Text.empty()) Fail(read.Line, "an empty answer");
            if (read.Text.find(kVariantSeparatorUtf8) != std::string::npos) {
                Fail(read.Line, "an answer cannot hold \"" + std::string(kVariantSeparatorUtf8) +
                                    "\": it separates the variants");
            }
            const int64_t weight = Weight(read);
            if (weight > 0 && read.Text.find('*') != std::string::npos) {
                Warn("\"" + read.Text + "\": \"*\" is a wildcard in Moodle, but the player takes it as written");
            }
            pieces.push_back({weight, std::move(read.Text)});
        }
        if (pieces.empty()) Fail(line_, "no answers");
        std::string warning;
        if (!bank::GroupTypedAnswers(pieces, question, warning)) {
            Fail(line_, "no answer is right: give one a positive fraction");
        }
        if (!warning.empty()) Warn(warning);
    }

    // The items in the bank's order; the fractions, where they are numbers, give the right order.
    void Ordering(TSourceQuestion& question) {
        question.AnswerMode = amOrdering;
        std::vector<TReadAnswer> read = Answers(true);
        std::vector<double> keys;
        for (const TReadAnswer& answer : read) {
            NotEmpty(answer);
            double key = 0;
            const char* begin = answer.Fraction.data();
            const auto [end, ec] = std::from_chars(begin, begin + answer.Fraction.size(), key);
            keys.push_back(ec == std::errc() && end == begin + answer.Fraction.size() ? key : 0);
        }
        std::vector<size_t> order(read.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
        std::vector<int64_t> rank(read.size());
        for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = static_cast<int64_t>(i + 1);
        for (size_t i = 0; i < read.size(); ++i) {
            question.Answers.push_back({rank[i], std::move(read[i].Text), {}, std::move(read[i].Attach)});
        }
        if (question.Answers.size() < 2) Fail(line_, "an ordering needs at least two items");
        const std::string select = Trim(ChildText(q_.child("selecttype"))).empty()
                                       ? "ALL"
                                       : std::string(Trim(ChildText(q_.child("selecttype"))));
        if (select != "ALL") Warn("Moodle shows a selection of the items (" + select + "); the test shows them all");
    }

    pugi::xml_node q_;
    const TLineIndex& lines_;
    TMoodleImport& result_;
    TPictureFiles& files_;
    int line_ = 0;
    std::string type_;
    std::string name_;
    std::vector<std::string> warnings_;  // kept only when the question is
};

}  // namespace

TMoodleImport ParseMoodleBank(const std::string& bytes, const std::string& bankName) {
    TMoodleImport result;
    std::string_view xml = bytes;
    if (StartsWith(xml, "\xEF\xBB\xBF")) xml.remove_prefix(3);
    const TLineIndex lines(xml);
    for (size_t at = 0; at < xml.size();) {
        const size_t length = bank::Utf8Length(xml, at);
        if (length == 0) {
            result.Errors.push_back("line " + std::to_string(lines.LineAt(static_cast<ptrdiff_t>(at))) +
                                    ": not UTF-8 text (the bank must be saved as UTF-8)");
            return result;
        }
        at += length;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        result.Errors.push_back("line " + std::to_string(lines.LineAt(parsed.offset)) + ": not well-formed XML (" +
                                parsed.description() + ")");
        return result;
    }
    const pugi::xml_node quiz = document.child("quiz");
    if (!quiz) {
        result.Errors.push_back("not a Moodle XML bank: it has no <quiz> element");
        return result;
    }

    TPictureFiles files(result);
    for (pugi::xml_node question : quiz.children("question")) {
        if (std::string_view(question.attribute("type").value()) == "category") {
            // Moodle writes the top of the tree first ("$course$/top"): the name is further down.
            const std::string name = bank::CategoryName(TextOf(question.child("category")));
            if (result.NameLine == 0 && !name.empty() && name != "top") {
                result.Source.Name = name;
                result.NameLine = lines.LineOf(question);
            }
            continue;
        }
        TQuestionReader(question, lines, result, files).Run();
    }
    if (result.NameLine == 0) result.Source.Name = bankName;
    if (result.Source.Questions.empty() && result.Errors.empty()) {
        result.Errors.push_back(result.Skipped == 0 ? "the bank holds no questions"
                                                    : "none of the bank's questions has an equivalent in a test");
    }
    return result;
}

TMoodleImport ImportMoodleFile(const TBankImportOptions& options) { return ImportBankFile(options, ParseMoodleBank); }

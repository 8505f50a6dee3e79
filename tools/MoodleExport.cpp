#include "tools/MoodleExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>

#include "model/FileUtils.h"
#include "model/TestData.h"
#include "tools/BankImport.h"
#include "tools/HtmlText.h"
#include "tools/TestBuilder.h"

namespace fs = std::filesystem;

namespace {

// Moodle takes only these grades unless "nearest grade" is chosen on import.
constexpr double kMoodleGrades[] = {100, 90, 83.33333, 80, 75, 70, 66.66667, 60, 50, 40, 33.33333,
                                    30,  25, 20,       16.66667, 14.28571, 12.5, 11.11111, 10, 5, 0};

std::string Base64Encode(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k) {
            v = (v << 8) | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0);
        }
        for (size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// Moodle writes fractions with up to 7 digits after the point.
std::string Percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", value);
    std::string out = text;
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

bool IsMoodleGrade(double percent) {
    return std::any_of(std::begin(kMoodleGrades), std::end(kMoodleGrades),
                       [&](double grade) { return std::abs(std::abs(percent) - grade) < 0.001; });
}

class TExporter {
public:
    TExporter(const TTestSource& source, TMoodleExport& result) : s_(source), result_(result) {}

    void Run() {
        pugi::xml_document document;
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        pugi::xml_node quiz = document.append_child("quiz");
        if (!s_.Name.empty()) {
            std::string path;
            for (const char c : s_.Name) path += c == '/' ? std::string("//") : std::string(1, c);
            pugi::xml_node category = quiz.append_child("question");
            category.append_attribute("type") = "category";
            Plain(category.append_child("category"), "$course$/top/" + path);
        }
        for (size_t i = 0; i < s_.Questions.size(); ++i) Question(quiz, i);
        std::ostringstream out;
        document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
        result_.Xml = out.str();
    }

private:
    std::string Place(size_t q, const std::string& path = "") const {
        return "question " + std::to_string(q + 1) + (path.empty() ? "" : ", " + path);
    }
    void Warn(const std::string& place, const std::string& message) { result_.Warnings.push_back(place + ": " + message); }

    static pugi::xml_node Plain(pugi::xml_node owner, const std::string& text) {
        owner.append_child("text").append_child(pugi::node_pcdata).set_value(text.c_str());
        return owner;
    }

    static void Element(pugi::xml_node parent, const char* name, const std::string& value) {
        parent.append_child(name).append_child(pugi::node_pcdata).set_value(value.c_str());
    }

    // An html text with its picture: the <img> in the text, the file as the element's <file>.
    void Html(pugi::xml_node owner, const std::string& text, const TSourceAttach& attach, const std::string& place,
              bool pictures) {
        owner.append_attribute("format") = "html";
        std::string html = TextToHtml(text);
        std::string name, bytes;
        if (Picture(attach, place, pictures, name, bytes)) {
            html += "<img src=\"@@PLUGINFILE@@/" + PercentEncode(name) + "\" alt=\"\">";
        }
        owner.append_child("text").append_child(pugi::node_cdata).set_value(html.c_str());
        if (!name.empty()) {
            pugi::xml_node file = owner.append_child("file");
            file.append_attribute("name") = name.c_str();
            file.append_attribute("path") = "/";
            file.append_attribute("encoding") = "base64";
            file.append_child(pugi::node_pcdata).set_value(Base64Encode(bytes).c_str());
            ++result_.Pictures;
        }
    }

    bool Picture(const TSourceAttach& attach, const std::string& place, bool pictures, std::string& name,
                 std::string& bytes) {
        if (attach.File.empty()) return false;
        const std::string where = place + ".Attach";
        std::string extension, reason;
        if (!AttachExtension(attach.File, extension, reason)) {
            result_.Errors.push_back(where + ": " + reason);
            return false;
        }
        if (GetAttachKind("A." + extension) != akPicture || !pictures) {
            Warn(where, "\"" + attach.File + "\" left out: a Moodle bank carries pictures " +
                            (pictures ? "only" : "in choice and ordering answers only"));
            return false;
        }
        const TPath file = AttachSourcePath(s_.Folder, attach.File);
        if (!ReadBankFile(file, bytes)) {
            result_.Errors.push_back(where + ": \"" + attach.File + "\" cannot be read");
            return false;
        }
        TSourceAttach plain;
        plain.File = attach.File;
        if (!(attach == plain)) Warn(where, "the display options have no place in Moodle: left out");
        name = fs::u8path(attach.File).filename().u8string();
        const size_t slash = name.find_last_of("\\");
        if (slash != std::string::npos) name.erase(0, slash + 1);
        return true;
    }

    void Fraction(pugi::xml_node answer, double percent, const std::string& place) {
        answer.append_attribute("fraction") = Percent(percent).c_str();
        if (!IsMoodleGrade(percent)) {
            Warn(place, "fraction " + Percent(percent) +
                            " is not one of Moodle's grades: import the bank with \"nearest grade\"");
        }
    }

    void Question(pugi::xml_node quiz, size_t index) {
        const TSourceQuestion& q = s_.Questions[index];
        const std::string place = Place(index);
        const char* type = q.AnswerMode == amSingle || q.AnswerMode == amMultiple ? "multichoice"
                           : q.AnswerMode == amTyped                             ? "shortanswer"
                           : q.AnswerMode == amOrdering                          ? "ordering"
                                                                                 : nullptr;
        if (!type) {
            Warn(place, "answer mode " + std::to_string(q.AnswerMode) + " has no Moodle type: left out");
            return;
        }
        pugi::xml_node question = quiz.append_child("question");
        question.append_attribute("type") = type;
        const std::string words = bank::FirstWords(q.Text);
        Plain(question.append_child("name"), words.empty() ? "Вопрос " + std::to_string(index + 1) : words);
        Html(question.append_child("questiontext"), q.Text, q.Attach, place, true);
        Html(question.append_child("generalfeedback"), "", {}, place, false);
        if (q.Priority < 1) Warn(place + ", Priority", std::to_string(q.Priority) + ": the question counts nothing in Moodle");
        Element(question, "defaultgrade", std::to_string(std::max<int64_t>(q.Priority, 0)));
        Element(question, "penalty", "0");
        Element(question, "hidden", "0");
        if (q.TimeLimit != 0) Warn(place + ", TimeLimit", "Moodle has no time limit per question: left out");

        int64_t best = 0, positive = 0;
        for (const TSourceAnswer& a : q.Answers) {
            best = std::max(best, a.Weight);
            positive += std::max<int64_t>(a.Weight, 0);
        }
        if (q.AnswerMode == amSingle || q.AnswerMode == amMultiple) {
            const bool single = q.AnswerMode == amSingle;
            Element(question, "single", single ? "true" : "false");
            Element(question, "shuffleanswers", s_.KeepAnswerOrder ? "false" : "true");
            Element(question, "answernumbering", "none");
            for (size_t i = 0; i < q.Answers.size(); ++i) {
                const TSourceAnswer& a = q.Answers[i];
                const std::string answerPlace = place + ", Answers[" + std::to_string(i + 1) + "]";
                pugi::xml_node answer = question.append_child("answer");
                // The player's ratios: the chosen weight over the best one, or the chosen weights
                // over the positive ones; Moodle's fractions say the same. A negative weight of a
                // single choice scores 0 in the player and is kept, so that it comes back.
                double percent = 0;
                if (single && best > 0) percent = std::max(-100.0, 100.0 * a.Weight / best);
                if (!single && positive > 0) percent = std::max(-100.0, 100.0 * a.Weight / positive);
                Fraction(answer, percent, answerPlace);
                Html(answer, a.Text, a.Attach, answerPlace, true);
            }
        } else if (q.AnswerMode == amTyped) {
            Element(question, "usecase", "0");
            for (size_t i = 0; i < q.Answers.size(); ++i) {
                const TSourceAnswer& a = q.Answers[i];
                const std::string answerPlace = place + ", Answers[" + std::to_string(i + 1) + "]";
                std::string name, bytes;
                Picture(a.Attach, answerPlace, false, name, bytes);
                // Moodle scores the best answer found; the player adds up all found.
                const double percent = best > 0 ? std::max(0.0, 100.0 * a.Weight / best) : 0;
                for (const std::string& variant : a.Variants) {
                    pugi::xml_node answer = question.append_child("answer");
                    Fraction(answer, percent, answerPlace);
                    answer.append_attribute("format") = "moodle_auto_format";
                    Plain(answer, variant);
                }
            }
        } else {
            Element(question, "layouttype", "VERTICAL");
            Element(question, "selecttype", "ALL");
            Element(question, "selectcount", "0");
            Element(question, "gradingtype", "ALL_OR_NOTHING");
            Element(question, "showgrading", "SHOW");
            Element(question, "numberingstyle", "none");
            // The right order is the answers' by weight; the fractions number it.
            std::vector<size_t> order(q.Answers.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return q.Answers[a].Weight < q.Answers[b].Weight; });
            for (size_t rank = 0; rank < order.size(); ++rank) {
                const TSourceAnswer& a = q.Answers[order[rank]];
                pugi::xml_node answer = question.append_child("answer");
                answer.append_attribute("fraction") = std::to_string(rank + 1).c_str();
                Html(answer, a.Text, a.Attach, place + ", Answers[" + std::to_string(order[rank] + 1) + "]", true);
            }
        }
        ++result_.Questions;
    }

    const TTestSource& s_;
    TMoodleExport& result_;
};

}  // namespace

TMoodleExport ExportMoodleBank(const TTestSource& source) {
    TMoodleExport result;
    TExporter(source, result).Run();
    if (result.Questions == 0 && result.Ok()) result.Errors.push_back("the test has no questions to export");
    return result;
}

TMoodleExport ExportMoodleFile(const TPath& input, const TPath& output) {
    TMoodleExport result;
    std::error_code ec;
    TTestSource source;
    const TPath unpacked = UniqueRandomFileName(GetTempFolder(), ".export");
    struct TRemove {
        TPath Path;
        ~TRemove() {
            std::error_code ec;
            fs::remove_all(Path, ec);
        }
    } remove{unpacked};
    try {
        if (fs::is_directory(input, ec) || input.filename() == kSourceFileName) {
            source = ReadTestSource(input);
        } else {
            const TUnpackResult unpack = UnpackTest(input, unpacked);
            if (!unpack.Ok()) {
                result.Errors = unpack.Errors;
                return result;
            }
            result.Warnings = unpack.Warnings;
            source = ReadTestSource(unpacked);
        }
    } catch (const ESourceError& e) {
        result.Errors.push_back(e.what());
        return result;
    }
    TMoodleExport bank = ExportMoodleBank(source);
    bank.Warnings.insert(bank.Warnings.begin(), result.Warnings.begin(), result.Warnings.end());
    if (!bank.Ok()) return bank;
    TBinaryFile file;
    if (!file.Create(output) || !file.Write(bank.Xml.data(), bank.Xml.size())) {
        bank.Errors.push_back("cannot write " + output.u8string());
    }
    return bank;
}

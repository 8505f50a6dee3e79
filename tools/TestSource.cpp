#include "tools/TestSource.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "model/Codepage.h"
#include "model/TextUtils.h"

using TJson = nlohmann::ordered_json;

const char kSourceFileName[] = "test.json";

namespace {

constexpr const char* kModeNames[] = {"single", "typed", "multiple", "ordering"};

constexpr const char* kTestKeys[] = {"Name",
                                     "InfoText",
                                     "ExtraFieldCaption",
                                     "MaxScore",
                                     "QuestionFontSize",
                                     "AnswerFontSize",
                                     "EffectSteps",
                                     "ShowMark",
                                     "LimitSeconds",
                                     "LimitWholeTest",
                                     "NoLimitForInput",
                                     "QuestionsPerTest",
                                     "SequentialOrder",
                                     "KeepAnswerOrder",
                                     "ShowRightAnswer",
                                     "SkipsAllowed",
                                     "PasswordTail",
                                     "PackLevel",
                                     "Questions"};
constexpr const char* kQuestionKeys[] = {"AnswerMode", "Priority", "TimeLimit", "Text", "Attach", "Answers"};
constexpr const char* kAnswerKeys[] = {"Weight", "Text", "Attach"};
constexpr const char* kAttachKeys[] = {"File",  "AutoPlay", "ReplaceText", "InPopup", "ScaleMode",
                                       "Width", "Height",   "Option4",     "Option6", "Option7"};

// Where in the source a value sits, as the messages name it.
struct TPlace {
    int Question = 0;  // 1-based; 0 outside the questions
    std::string Path;

    TPlace Key(const std::string& key) const { return {Question, Path.empty() ? key : Path + "." + key}; }
    TPlace Index(size_t index) const { return {Question, Path + "[" + std::to_string(index + 1) + "]"}; }
    std::string Text() const {
        if (Question == 0) return Path.empty() ? kSourceFileName : Path;
        return "question " + std::to_string(Question) + (Path.empty() ? "" : ", " + Path);
    }
};

[[noreturn]] void Fail(const TPlace& place, const std::string& message) {
    throw ESourceError(place.Text() + ": " + message);
}

std::string Describe(const TJson& value) {
    switch (value.type()) {
        case TJson::value_t::null:
            return "null";
        case TJson::value_t::boolean:
            return "true/false";
        case TJson::value_t::string:
            return "a text";
        case TJson::value_t::array:
            return "a list";
        case TJson::value_t::object:
            return "an object";
        case TJson::value_t::number_float:
            return "a number with a fraction";
        default:
            return "a number";
    }
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

template <size_t N>
void RejectUnknownKeys(const TJson& object, const TPlace& place, const char* const (&known)[N]) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        if (std::any_of(std::begin(known), std::end(known), [&](const char* k) { return key == k; })) continue;
        std::string message = "unknown key \"" + key + "\"";
        const char* best = nullptr;
        size_t bestDistance = 3;
        for (const char* k : known) {
            size_t distance = EditDistance(Lower(key), Lower(k));
            if (distance < bestDistance) {
                bestDistance = distance;
                best = k;
            }
        }
        if (best != nullptr) message += std::string(" (did you mean \"") + best + "\"?)";
        Fail(place, message);
    }
}

const TJson* Find(const TJson& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

void TakeString(const TJson& object, const char* key, const TPlace& place, std::string& out) {
    if (const TJson* value = Find(object, key)) {
        if (!value->is_string()) Fail(place.Key(key), "expected a text, found " + Describe(*value));
        out = value->get<std::string>();
    }
}

int64_t IntegerOf(const TJson& value, const TPlace& place) {
    if (value.is_number_unsigned()) {
        // Past int64 it is out of every range anyway; the check says so.
        return static_cast<int64_t>(std::min<uint64_t>(value.get<uint64_t>(), std::numeric_limits<int64_t>::max()));
    }
    if (!value.is_number_integer()) Fail(place, "expected a whole number, found " + Describe(value));
    return value.get<int64_t>();
}

void TakeInt(const TJson& object, const char* key, const TPlace& place, int64_t& out) {
    if (const TJson* value = Find(object, key)) out = IntegerOf(*value, place.Key(key));
}

void TakeBool(const TJson& object, const char* key, const TPlace& place, bool& out) {
    if (const TJson* value = Find(object, key)) {
        if (!value->is_boolean()) Fail(place.Key(key), "expected true or false, found " + Describe(*value));
        out = value->get<bool>();
    }
}

const TJson* TakeList(const TJson& object, const char* key, const TPlace& place) {
    const TJson* value = Find(object, key);
    if (value != nullptr && !value->is_array()) Fail(place.Key(key), "expected a list, found " + Describe(*value));
    return value;
}

void RequireObject(const TJson& value, const TPlace& place) {
    if (!value.is_object()) Fail(place, "expected an object, found " + Describe(value));
}

TSourceAttach ReadAttach(const TJson& value, const TPlace& place) {
    TSourceAttach attach;
    if (value.is_string()) {
        attach.File = value.get<std::string>();
        if (attach.File.empty()) Fail(place, "the file name is empty");
        return attach;
    }
    if (!value.is_object()) Fail(place, "expected a file name or an object, found " + Describe(value));
    RejectUnknownKeys(value, place, kAttachKeys);
    TakeString(value, "File", place, attach.File);
    if (Find(value, "File") != nullptr && attach.File.empty()) Fail(place.Key("File"), "the file name is empty");
    TakeBool(value, "AutoPlay", place, attach.AutoPlay);
    TakeBool(value, "ReplaceText", place, attach.ReplaceText);
    TakeBool(value, "InPopup", place, attach.InPopup);
    TakeBool(value, "Option4", place, attach.Option4);
    TakeBool(value, "Option6", place, attach.Option6);
    TakeBool(value, "Option7", place, attach.Option7);
    TakeInt(value, "ScaleMode", place, attach.ScaleMode);
    TakeInt(value, "Width", place, attach.Width);
    TakeInt(value, "Height", place, attach.Height);
    return attach;
}

TSourceAnswer ReadAnswer(const TJson& value, uint8_t mode, const TPlace& place) {
    RequireObject(value, place);
    RejectUnknownKeys(value, place, kAnswerKeys);
    TSourceAnswer answer;
    TakeInt(value, "Weight", place, answer.Weight);
    if (const TJson* text = Find(value, "Text")) {
        const TPlace at = place.Key("Text");
        if (text->is_array()) {
            if (mode != amTyped) Fail(at, "a list of variants is only for typed answers (AnswerMode \"typed\")");
            for (size_t i = 0; i < text->size(); ++i) {
                const TJson& variant = (*text)[i];
                if (!variant.is_string()) Fail(at.Index(i), "expected a text, found " + Describe(variant));
                std::string v = variant.get<std::string>();
                if (v.find(kVariantSeparatorUtf8) != std::string::npos) {
                    Fail(at.Index(i), "a variant cannot hold \"" + std::string(kVariantSeparatorUtf8) +
                                          "\": it separates the variants");
                }
                answer.Variants.push_back(v);
            }
        } else if (text->is_string()) {
            if (mode == amTyped) {
                answer.Variants = SplitVariants(text->get<std::string>(), kVariantSeparatorUtf8);
            } else {
                answer.Text = text->get<std::string>();
            }
        } else {
            Fail(at, std::string("expected a text") + (mode == amTyped ? " or a list of texts" : "") + ", found " +
                         Describe(*text));
        }
    }
    if (const TJson* attach = Find(value, "Attach")) answer.Attach = ReadAttach(*attach, place.Key("Attach"));
    return answer;
}

uint8_t ReadAnswerMode(const TJson& value, const TPlace& place) {
    const std::string known = "\"single\", \"typed\", \"multiple\", \"ordering\" or 0 to 3";
    if (value.is_string()) {
        const std::string name = Lower(value.get<std::string>());
        for (uint8_t mode = 0; mode < 4; ++mode) {
            if (name == kModeNames[mode]) return mode;
        }
        Fail(place, "unknown answer mode \"" + value.get<std::string>() + "\": use " + known);
    }
    if (value.is_number_integer()) {
        int64_t mode = value.get<int64_t>();
        if (mode >= 0 && mode <= 3) return static_cast<uint8_t>(mode);
        Fail(place, "unknown answer mode " + value.dump() + ": use " + known);
    }
    Fail(place, "expected an answer mode (" + known + "), found " + Describe(value));
}

TSourceQuestion ReadQuestion(const TJson& value, const TPlace& place) {
    RequireObject(value, place);
    RejectUnknownKeys(value, place, kQuestionKeys);
    TSourceQuestion question;
    // Read first: how an answer's Text reads depends on it.
    if (const TJson* mode = Find(value, "AnswerMode"))
        question.AnswerMode = ReadAnswerMode(*mode, place.Key("AnswerMode"));
    TakeInt(value, "Priority", place, question.Priority);
    TakeInt(value, "TimeLimit", place, question.TimeLimit);
    TakeString(value, "Text", place, question.Text);
    if (const TJson* attach = Find(value, "Attach")) question.Attach = ReadAttach(*attach, place.Key("Attach"));
    if (const TJson* answers = TakeList(value, "Answers", place)) {
        const TPlace at = place.Key("Answers");
        for (size_t i = 0; i < answers->size(); ++i) {
            question.Answers.push_back(ReadAnswer((*answers)[i], question.AnswerMode, at.Index(i)));
        }
    }
    return question;
}

std::string FolderName(const TPath& folder) {
    std::error_code ec;
    TPath full = std::filesystem::absolute(folder, ec);
    if (ec) full = folder;
    full = full.lexically_normal();
    if (!full.has_filename()) full = full.parent_path();  // ".../name/" normalises to a trailing separator
    return full.filename().u8string();
}

TJson AttachToJson(const TSourceAttach& a) {
    if (!a.HasOptions()) return a.File;
    TJson out = TJson::object();
    if (!a.File.empty()) out["File"] = a.File;
    if (a.AutoPlay) out["AutoPlay"] = true;
    if (a.ReplaceText) out["ReplaceText"] = true;
    if (a.InPopup) out["InPopup"] = true;
    if (a.ScaleMode != 0) out["ScaleMode"] = a.ScaleMode;
    if (a.Width != 0) out["Width"] = a.Width;
    if (a.Height != 0) out["Height"] = a.Height;
    if (a.Option4) out["Option4"] = true;
    if (a.Option6) out["Option6"] = true;
    if (a.Option7) out["Option7"] = true;
    return out;
}

bool HasAttach(const TSourceAttach& a) { return !a.File.empty() || a.HasOptions(); }

// The length of the UTF-8 sequence that starts with `lead`; 0 for a byte no sequence starts with.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

const char* AnswerModeName(int mode) { return mode >= 0 && mode <= 3 ? kModeNames[mode] : nullptr; }

bool TSourceAttach::HasOptions() const {
    return AutoPlay || ReplaceText || InPopup || Option4 || Option6 || Option7 || ScaleMode != 0 || Width != 0 ||
           Height != 0;
}

bool TSourceAttach::operator==(const TSourceAttach& o) const {
    return File == o.File && AutoPlay == o.AutoPlay && ReplaceText == o.ReplaceText && InPopup == o.InPopup &&
           Option4 == o.Option4 && Option6 == o.Option6 && Option7 == o.Option7 && ScaleMode == o.ScaleMode &&
           Width == o.Width && Height == o.Height;
}

int64_t TTestSource::EffectiveQuestionsPerTest() const {
    return QuestionsPerTest ? *QuestionsPerTest : static_cast<int64_t>(Questions.size());
}

TTestSource ParseTestSource(const std::string& jsonText, const TPath& folder) {
    TJson root;
    try {
        root = TJson::parse(jsonText, nullptr, true, true);
    } catch (const TJson::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 5: ..." without the tag.
        std::string what = e.what();
        size_t tag = what.find("] ");
        throw ESourceError(std::string(kSourceFileName) +
                           ": broken JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2)));
    }
    const TPlace top;
    RequireObject(root, top);
    RejectUnknownKeys(root, top, kTestKeys);

    TTestSource source;
    source.Folder = folder;
    source.Name = FolderName(folder);
    TakeString(root, "Name", top, source.Name);
    TakeString(root, "InfoText", top, source.InfoText);
    TakeString(root, "ExtraFieldCaption", top, source.ExtraFieldCaption);
    TakeInt(root, "MaxScore", top, source.MaxScore);
    TakeInt(root, "QuestionFontSize", top, source.QuestionFontSize);
    TakeInt(root, "AnswerFontSize", top, source.AnswerFontSize);
    TakeInt(root, "EffectSteps", top, source.EffectSteps);
    TakeBool(root, "ShowMark", top, source.ShowMark);
    TakeInt(root, "LimitSeconds", top, source.LimitSeconds);
    TakeBool(root, "LimitWholeTest", top, source.LimitWholeTest);
    TakeBool(root, "NoLimitForInput", top, source.NoLimitForInput);
    if (const TJson* count = Find(root, "QuestionsPerTest")) {
        source.QuestionsPerTest = IntegerOf(*count, top.Key("QuestionsPerTest"));
    }
    TakeBool(root, "SequentialOrder", top, source.SequentialOrder);
    TakeBool(root, "KeepAnswerOrder", top, source.KeepAnswerOrder);
    TakeInt(root, "ShowRightAnswer", top, source.ShowRightAnswer);
    TakeInt(root, "SkipsAllowed", top, source.SkipsAllowed);
    if (Find(root, "PasswordTail") != nullptr) {
        std::string tail;
        TakeString(root, "PasswordTail", top, tail);
        source.PasswordTail = tail;
    }
    TakeInt(root, "PackLevel", top, source.PackLevel);
    if (const TJson* questions = TakeList(root, "Questions", top)) {
        for (size_t i = 0; i < questions->size(); ++i) {
            source.Questions.push_back(ReadQuestion((*questions)[i], TPlace{static_cast<int>(i + 1), ""}));
        }
    }
    return source;
}

TTestSource ReadTestSource(const TPath& given) {
    std::error_code ec;
    TPath folder = given;
    TPath file = given / kSourceFileName;
    if (std::filesystem::is_regular_file(given, ec)) {
        file = given;
        folder = given.parent_path().empty() ? TPath(".") : given.parent_path();
    } else if (!std::filesystem::is_directory(given, ec)) {
        throw ESourceError(given.u8string() + ": no such folder");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ESourceError(file.u8string() + ": cannot be read (is there a " + kSourceFileName + "?)");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseTestSource(text, folder);
}

TJson TestSourceToJson(const TTestSource& s) {
    TJson out = TJson::object();
    out["Name"] = s.Name;
    out["InfoText"] = s.InfoText;
    out["ExtraFieldCaption"] = s.ExtraFieldCaption;
    out["MaxScore"] = s.MaxScore;
    out["QuestionFontSize"] = s.QuestionFontSize;
    out["AnswerFontSize"] = s.AnswerFontSize;
    out["EffectSteps"] = s.EffectSteps;
    out["ShowMark"] = s.ShowMark;
    out["LimitSeconds"] = s.LimitSeconds;
    out["LimitWholeTest"] = s.LimitWholeTest;
    out["NoLimitForInput"] = s.NoLimitForInput;
    out["QuestionsPerTest"] = s.EffectiveQuestionsPerTest();
    out["SequentialOrder"] = s.SequentialOrder;
    out["KeepAnswerOrder"] = s.KeepAnswerOrder;
    out["ShowRightAnswer"] = s.ShowRightAnswer;
    out["SkipsAllowed"] = s.SkipsAllowed;
    if (s.PasswordTail) out["PasswordTail"] = *s.PasswordTail;
    out["PackLevel"] = s.PackLevel;
    TJson questions = TJson::array();
    for (const TSourceQuestion& q : s.Questions) {
        TJson question = TJson::object();
        question["AnswerMode"] =
            AnswerModeName(q.AnswerMode) ? TJson(AnswerModeName(q.AnswerMode)) : TJson(q.AnswerMode);
        question["Priority"] = q.Priority;
        question["TimeLimit"] = q.TimeLimit;
        question["Text"] = q.Text;
        if (HasAttach(q.Attach)) question["Attach"] = AttachToJson(q.Attach);
        TJson answers = TJson::array();
        for (const TSourceAnswer& a : q.Answers) {
            TJson answer = TJson::object();
            answer["Weight"] = a.Weight;
            answer["Text"] = q.AnswerMode == amTyped ? TJson(a.Variants) : TJson(a.Text);
            if (HasAttach(a.Attach)) answer["Attach"] = AttachToJson(a.Attach);
            answers.push_back(answer);
        }
        question["Answers"] = answers;
        questions.push_back(question);
    }
    out["Questions"] = questions;
    return out;
}

std::string FirstNonCp1251(const std::string& utf8) {
    size_t at = 0;
    while (at < utf8.size()) {
        size_t length = SequenceLength(static_cast<unsigned char>(utf8[at]));
        if (length == 0 || at + length > utf8.size()) return utf8.substr(at, 1);
        const std::string character = utf8.substr(at, length);
        // A character the code page holds comes back unchanged from its byte.
        if (length > 1 && Cp1251ToUtf8(Utf8ToCp1251(character)) != character) return character;
        at += length;
    }
    return "";
}

std::string CodePointName(const std::string& c) {
    uint32_t code = 0;
    size_t length = c.empty() ? 0 : SequenceLength(static_cast<unsigned char>(c[0]));
    if (length == 0 || length != c.size()) {
        code = c.empty() ? 0 : static_cast<unsigned char>(c[0]);
    } else if (length == 1) {
        code = static_cast<unsigned char>(c[0]);
    } else {
        code = static_cast<unsigned char>(c[0]) & (0xFF >> (length + 1));
        for (size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(c[i]) & 0x3F);
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", code);
    return buffer;
}

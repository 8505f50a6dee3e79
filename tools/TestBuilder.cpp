#include "tools/TestBuilder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cwctype>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <system_error>
#include <utility>

#include "archive/EntryName.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "model/IniFile.h"
#include "model/TextUtils.h"
#include "tools/AttachCheck.h"

namespace fs = std::filesystem;

const char kPasswordTailAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";

namespace {

constexpr char kIndexFile[] = "INDEX.SYS";
constexpr char kInfoFile[] = "INFO.SYS";
constexpr char kInfoSection[] = "MAIN";
constexpr char kPlayerName[] = "testplayer.exe";
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr size_t kMaxTextBytes = 0xFFFF;
constexpr size_t kMaxCaptionBytes = 0xFF;
constexpr size_t kMaxAnswers = 0xFF;
constexpr int kBuildCompressionLevel = 9;
constexpr size_t kCopyBlock = 1 << 20;
// Progress: copying the attachments, then packing, then the executable.
constexpr int kCopyShare = 30;
constexpr int kPackShare = 60;

std::string Place(const std::string& question, const std::string& path) {
    if (question.empty()) return path;
    return path.empty() ? question : question + ", " + path;
}

std::string QuestionPlace(size_t index) { return "question " + std::to_string(index + 1); }

std::string AnswerPath(size_t index) { return "Answers[" + std::to_string(index + 1) + "]"; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string AsciiUpper(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string RandomText(size_t length) {
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kPasswordTailAlphabet - 2);
    std::string out;
    for (size_t i = 0; i < length; ++i) out += kPasswordTailAlphabet[pick(device)];
    return out;
}

TPath Absolute(const TPath& path) {
    std::error_code ec;
    TPath full = fs::absolute(path, ec);
    if (ec) full = path;
    full = full.lexically_normal();
    if (!full.has_filename() && full.has_parent_path()) full = full.parent_path();
    return full;
}

// A new name beside `target`, for writing there first and renaming at the end.
TPath Beside(const TPath& target, const std::string& tag) {
    for (;;) {
        TPath candidate =
            target.parent_path() / fs::u8path(target.filename().u8string() + "." + tag + "-" + RandomText(8));
        if (!PathExists(candidate)) return candidate;
    }
}

class TRemoveOnExit {
public:
    explicit TRemoveOnExit(TPath path) : path_(std::move(path)) {}
    ~TRemoveOnExit() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    TRemoveOnExit(const TRemoveOnExit&) = delete;
    TRemoveOnExit& operator=(const TRemoveOnExit&) = delete;

private:
    TPath path_;
};

// The archive signatures are a process-wide choice; a test archive always has its own.
class TTestSignatures {
public:
    TTestSignatures() : saved_(ZipSignatures()) { SetZipSignatures(kTestArchiveSignatures); }
    ~TTestSignatures() { SetZipSignatures(saved_); }
    TTestSignatures(const TTestSignatures&) = delete;
    TTestSignatures& operator=(const TTestSignatures&) = delete;

private:
    TZipSignatures saved_;
};

class TChecker {
public:
    TChecker(const TTestSource& source, TCheckReport& report) : s_(source), report_(report) {}

    void Run() {
        Text("", "Name", s_.Name, kMaxTextBytes, false);
        if (s_.Name.empty()) Warning("Name", "empty: the test has no name to show");
        Text("", "InfoText", s_.InfoText, 0, true);
        Text("", "ExtraFieldCaption", s_.ExtraFieldCaption, kMaxCaptionBytes, false);
        if (s_.PasswordTail) Text("", "PasswordTail", *s_.PasswordTail, 0, false);
        Range("", "MaxScore", s_.MaxScore, 1, kInt32Max);
        Range("", "QuestionFontSize", s_.QuestionFontSize, 1, kInt32Max);
        Range("", "AnswerFontSize", s_.AnswerFontSize, 1, kInt32Max);
        Range("", "EffectSteps", s_.EffectSteps, 0, 255);
        // -1: each question's own limit. A negative ShowRightAnswer keeps the window open
        // until closed; negative SkipsAllowed means no limit.
        Range("", "LimitSeconds", s_.LimitSeconds, -1, kInt32Max);
        Range("", "ShowRightAnswer", s_.ShowRightAnswer, kInt32Min, kInt32Max);
        Range("", "SkipsAllowed", s_.SkipsAllowed, kInt32Min, kInt32Max);
        Range("", "PackLevel", s_.PackLevel, 0, 9);
        if (s_.LimitWholeTest && s_.LimitSeconds == 0) {
            Warning("LimitWholeTest", "on, but LimitSeconds is 0: there is no time limit to apply");
        }
        if (s_.Questions.empty()) Error("Questions", "the test has no questions");
        if (s_.QuestionsPerTest && Range("", "QuestionsPerTest", *s_.QuestionsPerTest, 1, kInt32Max) &&
            !s_.Questions.empty() && *s_.QuestionsPerTest > static_cast<int64_t>(s_.Questions.size())) {
            Warning("QuestionsPerTest", std::to_string(*s_.QuestionsPerTest) + ", but the bank holds " +
                                            std::to_string(s_.Questions.size()) + " questions: a run asks them all");
        }
        for (size_t i = 0; i < s_.Questions.size(); ++i) Question(QuestionPlace(i), s_.Questions[i]);
    }

private:
    void Error(const std::string& place, const std::string& message) {
        report_.Errors.push_back(place + ": " + message);
    }
    void Warning(const std::string& place, const std::string& message) {
        report_.Warnings.push_back(place + ": " + message);
    }

    bool Range(const std::string& q, const std::string& path, int64_t value, int64_t low, int64_t high) {
        if (value >= low && value <= high) return true;
        Error(Place(q, path),
              std::to_string(value) + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
        return false;
    }

    // maxBytes 0: no limit. Line breaks count as the two bytes they are stored as.
    void Text(const std::string& q, const std::string& path, const std::string& utf8, size_t maxBytes, bool breaks) {
        const std::string bad = FirstNonCp1251(utf8);
        if (!bad.empty()) {
            Error(Place(q, path), "character " + Quoted(bad) + " (" + CodePointName(bad) +
                                      ") cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)");
            return;
        }
        const std::string stored = breaks ? EncodeLineBreaks(Utf8ToCp1251(utf8)) : Utf8ToCp1251(utf8);
        if (maxBytes != 0 && stored.size() > maxBytes) {
            Error(Place(q, path), "too long: " + std::to_string(stored.size()) + " bytes, at most " +
                                      std::to_string(maxBytes) + " fit");
        }
    }

    void Attach(const std::string& q, const std::string& path, const TSourceAttach& a) {
        Range(q, path + ".ScaleMode", a.ScaleMode, 0, 255);
        Range(q, path + ".Width", a.Width, 0, 0xFFFF);
        Range(q, path + ".Height", a.Height, 0, 0xFFFF);
        if (a.File.empty()) return;
        // One message per attachment: a missing file is most likely a typing error in its name.
        const std::string place = Place(q, path + ".File");
        const TPath file = AttachSourcePath(s_.Folder, a.File);
        std::error_code ec;
        std::string extension, reason;
        if (!fs::exists(file, ec)) {
            Error(place, Quoted(a.File) + " is missing: no file " + file.u8string());
        } else if (!fs::is_regular_file(file, ec)) {
            Error(place, Quoted(a.File) + " is not a file");
        } else if (!AttachExtension(a.File, extension, reason)) {
            Error(place, reason);
        } else if (!CheckAttachmentFile(file, extension, reason)) {
            Error(place, Quoted(a.File) + ": the player would show an empty frame: " + reason);
        }
    }

    static bool Shows(const std::string& text, const TSourceAttach& attach) {
        return !NormalizeSpaces(text).empty() || !attach.File.empty();
    }

    void Question(const std::string& q, const TSourceQuestion& question) {
        if (Range(q, "Priority", question.Priority, -128, 127) && question.Priority <= 0) {
            Warning(Place(q, "Priority"), std::to_string(question.Priority) + " means the question does not count");
        }
        Range(q, "TimeLimit", question.TimeLimit, 0, 0xFFFF);
        Text(q, "Text", question.Text, kMaxTextBytes, true);
        Attach(q, "Attach", question.Attach);
        if (!Shows(question.Text, question.Attach)) Warning(q, "no Text and no Attach: the question shows nothing");

        const std::vector<TSourceAnswer>& answers = question.Answers;
        if (answers.empty()) {
            Error(q, "no answers");
            return;
        }
        if (answers.size() > kMaxAnswers) {
            Error(q, std::to_string(answers.size()) + " answers, at most " + std::to_string(kMaxAnswers) + " fit");
        }
        for (size_t i = 0; i < answers.size(); ++i) Answer(q, AnswerPath(i), question.AnswerMode, answers[i]);

        const bool choice = question.AnswerMode == amSingle || question.AnswerMode == amMultiple;
        auto positive = [](const TSourceAnswer& a) { return a.Weight > 0; };
        if (choice && std::none_of(answers.begin(), answers.end(), positive)) {
            Warning(q, "no answer has a positive Weight, so any answer scores full marks");
        }
        if (choice && answers.size() == 1) Warning(q, "only one answer to choose from");
        if (question.AnswerMode == amOrdering) {
            auto sameWeight = [&](const TSourceAnswer& a) { return a.Weight == answers.front().Weight; };
            if (answers.size() < 2) {
                Warning(q, "an ordering question needs at least two answers");
            } else if (std::all_of(answers.begin(), answers.end(), sameWeight)) {
                Warning(q, "all answers have the same Weight, so any order is right");
                if (s_.ShowRightAnswer != 0) {
                    Warning(q, "ShowRightAnswer is on, but with equal Weights the right order it shows is arbitrary");
                }
            }
        }
    }

    void Answer(const std::string& q, const std::string& path, uint8_t mode, const TSourceAnswer& answer) {
        Range(q, path + ".Weight", answer.Weight, -128, 127);
        Attach(q, path + ".Attach", answer.Attach);
        if (mode != amTyped) {
            Text(q, path + ".Text", answer.Text, kMaxTextBytes, true);
            if (!Shows(answer.Text, answer.Attach))
                Warning(Place(q, path), "no Text and no Attach: the answer shows nothing");
            return;
        }
        const std::string place = Place(q, path + ".Text");
        if (answer.Variants.empty()) {
            Error(place, "no accepted variants");
            return;
        }
        size_t bytes = (answer.Variants.size() - 1) * kVariantSeparator.size();
        for (size_t v = 0; v < answer.Variants.size(); ++v) {
            const std::string& variant = answer.Variants[v];
            Text(q, path + ".Text", variant, 0, true);
            bytes += EncodeLineBreaks(Utf8ToCp1251(variant)).size();
            // The player normalises spaces, and an empty variant is found in every answer.
            if (NormalizeSpaces(variant).empty()) {
                Error(place, "variant " + std::to_string(v + 1) + " is empty and would accept any answer");
            }
        }
        if (bytes > kMaxTextBytes) {
            Error(place,
                  "too long: " + std::to_string(bytes) + " bytes, at most " + std::to_string(kMaxTextBytes) + " fit");
        }
    }

    const TTestSource& s_;
    TCheckReport& report_;
};

TAttachOptions OptionsOf(const TSourceAttach& a) {
    TAttachOptions o;
    o.AutoPlay = a.AutoPlay;
    o.ReplaceText = a.ReplaceText;
    o.InPopup = a.InPopup;
    o.Option4 = a.Option4;
    o.Option6 = a.Option6;
    o.Option7 = a.Option7;
    o.ScaleMode = static_cast<uint8_t>(a.ScaleMode);
    o.Width = static_cast<uint16_t>(a.Width);
    o.Height = static_cast<uint16_t>(a.Height);
    return o;
}

TSourceAttach AttachOf(const TAttachOptions& o, const std::string& file) {
    TSourceAttach a;
    a.File = file;
    a.AutoPlay = o.AutoPlay;
    a.ReplaceText = o.ReplaceText;
    a.InPopup = o.InPopup;
    a.Option4 = o.Option4;
    a.Option6 = o.Option6;
    a.Option7 = o.Option7;
    a.ScaleMode = o.ScaleMode;
    a.Width = o.Width;
    a.Height = o.Height;
    return a;
}

std::string StoredText(const std::string& utf8) { return EncodeLineBreaks(Utf8ToCp1251(utf8)); }

// The inverse of StoredText: "/n" becomes a plain line feed.
std::string SourceText(const std::string& cp1251) {
    const std::string utf8 = Cp1251ToUtf8(cp1251);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '/' && i + 1 < utf8.size() && utf8[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// Attachments by source file: the same file named twice, even by different paths, is one entry.
class TAttachmentPlan {
public:
    struct TFile {
        TPath Source;
        std::string Entry;
        uint64_t Size = 0;
    };

    explicit TAttachmentPlan(const TPath& folder) : folder_(folder) {}

    // The entry name for the attachment, kNoAttachment for none.
    std::string Entry(const std::string& fileUtf8) {
        if (fileUtf8.empty()) return kNoAttachment;
        const TPath source = AttachSourcePath(folder_, fileUtf8);
        const TPath::string_type key = Key(source);
        auto found = byKey_.find(key);
        if (found != byKey_.end()) return files_[found->second].Entry;
        std::string extension, reason;
        AttachExtension(fileUtf8, extension, reason);
        char name[16];
        std::snprintf(name, sizeof name, "A%07u.", static_cast<unsigned>(files_.size() + 1));
        std::error_code ec;
        const uint64_t size = fs::file_size(source, ec);
        files_.push_back({source, name + extension, ec ? 0 : size});
        byKey_[key] = files_.size() - 1;
        return files_.back().Entry;
    }

    const std::vector<TFile>& Files() const { return files_; }

    uint64_t TotalSize() const {
        uint64_t total = 0;
        for (const TFile& f : files_) total += f.Size;
        return total;
    }

private:
    static TPath::string_type Key(const TPath& path) {
        std::error_code ec;
        TPath full = fs::weakly_canonical(fs::absolute(path, ec), ec);
        if (ec) full = Absolute(path);
        TPath::string_type key = full.native();
#ifdef _WIN32
        for (auto& c : key) c = static_cast<wchar_t>(std::towlower(c));
#endif
        return key;
    }

    TPath folder_;
    std::vector<TFile> files_;
    std::map<TPath::string_type, size_t> byKey_;
};

TTestQuestion QuestionOf(const TSourceQuestion& q, TAttachmentPlan& plan) {
    TTestQuestion out;
    out.AnswerMode = q.AnswerMode;
    out.Priority = static_cast<int8_t>(q.Priority);
    out.TimeLimit = static_cast<uint16_t>(q.TimeLimit);
    out.Text = StoredText(q.Text);
    out.Attach = OptionsOf(q.Attach);
    out.AttachFile = plan.Entry(q.Attach.File);
    for (const TSourceAnswer& a : q.Answers) {
        TTestAnswer answer;
        answer.Weight = static_cast<int8_t>(a.Weight);
        if (q.AnswerMode == amTyped) {
            for (size_t v = 0; v < a.Variants.size(); ++v) {
                if (v > 0) answer.Text += kVariantSeparator;
                answer.Text += StoredText(a.Variants[v]);
            }
        } else {
            answer.Text = StoredText(a.Text);
        }
        answer.Attach = OptionsOf(a.Attach);
        answer.AttachFile = plan.Entry(a.Attach.File);
        out.Answers.push_back(answer);
    }
    return out;
}

bool WriteBytes(const TPath& path, const std::string& bytes) {
    TBinaryFile file;
    return file.Create(path) && file.Write(bytes.data(), bytes.size());
}

bool CopyFileWithProgress(const TPath& from, const TPath& to, const std::function<void(uint64_t)>& copied) {
    TBinaryFile in, out;
    if (!in.OpenRead(from) || !out.Create(to)) return false;
    std::vector<char> buffer(kCopyBlock);
    while (size_t got = in.Read(buffer.data(), buffer.size())) {
        if (!out.Write(buffer.data(), got)) return false;
        copied(got);
    }
    return true;
}

class TProgressReporter {
public:
    explicit TProgressReporter(std::function<void(int)> report) : report_(std::move(report)) {}
    void Set(int percent) {
        percent = std::clamp(percent, 0, 100);
        if (report_ && percent != last_) report_(percent);
        last_ = percent;
    }

private:
    std::function<void(int)> report_;
    int last_ = -1;
};

// A file name for an entry name read from someone else's archive: anything a file system could
// take as a path, a device or nothing at all becomes '_'.
std::string SafeFileName(const std::string& entryCp1251) {
    std::string name = Cp1251ToUtf8(entryCp1251);
    for (char& c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos) c = '_';
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.back() = '_';
    if (name.empty()) name = "_";
    if (IsDeviceName(name, TDeviceStem::AsWritten)) name = "_" + name;
    return name;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The kinds in the order the messages name them, and what the messages call them.
constexpr std::pair<TAttachKind, const char*> kShownKinds[] = {
    {akPicture, " (pictures)"}, {akSound, " (sounds)"}, {akVideo, " (videos)"}, {akFme, ""}, {akOle, ""}};

// The extensions of kAttachExtensions in lower case, the three-letter ones or the longer ones.
std::vector<std::string> ExtensionsOf(TAttachKind kind, bool longer) {
    std::vector<std::string> out;
    for (const TAttachExtension& e : kAttachExtensions) {
        if (e.Kind == kind && (e.Stored != nullptr) == longer) out.push_back(LowerAscii(e.Extension));
    }
    return out;
}

// ".jpg .bmp .emf .wmf (pictures), .wav ... (sounds), .avi .mpg (videos), .fme, .ole"
std::string ShownExtensions() {
    std::string shown;
    for (const auto& [kind, what] : kShownKinds) {
        std::string list;
        for (const std::string& extension : ExtensionsOf(kind, false)) list += (list.empty() ? "" : " ") + extension;
        shown += (shown.empty() ? "" : ", ") + list + what;
    }
    return shown;
}

// ".jpeg, .midi and .mpeg"
std::string ShortenedExtensions() {
    std::vector<std::string> all;
    for (const auto& kind : kShownKinds) {
        for (const std::string& extension : ExtensionsOf(kind.first, true)) all.push_back(extension);
    }
    std::string text;
    for (size_t i = 0; i < all.size(); ++i) text += (i == 0 ? "" : i + 1 == all.size() ? " and " : ", ") + all[i];
    return text;
}

bool IsEmptyFolder(const TPath& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec) && fs::directory_iterator(folder, ec) == fs::directory_iterator();
}

}  // namespace

TCheckReport CheckTestSource(const TTestSource& source) {
    TCheckReport report;
    TChecker(source, report).Run();
    return report;
}

TCheckReport CheckTestFolder(const TPath& folder) {
    try {
        return CheckTestSource(ReadTestSource(folder));
    } catch (const ESourceError& e) {
        TCheckReport report;
        report.Errors.push_back(e.what());
        return report;
    }
}

bool AttachExtension(const std::string& fileUtf8, std::string& extension, std::string& reason) {
    const std::string extensionText = AttachSourcePath("", fileUtf8).extension().u8string();
    if (extensionText.size() < 2) {
        reason = Quoted(fileUtf8) + " has no extension, and the player tells pictures, sounds and videos by it";
        return false;
    }
    std::string upper = AsciiUpper(extensionText);
    for (const TAttachExtension& e : kAttachExtensions) {
        if (e.Stored != nullptr && upper == e.Extension) upper = e.Stored;
    }
    upper.erase(0, 1);
    const bool plain =
        std::all_of(upper.begin(), upper.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
    if (!plain || upper.size() != 3) {
        reason = Quoted(fileUtf8) + ": the extension must have three letters (" + ShortenedExtensions() +
                 " are shortened)";
        return false;
    }
    if (GetAttachKind("A." + upper) == akNone) {
        reason =
            Quoted(fileUtf8) + ": the player cannot show " + extensionText + " files; it shows " + ShownExtensions();
        return false;
    }
    extension = upper;
    return true;
}

TPath AttachSourcePath(const TPath& folder, const std::string& fileUtf8) {
    std::string file = fileUtf8;
    std::replace(file.begin(), file.end(), '\\', '/');
    return folder / fs::u8path(file);
}

std::string RandomPasswordTail() { return RandomText(kPasswordTailLength); }

TPayloadInfo PayloadFromSource(const TTestSource& s, const std::string& passwordTail) {
    TPayloadInfo info;
    info.InfoText = StoredText(s.InfoText);
    info.ExtraFieldCaption = Utf8ToCp1251(s.ExtraFieldCaption);
    info.MaxScore = static_cast<int32_t>(s.MaxScore);
    info.QuestionFontSize = static_cast<int32_t>(s.QuestionFontSize);
    info.AnswerFontSize = static_cast<int32_t>(s.AnswerFontSize);
    info.EffectSteps = static_cast<uint8_t>(s.EffectSteps);
    info.ShowMark = s.ShowMark;
    info.LimitSeconds = static_cast<int32_t>(s.LimitSeconds);
    info.LimitWholeTest = s.LimitWholeTest;
    info.NoLimitForInput = s.NoLimitForInput;
    info.QuestionsPerTest = static_cast<int32_t>(s.EffectiveQuestionsPerTest());
    info.SequentialOrder = s.SequentialOrder;
    info.KeepAnswerOrder = s.KeepAnswerOrder;
    info.ShowRightAnswer = static_cast<int32_t>(s.ShowRightAnswer);
    info.SkipsAllowed = static_cast<int32_t>(s.SkipsAllowed);
    info.PasswordTail = Utf8ToCp1251(passwordTail);
    return info;
}

TBuildResult BuildTest(const TTestSource& source, const TBuildOptions& options) {
    TBuildResult result;
    result.Report = CheckTestSource(source);
    auto fail = [&](const std::string& message) {
        result.Report.Errors.push_back(message);
        return result;
    };
    if (!result.Report.Errors.empty()) return result;

    std::error_code ec;
    const TPath output = Absolute(options.Output);
    if (!fs::is_regular_file(options.Player, ec)) {
        return fail("the player " + options.Player.u8string() + " is missing: give one with --player");
    }
    if (fs::is_directory(output, ec)) return fail(output.u8string() + " is a folder");
    if (fs::exists(output, ec) && fs::equivalent(output, options.Player, ec)) {
        return fail(output.u8string() + " is the player itself: choose another output name");
    }
    fs::create_directories(output.parent_path(), ec);
    const TPath staging = Beside(output, "build");
    TRemoveOnExit removeStaging(staging);
    if (!fs::create_directory(staging, ec)) return fail("cannot write in " + output.parent_path().u8string());

    TTestSignatures signatures;
    TAttachmentPlan plan(source.Folder);
    std::vector<TPath> entries;
    std::string index;
    for (size_t i = 0; i < source.Questions.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Q%04u.QST", static_cast<unsigned>(i + 1));
        std::string bytes;
        try {
            bytes = EncodeQuestion(QuestionOf(source.Questions[i], plan));
        } catch (const std::invalid_argument& e) {
            return fail(QuestionPlace(i) + ": " + e.what());
        }
        entries.push_back(staging / name);
        if (!WriteBytes(entries.back(), bytes)) return fail("cannot write " + entries.back().u8string());
        index += name;
        index += "\r\n";
    }

    const uint64_t attachmentBytes = plan.TotalSize();
    TProgressReporter progress(attachmentBytes >= options.ProgressMinBytes ? options.OnProgress : nullptr);
    progress.Set(0);
    uint64_t copied = 0;
    for (const TAttachmentPlan::TFile& file : plan.Files()) {
        entries.push_back(staging / file.Entry);
        bool ok = CopyFileWithProgress(file.Source, entries.back(), [&](uint64_t bytes) {
            copied += bytes;
            progress.Set(attachmentBytes == 0 ? kCopyShare : static_cast<int>(copied * kCopyShare / attachmentBytes));
        });
        if (!ok) return fail("cannot copy " + file.Source.u8string());
    }

    entries.push_back(staging / kIndexFile);
    if (!WriteBytes(entries.back(), index)) return fail("cannot write " + entries.back().u8string());
    TIniFile info;
    info.WriteString(kInfoSection, "PackLevel", std::to_string(source.PackLevel));
    info.WriteString(kInfoSection, "LastQuest", "0");
    // Last in the archive: the player rewrites it after every run, and only a last entry is
    // rewritten in place rather than added again at the end.
    entries.push_back(staging / kInfoFile);
    if (!info.Save(entries.back())) return fail("cannot write " + entries.back().u8string());

    result.PasswordTail = source.PasswordTail ? *source.PasswordTail : RandomPasswordTail();
    const TPath archive = staging / "archive.tmp";
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword(kArchivePasswordText + Utf8ToCp1251(result.PasswordTail));
    zip.SetCompressionLevel(kBuildCompressionLevel);
    zip.SetComment(Utf8ToCp1251(source.Name));
    std::string skipped;
    zip.OnSkipped = [&](const std::string& entry, const std::string& why) {
        if (skipped.empty()) skipped = Cp1251ToUtf8(entry) + ": " + why;
    };
    zip.OnTotalProgress = [&](int percent) { progress.Set(kCopyShare + percent * kPackShare / 100); };
    zip.AddFiles = entries;
    try {
        if (zip.Add() != static_cast<int>(entries.size())) return fail("cannot pack " + skipped);
    } catch (const EZipError& e) {
        return fail(std::string("cannot pack the test: ") + e.what());
    }
    zip.Close();

    const TPath exe = staging / "test.exe";
    const std::string error =
        WritePayloadExe(options.Player, archive, PayloadFromSource(source, result.PasswordTail), exe);
    if (!error.empty()) return fail(error);
    fs::rename(exe, output, ec);
    if (ec) return fail("cannot write " + output.u8string() + ": " + ec.message());
    progress.Set(100);
    result.Questions = static_cast<int>(source.Questions.size());
    result.Attachments = static_cast<int>(plan.Files().size());
    return result;
}

TUnpackResult UnpackTest(const TPath& testExe, const TPath& given) {
    TUnpackResult result;
    auto fail = [&](const std::string& message) {
        result.Errors.push_back(message);
        return result;
    };
    std::error_code ec;
    const TPath folder = Absolute(given);
    if (fs::exists(folder, ec) && !IsEmptyFolder(folder)) {
        return fail(folder.u8string() + " already exists and is not an empty folder");
    }

    TPayloadInfo payload;
    ReadPayload(testExe, payload);
    if (payload.ArchiveFile.empty()) return fail(testExe.u8string() + ": no test inside (not a test executable?)");
    TRemoveOnExit removeArchive(payload.ArchiveFile);

    TTestSignatures signatures;
    TZipArchive zip;
    zip.SetArchiveFile(payload.ArchiveFile);
    zip.SetPassword(kArchivePasswordText + payload.PasswordTail);
    bool wrongPassword = false;
    zip.OnWrongPassword = [&](const std::string&, std::string&) {
        wrongPassword = true;
        return false;
    };
    std::string indexText;
    try {
        zip.ReadDirectory();
        if (!zip.ExtractToMemory(kIndexFile, indexText)) {
            return fail(testExe.u8string() + (wrongPassword
                                                  ? ": the archive does not open with the test's password"
                                                  : ": the archive has no readable " + std::string(kIndexFile)));
        }
    } catch (const EZipError& e) {
        return fail(testExe.u8string() + ": the archive cannot be read: " + e.what());
    }

    TTestSource source;
    source.Name = Cp1251ToUtf8(zip.Comment());
    source.InfoText = SourceText(payload.InfoText);
    source.ExtraFieldCaption = Cp1251ToUtf8(payload.ExtraFieldCaption);
    source.MaxScore = payload.MaxScore;
    source.QuestionFontSize = payload.QuestionFontSize;
    source.AnswerFontSize = payload.AnswerFontSize;
    source.EffectSteps = payload.EffectSteps;
    source.ShowMark = payload.ShowMark;
    source.LimitSeconds = payload.LimitSeconds;
    source.LimitWholeTest = payload.LimitWholeTest;
    source.NoLimitForInput = payload.NoLimitForInput;
    source.QuestionsPerTest = payload.QuestionsPerTest;
    source.SequentialOrder = payload.SequentialOrder;
    source.KeepAnswerOrder = payload.KeepAnswerOrder;
    source.ShowRightAnswer = payload.ShowRightAnswer;
    source.SkipsAllowed = payload.SkipsAllowed;
    source.PasswordTail = Cp1251ToUtf8(payload.PasswordTail);

    std::string infoText;
    // The player reads a missing PackLevel as 0.
    source.PackLevel = 0;
    try {
        if (zip.ExtractToMemory(kInfoFile, infoText)) {
            TIniFile ini;
            ini.Parse(infoText);
            int32_t level = 0;
            if (TryStrToInt(ini.ReadString(kInfoSection, "PackLevel", "0"), level)) source.PackLevel = level;
        } else {
            result.Warnings.push_back(std::string(kInfoFile) +
                                      " is missing: PackLevel set to 0, as the player reads it");
        }
    } catch (const EZipError& e) {
        result.Warnings.push_back(std::string(kInfoFile) + " cannot be read: " + e.what());
    }

    const TPath staging = Beside(folder, "unpack");
    TRemoveOnExit removeStaging(staging);
    if (!fs::create_directories(staging, ec)) return fail("cannot write in " + folder.parent_path().u8string());

    std::map<std::string, std::string> written;  // upper-case entry name -> file in the folder
    std::set<std::string> usedNames = {LowerAscii(kSourceFileName)};
    // The file an attachment was unpacked to, empty when the archive lacks it.
    auto unpackAttachment = [&](const std::string& entry, const std::string& place) -> std::string {
        if (entry == kNoAttachment) return "";
        const std::string key = UpperCaseCp1251(entry);
        auto found = written.find(key);
        if (found != written.end()) return found->second;
        std::string bytes;
        bool ok = false;
        try {
            ok = zip.ExtractToMemory(entry, bytes);
        } catch (const EZipError&) {
        }
        if (!ok) {
            result.Warnings.push_back(place + ": attachment " + Quoted(Cp1251ToUtf8(entry)) +
                                      " is not in the archive: left out");
            return "";
        }
        std::string name = SafeFileName(entry);
        for (int n = 2; usedNames.count(LowerAscii(name)); ++n) name = std::to_string(n) + "_" + SafeFileName(entry);
        if (!WriteBytes(staging / fs::u8path(name), bytes)) throw ESourceError("cannot write " + name);
        usedNames.insert(LowerAscii(name));
        written[key] = name;
        return name;
    };

    try {
        const std::vector<std::string> lines = SplitIndexLines(indexText);
        for (size_t line = 0; line < lines.size(); ++line) {
            const std::string& entry = lines[line];
            const std::string place = std::string(kIndexFile) + " line " + std::to_string(line + 1) +
                                      (entry.empty() ? "" : " (" + Cp1251ToUtf8(entry) + ")");
            std::string bytes;
            TTestQuestion stored;
            bool ok = false;
            try {
                ok = !entry.empty() && zip.ExtractToMemory(entry, bytes) && ParseQuestion(bytes, stored);
            } catch (const EZipError&) {
            }
            if (!ok) {
                result.Warnings.push_back(place + ": no readable question there: left out");
                continue;
            }
            if (AnswerModeName(stored.AnswerMode) == nullptr) {
                result.Warnings.push_back(place + ": unknown answer mode " + std::to_string(stored.AnswerMode) +
                                          ", kept: set the right one before building");
            }
            TSourceQuestion question;
            question.AnswerMode = stored.AnswerMode;
            question.Priority = stored.Priority;
            question.TimeLimit = stored.TimeLimit;
            question.Text = SourceText(stored.Text);
            question.Attach = AttachOf(stored.Attach, unpackAttachment(stored.AttachFile, place));
            for (const TTestAnswer& a : stored.Answers) {
                TSourceAnswer answer;
                answer.Weight = a.Weight;
                if (stored.AnswerMode == amTyped) {
                    for (const std::string& variant : SplitVariants(a.Text)) {
                        answer.Variants.push_back(SourceText(variant));
                    }
                } else {
                    answer.Text = SourceText(a.Text);
                }
                answer.Attach = AttachOf(a.Attach, unpackAttachment(a.AttachFile, place));
                question.Answers.push_back(answer);
            }
            source.Questions.push_back(question);
        }
    } catch (const ESourceError& e) {
        return fail(e.what());
    }

    const std::string json = TestSourceToJson(source).dump(2) + "\n";
    if (!WriteBytes(staging / kSourceFileName, json)) return fail("cannot write " + std::string(kSourceFileName));
    if (fs::exists(folder, ec)) fs::remove(folder, ec);  // empty, checked above
    fs::rename(staging, folder, ec);
    if (ec) return fail("cannot create " + folder.u8string() + ": " + ec.message());
    result.Questions = static_cast<int>(source.Questions.size());
    result.Attachments = static_cast<int>(written.size());
    return result;
}

std::vector<TPath> PlayerCandidates(const TPath& toolFolder) {
    // The shipped player is the 32-bit one: it runs on every Windows.
    return {toolFolder / kPlayerName, (toolFolder / ".." / ".." / "win32" / "bin" / kPlayerName).lexically_normal()};
}

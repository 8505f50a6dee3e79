#pragma once
// A test as its author writes it: a folder with "test.json" (UTF-8) and the attachment files
// beside it. Reading checks the form only (JSON, keys, value types); whether the values make a
// good test is for CheckTestSource (tools/TestBuilder.h). Numbers are kept wide here so that
// the check can name a value that does not fit, instead of the reader cutting it.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

extern const char kSourceFileName[];  // "test.json"

// A source that cannot be read. The message names the place: "question 3, Answers[2].Weight: ...".
class ESourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TAnswerMode : uint8_t { amSingle = 0, amTyped = 1, amMultiple = 2, amOrdering = 3 };

// "single", "typed", "multiple", "ordering"; nullptr for any other value.
const char* AnswerModeName(int mode);

struct TSourceAttach {
    std::string File;  // UTF-8, relative to the source folder; empty: no file
    bool AutoPlay = false;
    bool ReplaceText = false;
    bool InPopup = false;
    bool Option4 = false;
    bool Option6 = false;
    bool Option7 = false;
    int64_t ScaleMode = 0;
    int64_t Width = 0;
    int64_t Height = 0;

    bool HasOptions() const;
    bool operator==(const TSourceAttach& other) const;
};

struct TSourceAnswer {
    int64_t Weight = 0;
    std::string Text;                   // UTF-8, real line breaks; unused for typed input
    std::vector<std::string> Variants;  // typed input: the accepted variants
    TSourceAttach Attach;
};

struct TSourceQuestion {
    uint8_t AnswerMode = amSingle;
    int64_t Priority = 1;
    int64_t TimeLimit = 0;
    std::string Text;
    TSourceAttach Attach;
    std::vector<TSourceAnswer> Answers;
};

// The defaults are those of a key left out of test.json.
struct TTestSource {
    TPath Folder;      // where attachment paths start
    std::string Name;  // the folder's name when left out
    std::string InfoText;
    std::string ExtraFieldCaption;
    int64_t MaxScore = 5;
    int64_t QuestionFontSize = 14;
    int64_t AnswerFontSize = 12;
    int64_t EffectSteps = 10;
    bool ShowMark = true;
    int64_t LimitSeconds = 0;
    bool LimitWholeTest = false;
    bool NoLimitForInput = false;
    std::optional<int64_t> QuestionsPerTest;  // all questions when left out
    bool SequentialOrder = false;
    bool KeepAnswerOrder = false;
    int64_t ShowRightAnswer = 0;
    int64_t SkipsAllowed = 0;
    std::optional<std::string> PasswordTail;  // a random one when left out
    int64_t PackLevel = 6;
    std::vector<TSourceQuestion> Questions;

    int64_t EffectiveQuestionsPerTest() const;
};

// Reads FOLDER/test.json; FOLDER may also name the test.json itself. Throws ESourceError.
TTestSource ReadTestSource(const TPath& folder);
// The same from JSON text; `folder` is where attachments are looked for.
TTestSource ParseTestSource(const std::string& jsonText, const TPath& folder);
// Every setting written out, so that the file means the same whatever the defaults become.
nlohmann::ordered_json TestSourceToJson(const TTestSource& source);

// The first character of UTF-8 text that Windows-1251 has no byte for; empty when all fit.
std::string FirstNonCp1251(const std::string& utf8);
// "U+2713".
std::string CodePointName(const std::string& utf8Character);

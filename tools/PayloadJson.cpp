#include "tools/PayloadJson.h"

#include <limits>
#include <stdexcept>
#include <type_traits>

#include "model/Codepage.h"

namespace {

template <typename T>
void Take(const nlohmann::json& json, const char* key, T& field) {
    auto it = json.find(key);
    if (it == json.end()) return;
    try {
        if constexpr (std::is_same_v<T, std::string>) {
            field = Utf8ToCp1251(it->template get<std::string>());
        } else if constexpr (std::is_same_v<T, bool>) {
            field = it->template get<bool>();
        } else {
            auto value = it->template get<int64_t>();
            if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
                throw std::invalid_argument(std::string(key) + ": out of range");
            }
            field = static_cast<T>(value);
        }
    } catch (const nlohmann::json::exception&) {
        throw std::invalid_argument(std::string(key) + ": wrong type");
    }
}

}  // namespace

void PayloadFromJson(const nlohmann::json& json, TPayloadInfo& info) {
    Take(json, "InfoText", info.InfoText);
    Take(json, "ExtraFieldCaption", info.ExtraFieldCaption);
    Take(json, "MaxScore", info.MaxScore);
    Take(json, "QuestionFontSize", info.QuestionFontSize);
    Take(json, "AnswerFontSize", info.AnswerFontSize);
    Take(json, "EffectSteps", info.EffectSteps);
    Take(json, "ShowMark", info.ShowMark);
    Take(json, "LimitSeconds", info.LimitSeconds);
    Take(json, "LimitWholeTest", info.LimitWholeTest);
    Take(json, "NoLimitForInput", info.NoLimitForInput);
    Take(json, "QuestionsPerTest", info.QuestionsPerTest);
    Take(json, "SequentialOrder", info.SequentialOrder);
    Take(json, "KeepAnswerOrder", info.KeepAnswerOrder);
    Take(json, "ShowRightAnswer", info.ShowRightAnswer);
    Take(json, "SkipsAllowed", info.SkipsAllowed);
    Take(json, "PasswordTail", info.PasswordTail);
}

nlohmann::json PayloadToJson(const TPayloadInfo& info) {
    return {
        {"InfoText", Cp1251ToUtf8(info.InfoText)},
        {"ExtraFieldCaption", Cp1251ToUtf8(info.ExtraFieldCaption)},
        {"MaxScore", info.MaxScore},
        {"QuestionFontSize", info.QuestionFontSize},
        {"AnswerFontSize", info.AnswerFontSize},
        {"EffectSteps", info.EffectSteps},
        {"ShowMark", info.ShowMark},
        {"LimitSeconds", info.LimitSeconds},
        {"LimitWholeTest", info.LimitWholeTest},
        {"NoLimitForInput", info.NoLimitForInput},
        {"QuestionsPerTest", info.QuestionsPerTest},
        {"SequentialOrder", info.SequentialOrder},
        {"KeepAnswerOrder", info.KeepAnswerOrder},
        {"ShowRightAnswer", info.ShowRightAnswer},
        {"SkipsAllowed", info.SkipsAllowed},
        {"PasswordTail", Cp1251ToUtf8(info.PasswordTail)},
    };
}

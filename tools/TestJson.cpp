#include "tools/TestJson.h"

#include "model/Codepage.h"

using nlohmann::json;

json AttachOptionsToJson(const TAttachOptions& o) {
    return {{"Option7", o.Option7},         {"Option6", o.Option6}, {"AutoPlay", o.AutoPlay},
            {"Option4", o.Option4},         {"ReplaceText", o.ReplaceText}, {"InPopup", o.InPopup},
            {"ScaleMode", o.ScaleMode},     {"Width", o.Width},     {"Height", o.Height}};
}

json QuestionToJson(const TTestQuestion& q) {
    json answers = json::array();
    for (const TTestAnswer& a : q.Answers) {
        answers.push_back({{"Weight", a.Weight},
                           {"Text", Cp1251ToUtf8(a.Text)},
                           {"Attach", AttachOptionsToJson(a.Attach)},
                           {"AttachKind", static_cast<int>(a.AttachKind)},
                           {"AttachFile", Cp1251ToUtf8(a.AttachFile)}});
    }
    return {{"AnswerMode", q.AnswerMode},
            {"Priority", q.Priority},
            {"TimeLimit", q.TimeLimit},
            {"Text", Cp1251ToUtf8(q.Text)},
            {"Answers", answers},
            {"Attach", AttachOptionsToJson(q.Attach)},
            {"AttachKind", static_cast<int>(q.AttachKind)},
            {"AttachFile", Cp1251ToUtf8(q.AttachFile)}};
}

json EntryToJson(const TZipEntry& e) {
    return {{"name", Cp1251ToUtf8(e.Name)}, {"method", e.Method},           {"flags", e.Flags},
            {"crc", e.Crc},                 {"compressed", e.CompressedSize}, {"size", e.UncompressedSize}};
}

json ErrorToJson(const EZipError& error) { return {{"class", error.ClassName()}, {"message", error.what()}}; }

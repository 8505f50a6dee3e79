#include "model/IniFile.h"

#include <cstddef>
#include <string_view>

#include "model/Codepage.h"

namespace {

constexpr char kBlanks[] = " \t";
constexpr char kLineEnd[] = "\r\n";
constexpr size_t kReadChunk = 16 * 1024;

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) { return UpperCaseCp1251(a) == UpperCaseCp1251(b); }

// Quotes come off only when the same quote character opens and closes the value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

enum class TLineKind { Other, Section, Key };

// Names and value are views into the line they came from, trimmed.
struct TLineInfo {
    TLineKind Kind = TLineKind::Other;
    std::string_view Name;
    std::string_view Value;
};

TLineInfo ClassifyLine(const std::string& line) {
    TLineInfo info;
    const std::string_view s = Trim(line);
    if (s.empty() || s.front() == ';') return info;
    if (s.front() == '[') {
        // The last ']' closes the name; a '[' line without one is read like any other line.
        const size_t close = s.rfind(']');
        if (close != std::string_view::npos) {
            info.Kind = TLineKind::Section;
            info.Name = Trim(s.substr(1, close - 1));
            return info;
        }
    }
    const size_t equals = s.find('=');
    if (equals == std::string_view::npos) return info;
    info.Kind = TLineKind::Key;
    info.Name = Trim(s.substr(0, equals));
    info.Value = Trim(s.substr(equals + 1));
    return info;
}

}  // namespace

bool TIniFile::Load(const TPath& path) {
    lines_.clear();
    TBinaryFile file;
    if (!file.OpenRead(path)) return false;
    std::string text;
    char chunk[kReadChunk];
    while (const size_t got = file.Read(chunk, sizeof chunk)) text.append(chunk, got);
    Parse(text);
    return true;
}

// Like a text-file reader: CR LF or LF ends a line, and a final line end adds no empty line.
void TIniFile::Parse(const std::string& text) {
    lines_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        const size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
        lines_.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        const TLineInfo info = ClassifyLine(line);
        if (info.Kind == TLineKind::Section) {
            // Only the first section of that name counts.
            if (inSection) break;
            inSection = SameName(info.Name, section);
        } else if (inSection && info.Kind == TLineKind::Key && SameName(info.Name, key)) {
            return std::string(Unquote(info.Value));
        }
    }
    return fallback;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    size_t header = 0;
    while (header < lines_.size()) {
        const TLineInfo info = ClassifyLine(lines_[header]);
        if (info.Kind == TLineKind::Section && SameName(info.Name, section)) break;
        ++header;
    }
    if (header == lines_.size()) {
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + value);
        return;
    }
    size_t lastUsed = header;
    for (size_t i = header + 1; i < lines_.size(); ++i) {
        const TLineInfo info = ClassifyLine(lines_[i]);
        if (info.Kind == TLineKind::Section) break;
        if (info.Kind == TLineKind::Key && SameName(info.Name, key)) {
            // The key keeps the spelling it has in the file.
            lines_[i] = std::string(info.Name) + "=" + value;
            return;
        }
        if (!Trim(lines_[i]).empty()) lastUsed = i;
    }
    // Blank lines that separate the section from the next one stay after the new key.
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastUsed + 1), key + "=" + value);
}

std::string TIniFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += kLineEnd;
    }
    return text;
}

bool TIniFile::Save(const TPath& path) const {
    TBinaryFile file;
    if (!file.Create(path)) return false;
    const std::string text = Text();
    return file.Write(text.data(), text.size());
}

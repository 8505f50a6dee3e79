#include "model/TextUtils.h"

#include <vector>

#include "model/Codepage.h"

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

}  // namespace

uint16_t MakeWord16(uint8_t high, uint8_t low) {
    return static_cast<uint16_t>(high * 256 + low);
}

uint32_t ReadBigEndian32(std::string_view fourBytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t b = i < fourBytes.size() ? static_cast<uint8_t>(fourBytes[i]) : 0;
        value = (value << 8) | b;
    }
    return value;
}

std::string EncodeLineBreaks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == kCr) {
            continue;
        }
        if (c == kLf) {
            out += "/n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string DecodeLineBreaks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += kCr;
            out += kLf;
            i += 2;
        } else {
            out += s[i];
            ++i;
        }
    }
    return out;
}

std::string NormalizeSpaces(std::string_view s) {
    // The guard space makes leading spaces disappear. Only the very last
    // input char is checked against the end, so a trailing run of two or
    // more spaces keeps one. Keep that asymmetry: answer matching relies on
    // it.
    std::string out = " ";
    out.reserve(s.size() + 1);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != ' ') {
            out += s[i];
        } else if (out.back() != ' ' && i + 1 != s.size()) {
            out += ' ';
        }
    }
    return out.substr(1);
}

std::vector<std::string> SplitVariants(std::string_view text, std::string_view separator) {
    std::vector<std::string> variants;
    for (;;) {
        const size_t at = text.find(separator);
        if (at == std::string_view::npos) break;
        variants.emplace_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
    variants.emplace_back(text);
    return variants;
}

bool MatchTypedAnswer(std::string_view typed, std::string_view variants) {
    const std::string subject = UpperCaseCp1251(" " + NormalizeSpaces(typed) + " ");
    for (const std::string& variant : SplitVariants(variants)) {
        const std::string pattern = UpperCaseCp1251(" " + NormalizeSpaces(variant));
        if (subject.find(pattern) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string FormatDuration(int32_t seconds, bool forceMinutes) {
    static const std::string kMinutes = Utf8ToCp1251(" мин ");
    static const std::string kSeconds = Utf8ToCp1251(" сек");
    if (forceMinutes || seconds > 60) {
        return std::to_string(seconds / 60) + kMinutes + std::to_string(seconds % 60) + kSeconds;
    }
    return std::to_string(seconds) + kSeconds;
}

bool TryStrToInt(std::string_view text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFll) return false;
    }
    // Hexadecimal gives the bit pattern ("$FFFFFFFF" is -1); decimal must fit the range.
    int64_t result = negative ? -magnitude : magnitude;
    if (base == 16 && !negative && magnitude > INT32_MAX) result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    if (result < INT32_MIN || result > INT32_MAX) return false;
    value = static_cast<int32_t>(result);
    return true;
}

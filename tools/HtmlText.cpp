#include "tools/HtmlText.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct TEntity {
    std::string_view Name;
    std::string_view Text;
};

constexpr TEntity kEntities[] = {
#include "tools/HtmlEntities.inc"
};

constexpr size_t kLongestEntity = 32;
constexpr std::string_view kSpaces = " \t\n\r\f";

// The C1 range of numeric references means what Windows-1252 puts there, as browsers read it.
constexpr uint16_t kWindows1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                       0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

const TEntity* FindEntity(std::string_view name) {
    auto less = [](const TEntity& e, std::string_view n) { return e.Name < n; };
    const TEntity* it = std::lower_bound(std::begin(kEntities), std::end(kEntities), name, less);
    return it != std::end(kEntities) && it->Name == name ? it : nullptr;
}

// The reference at s[at] == '&': appends what it stands for and returns its length; 0 when
// there is none there (the '&' is then text).
size_t DecodeEntityAt(std::string_view s, size_t at, std::string& out) {
    size_t i = at + 1;
    if (i < s.size() && s[i] == '#') {
        ++i;
        const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
        if (hex) ++i;
        const size_t digits = i;
        uint32_t code = 0;
        bool overflow = false;
        for (; i < s.size(); ++i) {
            const char c = LowerAscii(s[i]);
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (digit < 0) break;
            if (code > 0x10FFFF) overflow = true;
            else code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (i == digits) return 0;
        if (i < s.size() && s[i] == ';') ++i;
        if (overflow || code > 0x10FFFF || code == 0 || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        if (code >= 0x80 && code <= 0x9F) code = kWindows1252[code - 0x80];
        AppendUtf8(out, code);
        return i - at;
    }
    size_t end = i;
    while (end < s.size() && end - i < kLongestEntity && IsAsciiAlnum(s[end])) ++end;
    if (end == i) return 0;
    if (end < s.size() && s[end] == ';') {
        if (const TEntity* e = FindEntity(s.substr(i, end + 1 - i))) {
            out += e->Name == "nbsp;" ? std::string_view(" ") : e->Text;
            return end + 1 - at;
        }
    }
    // The legacy names are also taken without ";", the longest that fits.
    for (size_t length = end - i; length > 0; --length) {
        if (const TEntity* e = FindEntity(s.substr(i, length))) {
            out += e->Name == "nbsp" ? std::string_view(" ") : e->Text;
            return length + 1;
        }
    }
    return 0;
}

struct TTag {
    std::string Name;  // lower case
    bool Closing = false;
    size_t End = 0;  // just after '>'
    std::string_view Attributes;
};

// The tag at s[at] == '<'; false when it is not one (a lone '<' is text).
bool ReadTag(std::string_view s, size_t at, TTag& tag) {
    size_t i = at + 1;
    tag.Closing = i < s.size() && s[i] == '/';
    if (tag.Closing) ++i;
    const size_t nameStart = i;
    while (i < s.size() && IsAsciiAlnum(s[i])) ++i;
    if (i == nameStart) return false;
    tag.Name.clear();
    for (size_t k = nameStart; k < i; ++k) tag.Name += LowerAscii(s[k]);
    const size_t attributes = i;
    char quote = 0;
    for (; i < s.size(); ++i) {
        if (quote) {
            if (s[i] == quote) quote = 0;
        } else if (s[i] == '"' || s[i] == '\'') {
            quote = s[i];
        } else if (s[i] == '>') {
            tag.Attributes = s.substr(attributes, i - attributes);
            tag.End = i + 1;
            return true;
        }
    }
    return false;
}

bool IsBlock(const std::string& name) {
    static const std::string_view kBlocks[] = {"address", "article", "aside",  "blockquote", "caption", "dd",
                                               "div",     "dl",      "dt",     "figcaption", "figure",  "footer",
                                               "h1",      "h2",      "h3",     "h4",         "h5",      "h6",
                                               "header",  "hr",      "li",     "main",       "nav",     "ol",
                                               "p",       "pre",     "section", "table",     "tbody",   "thead",
                                               "tfoot",   "tr",      "ul"};
    return std::find(std::begin(kBlocks), std::end(kBlocks), name) != std::end(kBlocks);
}

// The value of attribute `wanted` in a tag's attribute text, references decoded.
bool AttributeValue(std::string_view a, std::string_view wanted, std::string& value) {
    size_t i = 0;
    while (i < a.size()) {
        while (i < a.size() && (kSpaces.find(a[i]) != std::string_view::npos || a[i] == '/')) ++i;
        const size_t nameStart = i;
        while (i < a.size() && a[i] != '=' && a[i] != '>' && kSpaces.find(a[i]) == std::string_view::npos) ++i;
        std::string name;
        for (size_t k = nameStart; k < i; ++k) name += LowerAscii(a[k]);
        while (i < a.size() && kSpaces.find(a[i]) != std::string_view::npos) ++i;
        std::string_view raw;
        if (i < a.size() && a[i] == '=') {
            ++i;
            while (i < a.size() && kSpaces.find(a[i]) != std::string_view::npos) ++i;
            if (i < a.size() && (a[i] == '"' || a[i] == '\'')) {
                const char quote = a[i++];
                const size_t end = std::min(a.find(quote, i), a.size());
                raw = a.substr(i, end - i);
                i = end + 1;
            } else {
                const size_t start = i;
                while (i < a.size() && kSpaces.find(a[i]) == std::string_view::npos) ++i;
                raw = a.substr(start, i - start);
            }
        }
        if (name == wanted) {
            value = DecodeHtmlEntities(raw);
            return true;
        }
        if (i == nameStart) ++i;
    }
    return false;
}

int HexValue(char c) {
    c = LowerAscii(c);
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string DecodeHtmlEntities(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t length = s[i] == '&' ? DecodeEntityAt(s, i, out) : 0;
        if (length == 0) out += s[i++];
        else i += length;
    }
    return out;
}

std::string HtmlToText(std::string_view s) {
    std::string out;
    bool space = false;  // white space waits for the next character to show
    bool block = false;  // so does the line break at the edge of a block
    auto beforeCharacter = [&] {
        if (block && !out.empty() && out.back() != '\n') {
            out += '\n';
        } else if (space && !out.empty() && out.back() != '\n') {
            out += ' ';
        }
        block = space = false;
    };
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        TTag tag;
        if (c == '<' && s.substr(i, 4) == "<!--") {
            const size_t end = s.find("-->", i + 4);
            i = end == std::string_view::npos ? s.size() : end + 3;
            continue;
        }
        if (c == '<' && ReadTag(s, i, tag)) {
            i = tag.End;
            if (tag.Name == "br") {
                out += '\n';
                block = space = false;
            } else if (IsBlock(tag.Name)) {
                block = true;
            } else if (tag.Name == "td" || tag.Name == "th") {
                space = true;
            } else if ((tag.Name == "script" || tag.Name == "style") && !tag.Closing) {
                const size_t end = s.find("</" + tag.Name, i);
                i = end == std::string_view::npos ? s.size() : end;
            }
            continue;
        }
        if (kSpaces.find(c) != std::string_view::npos) {
            space = true;
            ++i;
            continue;
        }
        beforeCharacter();
        const size_t length = c == '&' ? DecodeEntityAt(s, i, out) : 0;
        if (length == 0) out += s[i++];
        else i += length;
    }
    return out;
}

std::vector<std::string> HtmlImageSources(std::string_view s) {
    std::vector<std::string> out;
    for (size_t i = s.find('<'); i != std::string_view::npos; i = s.find('<', i + 1)) {
        TTag tag;
        if (!ReadTag(s, i, tag) || tag.Closing || tag.Name != "img") continue;
        std::string src;
        if (AttributeValue(tag.Attributes, "src", src)) out.push_back(src);
    }
    return out;
}

std::string TextToHtml(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool first = i == 0 || text[i - 1] == '\n' || text[i - 1] == ' ';
        const bool last = i + 1 == text.size() || text[i + 1] == '\n';
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\n': out += "<br>"; break;
            // A space shows as it is only between two characters; else it would be lost.
            case ' ': out += first || last ? "&nbsp;" : " "; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string PercentEncode(std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : s) {
        if (IsAsciiAlnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            const auto u = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

#pragma once
// Initialisation files ("INFO.SYS"): [section] lines and key=value lines, read and written
// the way the Windows profile functions do it, on every system.

#include <string>
#include <vector>

#include "platform/FileSystem.h"

class TIniFile {
public:
    // A missing or unreadable file reads as empty.
    bool Load(const TPath& path);
    void Parse(const std::string& text);

    // Section and key names compare case-insensitively.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

    std::string Text() const;
    bool Save(const TPath& path) const;

private:
    std::vector<std::string> lines_;
};

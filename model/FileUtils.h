#pragma once
// File helpers of the player: temporary names and the work-folder clean-up.
// GetTempFolder and ClearFolder come from the platform layer.

#include <string>

#include "platform/FileSystem.h"

// The path separator of the system the program runs on: a backslash on Windows.
#ifdef _WIN32
constexpr TPath::value_type kPathDelimiter = L'\\';
#else
constexpr TPath::value_type kPathDelimiter = '/';
#endif

// The path with a trailing separator ensured. An empty path stays empty.
TPath IncludeBackslash(const TPath& folder);

// The 64 characters of temporary names: no "e" or "E", "i" and "I" twice each.
extern const char kRandomNameAlphabet[65];

// folder + 8 random characters + extension, naming nothing that exists yet.
TPath UniqueRandomFileName(const TPath& folder, const std::string& extension);

// A path as Windows-1251 text, for the records that hold paths as text. Characters the
// code page lacks become '?': open files by their TPath, not by this text.
std::string PathToCp1251(const TPath& path);
// A Windows-1251 text path (an entry name, a folder from a record) as a path.
TPath Cp1251ToPath(const std::string& path);

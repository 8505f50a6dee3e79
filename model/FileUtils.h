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

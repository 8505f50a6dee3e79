#include "model/FileUtils.h"

#include "model/Codepage.h"
#include "model/Random.h"

const char kRandomNameAlphabet[65] = "abcdifghijklmnopqrstuvwxyzABCDIFGHIJKLMNOPQRSTUVWXYZ0123456789_$";

TPath IncludeBackslash(const TPath& folder) {
    TPath::string_type path = folder.native();
    if (!path.empty() && path.back() != kPathDelimiter) path += kPathDelimiter;
    return TPath(path);
}

TPath UniqueRandomFileName(const TPath& folder, const std::string& extension) {
    const TPath::string_type base = IncludeBackslash(folder).native();
    for (;;) {
        TPath::string_type name = base;
        for (int i = 0; i < 8; ++i) name += static_cast<TPath::value_type>(kRandomNameAlphabet[RandomInt(64)]);
        for (char c : extension) name += static_cast<TPath::value_type>(static_cast<unsigned char>(c));
        TPath candidate(name);
        if (!PathExists(candidate)) return candidate;
    }
}

// POSIX file names are UTF-8 text.
std::string PathToCp1251(const TPath& path) {
#ifdef _WIN32
    return WideToCp1251(path.native());
#else
    return Utf8ToCp1251(path.native());
#endif
}

TPath Cp1251ToPath(const std::string& path) {
#ifdef _WIN32
    return TPath(Cp1251ToWide(path));
#else
    return TPath(Cp1251ToUtf8(path));
#endif
}

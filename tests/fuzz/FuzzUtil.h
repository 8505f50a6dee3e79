#pragma once
// A scratch folder per fuzzing process: the archive and payload readers work on files.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/FileSystem.h"

inline const TPath& FuzzFolder() {
    static const TPath folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tpfuzz.XXXXXX").string();
        if (mkdtemp(&pattern[0]) == nullptr) abort();
        atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(FuzzFolder(), ec);
        });
        return TPath(pattern);
    }();
    return folder;
}

inline TPath WriteFuzzFile(const std::string& name, const uint8_t* data, size_t size) {
    TPath path = FuzzFolder() / name;
    TBinaryFile file;
    if (!file.Create(path) || (size > 0 && !file.Write(data, size))) abort();
    return path;
}

#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/FileSystem.h"

class TTempDir {
public:
    // mkdtemp, not the program's generator: test processes run side by side, all
    // starting from the same seed.
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tptest.XXXXXX").string();
        if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const TPath& Path() const { return path_; }
    TPath operator/(const std::string& name) const { return path_ / name; }

private:
    TPath path_;
};

inline void WriteFileBytes(const TPath& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFileBytes(const TPath& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

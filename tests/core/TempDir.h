#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model/FileUtils.h"
#include "model/Random.h"

class TTempDir {
public:
    TTempDir() {
        path_ = UniqueRandomFileName(std::filesystem::temp_directory_path(), ".test");
        std::filesystem::create_directories(path_);
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

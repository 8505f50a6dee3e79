#include "platform/FileSystem.h"

// The parts of TBinaryFile that do not depend on the system.

TBinaryFile::~TBinaryFile() { Close(); }

TBinaryFile::TBinaryFile(TBinaryFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TBinaryFile& TBinaryFile::operator=(TBinaryFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

bool TBinaryFile::ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }

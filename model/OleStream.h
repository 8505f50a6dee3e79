#pragma once
// The container stream of embedded objects (attachment kinds 4 and 5): the signature "BDOC",
// the draw aspect and the storage size (both little-endian 32-bit), then the storage itself.

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

constexpr char kOleStreamSignature[] = "BDOC";
constexpr size_t kOleStreamHeaderSize = 12;
// What a wrong signature reports.
constexpr char kInvalidOleStream[] = "Invalid stream format";

struct TOleStream {
    uint32_t Aspect = 0;
    // The object's compound-file storage.
    std::string Storage;
};

// False with the reason when the header is short or wrong or the storage is cut off; bytes
// after the storage are ignored.
bool ParseOleStream(const std::string& bytes, TOleStream& stream, std::string& error);
// The same from a file. Nothing is allocated for a storage size the file cannot hold.
bool ReadOleStream(const TPath& file, TOleStream& stream, std::string& error);
std::string MakeOleStream(uint32_t aspect, const std::string& storage);

// Whether a compound-file storage can be handed to the platform's storage code safely: every
// sector chain and the directory tree end, and every link stays inside the file. The
// platform follows a chain that runs in a circle for as long as it is asked to read.
// Says nothing about whether an object can be loaded from it.
bool CheckCompoundFile(const std::string& storage, std::string& error);

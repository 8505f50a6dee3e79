// ReadPayload on any bytes: reads nothing outside the file and leaves no copy behind
// unless it returns one.
#include <cstdlib>

#include "app/Payload.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool once = [] {
        std::filesystem::create_directories(FuzzFolder() / "tmp");
        setenv("TMPDIR", (FuzzFolder() / "tmp").c_str(), 1);
        return true;
    }();
    (void)once;
    TPath exe = WriteFuzzFile("player.exe", data, size);
    TPayloadInfo info;
    ReadPayload(exe, info);
    if (!info.ArchiveFile.empty()) {
        if (!PathExists(info.ArchiveFile)) abort();
        DeleteFileAt(info.ArchiveFile);
    }
    if (!std::filesystem::is_empty(FuzzFolder() / "tmp")) abort();  // a copy was left behind
    return 0;
}

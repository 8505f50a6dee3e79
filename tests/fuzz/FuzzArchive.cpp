// The archive component on any bytes: directory, then every entry into memory and into a
// folder. Errors must be exceptions of the component, nothing else.
#include "archive/ZipArchive.h"
#include "model/FileUtils.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the signatures: a standard archive starts with 'P' (even), a
    // test archive with 0xEF (odd), so seeds of both kinds are read as what they are.
    bool standard = size > 0 && (data[0] & 1) == 0;
    SetZipSignatures(standard ? kStandardZipSignatures : kTestArchiveSignatures);
    TPath archive = WriteFuzzFile("test.zip", data, size);
    TPath out = FuzzFolder() / "out";
    std::filesystem::create_directories(out);
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword("Kp4#nV7q!Z");
    zip.SetDestination(IncludeBackslash(out));
    try {
        zip.ReadDirectory();
        size_t n = 0;
        for (const TZipEntry& entry : zip.Entries()) {
            if (++n > 64) break;
            std::string bytes;
            try {
                // Into memory only what a test archive may hold in memory: the output
                // may grow to the stated size, which a few bytes can make 4 GB.
                if (entry.UncompressedSize <= (16u << 20)) zip.ExtractToMemory(entry.Name, bytes);
            } catch (const EZipError&) {
            }
            zip.FileList.push_back(entry.Name);
        }
        zip.Extract();
    } catch (const EZipError&) {
    }
    ClearFolder(out);
    return 0;
}

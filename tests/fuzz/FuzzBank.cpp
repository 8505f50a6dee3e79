// What a question bank brings in, on any bytes: its pictures (PNG, GIF and the rest, decoded
// and written again) and the Moodle XML around them. Every refusal has a reason, and every
// picture made passes the player's checks.
#include <cstdlib>

#include "tools/AttachCheck.h"
#include "tools/BankPicture.h"
#include "tools/MoodleImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TBankPicture picture;
    std::string reason;
    if (MakePlayerPicture(bytes, picture, reason)) {
        if (!CheckAttachmentBytes(picture.Extension, picture.Bytes, reason)) abort();
    } else if (reason.empty()) {
        abort();
    }
    const TMoodleImport import = ParseMoodleBank(bytes, "fuzz");
    if (import.Ok() && import.Source.Questions.empty()) abort();
    return 0;
}

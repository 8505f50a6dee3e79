#pragma once
// testmaker's authoring commands: check a source folder, build a test executable from it, and
// unpack a test executable back into a source folder that builds the same test.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Payload.h"
#include "model/TestData.h"
#include "tools/TestSource.h"

struct TCheckReport {
    std::vector<std::string> Errors;    // the test cannot be built as it is
    std::vector<std::string> Warnings;  // it can, but probably not as the author meant
};

TCheckReport CheckTestSource(const TTestSource& source);
// Reads and checks the folder; a source that cannot be read gives its one error.
TCheckReport CheckTestFolder(const TPath& folder);

// The extension an attachment gets in the archive: upper case, ".JPEG", ".MPEG" and ".MIDI"
// shortened, always three characters. False with the reason for a file the player cannot show.
bool AttachExtension(const std::string& fileUtf8, std::string& extension, std::string& reason);

// The source file an attachment names: relative to the source folder, "\" taken as a separator.
TPath AttachSourcePath(const TPath& folder, const std::string& fileUtf8);

// Random password tails draw from letters and digits that cannot be mistaken for each other
// and mean the same in every code page.
extern const char kPasswordTailAlphabet[];
constexpr size_t kPasswordTailLength = 8;
std::string RandomPasswordTail();

// The settings of a source as the payload holds them. Expects a source that passed the check.
TPayloadInfo PayloadFromSource(const TTestSource& source, const std::string& passwordTail);

struct TBuildOptions {
    TPath Player;
    TPath Output;
    // Percent done, 0-100, for a test whose attachments reach ProgressMinBytes.
    std::function<void(int percent)> OnProgress;
    uint64_t ProgressMinBytes = 4 * 1024 * 1024;
};

struct TBuildResult {
    TCheckReport Report;  // any error: no output was written
    int Questions = 0;
    int Attachments = 0;  // archive entries: a file used twice counts once
    std::string PasswordTail;
    bool Ok() const { return Report.Errors.empty(); }
};

// Checks the source first: its warnings come back in the report, and its errors stop the build.
// The output appears only when everything succeeded (written beside it, then renamed).
TBuildResult BuildTest(const TTestSource& source, const TBuildOptions& options);

struct TUnpackResult {
    std::vector<std::string> Errors;  // any error: the folder was not created
    std::vector<std::string> Warnings;
    int Questions = 0;
    int Attachments = 0;
    bool Ok() const { return Errors.empty(); }
};

// Writes FOLDER/test.json and the attachments under their entry names. FOLDER must be empty
// or not exist yet.
TUnpackResult UnpackTest(const TPath& testExe, const TPath& folder);

// Where the player is looked for when none is given: beside the tool, then where the shipped
// (i686) Windows build puts it when the tool is the one built for this system (build/native/bin).
std::vector<TPath> PlayerCandidates(const TPath& toolFolder);

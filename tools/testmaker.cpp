// testmaker: makes tests, and looks inside test executables and test archives.
//
//   testmaker build SRC -o OUT.exe [--player testplayer.exe]
//   testmaker unpack TEST.exe -o DIR
//   testmaker check SRC
//   testmaker list FILE [--password-tail T]
//   testmaker extract FILE -d DIR [--password-tail T] [NAME...]
//   testmaker question FILE.QST
//   testmaker inspect FILE [--password-tail T]
//   testmaker add ARCHIVE FILE... [--password-tail T] [--level N] [--comment C]
//   testmaker make-ole PICTURE -o OUT.ole
//   testmaker results Results.txt... -o TABLE.csv [--comma] [--caption C]...
//   testmaker import-gift BANK.txt -o SRC [--settings FILE.json] [--force]
//   testmaker import-moodle BANK.xml -o SRC [--settings FILE.json] [--force]
//   testmaker export-moodle SRC-or-TEST.exe -o BANK.xml
//   testmaker --version
//
// SRC is a folder with test.json and the attachments. FILE is a test executable (its payload
// is found by the trailer) or a bare archive.
// Output is UTF-8 JSON on stdout. The password tail defaults to the payload's.

#include <CLI/CLI.hpp>

#include <iomanip>
#include <iostream>
#include <set>
#include <tuple>

#include "app/Payload.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "tools/GiftImport.h"
#include "tools/MoodleExport.h"
#include "tools/MoodleImport.h"
#include "tools/OleBuilder.h"
#include "tools/PayloadJson.h"
#include "tools/ResultsTable.h"
#include "tools/TestBuilder.h"
#include "tools/TestJson.h"

#include "Version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

using nlohmann::json;

namespace {

// A fault of testmaker itself, apart from the codes the commands give (sysexits' EX_SOFTWARE).
constexpr int kExitUnhandledCommand = 70;

TPath PathFromUtf8(const std::string& text) { return std::filesystem::u8path(text); }

// The archive of FILE, as a file of its own: the payload's copy, or FILE itself.
class TOpenedTest {
public:
    explicit TOpenedTest(const TPath& file) {
        ReadPayload(file, payload_);
        hasPayload_ = !payload_.ArchiveFile.empty();
        archive_ = hasPayload_ ? payload_.ArchiveFile : file;
        std::error_code ec;
        archiveSize_ = std::filesystem::file_size(archive_, ec);
        if (ec) archiveSize_ = 0;
    }
    ~TOpenedTest() {
        if (hasPayload_) DeleteFileAt(payload_.ArchiveFile);
    }
    TOpenedTest(const TOpenedTest&) = delete;
    TOpenedTest& operator=(const TOpenedTest&) = delete;

    bool HasPayload() const { return hasPayload_; }
    const TPayloadInfo& Payload() const { return payload_; }
    const TPath& Archive() const { return archive_; }
    uint64_t ArchiveSize() const { return archiveSize_; }
    // Windows-1251, as the payload keeps it; `given` is too.
    std::string PasswordTail(const std::string* given) const { return given ? *given : payload_.PasswordTail; }

private:
    TPayloadInfo payload_;
    bool hasPayload_ = false;
    TPath archive_;
    uint64_t archiveSize_ = 0;
};

void Print(const json& value) { std::cout << value.dump(2) << "\n"; }

int List(const TPath& file, const std::string* tail) {
    TOpenedTest test(file);
    json out;
    out["payload"] = test.HasPayload() ? PayloadToJson(test.Payload()) : json(nullptr);
    out["ArchiveSize"] = test.ArchiveSize();
    out["comment"] = nullptr;
    out["error"] = nullptr;
    out["entries"] = json::array();
    TZipArchive zip;
    zip.SetArchiveFile(test.Archive());
    zip.SetPassword(kArchivePasswordText + test.PasswordTail(tail));
    try {
        zip.ReadDirectory();
        out["comment"] = Cp1251ToUtf8(zip.Comment());
        for (const TZipEntry& entry : zip.Entries()) out["entries"].push_back(EntryToJson(entry));
    } catch (const EZipError& e) {
        out["error"] = ErrorToJson(e);
    }
    Print(out);
    return out["error"].is_null() ? 0 : 2;
}

int Extract(const TPath& file, const TPath& folder, const std::string* tail, const std::vector<std::string>& wanted) {
    TOpenedTest test(file);
    json out = {{"extracted", json::array()}, {"skipped", json::array()}, {"error", nullptr}};
    TZipArchive zip;
    zip.SetArchiveFile(test.Archive());
    zip.SetPassword(kArchivePasswordText + test.PasswordTail(tail));
    zip.SetDestination(IncludeBackslash(folder));
    std::string reason;
    zip.OnWrongPassword = [&](const std::string&, std::string&) {
        reason = "wrong password";
        return false;
    };
    zip.OnSkipped = [&](const std::string&, const std::string& why) {
        if (reason.empty()) reason = why;
    };
    zip.OnMessage = [&](const std::string& text, const std::string&) { reason = text; };
    try {
        zip.ReadDirectory();
    } catch (const EZipError& e) {
        out["error"] = ErrorToJson(e);
        Print(out);
        return 2;
    }
    std::vector<std::string> names;
    if (wanted.empty()) {
        for (const TZipEntry& entry : zip.Entries()) names.push_back(entry.Name);
    } else {
        for (const std::string& name : wanted) names.push_back(Utf8ToCp1251(name));
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    bool all = true;
    for (const std::string& name : names) {
        reason.clear();
        int written = 0;
        try {
            zip.FileList = {name};
            written = zip.Extract();
        } catch (const EZipError& e) {
            reason = e.what();
        }
        if (written > 0) {
            out["extracted"].push_back(Cp1251ToUtf8(name));
        } else {
            all = false;
            if (reason.empty()) reason = "not in the archive";
            out["skipped"].push_back({{"name", Cp1251ToUtf8(name)}, {"reason", reason}});
        }
    }
    Print(out);
    return all ? 0 : 1;
}

int Question(const TPath& file) {
    TTestQuestion question;
    bool ok = LoadQuestionFile(file, question);
    Print({{"ok", ok}, {"question", QuestionToJson(question)}});
    return ok ? 0 : 1;
}

int Inspect(const TPath& file, const std::string* tail) {
    TOpenedTest test(file);
    json out;
    TZipTest zipTest;
    const TPath base = UniqueRandomFileName(GetTempFolder(), ".inspect");
    CreateFolder(base);
    zipTest.SetTempBase(base);
    bool open = zipTest.OpenTest(test.Archive(), test.PasswordTail(tail));
    out["open"] = open;
    out["LastError"] = zipTest.LastError;
    out["comment"] = Cp1251ToUtf8(zipTest.GetComment());
    out["QuestionFiles"] = json::array();
    for (const std::string& name : zipTest.QuestionFiles) out["QuestionFiles"].push_back(Cp1251ToUtf8(name));
    out["questions"] = json::array();
    if (open) {
        out["LastQuest"] = zipTest.ReadLastQuest();
        std::set<std::string> entries;
        for (const TZipEntry& entry : zipTest.Zip.Entries()) entries.insert(UpperCaseCp1251(entry.Name));
        for (int32_t n = 0; n < zipTest.QuestionCount(); ++n) {
            TTestQuestion question;
            zipTest.LoadQuestion(n, question);
            json q = {{"number", n},
                      {"file", Cp1251ToUtf8(zipTest.QuestionFiles[static_cast<size_t>(n)])},
                      {"LastError", zipTest.LastError},
                      {"question", QuestionToJson(question)}};
            json missing = json::array();
            auto check = [&](const std::string& attach) {
                if (attach != kNoAttachment && !entries.count(UpperCaseCp1251(attach))) {
                    missing.push_back(Cp1251ToUtf8(attach));
                }
            };
            check(question.AttachFile);
            for (const TTestAnswer& answer : question.Answers) check(answer.AttachFile);
            q["missingAttachments"] = missing;
            out["questions"].push_back(q);
        }
    } else {
        out["LastQuest"] = nullptr;
    }
    Print(out);
    RemoveEmptyFolder(base);
    return open ? 0 : 2;
}

int Add(const TPath& archive, const std::vector<std::string>& files, const std::string& tail, int level,
        const std::string* comment) {
    json out = {{"added", 0}, {"error", nullptr}};
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword(kArchivePasswordText + tail);
    zip.SetCompressionLevel(level);
    try {
        if (PathExists(archive)) zip.ReadDirectory();
        if (comment != nullptr) zip.SetComment(*comment);
        for (const std::string& file : files) zip.AddFiles.push_back(PathFromUtf8(file));
        out["added"] = zip.Add();
    } catch (const EZipError& e) {
        out["error"] = ErrorToJson(e);
    }
    Print(out);
    return out["error"].is_null() && out["added"] == files.size() ? 0 : 1;
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

TPath ToolFolder() {
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(length);
    return TPath(path).parent_path();
#else
    std::error_code ec;
    TPath self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? TPath() : self.parent_path();
#endif
}

class TProgressBar {
public:
    void Draw(int percent) {
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        std::cerr << "\rbuilding [" << std::string(static_cast<size_t>(filled), '#')
                  << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << std::setw(3) << percent << "%";
        open_ = percent < 100;
        if (!open_) std::cerr << "\n";
        std::cerr.flush();
    }
    // Messages after an unfinished bar start on a line of their own.
    void End() {
        if (open_) std::cerr << "\n";
        open_ = false;
    }

private:
    bool open_ = false;
};

void PrintMessages(const char* kind, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        const std::string line = std::string("testmaker: ") + kind + ": " + message + "\n";
#ifdef _WIN32
        // A console shows UTF-8 bytes in its own code page; redirected, the bytes stay UTF-8.
        if (StderrIsTerminal()) {
            int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
            DWORD written = 0;
            std::cerr.flush();
            if (WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), wide.data(), static_cast<DWORD>(n), &written, nullptr)) {
                continue;
            }
        }
#endif
        std::cerr << line;
    }
}

json Strings(const std::vector<std::string>& messages) { return messages; }

// UTF-8 text of a command-line option in place as Windows-1251; false, with the error printed,
// when a character does not fit.
bool OptionToCp1251(const char* option, std::string& text) {
    const std::string bad = FirstNonCp1251(text);
    if (!bad.empty()) {
        PrintMessages("error", {std::string(option) + ": character \"" + bad + "\" (" + CodePointName(bad) +
                                    ") cannot be stored: texts are in Windows-1251 (Cyrillic and Latin)"});
        return false;
    }
    text = Utf8ToCp1251(text);
    return true;
}

int Check(const TPath& folder) {
    TCheckReport report = CheckTestFolder(folder);
    Print({{"errors", Strings(report.Errors)}, {"warnings", Strings(report.Warnings)}});
    return report.Errors.empty() ? 0 : 1;
}

int Build(const TPath& folder, const TPath& output, const std::string* player) {
    TTestSource source;
    try {
        source = ReadTestSource(folder);
    } catch (const ESourceError& e) {
        PrintMessages("error", {e.what()});
        return 1;
    }
    // The source's own errors come before any complaint about the player.
    // Errors alone when they stop the build; "check" lists the warnings too.
    TCheckReport report = CheckTestSource(source);
    if (!report.Errors.empty()) {
        PrintMessages("error", report.Errors);
        return 1;
    }
    TBuildOptions options;
    options.Output = output;
    if (player != nullptr) {
        options.Player = PathFromUtf8(*player);
    } else {
        std::string looked;
        for (const TPath& candidate : PlayerCandidates(ToolFolder())) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(candidate, ec)) {
                options.Player = candidate;
                break;
            }
            looked += (looked.empty() ? "" : ", ") + candidate.u8string();
        }
        if (options.Player.empty()) {
            PrintMessages("error", {"no player found (looked for " + looked + "): give one with --player"});
            return 1;
        }
    }
    TProgressBar bar;
    if (StderrIsTerminal()) options.OnProgress = [&](int percent) { bar.Draw(percent); };
    TBuildResult result = BuildTest(source, options);
    bar.End();
    if (!result.Ok()) {
        PrintMessages("error", result.Report.Errors);
        return 1;
    }
    PrintMessages("warning", result.Report.Warnings);
    Print({{"output", std::filesystem::absolute(output).lexically_normal().u8string()},
           {"questions", result.Questions},
           {"attachments", result.Attachments},
           {"warnings", Strings(result.Report.Warnings)}});
    return 0;
}

int Unpack(const TPath& file, const TPath& folder) {
    TUnpackResult result = UnpackTest(file, folder);
    PrintMessages("warning", result.Warnings);
    if (!result.Ok()) {
        PrintMessages("error", result.Errors);
        return 1;
    }
    Print({{"output", std::filesystem::absolute(folder).lexically_normal().u8string()},
           {"questions", result.Questions},
           {"attachments", result.Attachments},
           {"warnings", Strings(result.Warnings)}});
    return 0;
}

int MakeOle(const TPath& picture, const TPath& output) {
    std::string bytes, error;
    if (!MakePictureObjectFile(picture, bytes, error)) {
        Print({{"error", error}});
        return 1;
    }
    TBinaryFile out;
    if (!out.Create(output) || !out.Write(bytes.data(), bytes.size())) {
        Print({{"error", "cannot write " + output.u8string()}});
        return 1;
    }
    Print({{"output", std::filesystem::absolute(output).lexically_normal().u8string()}, {"size", bytes.size()}});
    return 0;
}

int Results(const std::vector<std::string>& files, const TPath& output, bool comma,
            const std::vector<std::string>& captions) {
    TResultsTableOptions options;
    options.Separator = comma ? ',' : ';';
    options.KnownCaptions = captions;
    TResultsTableResult result = MakeResultsTable(files, output, options);
    PrintMessages("warning", result.Warnings);
    if (!result.Ok()) {
        PrintMessages("error", result.Errors);
        return 1;
    }
    Print({{"output", std::filesystem::absolute(output).lexically_normal().u8string()},
           {"records", result.Records},
           {"warnings", Strings(result.Warnings)}});
    return 0;
}

int ImportBank(const TBankImport& result, const TBankImportOptions& options, bool pictures) {
    json out = {{"output", result.Ok() ? json(std::filesystem::absolute(options.Output).lexically_normal().u8string())
                                       : json(nullptr)},
                {"questions", result.Ok() ? result.Source.Questions.size() : 0}};
    if (pictures) out["attachments"] = result.Ok() ? result.Files.size() : 0;
    out["skipped"] = result.Skipped;
    out["errors"] = Strings(result.Errors);
    out["warnings"] = Strings(result.Warnings);
    Print(out);
    return result.Ok() ? 0 : 1;
}

int ExportMoodle(const TPath& input, const TPath& output) {
    const TMoodleExport result = ExportMoodleFile(input, output);
    PrintMessages("warning", result.Warnings);
    if (!result.Ok()) {
        PrintMessages("error", result.Errors);
        return 1;
    }
    Print({{"output", std::filesystem::absolute(output).lexically_normal().u8string()},
           {"questions", result.Questions},
           {"pictures", result.Pictures},
           {"warnings", Strings(result.Warnings)}});
    return 0;
}

int Run(int argc, char** argv) {
    SetZipSignatures(kTestArchiveSignatures);
    CLI::App app{"testmaker: makes tests, and looks inside test executables and test archives"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("testmaker ") + TESTPLAYER_VERSION);
    std::string file, folder, tail;
    std::vector<std::string> names;
    bool standard = false;

    auto addCommon = [&](CLI::App* command) {
        command->add_option("FILE", file, "test executable or archive")->required();
        command->add_option("--password-tail", tail, "the variable part of the password");
        command->add_flag("--standard-signatures", standard, "the archive uses the standard ZIP signatures");
    };
    CLI::App* list = app.add_subcommand("list", "the payload settings and the archive's entries");
    addCommon(list);
    CLI::App* extract = app.add_subcommand("extract", "extract all or the named entries");
    addCommon(extract);
    extract->add_option("-d", folder, "destination folder")->required();
    extract->add_option("NAME", names, "entries to extract");
    CLI::App* question = app.add_subcommand("question", "parse a question file");
    question->add_option("FILE", file, "question file")->required();
    CLI::App* inspect = app.add_subcommand("inspect", "the test as the player sees it");
    addCommon(inspect);
    CLI::App* add = app.add_subcommand("add", "add files to an archive, replacing entries of the same name");
    std::vector<std::string> files;
    int level = 6;
    std::string comment;
    add->add_option("ARCHIVE", file, "archive to create or change")->required();
    add->add_option("FILE", files, "files to add")->required();
    add->add_option("--password-tail", tail, "the variable part of the password");
    add->add_option("--level", level, "compression level, 0 stores")->check(CLI::Range(0, 9));
    add->add_option("--comment", comment, "the archive comment: the test's name");
    add->add_flag("--standard-signatures", standard, "write the standard ZIP signatures");
    std::string output, player;
    CLI::App* build = app.add_subcommand("build", "make a test executable from a source folder");
    build->add_option("SRC", file, "folder with test.json and the attachments")->required();
    build->add_option("-o,--output", output, "the test executable to write")->required();
    build->add_option("--player", player, "the player to put the test into (default: testplayer.exe beside testmaker)");
    CLI::App* unpack = app.add_subcommand("unpack", "turn a test executable back into a source folder");
    unpack->add_option("TEST", file, "test executable")->required();
    unpack->add_option("-o,--output", output, "the folder to create")->required();
    CLI::App* check = app.add_subcommand("check", "report errors and warnings of a source folder");
    check->add_option("SRC", file, "folder with test.json and the attachments")->required();

    CLI::App* makeOle = app.add_subcommand("make-ole", "make an embedded object (.ole or .fme) showing a picture");
    makeOle->add_option("PICTURE", file, "a .bmp (24 or 32 bits) or .jpg picture")->required();
    makeOle->add_option("-o,--output", output, "the object file to write")->required();

    CLI::App* results = app.add_subcommand("results", "gather the player's results files into one CSV table");
    std::vector<std::string> resultFiles, captions;
    bool comma = false;
    results->add_option("FILE", resultFiles, "results files (Results.txt)")->required();
    results->add_option("-o,--output", output, "the CSV file to write")->required();
    results->add_flag("--comma", comma, "separate fields with commas instead of semicolons");
    results->add_option("--caption", captions, "a caption of the second field, to split lines where it holds \" - \"")
        ->allow_extra_args(false);
    CLI::App* importGift = app.add_subcommand("import-gift", "make a source folder from a Moodle GIFT question bank");
    std::string settings;
    bool force = false;
    importGift->add_option("BANK", file, "the GIFT file (UTF-8)")->required();
    importGift->add_option("-o,--output", output, "the source folder to write test.json into")->required();
    importGift->add_option("--settings", settings, "test.json's settings (no Questions) in a JSON file");
    importGift->add_flag("--force", force, "replace an existing test.json");
    CLI::App* importMoodle =
        app.add_subcommand("import-moodle", "make a source folder from a Moodle XML question bank, pictures included");
    importMoodle->add_option("BANK", file, "the Moodle XML file")->required();
    importMoodle->add_option("-o,--output", output, "the source folder to write test.json and the pictures into")
        ->required();
    importMoodle->add_option("--settings", settings, "test.json's settings (no Questions) in a JSON file");
    importMoodle->add_flag("--force", force, "replace an existing test.json and pictures");
    CLI::App* exportMoodle = app.add_subcommand("export-moodle", "write a test's questions as a Moodle XML bank");
    exportMoodle->add_option("SRC", file, "a source folder or a test executable")->required();
    exportMoodle->add_option("-o,--output", output, "the Moodle XML file to write")->required();

    CLI11_PARSE(app, argc, argv);
    if (standard) SetZipSignatures(kStandardZipSignatures);
    // Text options arrive as UTF-8 (from the console's wide arguments on Windows) and are used
    // as the archive and the results files hold texts.
    for (auto [command, option, value] : {std::tuple{list, "--password-tail", &tail},
                                          {extract, "--password-tail", &tail},
                                          {inspect, "--password-tail", &tail},
                                          {add, "--password-tail", &tail},
                                          {add, "--comment", &comment}}) {
        if (command->parsed() && !OptionToCp1251(option, *value)) return 1;
    }
    if (results->parsed()) {
        for (std::string& caption : captions) {
            if (!OptionToCp1251("--caption", caption)) return 1;
        }
    }
    const std::string* givenTail = nullptr;
    for (CLI::App* command : {list, extract, inspect}) {
        if (command->parsed() && command->count("--password-tail") > 0) givenTail = &tail;
    }
    const TPath path = PathFromUtf8(file);
    if (list->parsed()) return List(path, givenTail);
    if (extract->parsed()) return Extract(path, PathFromUtf8(folder), givenTail, names);
    if (question->parsed()) return Question(path);
    if (add->parsed()) return Add(path, files, tail, level, add->count("--comment") > 0 ? &comment : nullptr);
    if (build->parsed()) return Build(path, PathFromUtf8(output), build->count("--player") > 0 ? &player : nullptr);
    if (unpack->parsed()) return Unpack(path, PathFromUtf8(output));
    if (check->parsed()) return Check(path);
    if (makeOle->parsed()) return MakeOle(path, PathFromUtf8(output));
    if (results->parsed()) return Results(resultFiles, PathFromUtf8(output), comma, captions);
    const TBankImportOptions bankOptions{path, PathFromUtf8(output), PathFromUtf8(settings), force};
    if (importGift->parsed()) return ImportBank(ImportGiftFile(bankOptions), bankOptions, false);
    if (importMoodle->parsed()) return ImportBank(ImportMoodleFile(bankOptions), bankOptions, true);
    if (exportMoodle->parsed()) return ExportMoodle(path, PathFromUtf8(output));
    if (inspect->parsed()) return Inspect(path, givenTail);
    // CLI11 has refused any command it does not know, so this is a command added above and
    // forgotten here: fail rather than run another one.
    const std::vector<CLI::App*> parsed = app.get_subcommands();
    PrintMessages("error", {"the command \"" + (parsed.empty() ? std::string() : parsed.front()->get_name()) +
                                "\" is not handled"});
    return kExitUnhandledCommand;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** wargv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, &arg[0], n, nullptr, nullptr);
        args.push_back(arg);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    return Run(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif

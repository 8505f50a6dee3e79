// Many players finishing at the same moment: starts WRITERS copies of itself that each append
// RECORDS results records to FILE through the player's own append, all released by one start
// signal. The person of each record names its writer and number ("writer 3 record 17"), so a
// check of the file afterwards can tell whether every record is there once and whole.
//
//   results_stress WRITERS RECORDS FILE
//
// Prints one line: writers, records written, writers that failed; exits 0 only when every
// writer wrote every record.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/Codepage.h"
#include "windows/ResultsFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

constexpr char kChildFlag[] = "--writer";

// The record a writer appends: its person names the writer and the record; the rest is a
// record as the player writes it, Cyrillic included.
std::string StressRecord(int writer, int record) {
    TResultsRecord r;
    r.TestName = Utf8ToCp1251("Проверка одновременной записи");
    r.FIO = "writer " + std::to_string(writer) + " record " + std::to_string(record);
    r.OtherInfoCaption = Utf8ToCp1251("Класс");
    r.OtherInfo = Utf8ToCp1251("9А");
    r.TestSeconds = 75;
    r.Mark = 5;
    return FormatResultsRecord(r);
}

int RunWriter(int writer, int records, const TPath& file) {
    int failed = 0;
    for (int record = 1; record <= records; ++record) {
        const TAppendResult result = AppendResultsRecord(file, StressRecord(writer, record));
        if (!result.Ok) {
            std::fprintf(stderr, "writer %d record %d: %s\n", writer, record,
                         Cp1251ToUtf8(result.Message).c_str());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

bool ParseCount(const char* text, int& value) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 1 || n > 100000) return false;
    value = static_cast<int>(n);
    return true;
}

#ifdef _WIN32

std::wstring EventName(DWORD parent) { return L"Local\\results_stress_" + std::to_wstring(parent); }

std::wstring ModuleFile() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The writer's side of the start signal: wait until the parent releases everyone.
bool WaitForStart(const char* signal) {
    const std::wstring name = EventName(static_cast<DWORD>(std::strtoul(signal, nullptr, 10)));
    HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (start == nullptr) return false;
    const bool ok = WaitForSingleObject(start, 60000) == WAIT_OBJECT_0;
    CloseHandle(start);
    return ok;
}

int RunAll(int writers, int records, const std::string& file) {
    const DWORD self = GetCurrentProcessId();
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, EventName(self).c_str());
    if (start == nullptr) {
        std::fprintf(stderr, "results_stress: cannot create the start signal\n");
        return 2;
    }
    const std::wstring exe = ModuleFile();
    std::vector<HANDLE> children;
    for (int writer = 1; writer <= writers; ++writer) {
        std::wstring command = Quoted(exe) + L" --writer " + std::to_wstring(writer) + L" " + std::to_wstring(records) +
                               L" " + Quoted(std::wstring(file.begin(), file.end())) + L" " + std::to_wstring(self);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            std::fprintf(stderr, "results_stress: cannot start writer %d\n", writer);
            children.push_back(nullptr);
            continue;
        }
        CloseHandle(process.hThread);
        children.push_back(process.hProcess);
    }
    SetEvent(start);
    int failed = 0;
    for (HANDLE child : children) {
        DWORD code = 1;
        if (child != nullptr) {
            WaitForSingleObject(child, INFINITE);
            GetExitCodeProcess(child, &code);
            CloseHandle(child);
        }
        if (code != 0) ++failed;
    }
    CloseHandle(start);
    return failed;
}

#else

// The writer's side of the start signal: the parent closes its end of a pipe once every writer
// is there, and all reads return at once.
bool WaitForStart(const char* signal) {
    const int fd = std::atoi(signal);
    char byte;
    while (read(fd, &byte, 1) < 0) {
        if (errno != EINTR) return false;
    }
    close(fd);
    return true;
}

int RunAll(int writers, int records, const std::string& file) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        std::perror("results_stress: pipe");
        return 2;
    }
    constexpr int kSignalFd = 3;
    std::vector<pid_t> children;
    for (int writer = 1; writer <= writers; ++writer) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // dup2 leaves the copy open across exec; the write end closes there by itself.
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], kSignalFd);
        std::vector<std::string> args = {"/proc/self/exe", kChildFlag, std::to_string(writer), std::to_string(records),
                                         file, std::to_string(kSignalFd)};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (pid < 0) std::fprintf(stderr, "results_stress: cannot start writer %d\n", writer);
        children.push_back(pid);
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int failed = 0;
    for (pid_t child : children) {
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++failed;
        }
    }
    return failed;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    int writers = 0, records = 0;
    if (argc == 6 && std::string(argv[1]) == kChildFlag) {
        int writer = 0;
        if (!ParseCount(argv[2], writer) || !ParseCount(argv[3], records)) return 2;
        if (!WaitForStart(argv[5])) {
            std::fprintf(stderr, "writer %d: no start signal\n", writer);
            return 1;
        }
        return RunWriter(writer, records, TPath(argv[4]));
    }
    if (argc != 4 || !ParseCount(argv[1], writers) || !ParseCount(argv[2], records)) {
        std::fprintf(stderr, "usage: results_stress WRITERS RECORDS FILE\n");
        return 2;
    }
    const int failed = RunAll(writers, records, argv[3]);
    std::printf("results_stress: %d writers x %d records into %s: %d writers failed\n", writers, records, argv[3],
                failed);
    return failed == 0 ? 0 : 1;
}

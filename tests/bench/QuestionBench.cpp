// A question with a large photograph attached, as the player shows it: the question read from
// the test archive with its attachment (decrypted, inflated, written to the work folder), its
// text put up, the attachment viewer built for the picture and placed, and the viewer painted.
// Measured per scale mode; the main window is made once.
//
//   scripts/wine-run build/win64/bin/question_bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Payload.h"
#include "archive/ZipArchive.h"
#include "archive/ZipTest.h"
#include "platform/FileSystem.h"
#include "platform/Win32Util.h"
#include "run/MainFormUnit.h"
#include "tests/win/MainFormAccess.h"
#include "tests/bench/PhotoBench.h"
#include "tools/TestBuilder.h"
#include "windows/QuestAttachFormUnit.h"

namespace {

bool WriteFile(const TPath& file, const std::string& bytes) {
    TBinaryFile out;
    return out.Create(file) && out.Write(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const TPath folder = TPath(temp) / L"question_bench";
    CreateDirectoryW(folder.c_str(), nullptr);

    const int width = photobench::kWidth, height = photobench::kHeight;
    const std::string jpeg = photobench::PhotoJpeg();
    if (!WriteFile(folder / L"photo.jpg", jpeg)) {
        std::printf("cannot write the picture\n");
        return 1;
    }

    // One question per scale mode, built into a test the way testmaker builds one.
    SetZipSignatures(kTestArchiveSignatures);
    TTestSource source;
    source.Folder = folder;
    source.Name = "bench";
    for (int mode = 0; mode < 3; ++mode) {
        TSourceQuestion question;
        question.Text = "Что изображено на фотографии?";
        question.Attach.File = "photo.jpg";
        question.Attach.ScaleMode = mode;
        question.Answers.resize(2);
        question.Answers[0].Weight = 1;
        question.Answers[0].Text = "Поле";
        question.Answers[1].Text = "Море";
        source.Questions.push_back(question);
    }
    TBuildOptions options;
    options.Player = TPath(ModulePath());
    options.Output = folder / L"bench.exe";
    TBuildResult built = BuildTest(source, options);
    if (!built.Ok()) {
        std::printf("build failed: %s\n", built.Report.Errors.front().c_str());
        return 1;
    }
    TPayloadInfo info;
    ReadPayload(options.Output, info);
    std::printf("JPEG %dx%d, %.1f MB, in a test archive of %.1f MB\n", width, height,
                static_cast<double>(jpeg.size()) / 1e6, static_cast<double>(std::filesystem::file_size(info.ArchiveFile)) / 1e6);

    int status = 0;
    {
        TOwned<TfMainForTest> main(info);
        if (!main.Create() || !main.Test->OpenTest(info.ArchiveFile, info.PasswordTail)) {
            std::printf("cannot open the test\n");
            return 1;
        }
        main.Test->ExtractAttachments = true;
        ShowWindow(main.Handle(), SW_SHOWNA);
        main.pnlQuestion.Show();
        ProcessMessages();
        HWND viewer = main.QuestAttach->Handle();
        const char* modes[] = {"natural size", "stretched", "fitted"};
        for (int mode = 0; mode < 3; ++mode) {
            std::vector<double> loads, shows, totals;
            for (int round = 0; round < rounds; ++round) {
                TTestQuestion question;
                const double start = photobench::Now();
                main.Test->LoadQuestion(mode, question);
                const double loaded = photobench::Now();
                if (question.AttachKind != akPicture) {
                    std::printf("the question came without its picture\n");
                    return 1;
                }
                main.ShowQuestionText(question.Text);
                main.ShowQuestionAttach(question.AttachKind, question.AttachPath, question.Attach);
                SetWindowPos(viewer, nullptr, 10, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
                RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                GdiFlush();
                const double shown = photobench::Now();
                loads.push_back(loaded - start);
                shows.push_back(shown - loaded);
                totals.push_back(shown - start);
                ShowWindow(viewer, SW_HIDE);
                main.AttachPending = false;
                ProcessMessages();
            }
            std::printf("%-12s median: read %.1f ms, viewer built and painted %.1f ms, total %.1f ms (max %.1f)\n",
                        modes[mode], photobench::Median(loads), photobench::Median(shows), photobench::Median(totals),
                        *std::max_element(totals.begin(), totals.end()));
            if (photobench::Median(totals) > 150) status = 2;
        }
    }
    DeleteFileAt(info.ArchiveFile);
    DeleteFileW((folder / L"photo.jpg").c_str());
    DeleteFileW(options.Output.c_str());
    RemoveDirectoryW(folder.c_str());
    return status;
}

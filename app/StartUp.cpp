#include "app/StartUp.h"

#include <memory>

#include "app/SplashFormUnit.h"
#include "archive/ZipArchive.h"
#include "model/Random.h"
#include "platform/Win32Util.h"
#include "run/MainFormUnit.h"

TPayloadInfo PayloadInfo;

namespace {

// The archive copy goes away however the program ends.
class TArchiveCopyGuard {
public:
    explicit TArchiveCopyGuard(const TPayloadInfo& info) : info_(info) {}
    ~TArchiveCopyGuard() {
        if (!info_.ArchiveFile.empty()) DeleteFileAt(info_.ArchiveFile);
    }
    TArchiveCopyGuard(const TArchiveCopyGuard&) = delete;
    TArchiveCopyGuard& operator=(const TArchiveCopyGuard&) = delete;

private:
    const TPayloadInfo& info_;
};

}  // namespace

int RunPlayer() {
    RandomizeFromClock();
    SetApplicationTitle(L"Тестирование");
    SetZipSignatures(kTestArchiveSignatures);

    auto splash = std::make_unique<TOwned<TfSplash>>();
    splash->Create();

    TArchiveCopyGuard guard(PayloadInfo);
    ReadPayload(TPath(ModulePath()), PayloadInfo);

    TOwned<TfMain> main(PayloadInfo);
    main.Create();
    ShowWindow(main.Handle(), SW_SHOWMAXIMIZED);
    UpdateWindow(main.Handle());

    splash->Hide();
    splash.reset();

    main.RunTestLoop();
    return 0;
}

// The question attachment viewer: its window inside the main window, the frame built for each
// attachment, the placement under the question panel, pictures and objects fitted into their
// views, and an object shown in place of the question text.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include <atomic>
#include <thread>

#include "answers/AnswersFormUnit.h"
#include "app/Payload.h"
#include "archive/ZipArchive.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "run/MainFormUnit.h"
#include "platform/Dpi.h"
#include "tests/win/DpiFit.h"
#include "tests/win/MainFormAccess.h"
#include "tests/win/AttachTestUtil.h"
#include "tests/win/RunWatch.h"
#include "model/OleStream.h"
#include "tools/OleBuilder.h"
#include "tools/TestBuilder.h"
#include "windows/QuestAttachFormUnit.h"

using namespace attachtest;

namespace {

int Nearest(double value) { return static_cast<int>(std::nearbyint(value)); }

void Click(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

TAttachOptions Options(uint8_t scaleMode = 0, uint16_t width = 0, uint16_t height = 0) {
    TAttachOptions options;
    options.ScaleMode = scaleMode;
    options.Width = width;
    options.Height = height;
    return options;
}

// The main window with a question on screen (its text only, so the question panel keeps its
// minimum height).
class QuestAttachMain : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(main.Create());
        main.ShowQuestionText(Utf8ToCp1251("Что показано на рисунке?"));
        viewer = main.QuestAttach->Handle();
    }

    RECT Question() const { return RectInParent(main.pnlQuestion.Handle()); }
    SIZE Main() const { return ClientSizeOf(main.Handle()); }
    TfrQuestAttach& Frame() const { return *main.QuestAttach->Frame(); }
    // Caption, frame and status bar: what the window adds to its content's height.
    int Extra() const { return main.QuestAttach->NonClientHeight() + main.QuestAttach->StatusHeight(); }
    // Height left for the viewer under the question panel, less what the window adds.
    int AvailHeight(int extra) const { return Main().cy - Question().bottom - TfMain::kInfoHeight - 20 - extra; }

    TPayloadInfo settings;
    TOwned<TfMainForTest> main{settings};
    HWND viewer = nullptr;
    TScratchFolder scratch;
};

}  // namespace

TEST_F(QuestAttachMain, ViewerIsAResizableChildThatCannotBeClosed) {
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(GetParent(viewer), main.Handle());
    EXPECT_FALSE(IsWindowVisible(viewer));
    EXPECT_EQ(WindowText(viewer), L"Вложение вопроса");
    const LONG style = GetWindowLongW(viewer, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(main.QuestAttach->AllowResize);
    wchar_t status[128] = {};
    // A simple status bar answers for its one text under index 0.
    SendMessageW(main.QuestAttach->stbMain, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, L"Размер окна можно менять мышью");

    const UINT close = GetMenuState(GetSystemMenu(viewer, FALSE), SC_CLOSE, MF_BYCOMMAND);
    ASSERT_NE(close, static_cast<UINT>(-1));
    EXPECT_TRUE(close & MF_GRAYED);

    ShowWindow(main.Handle(), SW_SHOW);
    ShowWindow(viewer, SW_SHOW);
    SendMessageW(viewer, WM_CLOSE, 0, 0);
    SendMessageW(viewer, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(viewer));
    EXPECT_TRUE(IsWindowVisible(viewer));
}

TEST_F(QuestAttachMain, EachAttachmentReplacesTheFrame) {
    const TPath first = WriteBmp(scratch, L"a.bmp", 40, 30);
    const TPath second = WriteBmp(scratch, L"b.bmp", 30, 40);
    main.ShowQuestionAttach(akPicture, first, Options());
    HWND before = Frame().Handle();
    EXPECT_TRUE(main.AttachPending);
    main.AttachPending = false;
    main.ShowQuestionAttach(akPicture, second, Options());
    main.ShowQuestionAttach(akSound, scratch / L"c.wav", Options());

    EXPECT_FALSE(IsWindow(before));
    const std::vector<HWND> frames = ChildrenOf(viewer, L"TfrQuestAttach");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], Frame().Handle());
    EXPECT_EQ(WindowText(frames[0]), L"QUEST_ATTACH_FRAME");
    EXPECT_EQ(Frame().Kind, akSound);
    EXPECT_TRUE(main.AttachPending);
    // Only the sound panel was built.
    EXPECT_NE(Frame().pnlSound.Handle(), nullptr);
    EXPECT_EQ(Frame().pnlPicture.Handle(), nullptr);
    EXPECT_EQ(Frame().pnlVideo.Handle(), nullptr);
    EXPECT_EQ(Frame().pnlOle.Handle(), nullptr);
}

TEST_F(QuestAttachMain, SoundWindowIsAsWideAsTheQuestionAndKeepsItsSize) {
    main.ShowQuestionAttach(akSound, scratch / L"missing.wav", Options());
    const RECT rc = RectInParent(viewer);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, Question().bottom + 10);
    EXPECT_EQ(WidthOf(rc), WidthOf(Question()));
    EXPECT_EQ(ClientSizeOf(viewer).cy, 34);
    EXPECT_FALSE(GetWindowLongW(main.QuestAttach->stbMain, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(HeightOf(RectInParent(Frame().Handle())), 34);
    EXPECT_FALSE(main.QuestAttach->AllowResize);

    EXPECT_EQ(WindowText(Frame().lbSoundHint), L"Звуковой фрагмент");
    EXPECT_EQ(WindowText(Frame().btnPlaySound), L"Проиграть");
    EXPECT_EQ(WindowText(Frame().btnStopSound), L"Остановить");
    EXPECT_TRUE(IsWindowEnabled(Frame().btnPlaySound));
    EXPECT_FALSE(IsWindowEnabled(Frame().btnStopSound));

    // Neither the program's own size changes nor maximising get through.
    ShowWindow(main.Handle(), SW_SHOW);
    ShowWindow(viewer, SW_SHOW);
    SetWindowPos(viewer, nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageW(viewer, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(IsZoomed(viewer));
    const RECT after = RectInParent(viewer);
    EXPECT_EQ(WidthOf(after), WidthOf(rc));
    EXPECT_EQ(HeightOf(after), HeightOf(rc));
    // A move keeps working: the slides need it.
    SetWindowPos(viewer, nullptr, 10, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(RectInParent(viewer).left, 10);
}

TEST_F(QuestAttachMain, ViewerTakesThePictureProportions) {
    struct {
        const wchar_t* name;
        int width, height;
        bool fullWidth;
    } const cases[] = {{L"wide.bmp", 800, 200, true}, {L"tall.bmp", 100, 600, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fullWidth ? "wide" : "tall");
        main.ShowQuestionAttach(akPicture, WriteBmp(scratch, c.name, c.width, c.height), Options(2));
        EXPECT_TRUE(GetWindowLongW(main.QuestAttach->stbMain, GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(main.QuestAttach->AllowResize);
        const int extra = Extra();
        const int availWidth = Nearest(Main().cx * 0.5);
        const int availHeight = AvailHeight(extra);
        const RECT rc = RectInParent(viewer);
        EXPECT_EQ(rc.left, 0);
        EXPECT_EQ(rc.top, Question().bottom + 10);
        if (c.fullWidth) {
            EXPECT_EQ(WidthOf(rc), availWidth);
            EXPECT_EQ(HeightOf(rc), Nearest(static_cast<double>(c.height) * availWidth / c.width) + extra);
        } else {
            EXPECT_EQ(WidthOf(rc), Nearest(static_cast<double>(c.width) * availHeight / c.height));
            EXPECT_EQ(HeightOf(rc), availHeight + extra);
        }
        // The frame fills the client area above the status bar.
        const SIZE client = ClientSizeOf(viewer);
        const RECT frame = RectInParent(Frame().Handle());
        EXPECT_EQ(WidthOf(frame), client.cx);
        EXPECT_EQ(HeightOf(frame), client.cy - main.QuestAttach->StatusHeight());
    }
}

TEST_F(QuestAttachMain, LargePictureAtNaturalSizeScrolls) {
    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"big.bmp", 800, 600), Options(0));
    TfrQuestAttach& frame = Frame();
    EXPECT_FALSE(frame.imgPicture.Stretch);
    EXPECT_EQ(frame.PreferredWidth, 800);
    EXPECT_EQ(frame.PreferredHeight, 600);
    const SIZE view = ClientSizeOf(frame.pnlPictureView.Handle());
    ASSERT_LT(view.cx, 800);
    ASSERT_LT(view.cy, 600);
    // Both bars take their room from the view.
    const SIZE panel = ClientSizeOf(frame.pnlPicture.Handle());
    EXPECT_EQ(view.cx, panel.cx - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(view.cy, panel.cy - GetSystemMetrics(SM_CYHSCROLL));
    EXPECT_TRUE(GetWindowLongW(frame.scbPictureViewH, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(frame.scbPictureViewV, GWL_STYLE) & WS_VISIBLE);

    RECT image = RectInParent(frame.imgPicture.Handle());
    EXPECT_EQ(image.left, (view.cx - 800) / 2);
    EXPECT_EQ(image.top, (view.cy - 600) / 2);
    EXPECT_EQ(WidthOf(image), 800);
    EXPECT_EQ(HeightOf(image), 600);
    EXPECT_EQ(GetScrollPos(frame.scbPictureViewH, SB_CTL), -Nearest(image.left / 800.0 * 100));
    EXPECT_EQ(GetScrollPos(frame.scbPictureViewV, SB_CTL), -Nearest(image.top / 600.0 * 100));
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(frame.scbPictureViewH, SB_CTL, &info);
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 100);
    EXPECT_EQ(static_cast<int>(info.nPage), std::min(Nearest((view.cx - 4) / 800.0 * 100), 100));

    // Bars at 0 show the picture's left and top edges; at the end, its right part.
    SendMessageW(frame.pnlPicture.Handle(), WM_HSCROLL, SB_TOP, reinterpret_cast<LPARAM>(frame.scbPictureViewH));
    SendMessageW(frame.pnlPicture.Handle(), WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(frame.scbPictureViewV));
    image = RectInParent(frame.imgPicture.Handle());
    EXPECT_EQ(image.left, 0);
    EXPECT_EQ(image.top, 0);
    EXPECT_EQ(GetScrollPos(frame.scbPictureViewH, SB_CTL), 0);

    SendMessageW(frame.pnlPicture.Handle(), WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(frame.scbPictureViewH));
    EXPECT_EQ(RectInParent(frame.imgPicture.Handle()).left, -8);
    SendMessageW(frame.pnlPicture.Handle(), WM_HSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(frame.scbPictureViewH));
    const int last = 100 - static_cast<int>(info.nPage) + 1;
    EXPECT_EQ(GetScrollPos(frame.scbPictureViewH, SB_CTL), last);
    EXPECT_EQ(RectInParent(frame.imgPicture.Handle()).left, -Nearest(last / 100.0 * 800));
}

TEST_F(QuestAttachMain, StretchedAndFittedPicturesFollowTheView) {
    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"s.bmp", 800, 200), Options(1));
    TfrQuestAttach* frame = &Frame();
    EXPECT_TRUE(frame->imgPicture.Stretch);
    SIZE view = ClientSizeOf(frame->pnlPictureView.Handle());
    RECT image = RectInParent(frame->imgPicture.Handle());
    EXPECT_EQ(image.left, 2);
    EXPECT_EQ(image.top, 2);
    EXPECT_EQ(WidthOf(image), view.cx - 4);
    EXPECT_EQ(HeightOf(image), view.cy - 4);
    EXPECT_FALSE(GetWindowLongW(frame->scbPictureViewH, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongW(frame->scbPictureViewV, GWL_STYLE) & WS_VISIBLE);

    // The person makes the window larger: the picture fills the new view.
    const RECT rc = RectInParent(viewer);
    SetWindowPos(viewer, nullptr, 0, 0, WidthOf(rc) - 100, HeightOf(rc) + 50, SWP_NOMOVE | SWP_NOZORDER);
    view = ClientSizeOf(frame->pnlPictureView.Handle());
    image = RectInParent(frame->imgPicture.Handle());
    EXPECT_EQ(WidthOf(image), view.cx - 4);
    EXPECT_EQ(HeightOf(image), view.cy - 4);

    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"f.bmp", 800, 200), Options(2));
    frame = &Frame();
    SetWindowPos(viewer, nullptr, 0, 0, 404, 304, SWP_NOMOVE | SWP_NOZORDER);
    view = ClientSizeOf(frame->pnlPictureView.Handle());
    const int inner = view.cx - 4, innerHeight = view.cy - 4;
    image = RectInParent(frame->imgPicture.Handle());
    EXPECT_EQ(image.left, 2);
    EXPECT_EQ(WidthOf(image), inner);
    EXPECT_EQ(HeightOf(image), 200 * inner / 800);
    EXPECT_EQ(image.top, (innerHeight - 200 * inner / 800) / 2);
    EXPECT_FALSE(GetWindowLongW(frame->scbPictureViewH, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(QuestAttachMain, MaximisedViewerStartsOverForTheNextQuestion) {
    ShowWindow(main.Handle(), SW_SHOW);
    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"a.bmp", 800, 200), Options(1));
    const RECT placed = RectInParent(viewer);
    ShowWindow(viewer, SW_SHOWNA);
    SendMessageW(viewer, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(IsZoomed(viewer));
    // The picture follows the larger view.
    const SIZE view = ClientSizeOf(Frame().pnlPictureView.Handle());
    EXPECT_GT(view.cx, WidthOf(placed));
    EXPECT_EQ(WidthOf(RectInParent(Frame().imgPicture.Handle())), view.cx - 4);

    main.SlideQuestionOut();
    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"b.bmp", 800, 200), Options(1));
    EXPECT_FALSE(IsZoomed(viewer));
    const RECT rc = RectInParent(viewer);
    EXPECT_EQ(rc.left, placed.left);
    EXPECT_EQ(rc.top, placed.top);
    EXPECT_EQ(WidthOf(rc), WidthOf(placed));
    EXPECT_EQ(HeightOf(rc), HeightOf(placed));
}

TEST_F(QuestAttachMain, PictureThatCannotBeShownLeavesAnEmptyView) {
    ASSERT_TRUE(WriteWholeFile(scratch / L"broken.bmp", "BM this is no picture"));
    const TPath files[] = {scratch / L"broken.bmp", scratch / L"missing.jpg"};
    for (const TPath& file : files) {
        main.AttachPending = false;
        main.Question.AttachFile = PathToCp1251(file.filename());
        main.ShowQuestionAttach(akPicture, file, Options(0));
        EXPECT_NE(main.LogText().find(Utf8ToCp1251("Не удалось показать файл \"") + main.Question.AttachFile + "\""),
                  std::string::npos);
        EXPECT_TRUE(main.AttachPending);
        EXPECT_TRUE(Frame().imgPicture.Picture.Empty());
        EXPECT_FALSE(GetWindowLongW(Frame().imgPicture.Handle(), GWL_STYLE) & WS_VISIBLE);
        // Laid out as 200 x 100.
        const int extra = Extra();
        const RECT rc = RectInParent(viewer);
        const int availWidth = Nearest(Main().cx * 0.5);
        EXPECT_EQ(WidthOf(rc), availWidth);
        EXPECT_EQ(HeightOf(rc), Nearest(100.0 * availWidth / 200) + extra);
    }
}

TEST_F(QuestAttachMain, ObjectIsFittedIntoItsView) {
    main.ShowQuestionAttach(akFme, scratch / L"missing.fme", Options(0, 100, 400));
    ASSERT_NE(Frame().ocMain.Handle(), nullptr);
    EXPECT_TRUE(Frame().ocMain.Object.Empty());
    main.ShowQuestionAttach(akFme, WriteObject(scratch, L"tall.fme", 10, 40), Options(0, 100, 400));
    TfrQuestAttach* frame = &Frame();
    EXPECT_FALSE(frame->ocMain.Object.Empty());
    EXPECT_FALSE(IsWindowEnabled(frame->ocMain.Handle()));
    SetWindowPos(viewer, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER);
    SIZE view = ClientSizeOf(frame->pnlOleView.Handle());
    RECT object = RectInParent(frame->ocMain.Handle());
    EXPECT_TRUE(GetWindowLongW(frame->ocMain.Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(object.top, 2);
    EXPECT_EQ(HeightOf(object), view.cy - 4);
    EXPECT_EQ(WidthOf(object), 100 * (view.cy - 4) / 400);
    EXPECT_EQ(object.left, (view.cx - 4 - WidthOf(object)) / 2);

    // An object that states no size is shown as 200 x 100.
    ASSERT_TRUE(WriteWholeFile(scratch / L"wrong.ole", "NOT A CONTAINER STREAM"));
    main.ShowQuestionAttach(akOle, scratch / L"wrong.ole", Options(0, 0, 0));
    frame = &Frame();
    EXPECT_TRUE(frame->ocMain.Object.Empty());
    SetWindowPos(viewer, nullptr, 0, 0, 600, 600, SWP_NOMOVE | SWP_NOZORDER);
    view = ClientSizeOf(frame->pnlOleView.Handle());
    object = RectInParent(frame->ocMain.Handle());
    EXPECT_EQ(object.left, 2);
    EXPECT_EQ(WidthOf(object), view.cx - 4);
    EXPECT_EQ(HeightOf(object), 100 * (view.cx - 4) / 200);
}

TEST_F(QuestAttachMain, ObjectInPlaceOfTheQuestionText) {
    ASSERT_TRUE(WriteWholeFile(scratch / L"wrong.ole", "NOT A CONTAINER STREAM"));
    TAttachOptions options = Options(0, 400, 100);
    options.ReplaceText = true;
    for (const TPath& file : {scratch / L"missing.ole", scratch / L"wrong.ole"}) {
        main.ShowQuestionText("text");
        main.ShowQuestionAttach(akOle, file, options);
        EXPECT_FALSE(GetWindowLongW(main.lbQuestion, GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(GetWindowLongW(main.ocQuestion.Handle(), GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(main.ocQuestion.Object.Empty());
        const RECT object = RectInParent(main.ocQuestion.Handle());
        const int margin = 16;
        EXPECT_EQ(object.left, margin);
        EXPECT_EQ(object.top, margin);
        EXPECT_EQ(WidthOf(object), WidthOf(Question()) - 2 * margin);
        EXPECT_EQ(HeightOf(object), 100 * (WidthOf(Question()) - 2 * margin) / 400);
        EXPECT_EQ(HeightOf(Question()), HeightOf(object) + 32);
        EXPECT_FALSE(main.AttachPending);
        EXPECT_EQ(main.QuestAttach->Frame(), nullptr);
    }

    // An object that loads is drawn over the whole container.
    main.ShowQuestionText("text");
    main.ShowQuestionAttach(akOle, WriteObject(scratch, L"good.ole", 40, 10), options);
    EXPECT_FALSE(main.ocQuestion.Object.Empty());
    EXPECT_EQ(HeightOf(Question()), HeightOf(RectInParent(main.ocQuestion.Handle())) + 32);
    const SIZE size = ClientSizeOf(main.ocQuestion.Handle());
    EXPECT_EQ(PrintedPixel(main.ocQuestion.Handle(), size.cx / 2, size.cy / 2), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(PrintedPixel(main.ocQuestion.Handle(), size.cx - 1, size.cy - 1), RGB(0x80, 0x80, 0x80));

    // The next question's text takes the panel back.
    main.ShowQuestionText("next");
    EXPECT_FALSE(GetWindowLongW(main.ocQuestion.Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(main.lbQuestion, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(HeightOf(Question()), main.QuestionPanelMinHeight);

    // Without ReplaceText the object goes to the viewer.
    options.ReplaceText = false;
    main.ShowQuestionAttach(akOle, scratch / L"missing.ole", options);
    EXPECT_TRUE(main.AttachPending);
    EXPECT_TRUE(GetWindowLongW(main.lbQuestion, GWL_STYLE) & WS_VISIBLE);
    ASSERT_NE(main.QuestAttach->Frame(), nullptr);
    EXPECT_NE(Frame().pnlOle.Handle(), nullptr);
}

TEST_F(QuestAttachMain, ViewerSlidesInUnderTheQuestionAndOut) {
    ShowWindow(main.Handle(), SW_SHOW);
    main.ShowQuestionAttach(akPicture, WriteBmp(scratch, L"p.bmp", 40, 30), Options(0));
    const int top = RectInParent(viewer).top;
    main.SlideQuestionIn();
    EXPECT_TRUE(IsWindowVisible(viewer));
    EXPECT_EQ(RectInParent(viewer).left, 10);
    EXPECT_EQ(RectInParent(viewer).top, top);
    EXPECT_TRUE(main.AttachPending);

    main.SlideQuestionOut();
    EXPECT_FALSE(IsWindowVisible(viewer));
    EXPECT_EQ(RectInParent(viewer).left, -WidthOf(RectInParent(viewer)));
    EXPECT_FALSE(main.AttachPending);

    // A question without an attachment leaves the viewer out.
    main.SlideQuestionIn();
    EXPECT_FALSE(IsWindowVisible(viewer));
    main.SlideQuestionOut();
}

// ---- The frame with a stand-in media player ----

namespace {

class QuestAttachFrame : public ::testing::Test {
protected:
    void SetUp() override {
        TQuestAttachHost host;
        host.PlayMedia = [this](const TPath& f, HWND p, HWND s, HWND d, uint8_t m) { return media.Play(f, p, s, d, m); };
        host.StopMedia = [this] { ++media.Stops; };
        host.QuestionPanelWidth = [] { return 345; };
        viewer = std::make_unique<TOwned<TfQuestAttach>>(host);
        ASSERT_TRUE(viewer->Create(stage.Handle()));
        SetWindowPos(viewer->Handle(), nullptr, 0, 0, 500, 400, SWP_NOZORDER);
    }

    TMediaRecorder media;
    TStage stage;
    std::unique_ptr<TOwned<TfQuestAttach>> viewer;
};

}  // namespace

TEST_F(QuestAttachFrame, SoundPlaysAtOnceOnlyWithAutoPlay) {
    const TPath file = L"C:\\sound.wav";
    TfrQuestAttach& frame = viewer->NewFrame(akSound, file, Options());
    EXPECT_TRUE(media.Plays.empty());
    EXPECT_EQ(frame.PreferredWidth, 345);
    EXPECT_EQ(frame.PreferredHeight, 34);
    EXPECT_EQ(frame.ExtraHeight, 0);
    EXPECT_TRUE(frame.FixedHeight);

    Click(frame.btnPlaySound);
    ASSERT_EQ(media.Plays.size(), 1u);
    EXPECT_EQ(media.Plays[0].File, file);
    EXPECT_EQ(media.Plays[0].Play, frame.btnPlaySound);
    EXPECT_EQ(media.Plays[0].Stop, frame.btnStopSound);
    EXPECT_EQ(media.Plays[0].Display, nullptr);
    EXPECT_EQ(media.Plays[0].ScaleMode, 0);
    Click(frame.btnStopSound);
    EXPECT_EQ(media.Stops, 1);

    TAttachOptions autoPlay = Options(2);
    autoPlay.AutoPlay = true;
    TfrQuestAttach& second = viewer->NewFrame(akSound, file, autoPlay);
    ASSERT_EQ(media.Plays.size(), 2u);
    EXPECT_EQ(media.Plays[1].Play, second.btnPlaySound);
    EXPECT_EQ(media.Plays[1].ScaleMode, 0);
}

TEST_F(QuestAttachFrame, VideoStartsAtOnceAndAsksForItsNaturalSize) {
    media.NaturalSize = {320, 240};
    const TPath file = L"C:\\clip.avi";
    TfrQuestAttach& frame = viewer->NewFrame(akVideo, file, Options(2));
    ASSERT_EQ(media.Plays.size(), 1u);
    EXPECT_EQ(media.Plays[0].File, file);
    EXPECT_EQ(media.Plays[0].Play, frame.btnStartVideo);
    EXPECT_EQ(media.Plays[0].Stop, frame.btnStopVideo);
    EXPECT_EQ(media.Plays[0].Display, frame.pnlVideoOut.Handle());
    EXPECT_EQ(media.Plays[0].ScaleMode, 2);
    EXPECT_EQ(frame.PreferredWidth, 320);
    EXPECT_EQ(frame.PreferredHeight, 240);
    EXPECT_EQ(frame.ExtraHeight, 25 + 42);
    EXPECT_FALSE(frame.FixedHeight);

    const SIZE panel = ClientSizeOf(frame.pnlVideo.Handle());
    const RECT hint = RectInParent(frame.pnlVideoHint.Handle());
    const RECT options = RectInParent(frame.pnlVideoOptions.Handle());
    const RECT out = RectInParent(frame.pnlVideoOut.Handle());
    EXPECT_EQ(WindowText(frame.pnlVideoHint.Handle()), L"Видео данные");
    EXPECT_EQ(hint.top, 0);
    EXPECT_EQ(HeightOf(hint), 25);
    EXPECT_EQ(options.bottom, panel.cy);
    EXPECT_EQ(HeightOf(options), 42);
    EXPECT_EQ(out.top, 25);
    EXPECT_EQ(out.bottom, options.top);
    EXPECT_EQ(WidthOf(out), panel.cx);
    const RECT start = RectInParent(frame.btnStartVideo);
    const RECT stop = RectInParent(frame.btnStopVideo);
    EXPECT_EQ(WindowText(frame.btnStartVideo), L"Старт");
    EXPECT_EQ(WindowText(frame.btnStopVideo), L"Стоп");
    EXPECT_LT(start.right, stop.left);
    EXPECT_LT(panel.cx - stop.right, 20);
    EXPECT_FALSE(IsWindowEnabled(frame.btnStopVideo));
    const RECT placeholder = RectInParent(frame.imgVideo.Handle());
    EXPECT_NEAR((placeholder.left + placeholder.right) / 2, WidthOf(out) / 2, 1);
    EXPECT_NEAR((placeholder.top + placeholder.bottom) / 2, HeightOf(out) / 2, 1);

    media.NaturalSize = {640, 480};
    Click(frame.btnStartVideo);
    EXPECT_EQ(media.Plays.size(), 2u);
    EXPECT_EQ(frame.PreferredWidth, 640);
    Click(frame.btnStopVideo);
    EXPECT_EQ(media.Stops, 1);
}

TEST_F(QuestAttachFrame, ResizingIsRefusedWhileNotAllowed) {
    const RECT before = RectInParent(viewer->Handle());
    viewer->SetAllowResize(false);
    SetWindowPos(viewer->Handle(), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT rc = RectInParent(viewer->Handle());
    EXPECT_EQ(WidthOf(rc), WidthOf(before));
    EXPECT_EQ(HeightOf(rc), HeightOf(before));
    viewer->SetAllowResize(true);
    SetWindowPos(viewer->Handle(), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    rc = RectInParent(viewer->Handle());
    EXPECT_EQ(WidthOf(rc), 200);
    EXPECT_EQ(HeightOf(rc), 100);
}

// ---- Questions asked by the run ----

namespace {

struct TRunQuestion {
    std::string Text;
    TSourceAttach Attach;
};

// Typed-input questions (answer "yes") with the given attachments, built into a player from
// files written first, and opened as the player opens itself. The build refuses damaged
// attachments, so `damaged` ones (file, bytes) replace theirs in the archive afterwards, as a
// copy damaged on its way to the classroom would.
class TAttachRun {
public:
    TAttachRun(const std::vector<std::pair<std::wstring, std::string>>& files, const std::vector<TRunQuestion>& questions,
               const std::vector<std::pair<std::string, std::string>>& damaged = {})
        : saved_(ZipSignatures()) {
        SetZipSignatures(kTestArchiveSignatures);
        for (const auto& [name, bytes] : files) {
            if (!WriteWholeFile(scratch_ / name, bytes)) ADD_FAILURE() << "cannot write an attachment";
        }
        TTestSource source;
        source.Folder = scratch_.Path();
        source.Name = "Attachments";
        source.EffectSteps = 1;
        source.PasswordTail = "attach01";
        source.PackLevel = 0;
        for (const TRunQuestion& question : questions) {
            TSourceQuestion q;
            q.AnswerMode = amTyped;
            q.Text = question.Text;
            q.Attach = question.Attach;
            TSourceAnswer a;
            a.Weight = 1;
            a.Variants = {"yes"};
            q.Answers.push_back(a);
            source.Questions.push_back(q);
        }
        TBuildOptions options;
        options.Player = TPath(ModulePath());
        options.Output = scratch_ / L"test.exe";
        const TBuildResult built = BuildTest(source, options);
        if (!built.Ok()) ADD_FAILURE() << built.Report.Errors.front();
        ReadPayload(options.Output, Info);
        for (const auto& [file, bytes] : damaged) Damage(questions, file, bytes);
    }
    ~TAttachRun() {
        if (!Info.ArchiveFile.empty()) DeleteFileAt(Info.ArchiveFile);
        SetZipSignatures(saved_);
    }

    TPayloadInfo Info;

private:
    // The build names attachments A0000001.EXT, ... in the order the questions first use them.
    void Damage(const std::vector<TRunQuestion>& questions, const std::string& file, const std::string& bytes) {
        std::vector<std::string> files;
        for (const TRunQuestion& q : questions) {
            if (!q.Attach.File.empty() && std::find(files.begin(), files.end(), q.Attach.File) == files.end()) {
                files.push_back(q.Attach.File);
            }
        }
        const size_t index = std::find(files.begin(), files.end(), file) - files.begin();
        char entry[16];
        std::snprintf(entry, sizeof entry, "A%07u.%s", static_cast<unsigned>(index + 1),
                      UpperCaseCp1251(file.substr(file.rfind('.') + 1)).c_str());
        const TPath copy = scratch_ / Cp1251ToWide(entry);
        if (!WriteWholeFile(copy, bytes)) ADD_FAILURE() << "cannot write " << entry;
        TZipArchive zip;
        zip.SetArchiveFile(Info.ArchiveFile);
        zip.SetPassword(kArchivePasswordText + Info.PasswordTail);
        zip.ReadDirectory();
        zip.AddFiles = {copy};
        if (zip.Add() != 1) ADD_FAILURE() << "cannot put the damaged " << entry << " into the archive";
    }

    TZipSignatures saved_;
    TScratchFolder scratch_;
};

TSourceAttach Attach(const std::string& file, uint8_t scaleMode = 0) {
    TSourceAttach attach;
    attach.File = file;
    attach.ScaleMode = scaleMode;
    return attach;
}

// Answers question `n` (counted over the window's life) once it waits, noting what was on
// screen meanwhile.
class TAnswerer {
public:
    TAnswerer(TfMainForTest& main, const TRunWatch& watch, uint32_t n)
        : thread_([this, &main, &watch, n] {
              for (int waited = 0; watch.QuestionsShown < n && waited < 10000; waited += 5) Sleep(5);
              HWND viewer = main.QuestAttach->Handle();
              ViewerShown = IsWindowVisible(viewer) != FALSE;
              Frames = ChildrenOf(viewer, L"TfrQuestAttach").size();
              TextShown = IsWindowVisible(main.lbQuestion) != FALSE;
              ObjectShown = IsWindowVisible(main.ocQuestion.Handle()) != FALSE;
              SendMessageW(main.Answers->mmInputAnswer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"yes"));
              PostMessageW(main.Answers->btnOk, BM_CLICK, 0, 0);
          }) {}
    ~TAnswerer() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    std::atomic<bool> ViewerShown{false}, TextShown{false}, ObjectShown{false};
    std::atomic<size_t> Frames{0};

private:
    std::thread thread_;
};

}  // namespace

TEST(QuestAttachRun, QuestionsShowTheirAttachmentsWhileTheyWait) {
    TSourceAttach object = Attach("broken.ole");
    object.ReplaceText = true;
    object.Width = 400;
    object.Height = 100;
    TRawImage image;
    image.Width = 2;
    image.Height = 2;
    image.Bgra.assign(16, 0x40);
    TAttachRun run({{L"pic.bmp", MakeBmp(40, 30)}, {L"broken.ole", MakeOleStream(1, BuildPictureObjectStorage(image))}},
                   {{"picture", Attach("pic.bmp", 2)}, {"object", object}, {"nothing", TSourceAttach{}}},
                   {{"broken.ole", "BDOC but nothing after it"}});
    TOwned<TfMainForTest> main(run.Info);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    ASSERT_TRUE(main.Test->OpenTest(run.Info.ArchiveFile, run.Info.PasswordTail));
    main.Test->ExtractAttachments = true;
    main.QuestionsPerTest = 3;
    TRunWatch watch(main);

    {
        TAnswerer person(main, watch, 1);
        EXPECT_EQ(main.AskQuestion(0), qoAnswered);
        person.Join();
        EXPECT_TRUE(person.ViewerShown);
        EXPECT_EQ(person.Frames, 1u);
        EXPECT_TRUE(person.TextShown);
        ASSERT_NE(main.QuestAttach->Frame(), nullptr);
        EXPECT_EQ(main.QuestAttach->Frame()->FileName, main.Question.AttachPath);
        EXPECT_EQ(main.QuestAttach->Frame()->PreferredWidth, 40);
        EXPECT_EQ(main.QuestAttach->Frame()->PreferredHeight, 30);
        EXPECT_FALSE(IsWindowVisible(main.QuestAttach->Handle()));
        EXPECT_FALSE(main.AttachPending);
    }
    {
        // An object that cannot be loaded stands empty in place of the text; the run goes on.
        TAnswerer person(main, watch, 2);
        EXPECT_EQ(main.AskQuestion(1), qoAnswered);
        person.Join();
        EXPECT_FALSE(person.ViewerShown);
        EXPECT_FALSE(person.TextShown);
        EXPECT_TRUE(person.ObjectShown);
        EXPECT_TRUE(main.ocQuestion.Object.Empty());
        // The log names the file, once, so the teacher learns which question could not be answered.
        const std::string line = Utf8ToCp1251("Не удалось показать файл \"") + main.Question.AttachFile + "\"";
        const std::string log = main.LogText();
        EXPECT_NE(log.find(line), std::string::npos) << Cp1251ToUtf8(log);
        EXPECT_EQ(log.find(line), log.rfind(line));
        EXPECT_EQ(log.find(Utf8ToCp1251("Не удалось показать")), log.find(line)) << "the good picture is not named";
    }
    {
        TAnswerer person(main, watch, 3);
        EXPECT_EQ(main.AskQuestion(2), qoAnswered);
        person.Join();
        EXPECT_FALSE(person.ViewerShown);
        EXPECT_TRUE(person.TextShown);
        EXPECT_FALSE(person.ObjectShown);
    }
}

// ---- Screen scaling ----

namespace {

// The viewer on a stage of its own, with a stand-in media player.
struct TViewerOnStage {
    TViewerOnStage() {
        TQuestAttachHost host;
        host.PlayMedia = [this](const TPath& f, HWND p, HWND s, HWND d, uint8_t m) { return media.Play(f, p, s, d, m); };
        host.StopMedia = [this] { ++media.Stops; };
        host.QuestionPanelWidth = [] { return 1000; };
        viewer = std::make_unique<TOwned<TfQuestAttach>>(host);
        created = viewer->Create(stage.Handle());
        SetWindowPos(viewer->Handle(), nullptr, 0, 0, 1000, 700, SWP_NOZORDER);
        ShowWindow(stage.Handle(), SW_SHOWNA);
        ShowWindow(viewer->Handle(), SW_SHOWNA);
    }
    TMediaRecorder media;
    TStage stage;
    std::unique_ptr<TOwned<TfQuestAttach>> viewer;
    bool created = false;
};

// A BMP that states its own resolution, in dots per inch.
TPath WriteBmpAtResolution(const TScratchFolder& folder, const std::wstring& name, int width, int height, int fileDpi) {
    std::string bytes = MakeBmp(width, height);
    const uint32_t perMetre = static_cast<uint32_t>(fileDpi * 10000 / 254);
    for (size_t offset : {size_t{38}, size_t{42}}) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((perMetre >> (8 * i)) & 0xFF);
    }
    const TPath path = folder / name;
    if (!WriteWholeFile(path, bytes)) ADD_FAILURE() << "cannot write the picture";
    return path;
}

}  // namespace

TEST(DpiFit, ViewerShowsAPictureAtItsNaturalSizeForTheScreen) {
    const int dpi = ExpectedTestDpi();
    TScratchFolder scratch;
    TViewerOnStage on;
    ASSERT_TRUE(on.created);
    // What the file says of its resolution does not count: its pixels are design pixels.
    const struct {
        const wchar_t* name;
        int fileDpi;
    } cases[] = {{L"at72.bmp", 72}, {L"at96.bmp", 96}, {L"at300.bmp", 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileDpi);
        TfrQuestAttach& frame =
            on.viewer->NewFrame(akPicture, WriteBmpAtResolution(scratch, c.name, 200, 100, c.fileDpi), Options(0));
        EXPECT_EQ(frame.PreferredWidth, ScaleForDpi(200, dpi));
        EXPECT_EQ(frame.PreferredHeight, ScaleForDpi(100, dpi));
        const RECT image = RectInParent(frame.imgPicture.Handle());
        EXPECT_EQ(WidthOf(image), ScaleForDpi(200, dpi));
        EXPECT_EQ(HeightOf(image), ScaleForDpi(100, dpi));
        // Centred in the view, with no bars: it fits.
        const SIZE view = ClientSizeOf(frame.pnlPictureView.Handle());
        EXPECT_EQ(image.left, (view.cx - ScaleForDpi(200, dpi)) / 2);
        EXPECT_FALSE(GetWindowLongW(frame.scbPictureViewH, GWL_STYLE) & WS_VISIBLE);
        // The picture covers the whole control, up to its last pixel.
        EXPECT_EQ(PrintedPixel(frame.imgPicture.Handle(), WidthOf(image) - 1, HeightOf(image) - 1), RGB(128, 128, 128));
        EXPECT_EQ(PrintedPixel(frame.imgPicture.Handle(), 0, 0), RGB(128, 128, 128));
    }
}

TEST(DpiFit, ViewerScrollBarsAndMarginsFollowTheScreen) {
    const int dpi = ExpectedTestDpi();
    TScratchFolder scratch;
    TViewerOnStage on;
    ASSERT_TRUE(on.created);
    TfrQuestAttach& frame = on.viewer->NewFrame(akPicture, WriteBmp(scratch, L"big.bmp", 1200, 900), Options(0));
    const SIZE panel = ClientSizeOf(frame.pnlPicture.Handle());
    const SIZE view = ClientSizeOf(frame.pnlPictureView.Handle());
    EXPECT_EQ(view.cx, panel.cx - SystemMetricForDpi(SM_CXVSCROLL, dpi));
    EXPECT_EQ(view.cy, panel.cy - SystemMetricForDpi(SM_CYHSCROLL, dpi));
    EXPECT_EQ(WidthOf(RectInParent(frame.imgPicture.Handle())), ScaleForDpi(1200, dpi));

    // Stretched, the picture keeps the design's margin inside the view's bevel.
    TfrQuestAttach& stretched = on.viewer->NewFrame(akPicture, WriteBmp(scratch, L"s.bmp", 80, 60), Options(1));
    const RECT image = RectInParent(stretched.imgPicture.Handle());
    const SIZE room = ClientSizeOf(stretched.pnlPictureView.Handle());
    EXPECT_EQ(image.left, ScaleForDpi(2, dpi));
    EXPECT_EQ(image.top, ScaleForDpi(2, dpi));
    EXPECT_EQ(WidthOf(image), room.cx - 2 * ScaleForDpi(2, dpi));
}

TEST(DpiFit, SoundAndVideoStripsHoldTheirButtons) {
    const int dpi = ExpectedTestDpi();
    TViewerOnStage on;
    ASSERT_TRUE(on.created);
    TfrQuestAttach& sound = on.viewer->NewFrame(akSound, L"C:\\sound.wav", Options());
    EXPECT_EQ(sound.PreferredHeight, ScaleForDpi(34, dpi));
    SetWindowPos(on.viewer->Handle(), nullptr, 0, 0, 1000, sound.PreferredHeight + on.viewer->NonClientHeight(),
                 SWP_NOZORDER);
    EXPECT_TEXTS_FIT(on.viewer->Handle());
    for (HWND button : {sound.btnPlaySound, sound.btnStopSound}) {
        const RECT rc = RectInParent(button);
        EXPECT_SCALED_OR_MORE(WidthOf(rc), 90, dpi);
        EXPECT_SCALED_OR_MORE(HeightOf(rc), 25, dpi);
    }

    on.media.NaturalSize = {320, 240};
    SetWindowPos(on.viewer->Handle(), nullptr, 0, 0, 600, 500, SWP_NOZORDER);
    TfrQuestAttach& video = on.viewer->NewFrame(akVideo, L"C:\\clip.avi", Options(0));
    EXPECT_EQ(video.PreferredWidth, ScaleForDpi(320, dpi));
    EXPECT_EQ(video.PreferredHeight, ScaleForDpi(240, dpi));
    EXPECT_EQ(video.ExtraHeight, ScaleForDpi(25, dpi) + ScaleForDpi(42, dpi));
    EXPECT_EQ(HeightOf(RectInParent(video.pnlVideoHint.Handle())), ScaleForDpi(25, dpi));
    EXPECT_EQ(HeightOf(RectInParent(video.pnlVideoOptions.Handle())), ScaleForDpi(42, dpi));
    EXPECT_TEXTS_FIT(on.viewer->Handle());
    LOGFONTW hint = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(video.pnlVideoHint.Handle(), WM_GETFONT, 0, 0)), sizeof(hint),
               &hint);
    EXPECT_EQ(hint.lfHeight, -ScaleForDpi(21, dpi));
    const RECT start = RectInParent(video.btnStartVideo), stop = RectInParent(video.btnStopVideo);
    EXPECT_SCALED_OR_MORE(WidthOf(start), 90, dpi);
    EXPECT_LT(start.right, stop.left);
    EXPECT_LE(start.bottom, ScaleForDpi(42, dpi));
}

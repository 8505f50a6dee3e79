#pragma once
// The window that closes every run: who was tested, on what, how long, the mark; the choice
// between testing the next person and leaving. Each closing appends one record to the results file.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/ModalWindow.h"
#include "windows/ResultsFile.h"

class TfResult : public TModalWindow {
protected:
    ~TfResult() override;

public:
    static constexpr int kClientWidth = 431;
    static constexpr int kClientHeight = 223;

    TfResult();

    // Creates the window (hidden). `owner` is disabled while it is shown.
    bool Create(HWND owner);
    void SetTestName(const std::string& cp1251);
    // Exactly as typed, not trimmed.
    void SetFIO(const std::string& cp1251);
    void SetOtherInfoCaption(const std::string& cp1251);
    void SetOtherInfo(const std::string& cp1251);
    void SetTestTime(int32_t seconds);
    void SetMark(int32_t points);
    void SetInterrupted(bool interrupted);
    bool IsInterruptedShown() const;

    // Supplies the log text (cp1251) when "Журнал теста" is clicked; set by the main window.
    std::function<std::string()> LogText;
    // Where the record goes; empty = "Results.txt" in the folder of the running executable.
    TPath ResultsPath;
    // Where it goes when that file cannot be written (a read-only share, a CD); empty = the
    // person's Documents folder.
    TPath FallbackFolder;
    // The record of the run on show is still to be written: set when a run ends, cleared once the
    // record is in a file or the person has chosen to give it up.
    bool RecordPending = false;

    // Modal; then appends the record; true only when "Тестировать снова" (or Enter) closed it.
    bool ShowAndRecord();
    // Writes a pending record at once, asking nothing: the session is ending and nobody is left to
    // answer. True when the record is in a file (or there was none to write).
    bool RecordNow();

    // cp1251 captions as they stand now.
    std::string Caption(HWND label) const;

    HWND bvMain = nullptr;
    HWND bvLogo = nullptr;
    HWND bvTestName = nullptr;
    HWND bvLogin = nullptr;
    HWND bvResult = nullptr;
    HWND bvButtons = nullptr;
    HWND imgLogo = nullptr;
    HWND lbTestName_ = nullptr;
    HWND lbTestName = nullptr;
    HWND lbFIO_ = nullptr;
    HWND lbFIO = nullptr;
    HWND lbOtherInfo_ = nullptr;
    HWND lbOtherInfo = nullptr;
    HWND lbTimeOfTest_ = nullptr;
    HWND lbTimeOfTest = nullptr;
    HWND lbMark_ = nullptr;
    HWND lbMark = nullptr;
    HWND lbTestInterrupted = nullptr;
    HWND btnStartNewTest = nullptr;
    HWND btnCloseProgram = nullptr;
    HWND lbLog = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Fonts and layout for the new DPI.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    void SetCaption(HWND label, const std::string& cp1251);
    void CreateFonts();
    void ApplyFonts();
    // Places every control for the window's DPI and its texts, and sizes the window to hold
    // them; `suggested` is where the system puts it after a DPI change.
    void Layout(const RECT* suggested);
    // A caption's room in `font`, as a label draws it.
    SIZE TextSize(HWND control, HFONT font, bool oneLine) const;
    void lbLogClick();
    void AppendRecord();
    std::string RecordBytes() const;
    TRecordWrite WriteRecord(const std::string& bytes, const TRetryPolicy& retry) const;
    void PaintLogo(HDC dc, const RECT& rc);

    HWND owner_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT linkFont_ = nullptr;
    // What was set, byte for byte: the record must not go through a wide round trip.
    std::map<HWND, std::string> captions_;
    int32_t testSeconds_ = 0;
    int32_t mark_ = 0;
};

extern const wchar_t kResultCaption[];       // "Результат тестирования"
extern const wchar_t kResultsErrorCaption[];  // "Ошибка!"
extern const wchar_t kResultsElsewhereCaption[];  // "Файл результатов"

// The box that says where a record went when the program's folder could not take it.
std::wstring RecordElsewhereMessage(const TRecordWrite& write);
// The box that offers to try again when no file could take the record: the reasons, the whole
// record to be copied down, and what Cancel means.
std::wstring RecordNotWrittenMessage(const TRecordWrite& write, const std::string& record);

// The reason of the Windows call that has just failed (GetLastError), as the results file reports it.
TSystemError ReadLastSystemError();

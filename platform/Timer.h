#pragma once
// A window timer: a named id on its owner window, an interval, and the Tag the program keeps
// beside it. The owner receives WM_TIMER with the id and dispatches it to one OnTimer.

#include <windows.h>

#include <cstdint>

class TTimer {
public:
    TTimer(UINT_PTR id, UINT interval) : id_(id), interval_(interval) {}
    ~TTimer() { SetEnabled(false); }
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    void SetOwner(HWND owner) { owner_ = owner; }
    // Enabling an enabled timer starts its interval afresh.
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    UINT_PTR Id() const { return id_; }
    UINT Interval() const { return interval_; }

    int32_t Tag = 0;

private:
    HWND owner_ = nullptr;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

#include "platform/Timer.h"

void TTimer::SetEnabled(bool enabled) {
    if (owner_ == nullptr) {
        enabled_ = false;
        return;
    }
    if (enabled) {
        enabled_ = SetTimer(owner_, id_, interval_, nullptr) != 0;
    } else {
        if (enabled_ && IsWindow(owner_)) KillTimer(owner_, id_);
        enabled_ = false;
    }
}

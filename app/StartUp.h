#pragma once

#include "app/Payload.h"

// The settings of the test, read once at start-up.
extern TPayloadInfo PayloadInfo;

// The whole program: splash, payload, main window, the test loop, clean-up.
// Returns the process exit code.
int RunPlayer();

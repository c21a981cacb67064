#pragma once

#include <windows.h>

// Windows gives a service that accepts the pre-shutdown control 10 s by
// default and then ends it; the configured stop sequence needs its stop
// timeout and 10 s to spare, at most the 10 minutes an administrator would
// let a shutdown wait.
DWORD preshutdownTimeout(int stopTimeoutMilliseconds);

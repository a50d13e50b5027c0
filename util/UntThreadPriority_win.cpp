#include <windows.h>

#include "util/UntThreadPriority.h"

void raiseThreadPriority()
{
    // A refusal leaves the thread at its normal priority, which only makes it slower.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

// The priority of the capture and delivery threads, raised from the thread's own body.
#pragma once

// Windows: the calling thread runs at THREAD_PRIORITY_HIGHEST, one step below time-critical, so
// a busy machine does not hold back the capture. Linux: nothing, since a higher priority than the
// user's default needs a privilege the program does not ask for.
void raiseThreadPriority();

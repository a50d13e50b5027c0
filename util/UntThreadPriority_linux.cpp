#include "util/UntThreadPriority.h"

void raiseThreadPriority() {}

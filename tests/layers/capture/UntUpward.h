// A capture header that reaches up into the monitor: check-layers must refuse it.
#pragma once

#include "events/UntDown.h"
#include "monitor/UntShellMonitorThread.h"

// Where a capture backend puts what it decoded. A backend only fills the sink it is handed and
// never knows who reads it: the worker's queue, the helper's output stream or a test's list.
#pragma once

#include "events/UntItemObj.h"

#include <vector>

class TEventSink {
public:
    virtual ~TEventSink() = default;
    // One drained read, in the order the events happened. Any thread.
    virtual void addItems(std::vector<TItemObj> items) = 0;
};

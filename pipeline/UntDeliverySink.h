// What the worker asks the user-interface thread to do with a batch. Every call but prepare runs
// on the user-interface thread, inside a synchronous step.
#pragma once

#include "events/UntItemObj.h"

class TDeliverySink {
public:
    virtual ~TDeliverySink() = default;
    // Worker thread, for each surviving event shortly before it is handed over: work the steps
    // will need that needs no window (file lookups), done where it cannot hold the window up.
    // It must not touch anything the user-interface thread changes.
    virtual void prepare(const TItemObj& item) { (void)item; }
    // Before the first event: show the progress bar with its maximum set to count, lay out.
    virtual void batchStart(int count) = 0;
    // A surviving tree event (addDirectoryFile), always before its list step.
    virtual void treeStep(const TItemObj& item) = 0;
    // Every surviving event (addListItem).
    virtual void listStep(const TItemObj& item) = 0;
    // After the list step: the progress bar's position is the event's index in the batch.
    virtual void progress(int position) = 0;
    // After the last event, also when delivery failed: hide the bar, lay out, expand when asked.
    virtual void batchEnd(bool autoExpand) = 0;
};

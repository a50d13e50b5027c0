// --format journal: each event one entry of the systemd journal, its parts in FM_ fields, so that
// the log shipping a fleet already runs carries it. One implementation file per platform.
#pragma once

#include "events/UntItemObj.h"

#include <string>
#include <vector>

// The entry of one event, "NAME=value" each: MESSAGE (the text row), FM_EVENT, FM_ACTION,
// FM_PATH, FM_NEW_PATH when there is a new path, FM_PID and FM_PROCESS where known, FM_TIME
// (when it happened; the journal's own time is when the batch was sent). Paths are the exact
// bytes, whatever they hold: the journal keeps binary values.
std::vector<std::string> journalFields(const TItemObj& item);

// Sends a first entry saying that the recording starts. Empty when it reached the journal,
// otherwise why not (Linux only; no journal running).
std::string openJournal(const std::string& startText);

// Sends one entry; false when the journal refused it.
bool sendToJournal(const std::vector<std::string>& fields);

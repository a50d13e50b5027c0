// The companion's output lines. Names are data, never layout:
// - text: the list row (From, To, Action, Work Path, each followed by a TAB). Control characters
//   and backslashes in names are escaped (\t \n \r \\ \xHH, reversed by unescapeName), so one
//   event is always one line and no name sends commands to a terminal.
// - json: one object per line. Names that are valid UTF-8 are written as they are. When one is
//   not, every name of the object (path, newPath, process) is written with its invalid bytes as
//   \xHH and its backslashes doubled, the same reversible escapes, and the object carries
//   "pathEncoding":"escaped".
#pragma once

#include "events/UntItemObj.h"

#include <chrono>
#include <string>

enum class TOutputFormat { Text, Json, Journal };

// Appends the lines of events to a buffer the caller reuses: no allocation per event once the
// buffer has grown.
class TLineWriter {
public:
    explicit TLineWriter(TOutputFormat format) : format_(format) {}
    // The event's line, ended by '\n'.
    void append(std::string& out, const TItemObj& item);

private:
    void appendText(std::string& out, const TItemObj& item) const;
    void appendJson(std::string& out, const TItemObj& item);
    void appendTime(std::string& out, std::chrono::system_clock::time_point time);

    TOutputFormat format_;
    // The events of one read share their time: it is formatted once.
    std::chrono::system_clock::time_point lastTime_{};
    std::string lastTimeText_;
    std::string scratch_; // a name being escaped
};

// One line without its '\n'.
std::string formatTextRow(const TItemObj& item);
std::string formatJsonLine(const TItemObj& item);
// ISO 8601 UTC with milliseconds.
std::string formatUtcTime(std::chrono::system_clock::time_point time);

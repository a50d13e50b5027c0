// Reading the INI file from disk; one implementation per platform. It is replaced with
// replaceFileContents (util/UntTextFile.h), never in place.
#pragma once

#include <string>
#include <string_view>

// Reads the whole file into content. A missing file reads as empty (true); false when something
// is at the path that cannot be read as a regular file (locked, access denied, a folder, a
// FIFO), so that the caller does not replace what it could not see. Never blocks.
bool readIniFile(const std::string& path, std::string& content);

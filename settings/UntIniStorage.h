// Reading and replacing the INI file on disk; one implementation per platform.
#pragma once

#include <string>
#include <string_view>

// Reads the whole file into content. A missing file reads as empty (true); false when something
// is at the path that cannot be read as a regular file (locked, access denied, a folder, a
// FIFO), so that the caller does not replace what it could not see. Never blocks.
bool readIniFile(const std::string& path, std::string& content);

// Writes the content to a new file in the same folder, flushes it to disk and renames it over
// the path, so the path holds either the old or the new content, never a part. Refuses (false)
// when the path names something that is not a regular file or a file the user may not write;
// on failure the path is unchanged and no temporary file is left behind.
bool replaceIniFile(const std::string& path, std::string_view content);

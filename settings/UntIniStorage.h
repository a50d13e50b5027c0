// Reading and replacing the INI file on disk; one implementation per platform.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The whole file; nothing when it is missing, is not a regular file or cannot be read.
// Never blocks on a FIFO or a device.
std::optional<std::string> readIniFile(const std::string& path);

// Writes the content to a new file in the same folder, flushes it to disk and renames it over
// the path, so the path holds either the old or the new content, never a part. Refuses (false)
// when the path names something that is not a regular file or a file the user may not write;
// on failure the path is unchanged and no temporary file is left behind.
bool replaceIniFile(const std::string& path, std::string_view content);

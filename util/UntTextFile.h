// Plain-text files in the system's own character set, as the export report is written.
#pragma once

#include <string>
#include <string_view>

// Every line of the text followed by CR LF; CR LF, a lone CR and a lone LF each end a line, and
// a break at the very end adds no empty line.
std::string toCrLfLines(std::string_view text);

// UTF-8 text in the system's character set, without a byte-order mark; a character the set
// cannot hold becomes its default character. Windows: the ANSI code page. Linux: the character
// set of the user's locale; a UTF-8 or plain C/POSIX locale keeps the UTF-8 bytes, since paths
// on Linux are bytes that an ASCII conversion would destroy.
std::string toSystemCharset(std::string_view utf8);

#ifdef _WIN32
// The conversion to a given code page ("?" or the page's own default character).
std::string utf8ToCodePage(std::string_view utf8, unsigned codePage);
#else
// The conversion to a named character set; "?" for what it cannot hold. The UTF-8 bytes come
// back unchanged when the system knows no such character set.
std::string utf8ToCharset(std::string_view utf8, const std::string& charset);
#endif

// Creates or replaces the file with exactly these bytes: they go to a new file in the same folder,
// flushed to disk and renamed over the path, so the path holds either the old or the new
// content, never a part (a full disk or a crash leaves the old file). A symbolic link is followed.
// Refuses (false) when the path names something that is not a regular file or a file the user
// may not write; on failure the path is unchanged and no temporary file is left behind.
bool replaceFileContents(const std::string& path, std::string_view bytes);

// The report writer: the text's lines, each followed by CR LF, in the system's character set,
// replacing any file of that name as a whole. True only when the whole file was written; never
// throws for what the file system does.
bool saveTextToFile(const std::string& fileName, std::string_view text);

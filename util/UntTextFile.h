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

// Creates or replaces the file with exactly these bytes; true only when every byte was written
// and the file was closed without an error. A partly written file stays as it is.
bool replaceFileContents(const std::string& fileName, std::string_view bytes);

// The report writer: the text's lines, each followed by CR LF, in the system's character set,
// replacing any file of that name. True only when the whole file was written; never throws for
// what the file system does.
bool saveTextToFile(const std::string& fileName, std::string_view text);

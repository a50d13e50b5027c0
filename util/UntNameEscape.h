// Names are data, never layout. A file name written into a line of output must stay inside its
// field: it can neither start a new line nor send a control sequence to the reader's terminal.
// The escapes are reversible (unescapeName):
//   \t \n \r   tab, line feed, carriage return
//   \\         a backslash
//   \xHH       (two lowercase hex digits) any other control character: C0, DEL, and the C1 range
//              U+0080..U+009F as its two UTF-8 bytes; and every byte that is not valid UTF-8
#pragma once

#include <string>
#include <string_view>

enum class TNameEscape {
    Controls,    // line-oriented text: everything above
    InvalidUtf8, // JSON, which escapes control characters itself: backslash and invalid bytes only
};

bool isValidUtf8(std::string_view text);

// Appends name to out with the escapes of mode; text needing none is appended as it is.
void appendEscapedName(std::string& out, std::string_view name, TNameEscape mode);
std::string escapedName(std::string_view name, TNameEscape mode);
// The bytes an escaped name stands for; an escape it does not know is kept as it stands.
std::string unescapeName(std::string_view text);

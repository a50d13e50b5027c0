// Base64 with the standard alphabet, '=' padding and no line breaks.
//
// The text is UTF-8 and is encoded byte for byte. Decoding gives the bytes back unchanged, even
// when they are not valid UTF-8, so a stored path comes back exactly as it was saved.
#pragma once

#include <string>
#include <string_view>

std::string textToBase64(std::string_view text);

// Never fails. Characters outside the alphabet (line breaks, blanks, anything else) are
// skipped. The rest is taken in groups of four: "xx==" gives one byte, "xxx=" two, four
// letters three; a group with '=' anywhere else gives nothing, and a final group of fewer
// than four characters is ignored.
std::string base64ToText(std::string_view base64);

// The parser behind the extension dialog and the stored extension list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts the text at ',', ';', blanks and line breaks and appends every piece that is not blank
// and not yet in the entries (compared with sameText). A piece without any '.' gets one in
// front; otherwise it is kept as typed, control characters around it included. Existing
// entries are never changed or reordered. Returns the appended entries in order, so a window
// can add its rows (type name, icon) for exactly those.
std::vector<std::string> addExtensions(std::string_view text, std::vector<std::string>& entries);

// UTF-8 <-> UTF-16 at the Windows API boundary; the core keeps UTF-8 everywhere else.
#pragma once
#ifdef _WIN32

#include <string>
#include <string_view>

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The form of a path for the file API: a fully qualified path too long for the plain form
// (a folder's limit is MAX_PATH - 12) gets the "\\?\" prefix, a share's "\\?\UNC\"; any other
// path is only converted.
std::wstring toWidePath(std::string_view utf8);

#endif

// UTF-8 <-> UTF-16 at the Windows API boundary; the core keeps UTF-8 everywhere else.
#pragma once
#ifdef _WIN32

#include <string>
#include <string_view>

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

#endif

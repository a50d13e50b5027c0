// Small text rules of the settings: "Y"/"N" flags and list membership.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "Y" for true, "N" for false.
std::string boolToYN(bool value);
// True only for exactly "Y": "y", "Yes" and " Y" are all false.
bool ynToBool(std::string_view text);
// True when the text holds at least one '.', anywhere.
bool hasDot(std::string_view text);
// True when an entry equals the text, folding only a-z (sameText); false for an empty list.
bool isInStringList(std::string_view text, const std::vector<std::string>& list);

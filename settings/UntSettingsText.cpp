#include "settings/UntSettingsText.h"

#include "util/UntText.h"

#include <algorithm>

std::string boolToYN(bool value)
{
    return value ? "Y" : "N";
}

bool ynToBool(std::string_view text)
{
    return text == "Y";
}

bool hasDot(std::string_view text)
{
    return text.find('.') != std::string_view::npos;
}

bool isInStringList(std::string_view text, const std::vector<std::string>& list)
{
    return std::any_of(list.begin(), list.end(), [text](const std::string& entry) { return sameText(entry, text); });
}

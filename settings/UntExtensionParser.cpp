#include "settings/UntExtensionParser.h"

#include "settings/UntSettingsText.h"
#include "util/UntText.h"

std::vector<std::string> addExtensions(std::string_view text, std::vector<std::string>& entries)
{
    std::string separated;
    separated.reserve(text.size());
    for (const char c : text) {
        if (c == ',' || c == ';' || c == ' ')
            separated += "\r\n";
        else
            separated.push_back(c);
    }

    std::vector<std::string> added;
    for (std::string& line : splitLines(separated)) {
        if (isBlank(line))
            continue;
        if (!hasDot(line))
            line.insert(line.begin(), '.');
        if (isInStringList(line, entries))
            continue;
        entries.push_back(line);
        added.push_back(std::move(line));
    }
    return added;
}

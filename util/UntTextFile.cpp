#include "util/UntTextFile.h"

#include "util/UntText.h"

#include <exception>

std::string toCrLfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const std::string& line : splitLines(text)) {
        out += line;
        out += "\r\n";
    }
    return out;
}

bool saveTextToFile(const std::string& fileName, std::string_view text)
{
    try {
        return replaceFileContents(fileName, toSystemCharset(toCrLfLines(text)));
    } catch (const std::exception&) {
        return false; // out of memory for a huge report: report it as not written
    }
}

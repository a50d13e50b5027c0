// The text of an INI file held in memory, line for line, so that rewriting it keeps every
// line it does not change: unknown sections and keys, comments, blank lines, even garbage.
//
// "[name]" opens a section, "key=value" is a key (blanks around both trimmed; one pair of
// double quotes around a value is removed), lines starting with ';' or '#' and every other
// line are kept as they are. Section and key names are printable ASCII: a line whose name holds
// anything else is not understood (kept, but no key), like any other line that is neither blank,
// a comment, a section nor a key. Section and key names compare with sameText; the first match
// wins, as with the platform's profile files. Values may have any length.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TIniDocument {
public:
    // Any bytes are accepted; a UTF-8 byte-order mark is kept but not taken as part of a name.
    void parse(std::string_view bytes);
    // Every line followed by CR LF.
    std::string serialize() const;
    // The lines of the last parse that were not understood.
    std::size_t getUnreadLineCount() const { return unreadLines_; }

    // Null when the section or the key is missing.
    const std::string* find(std::string_view section, std::string_view key) const;
    // Replaces the value, or appends the key (after the section's last key) and, when needed,
    // the section (at the end). Throws std::invalid_argument for a name or value that the file
    // could not hold: empty or padded names, line breaks, '=' or a leading ';', '#', '[' in a
    // key, ']' in a section name, a line break in a value.
    void set(std::string_view section, std::string_view key, std::string_view value);

private:
    struct TLine {
        std::string raw;
        std::string key; // empty for every line that is not a key
        std::string value;
    };
    struct TSection {
        std::string name;
        bool hasHeader = true; // false only for the lines before the first section
        std::vector<TLine> lines;
    };

    TSection* findSection(std::string_view name);
    const TSection* findSection(std::string_view name) const;

    bool hasBom_ = false;
    std::size_t unreadLines_ = 0;
    std::vector<TSection> sections_{TSection{{}, false, {}}}; // the first one never has a header
};

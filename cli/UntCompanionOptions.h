// The companion's options: one table that the parser, --help, the man page and the shell
// completion all read, so their texts cannot drift apart.
#pragma once

#include <string>
#include <vector>

// What an option's value is, for the shell completion.
enum class TOptionValue { Folder, File, Choice, Number };

struct TCompanionOption {
    std::string name;      // "--root"
    std::string valueName; // "PATH"
    TOptionValue value = TOptionValue::File;
    std::string help;                 // one sentence, as --help shows it
    std::vector<std::string> choices; // the values a Choice takes
    bool repeatable = false;
};

const std::vector<TCompanionOption>& companionOptions();
// The row of name, which must be in the table.
const TCompanionOption& companionOption(const std::string& name);

// Where config.ini is looked for when --config is not given.
extern const char* const kCompanionConfigDefault;

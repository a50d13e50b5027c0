#include "cli/UntCompanionOptions.h"

#include "capture/UntCaptureBackend.h"

#include <stdexcept>

const char* const kCompanionConfigDefault =
    "config.ini beside the program when its folder is writable, else $XDG_CONFIG_HOME/filesmonitor/config.ini "
    "(~/.config/filesmonitor/config.ini)";

namespace {

std::vector<TCompanionOption> makeOptions()
{
    std::vector<std::string> backends;
    std::string backendList;
    for (const TBackendName& name : backendNames()) {
        backendList += std::string(backends.empty() ? "" : ", ") + name.name;
        backends.push_back(name.name);
    }
    return {
        {"--root",
         "PATH",
         TOptionValue::Folder,
         "Folder to watch, with everything below it (repeatable); default: every drive",
         {},
         true},
        {"--config", "FILE", TOptionValue::File, std::string("Settings file; default: ") + kCompanionConfigDefault, {}},
        {"--format",
         "FORMAT",
         TOptionValue::Choice,
         "Output: text (the list row), json (one object per line) or journal (the systemd journal, with FM_ fields)",
         {"text", "json", "journal"}},
        {"--duration", "SECONDS", TOptionValue::Number, "Stop after this many seconds; default: when interrupted", {}},
        {"--report",
         "FILE",
         TOptionValue::File,
         "Write the export report of everything shown to this file when the program ends",
         {}},
        {"--backend", "BACKEND", TOptionValue::Choice, "Capture backend: " + backendList, backends},
    };
}

} // namespace

const std::vector<TCompanionOption>& companionOptions()
{
    static const std::vector<TCompanionOption> options = makeOptions();
    return options;
}

const TCompanionOption& companionOption(const std::string& name)
{
    for (const TCompanionOption& option : companionOptions())
        if (option.name == name)
            return option;
    throw std::logic_error("no option " + name);
}

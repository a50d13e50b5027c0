#include "cli/UntCompanionDocs.h"

#include "cli/UntCompanionOptions.h"

namespace {

// Text as roff shows it: a backslash printed, no line taken for a request, hyphens as minus signs
// in option names (so that they can be searched and copied).
std::string roff(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        if (c == '\n')
            out += "\\&";
    }
    return (!out.empty() && (out.front() == '.' || out.front() == '\'')) ? "\\&" + out : out;
}

std::string shellWords(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

} // namespace

std::string companionManPage(const std::string& version)
{
    std::string page;
    page += ".TH FILESMONITOR\\-CLI 1 \"\" \"Files Monitor " + roff(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\nfilesmonitor\\-cli \\- print live file activity of folders\n";
    page += ".SH SYNOPSIS\n.B filesmonitor\\-cli\n";
    for (const TCompanionOption& option : companionOptions())
        page += "[\\fB" + roff(option.name) + "\\fR \\fI" + roff(option.valueName) + "\\fR]" +
                (option.repeatable ? "..." : "") + "\n";
    page += ".SH DESCRIPTION\n"
            "Records what happens to the files below the watched folders, with the capture, event kinds and "
            "filters of the desktop program, and prints each event about a second after it happened: until "
            "SIGINT or SIGTERM, or for the time given.\n"
            ".PP\n"
            "It says on standard error which capture backend it uses and why, which folders it watches and, "
            "at its end, what it could not capture.\n";
    page += ".SH OPTIONS\n";
    for (const TCompanionOption& option : companionOptions()) {
        page += ".TP\n.BI " + roff(option.name) + " \" " + roff(option.valueName) + "\"\n";
        page += roff(option.help) + ".\n";
    }
    page += ".TP\n.BR \\-h \", \" \\-\\-help\nPrint the options and the settings file in use, and end.\n";
    page += ".SH FILES\n.TP\n.I config.ini\nThe settings of the desktop program: event kinds, extension and folder "
            "filters. Without \\fB\\-\\-config\\fR: " +
            roff(kCompanionConfigDefault) + ".\n";
    page += ".SH EXIT STATUS\n"
            "0 after a normal run, whatever folders could not be watched; 1 when no folder could be watched, the "
            "recording failed or events could not be sent to the journal; 2 for a bad argument.\n";
    page += ".SH EXAMPLES\n"
            "Every change below a folder, as JSON lines, for a minute:\n"
            ".PP\n.nf\n.RS\nfilesmonitor\\-cli \\-\\-root /srv/data \\-\\-format json \\-\\-duration 60\n.RE\n.fi\n"
            ".PP\n"
            "The same folder as a service writing to the journal, and the deletions found there:\n"
            ".PP\n.nf\n.RS\n"
            "systemctl enable \\-\\-now filesmonitor\\-cli@$(systemd\\-escape \\-\\-path /srv/data).service\n"
            "journalctl \\-o json FM_ACTION=Delete\n"
            ".RE\n.fi\n";
    page += ".SH SEE ALSO\n.BR journalctl (1),\n.BR systemd\\-escape (1)\n";
    return page;
}

std::string companionBashCompletion()
{
    std::string names;
    std::string cases;
    for (const TCompanionOption& option : companionOptions()) {
        names += option.name + " ";
        cases += "        " + option.name + ")\n            ";
        switch (option.value) {
        case TOptionValue::Folder:
            cases += "compopt -o filenames 2>/dev/null\n            mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")";
            break;
        case TOptionValue::File:
            cases += "compopt -o filenames 2>/dev/null\n            mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")";
            break;
        case TOptionValue::Choice:
            cases += "mapfile -t COMPREPLY < <(compgen -W \"" + shellWords(option.choices) + "\" -- \"$cur\")";
            break;
        case TOptionValue::Number:
            cases += "COMPREPLY=()";
            break;
        }
        cases += "\n            return ;;\n";
    }
    return "# bash completion for filesmonitor-cli, written from its option table\n"
           "_filesmonitor_cli()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    case $prev in\n" +
           cases +
           "    esac\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"" +
           names +
           "--help\" -- \"$cur\")\n"
           "}\n"
           "complete -F _filesmonitor_cli filesmonitor-cli\n";
}

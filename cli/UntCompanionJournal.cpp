#include "cli/UntCompanionJournal.h"

#include "cli/UntCompanion.h"
#include "events/UntEvents.h"

std::vector<std::string> journalFields(const TItemObj& item)
{
    const TEventOrigin& origin = item.getOrigin();
    std::string row = formatTextRow(item);
    if (!row.empty() && row.back() == '\t')
        row.pop_back(); // the row's last TAB ends a list line; a message needs none
    std::vector<std::string> fields{
        "MESSAGE=" + row,
        "PRIORITY=6",
        "SYSLOG_IDENTIFIER=filesmonitor-cli",
        "FM_EVENT=" + std::to_string(item.getEventNum()),
        "FM_ACTION=" + std::string(getEventName(item.getEventNum())),
        "FM_PATH=" + item.getItem1(),
    };
    if (!item.getItem2().empty())
        fields.push_back("FM_NEW_PATH=" + item.getItem2());
    if (origin.pid > 0)
        fields.push_back("FM_PID=" + std::to_string(origin.pid));
    if (!origin.process.empty())
        fields.push_back("FM_PROCESS=" + origin.process);
    if (origin.time.time_since_epoch().count() != 0)
        fields.push_back("FM_TIME=" + formatUtcTime(origin.time));
    return fields;
}

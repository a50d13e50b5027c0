#include "cli/UntCompanionJournal.h"

std::string openJournal(const std::string&)
{
    return "the systemd journal exists on Linux only";
}

bool sendToJournal(const std::vector<std::string>&)
{
    return false;
}

#include "cli/UntCompanionJournal.h"

#include "util/UntOsHandle.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <systemd/sd-journal.h>

#include <cerrno>
#include <cstring>

namespace {

int send(const std::vector<std::string>& fields)
{
    // sd_journal_sendv takes each field as it is, newlines and all.
    std::vector<iovec> parts;
    parts.reserve(fields.size());
    for (const std::string& field : fields)
        parts.push_back({const_cast<char*>(field.data()), field.size()});
    return sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

// sd_journal_sendv drops entries silently when no journal listens, so whether one does is asked
// of its socket first.
int connectJournal()
{
    static constexpr char kSocket[] = "/run/systemd/journal/socket";
    TFdObj fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return -errno;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, kSocket, sizeof kSocket);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return -errno;
    return 0;
}

} // namespace

std::string openJournal(const std::string& startText)
{
    int result = connectJournal();
    if (result >= 0)
        result = send({"MESSAGE=" + startText, "PRIORITY=6", "SYSLOG_IDENTIFIER=filesmonitor-cli"});
    if (result >= 0)
        return {};
    return std::string("the systemd journal cannot be reached (") + std::strerror(-result) +
           "): is systemd-journald running?";
}

bool sendToJournal(const std::vector<std::string>& fields)
{
    return send(fields) >= 0;
}

// One shell watch: a folder turned into an item-ID list, the kinds wanted, and the
// registration ID the shell returned. Deregisters and frees its list when destroyed.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <cstdint>
#include <string>

#include "events/UntEvents.h"

class TShellNotifierObj {
public:
    // Parses path at once; a failure shows in getStatusParse / getStatusAlloc, never as an error.
    TShellNotifierObj(std::string path, bool sub);
    ~TShellNotifierObj();
    TShellNotifierObj(const TShellNotifierObj&) = delete;
    TShellNotifierObj& operator=(const TShellNotifierObj&) = delete;

    // The entry to register: the item-ID list and the recursive flag; both 0 when unparsed.
    SHChangeNotifyEntry getNotifider() const { return notifier_; }
    bool getStatusParse() const { return statusParse_; }
    bool getStatusAlloc() const { return statusAlloc_; }
    ULONG getNotifierHandle() const { return notifierHandle_; }
    void setNotifierHandle(ULONG value) { notifierHandle_ = value; }
    const std::string& getPath() const { return path_; }
    bool getSub() const { return sub_; }

    // Event numbers above 18 are ignored.
    void setEventsMon(bool value, std::uint16_t eventNum);
    void setAllEvents(bool value);
    // The OR of the shell flags of every kind switched on.
    std::uint32_t getEventsMon() const;

private:
    SHChangeNotifyEntry notifier_{};
    std::string path_;
    bool sub_;
    std::array<bool, kEventCount> eventsMon_{};
    PIDLIST_ABSOLUTE pidl_ = nullptr;
    SFGAOF attr_ = 0;
    bool statusParse_ = true;
    bool statusAlloc_ = true;
    IMalloc* malloc_ = nullptr;
    ULONG notifierHandle_ = 0;
};

#endif

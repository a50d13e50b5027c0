// What the capture helper does about its own privileges: it may be started with file
// capabilities by any member of its group, so it trusts nothing it inherits and keeps only what
// capturing needs.
#pragma once

#include <string>
#include <vector>

// At the very start: dies with the thread that started it (the parent-death signal is cleared
// when a program with file capabilities starts, so the helper sets it itself), no signal blocked,
// a closed pipe an error rather than a signal, no descriptor inherited but 0, 1 and 2. Returns
// the parent's pid, or 0 when the parent has already gone.
int prepareHelperProcess();

// 0 when the real user (not the helper's capabilities) may list and enter root, else the errno.
int userMayOpenFolder(const std::string& root);

// Whether capturing goes on to mark drives mounted later: every root is a mount point.
bool followsDrives(const std::vector<std::string>& roots);

// Keeps CAP_DAC_READ_SEARCH, which naming a file from its handle needs while capturing, and
// CAP_SYS_ADMIN only when markLater (a drive mounted later gets a filesystem mark); drops every
// other capability from every set and forbids gaining new ones. Throws when the kernel refuses.
void keepCaptureRights(bool markLater);

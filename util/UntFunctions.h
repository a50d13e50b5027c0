// Small stateless system helpers: drives and volumes, the computer name, the system folders,
// opening a document or address with the desktop's handler. Failures give fixed fallbacks.
#pragma once

#include "util/UntText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The computer's name, or "Unknow" when it cannot be had.
std::string getComputerName();

// One watched drive: Windows C:\ (device empty); Linux the mount point with a trailing "/".
struct TDriveInfo {
    std::string root;
    std::string device; // Linux: the block device, e.g. /dev/sda1
    std::string fsType; // e.g. NTFS, ext4
    bool removable = false;
};

// The fixed and removable drives: Windows in letter order, Linux mounted block-device
// filesystems in path order (optical, network, RAM and pseudo filesystems left out).
std::vector<TDriveInfo> getDriveInfos();
// The same roots as a list text: each root followed by CR LF, the last one too.
std::string getFixedDrives();
std::string driveListText(const std::vector<TDriveInfo>& drives);

// The file system's name of the volume holding root, or "NTFS" when it cannot be had.
std::string getFileSystemName(std::string root);
// Total bytes (total) or bytes free to the caller (!total) of the volume holding root; 0 on failure.
std::uint64_t getDiskSpace(std::string root, bool total);

// The text after the last separator of the style; the whole text without one.
std::string extractFileNamePart(std::string_view path, TPathStyle style = kNativePathStyle);

// The running executable's folder with its trailing separator; empty when the system cannot say.
std::string executableFolder();

// Windows: the Windows folder with one trailing "\" ("\" on failure). Linux: "/usr/".
std::string getWindowsDir();
// Windows: the drive of the Windows folder with "\" (C:\), "c:\" on failure. Linux: "/".
std::string getSystemDriveRoot();

// Opens a document, folder or web address with the desktop's handler. Fire and forget:
// never blocks, reports nothing.
void shellOpen(std::string target);

// One line of /proc/self/mountinfo, octal escapes (\040 and the like) decoded.
struct TMountEntry {
    std::string majorMinor;
    std::string root;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Lines that do not have the expected fields are skipped.
std::vector<TMountEntry> parseMountInfo(std::string_view text);
// Whether a mount can be a drive by its type and source alone: a source under /dev/, not an
// optical, RAM, loop-image, network or pseudo filesystem. Whether the source really is a block
// device is checked separately.
bool isDriveMount(const TMountEntry& entry);
// The candidate drives of a mount table: drive mounts only, one per mount point (the last
// mount there hides the earlier ones), sorted by path, roots with a trailing "/".
std::vector<TDriveInfo> drivesFromMountInfo(std::string_view text);

#include "capture/UntMountWatcher_linux.h"

#include "events/UntEvents.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <string_view>
#include <system_error>

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string rootOf(const TMountEntry& entry)
{
    std::string root = entry.mountPoint;
    if (root.empty() || root.back() != '/')
        root.push_back('/');
    return root;
}

std::string firstLine(const std::string& path)
{
    TFdObj file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char text[16] = {};
    const ssize_t length = file ? ::read(file.get(), text, sizeof text - 1) : -1;
    if (length <= 0)
        return {};
    std::string line(text, static_cast<std::size_t>(length));
    return line.substr(0, line.find('\n'));
}

// A mount is the same one while its place and its filesystem are.
std::string identity(const TMountEntry& entry)
{
    return entry.mountPoint + '\n' + entry.majorMinor + '\n' + entry.source;
}

} // namespace

TMountClass classifyMount(const TMountEntry& entry, bool removable)
{
    static constexpr std::array<std::string_view, 12> kNetwork = {
        "nfs",   "nfs4", "cifs", "smb3",      "smbfs", "fuse.sshfs",
        "sshfs", "9p",   "ceph", "glusterfs", "afs",   "fuse.glusterfs",
    };
    if (std::find(kNetwork.begin(), kNetwork.end(), entry.fsType) != kNetwork.end())
        return TMountClass::Network;
    // A loop-mounted disk image is a local drive as well; images of optical media are not.
    bool drive = isDriveMount(entry);
    if (!drive && startsWith(entry.source, "/dev/loop")) {
        static constexpr std::array<std::string_view, 5> kImages = {"iso9660", "udf", "squashfs", "erofs", "cramfs"};
        drive = std::find(kImages.begin(), kImages.end(), entry.fsType) == kImages.end() && !entry.mountPoint.empty() &&
                entry.mountPoint[0] == '/';
    }
    if (!drive)
        return TMountClass::None;
    if (removable)
        return TMountClass::Media;
    if (startsWith(entry.mountPoint, "/media/") || startsWith(entry.mountPoint, "/run/media/"))
        return TMountClass::HotPlug;
    return TMountClass::Drive;
}

std::vector<TMountChange> diffMountTables(const std::vector<TMountEntry>& before, const std::vector<TMountEntry>& after,
                                          const std::function<bool(const TMountEntry&)>& removable)
{
    std::map<std::string, int> counts;
    for (const TMountEntry& entry : after)
        ++counts[identity(entry)];
    std::vector<const TMountEntry*> removed;
    for (const TMountEntry& entry : before) {
        auto it = counts.find(identity(entry));
        if (it != counts.end() && it->second > 0)
            --it->second;
        else
            removed.push_back(&entry);
    }
    counts.clear();
    for (const TMountEntry& entry : before)
        ++counts[identity(entry)];
    std::vector<const TMountEntry*> added;
    for (const TMountEntry& entry : after) {
        auto it = counts.find(identity(entry));
        if (it != counts.end() && it->second > 0)
            --it->second;
        else
            added.push_back(&entry);
    }

    std::vector<TMountChange> changes;
    auto add = [&](const TMountEntry& entry, bool isAdded) {
        const TMountClass kind = classifyMount(entry, removable && removable(entry));
        int eventNum = -1;
        switch (kind) {
        case TMountClass::None:
            return;
        case TMountClass::Drive:
            eventNum = isAdded ? evDriveAdd : evDriveRemoved;
            break;
        case TMountClass::HotPlug:
            eventNum = isAdded ? evDriveAddGui : evDriveRemoved;
            break;
        case TMountClass::Media:
            eventNum = isAdded ? evMediaInserted : evMediaRemoved;
            break;
        case TMountClass::Network:
            eventNum = isAdded ? evNetShare : evNetUnshare;
            break;
        }
        changes.push_back({eventNum, rootOf(entry), isAdded, kind != TMountClass::Network});
    };
    for (const TMountEntry* entry : removed)
        add(*entry, false);
    for (const TMountEntry* entry : added)
        add(*entry, true);
    return changes;
}

bool isRemovableMount(const TMountEntry& entry)
{
    if (entry.majorMinor.empty())
        return false;
    const std::string device = "/sys/dev/block/" + entry.majorMinor;
    const std::string own = firstLine(device + "/removable");
    if (!own.empty())
        return own == "1";
    // A partition has no flag of its own: its disk, the folder above it, has it.
    return firstLine(device + "/../removable") == "1";
}

TMountWatcher::TMountWatcher(std::string tablePath, std::chrono::milliseconds interval)
    : tablePath_(std::move(tablePath)), interval_(interval), table_(::open(tablePath_.c_str(), O_RDONLY | O_CLOEXEC))
{
    if (!table_) {
        error_ = "the mount table cannot be watched: " + tablePath_ + ": " + std::generic_category().message(errno);
        return;
    }
    mounts_ = read();
    lastRead_ = std::chrono::steady_clock::now();
}

int TMountWatcher::pollTimeout() const
{
    if (!pending_)
        return -1;
    const auto left = lastRead_ + interval_ - std::chrono::steady_clock::now();
    return static_cast<int>(std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

std::vector<TMountChange> TMountWatcher::serve(bool changed)
{
    if (!table_)
        return {};
    pending_ = pending_ || changed;
    const auto now = std::chrono::steady_clock::now();
    if (!pending_ || now - lastRead_ < interval_)
        return {};
    pending_ = false;
    lastRead_ = now;
    std::vector<TMountEntry> mounts = read();
    auto changes = diffMountTables(mounts_, mounts, isRemovableMount);
    mounts_ = std::move(mounts);
    return changes;
}

bool TMountWatcher::isMountPoint(const std::string& path) const
{
    return std::any_of(mounts_.begin(), mounts_.end(),
                       [&](const TMountEntry& entry) { return entry.mountPoint == path; });
}

std::vector<TMountEntry> TMountWatcher::read()
{
    std::string text;
    char buffer[16384];
    if (::lseek(table_.get(), 0, SEEK_SET) != 0)
        return mounts_;
    for (;;) {
        const ssize_t length = ::read(table_.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return mounts_; // keep the last table rather than report everything gone
        if (length == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(length));
    }
    return parseMountInfo(text);
}

std::unique_ptr<TMountWatcher> openMountWatcher(std::string& error)
{
    auto watcher = std::make_unique<TMountWatcher>();
    if (watcher->valid())
        return watcher;
    error = watcher->error();
    return nullptr;
}

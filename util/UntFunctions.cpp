#include "util/UntFunctions.h"

#include <algorithm>
#include <array>
#include <map>

std::string driveListText(const std::vector<TDriveInfo>& drives)
{
    std::vector<std::string> roots;
    for (const auto& drive : drives)
        roots.push_back(drive.root);
    return entriesToListText(roots);
}

std::string extractFileNamePart(std::string_view path, TPathStyle style)
{
    const std::size_t last = path.rfind(pathSeparator(style));
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

namespace {

// The kernel writes space, tab, newline and backslash in octal (\040, \011, \012, \134).
std::string unescapeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// Path order: a folder before everything below it, so "/a/" comes before "/a b/".
struct TPathLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        const auto rank = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [&](char x, char y) { return rank(x) < rank(y); });
    }
};

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::vector<TMountEntry> parseMountInfo(std::string_view text)
{
    std::vector<TMountEntry> entries;
    for (const std::string& line : splitLines(text)) {
        const auto fields = splitFields(line);
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 6 || dash == fields.end() || dash - fields.begin() < 6 || fields.end() - dash < 3)
            continue;
        TMountEntry entry;
        entry.majorMinor = std::string(fields[2]);
        entry.root = unescapeMountField(fields[3]);
        entry.mountPoint = unescapeMountField(fields[4]);
        entry.fsType = unescapeMountField(dash[1]);
        entry.source = unescapeMountField(dash[2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool isDriveMount(const TMountEntry& entry)
{
    // Optical, RAM, image and pseudo filesystems; network filesystems have no /dev source.
    static constexpr std::array<std::string_view, 18> kNotDrives = {
        "iso9660", "udf",  "tmpfs", "ramfs", "devtmpfs", "squashfs", "overlay", "proc",   "sysfs",
        "nfs",     "nfs4", "cifs",  "smb3",  "9p",       "ceph",     "autofs",  "cramfs", "erofs",
    };
    if (!startsWith(entry.source, "/dev/") || entry.mountPoint.empty() || entry.mountPoint[0] != '/')
        return false;
    if (std::find(kNotDrives.begin(), kNotDrives.end(), entry.fsType) != kNotDrives.end())
        return false;
    // Optical drives, compressed RAM, RAM disks and loop-mounted images are not drives.
    for (std::string_view prefix : {"/dev/sr", "/dev/scd", "/dev/zram", "/dev/ram", "/dev/loop"})
        if (startsWith(entry.source, prefix))
            return false;
    return true;
}

std::vector<TDriveInfo> drivesFromMountInfo(std::string_view text)
{
    std::map<std::string, TDriveInfo, TPathLess> byRoot;
    for (const auto& entry : parseMountInfo(text)) {
        std::string root = entry.mountPoint;
        if (root.back() != '/')
            root.push_back('/');
        if (!isDriveMount(entry)) {
            byRoot.erase(root); // a later mount hides what was mounted there before
            continue;
        }
        byRoot[root] = TDriveInfo{root, entry.source, entry.fsType, false};
    }
    std::vector<TDriveInfo> drives;
    drives.reserve(byRoot.size());
    for (auto& [root, drive] : byRoot)
        drives.push_back(std::move(drive));
    return drives;
}

std::tm toLocalTime(std::time_t seconds)
{
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

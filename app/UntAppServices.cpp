#include "app/UntAppServices.h"

#include "app/UntIconRegistry.h"
#include "util/UntText.h"

#include <QDesktopServices>
#include <QLocale>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTime>
#include <QUrl>

#include <algorithm>

std::string getComputerName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? std::string("Unknow") : name.toStdString();
}

void shellOpen(const std::string& address)
{
    const QString text = QString::fromStdString(address);
    const QUrl url = text.contains(QStringLiteral("://")) ? QUrl(text) : QUrl::fromLocalFile(text);
    QDesktopServices::openUrl(url);
}

std::vector<std::string> localDriveRoots()
{
    // Memory, optical and network filesystems and read-only images are no drives to watch.
    static const QList<QByteArray> skipped = {"tmpfs", "ramfs", "devtmpfs", "squashfs", "iso9660", "udf",
                                              "nfs", "nfs4", "cifs", "smb3", "overlay", "fuse.sshfs"};
    std::vector<std::string> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || !volume.device().startsWith("/dev/") ||
            skipped.contains(volume.fileSystemType()) || volume.device().startsWith("/dev/zram") ||
            volume.device().startsWith("/dev/loop"))
            continue;
        std::string root = volume.rootPath().toStdString();
        if (root.empty() || root.back() != '/')
            root += '/';
        if (std::find(roots.begin(), roots.end(), root) == roots.end())
            roots.push_back(root);
    }
    std::sort(roots.begin(), roots.end());
    return roots;
}

std::string longTimeText()
{
    return QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat).toStdString();
}

int TRegistryIconSource::extIcon(std::string_view name)
{
    // The picture depends on the extension alone, except for the drive-root forms.
    const std::string_view ext = extensionPart(name, kNativePathStyle);
    if (ext.empty())
        return getExtIconIndex(std::string(name));
    const std::string key(ext);
    if (const auto found = byExt_.find(key); found != byExt_.end())
        return found->second;
    const int index = getExtIconIndex(std::string(name));
    if (byExt_.size() < kMaxRemembered)
        byExt_.emplace(key, index);
    return index;
}

int TRegistryIconSource::pathIcon(std::string_view path)
{
    const std::string key(path);
    if (const auto found = byPath_.find(key); found != byPath_.end())
        return found->second;
    if (byPath_.size() >= kMaxRemembered)
        byPath_.clear();
    const int index = getPathIconIndex(key);
    byPath_.emplace(key, index);
    return index;
}

int TRegistryIconSource::windowsDirIcon()
{
    if (windowsDir_ < 0)
        windowsDir_ = getPathIconIndex("/usr/");
    return windowsDir_;
}

#include "settings/UntSettingsServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <array>

namespace {

// Mounted block-device file systems; optical, RAM, loop images and pseudo file systems are no drives.
bool isDriveVolume(const QStorageInfo& volume)
{
    static const std::array<QByteArray, 8> notDrives = {"tmpfs", "ramfs", "squashfs", "iso9660",
                                                        "udf",   "zram",  "overlay",  "devtmpfs"};
    const QByteArray device = volume.device();
    if (!volume.isValid() || !volume.isReady() || !device.startsWith("/dev/") || device.startsWith("/dev/loop") ||
        device.startsWith("/dev/sr") || device.startsWith("/dev/zram"))
        return false;
    return std::find(notDrives.begin(), notDrives.end(), volume.fileSystemType()) == notDrives.end();
}

QString withSeparator(QString path)
{
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

class TMachineSystem final : public TSettingsSystem {
public:
    std::vector<std::string> fixedDrives() override
    {
        std::vector<std::string> roots;
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
            if (isDriveVolume(volume))
                roots.push_back(withSeparator(QDir::toNativeSeparators(volume.rootPath())).toStdString());
        }
        std::sort(roots.begin(), roots.end());
        roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
        return roots;
    }

    std::string fileSystemName(const std::string& root) override
    {
        const QStorageInfo volume(QString::fromStdString(root));
        const QByteArray name = volume.isValid() ? volume.fileSystemType() : QByteArray();
        return name.isEmpty() ? std::string("NTFS") : name.toStdString();
    }

    std::uint64_t diskSpace(const std::string& root, bool total) override
    {
        const QStorageInfo volume(QString::fromStdString(root));
        if (!volume.isValid() || !volume.isReady())
            return 0;
        const qint64 bytes = total ? volume.bytesTotal() : volume.bytesAvailable();
        return bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    }

    std::string systemDriveRoot() override
    {
        return QDir::toNativeSeparators(QDir::rootPath()).toStdString();
    }

    void shellOpen(const std::string& target) override
    {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(target)));
    }
};

class TMessageBoxPrompts final : public TSettingsPrompts {
public:
    void showError(QWidget* owner, const QString& title, const QString& text) override
    {
        QMessageBox::critical(owner, title, text);
    }

    bool confirm(QWidget* owner, const QString& title, const QString& text) override
    {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
    }
};

} // namespace

TSettingsSystem& defaultSettingsSystem()
{
    static TMachineSystem system;
    return system;
}

TSettingsPrompts& defaultSettingsPrompts()
{
    static TMessageBoxPrompts prompts;
    return prompts;
}

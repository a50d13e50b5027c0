#include "app/UntAppServices.h"

#include "settings/UntConfigStore.h"
#include "util/UntFunctions.h"
#include "util/UntText.h"
#include "widgets/UntIconRegistry.h"

#include <QLocale>
#include <QTime>

std::vector<std::string> localDriveRoots()
{
    std::vector<std::string> roots;
    for (const TDriveInfo& drive : getDriveInfos())
        roots.push_back(drive.root);
    return roots;
}

TBackendChoice configuredBackend(const std::string& configPath)
{
    const std::string name = readCaptureBackend(configPath);
    if (const std::optional<TBackendKind> kind = backendKindNamed(name))
        return chooseBackend(*kind);
    std::string known;
    for (const TBackendName& backend : backendNames())
        known += (known.empty() ? "" : ", ") + std::string(backend.name);
    TBackendChoice choice = chooseBackend(TBackendKind::Auto);
    choice.reason = configPath + ": BACKEND=" + name + " is none of " + known + "; " + choice.reason;
    return choice;
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
        windowsDir_ = getPathIconIndex(getWindowsDir());
    return windowsDir_;
}

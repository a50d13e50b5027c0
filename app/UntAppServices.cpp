#include "app/UntAppServices.h"

#include "settings/UntConfigStore.h"
#include "util/UntFunctions.h"
#include "util/UntText.h"
#include "widgets/UntIconRegistry.h"

#include <QLocale>
#include <QTime>

#include <ctime>

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
    // Formatted once a second: a burst of deletions would otherwise format the same second
    // thousands of times.
    thread_local std::time_t shown = -1;
    thread_local std::string text;
    const std::time_t now = std::time(nullptr);
    if (now != shown) {
        text = QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat).toStdString();
        shown = now;
    }
    return text;
}

namespace {

// The key of a path in the kinds cache: without the separator a folder node's path ends in.
std::string_view withoutTrailingSeparator(std::string_view path)
{
    const char sep = pathSeparator(kNativePathStyle);
    const std::size_t keep = kNativePathStyle == TPathStyle::Windows ? 3 : 1;
    while (path.size() > keep && path.back() == sep)
        path.remove_suffix(1);
    return path;
}

} // namespace

int TRegistryIconSource::extIcon(std::string_view name)
{
    // The picture depends on the extension alone, except for the drive-root forms.
    const std::string_view ext = extensionPart(name, kNativePathStyle);
    if (ext.empty())
        return getExtIconIndex(std::string(name));
    if (const auto found = byExt_.find(ext); found != byExt_.end())
        return found->second;
    const int index = getExtIconIndex(std::string(name));
    if (byExt_.size() < kMaxRemembered)
        byExt_.emplace(std::string(ext), index);
    return index;
}

int TRegistryIconSource::pathIcon(std::string_view path)
{
    takePrimed();
    const std::string_view key = withoutTrailingSeparator(path);
    const std::uint64_t filed = pathKey(key);
    std::optional<std::int32_t> answer = answers_.find(filed);
    if (!answer) {
        answer = TIconRegistry::lookUpPath(key);
        answers_.store(filed, *answer);
    }
    const std::optional<int> index = TIconRegistry::instance().pathIconIndexOf(*answer);
    return index ? *index : extIcon(key);
}

void TRegistryIconSource::takePrimed()
{
    // One lock for everything primed since the last look, none while nothing was.
    if (!inboxFilled_.exchange(false))
        return;
    {
        std::lock_guard lock(primeMutex_);
        taken_.swap(inbox_);
    }
    for (const auto& [filed, answer] : taken_)
        answers_.store(filed, answer);
    taken_.clear();
}

int TRegistryIconSource::windowsDirIcon()
{
    if (windowsDir_ < 0)
        windowsDir_ = getPathIconIndex(getWindowsDir());
    return windowsDir_;
}

void TRegistryIconSource::prime(std::string_view item)
{
    std::string_view path = withoutTrailingSeparator(item);
    if (path.empty())
        return;
    const auto lookUp = [&](std::string_view at) {
        const std::uint64_t filed = pathKey(at);
        const std::int32_t answer = TIconRegistry::lookUpPath(at);
        primed_.store(filed, answer);
        inbox_.emplace_back(filed, answer);
    };
    std::lock_guard lock(primeMutex_);
    if (inbox_.size() >= kMaxRemembered)
        inbox_.clear(); // nobody takes them: the views will look up what they need themselves
    lookUp(path);
    // The folders above, for new tree nodes and the list's "Work Path" icon, once each.
    const char sep = pathSeparator(kNativePathStyle);
    for (std::size_t cut = path.rfind(sep); cut != std::string_view::npos && cut > 0; cut = path.rfind(sep)) {
        const std::string_view above = withoutTrailingSeparator(path.substr(0, cut + 1));
        if (above.size() >= path.size() || primed_.find(pathKey(above)))
            break; // a drive root, or known with the folders above it
        path = above;
        lookUp(path);
    }
    inboxFilled_.store(true);
}

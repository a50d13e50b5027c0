#include "capture/UntCaptureBackend.h"
#include "capture/UntFanotifyBackend_linux.h"
#include "capture/UntHelperBackend_linux.h"
#include "capture/UntInotifyBackend_linux.h"

namespace {

const std::string kThroughHelper = std::string("Full capture through ") + kCaptureHelperName;

// The helper when it is installed, this user may run it and it could start capturing; otherwise
// null, and whyNot says what would give full capture.
std::unique_ptr<TCaptureBackend> openInstalledHelper(std::string& whyNot)
{
    const std::string path = captureHelperPath();
    if (path.empty()) {
        whyNot = std::string("install ") + kCaptureHelperName + " for full capture";
        return nullptr;
    }
    if (!mayRunHelper(path, whyNot))
        return nullptr;
    return openHelperBackend(path, whyNot);
}

} // namespace

TBackendChoice chooseBackend(TBackendKind wanted)
{
    switch (wanted) {
    case TBackendKind::Auto: {
        std::string whyNot;
        if (auto backend = openFanotifyBackend(whyNot, true))
            return {std::move(backend), "Full capture (fanotify): this process may mark whole filesystems"};
        std::string helperWhyNot;
        if (auto backend = openInstalledHelper(helperWhyNot))
            return {std::move(backend), kThroughHelper};
        std::string inotifyWhyNot;
        if (auto backend = openInotifyBackend(inotifyWhyNot))
            return {std::move(backend), "Limited capture (inotify): " + helperWhyNot};
        return {nullptr, whyNot + "; " + helperWhyNot + "; " + inotifyWhyNot};
    }
    case TBackendKind::Fanotify: {
        std::string whyNot;
        auto backend = openFanotifyBackend(whyNot);
        if (backend)
            return {std::move(backend), "fanotify: asked for"};
        return {nullptr, whyNot};
    }
    case TBackendKind::Helper: {
        std::string whyNot;
        if (auto backend = openInstalledHelper(whyNot))
            return {std::move(backend), kThroughHelper};
        return {nullptr, whyNot};
    }
    case TBackendKind::Inotify: {
        std::string whyNot;
        if (auto backend = openInotifyBackend(whyNot))
            return {std::move(backend), "inotify: asked for"};
        return {nullptr, whyNot};
    }
    case TBackendKind::ShellNotify:
        return {nullptr, "shell change notifications: Windows only"};
    }
    return {nullptr, "unknown backend"};
}

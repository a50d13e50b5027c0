#include "capture/UntCaptureBackend.h"
#include "capture/UntFanotifyBackend_linux.h"
#include "capture/UntInotifyBackend_linux.h"

TBackendChoice chooseBackend(TBackendKind wanted)
{
    switch (wanted) {
    case TBackendKind::Auto: {
        std::string whyNot;
        if (auto backend = openFanotifyBackend(whyNot, true))
            return {std::move(backend), "fanotify: this process may mark whole filesystems"};
        std::string inotifyWhyNot;
        if (auto backend = openInotifyBackend(inotifyWhyNot))
            return {std::move(backend), whyNot + "; using recursive inotify"};
        return {nullptr, whyNot + "; " + inotifyWhyNot};
    }
    case TBackendKind::Fanotify: {
        std::string whyNot;
        auto backend = openFanotifyBackend(whyNot);
        if (backend)
            return {std::move(backend), "fanotify: asked for"};
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
    case TBackendKind::DirChanges:
        return {nullptr, "ReadDirectoryChangesW: Windows only"};
    }
    return {nullptr, "unknown backend"};
}

std::vector<TBackendName> backendNames()
{
    return {{"auto", TBackendKind::Auto}, {"fanotify", TBackendKind::Fanotify}, {"inotify", TBackendKind::Inotify}};
}

#include "capture/UntCaptureBackend.h"
#include "capture/UntFanotifyBackend_linux.h"

TBackendChoice chooseBackend(TBackendKind wanted)
{
    switch (wanted) {
    case TBackendKind::Auto:
    case TBackendKind::Fanotify: {
        std::string whyNot;
        auto backend = openFanotifyBackend(whyNot);
        if (backend)
            return {std::move(backend), wanted == TBackendKind::Auto
                                            ? "fanotify: this process may mark whole filesystems"
                                            : "fanotify: asked for"};
        if (wanted == TBackendKind::Auto)
            whyNot += "; the inotify fallback is not available yet";
        return {nullptr, whyNot};
    }
    case TBackendKind::Inotify:
        return {nullptr, "inotify: not available yet"};
    case TBackendKind::ShellNotify:
        return {nullptr, "shell change notifications: Windows only"};
    }
    return {nullptr, "unknown backend"};
}

#include "capture/UntCaptureBackend.h"
#include "capture/UntShellNotify_win.h"

TBackendChoice chooseBackend(TBackendKind wanted)
{
    switch (wanted) {
    case TBackendKind::Fanotify:
        return {nullptr, "fanotify is only available on Linux"};
    case TBackendKind::Helper:
        return {nullptr, "filesmonitor-capture is only available on Linux"};
    case TBackendKind::Inotify:
        return {nullptr, "inotify is only available on Linux"};
    case TBackendKind::ShellNotify:
        return {makeShellNotifyBackend(), "shell change notifications: asked for"};
    case TBackendKind::Auto:
        break;
    }
    return {makeShellNotifyBackend(), "shell change notifications: the one backend on Windows"};
}

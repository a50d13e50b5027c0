#include "capture/UntCaptureBackend.h"
#include "capture/UntShellNotify_win.h"

TBackendChoice chooseBackend(TBackendKind wanted)
{
    switch (wanted) {
    case TBackendKind::Fanotify:
        return {nullptr, "fanotify is only available on Linux"};
    case TBackendKind::Inotify:
        return {nullptr, "inotify is only available on Linux"};
    case TBackendKind::Auto:
    case TBackendKind::ShellNotify:
        break;
    }
    return {makeShellNotifyBackend(), "shell change notifications"};
}

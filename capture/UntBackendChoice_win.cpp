#include "capture/UntCaptureBackend.h"
#include "capture/UntDirChanges_win.h"
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
    case TBackendKind::DirChanges:
        return {makeDirChangesBackend(),
                "ReadDirectoryChangesW: asked for; drives, media, shares and associations from shell change "
                "notifications"};
    case TBackendKind::Auto:
        break;
    }
    return {makeShellNotifyBackend(), "shell change notifications: the default on Windows"};
}

std::vector<TBackendName> backendNames()
{
    return {{"auto", TBackendKind::Auto}, {"shell", TBackendKind::ShellNotify}, {"rdcw", TBackendKind::DirChanges}};
}

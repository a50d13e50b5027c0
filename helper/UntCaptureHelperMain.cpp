// filesmonitor-capture: started by filesmonitor or filesmonitor-cli with one socket as its
// standard input and output; never by hand.
#include "capture/UntFanotifyBackend_linux.h"
#include "helper/UntCaptureHelper.h"
#include "helper/UntHelperRights_linux.h"

#include <unistd.h>

int main()
{
    const int parent = prepareHelperProcess();
    if (parent == 0)
        return kHelperFinished; // nobody to capture for
    std::string whyNot;
    // No inotify fallback here: it would open and list every folder below the roots with the
    // helper's rights. The program watches such a root itself.
    const auto backend = openFanotifyBackend(whyNot);
    if (!backend) {
        writeHelperError(STDOUT_FILENO, whyNot);
        return kHelperCannotCapture;
    }
    const THelperSystem system{userMayOpenFolder,
                               [](const std::vector<std::string>& roots) { keepCaptureRights(followsDrives(roots)); }};
    return serveCaptureHelper(*backend, STDIN_FILENO, STDOUT_FILENO, parent, system);
}

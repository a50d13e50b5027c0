// What the desktop program asks of the system beyond util/UntFunctions.h: the drive roots to
// watch, the capture backend, the user's time format, and the icon source of both views.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "pipeline/UntViewIcons.h"

#include <string>
#include <unordered_map>
#include <vector>

// The fixed and removable drive roots, in order.
std::vector<std::string> localDriveRoots();
// The backend that [CAPTURE] BACKEND of the settings file asks for, read at each recording's
// start; a name this platform does not know gives the automatic choice, with the reason.
TBackendChoice configuredBackend(const std::string& configPath);
// The current local time of day in the user's long time format.
std::string longTimeText();

// Maps the views' lookups onto the shared icon registry. Folder lookups repeat for almost every
// list row, so their answers are kept (a bounded number of them). User-interface thread only.
class TRegistryIconSource final : public TIconSource {
public:
    int extIcon(std::string_view name) override;
    int pathIcon(std::string_view path) override;
    int windowsDirIcon() override;

    static constexpr std::size_t kMaxRemembered = 65536;

private:
    std::unordered_map<std::string, int> byPath_;
    std::unordered_map<std::string, int> byExt_;
    int windowsDir_ = -1;
};

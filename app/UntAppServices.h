// What the desktop program asks of the system beyond util/UntFunctions.h: the drive roots to
// watch, the capture backend, the user's time format, and the icon source of both views.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "pipeline/UntViewIcons.h"
#include "util/UntPathKind.h"
#include "util/UntText.h"

#include <atomic>
#include <mutex>
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

// Maps the views' lookups onto the shared icon registry. What a real path is comes from answers
// kept on the user-interface thread, into which the worker's are handed: the worker primes each
// event's paths (prime), so the views rarely ask the file system themselves.
class TRegistryIconSource final : public TIconSource {
public:
    int extIcon(std::string_view name) override;
    int pathIcon(std::string_view path) override;
    int windowsDirIcon() override;
    // Any thread: looks the path up afresh, and the folders above it where they are not known.
    void prime(std::string_view path) override;

    static constexpr std::size_t kMaxRemembered = 65536;

private:
    using TAnswer = std::pair<std::uint64_t, std::int32_t>; // pathKey, TIconRegistry::lookUpPath
    void takePrimed();

    // User-interface thread.
    TPathAnswers answers_{kMaxRemembered};
    std::unordered_map<std::string, int, TTextHash, std::equal_to<>> byExt_;
    int windowsDir_ = -1;
    std::vector<TAnswer> taken_;

    // The priming thread's side.
    std::mutex primeMutex_;
    TPathAnswers primed_{kMaxRemembered}; // guarded by primeMutex_
    std::vector<TAnswer> inbox_;          // guarded by primeMutex_
    std::atomic<bool> inboxFilled_{false};
};

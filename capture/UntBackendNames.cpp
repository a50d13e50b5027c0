#include "capture/UntCaptureBackend.h"

#include "util/UntText.h"

std::optional<TBackendKind> backendKindNamed(std::string_view name)
{
    for (const TBackendName& known : backendNames())
        if (sameText(known.name, name))
            return known.kind;
    return std::nullopt;
}

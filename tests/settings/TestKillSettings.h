// The two sets of settings the kill test alternates between: large enough (about 100 KB of
// folders) that a save takes long enough to be killed in the middle.
#pragma once

#include "settings/UntConfigStore.h"

#include <string>

inline TSettingsData killTestSettings(int which)
{
    TSettingsData data;
    data.cTray = which == 1;
    data.events[3] = which == 0;
    for (int i = 0; i < 2000; ++i)
        data.folders.push_back("/srv/data/" + std::string(which ? "b" : "a") + std::to_string(i) + "/");
    return data;
}

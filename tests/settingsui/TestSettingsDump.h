// Everything a settings window shows that "config.ini" keeps, as one text.
#pragma once

#include "settingsui/UntSettings.h"

#include <string>

inline std::string dumpSettings(const TFrmSettings& settings)
{
    std::string text = "events=";
    for (int i = 0; i < settings.eventRowCount(); ++i)
        text += settings.eventRowChecked(i) ? 'Y' : 'N';
    text += "\noptions=";
    for (const bool option : {settings.autoCapture(), settings.tray(), settings.autoClean(), settings.autoExpand()})
        text += option ? 'Y' : 'N';
    text += "\nextensions=\n" + settings.extensionsText();
    text += "folders=\n" + settings.excludedFoldersText();
    return text;
}

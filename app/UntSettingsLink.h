// What the main window needs from the settings window: the live settings the monitor reads, the
// options that steer the main window, the lock while recording, and showing it modally.
#pragma once

#include "monitor/UntShellMonitorThread.h"
#include "settings/UntConfigStore.h"

class QWidget;

class TSettingsWindow : public TMonitorSettings {
public:
    // "Automatically start the capture on program startup."
    virtual bool autoCapture() const = 0;
    // "Minimize application to tray on close."
    virtual bool trayOnClose() const = 0;
    // True locks the drive, filter and event lists while recording; false unlocks them.
    virtual void setRecordMode(bool recording) = 0;
    virtual void showModal(QWidget* owner) = 0;
    // The main window's own keys of config.ini.
    virtual TViewSettings viewSettings() const = 0;
    // Stores the column choices; throws TIniWriteError when config.ini cannot be written.
    virtual void saveViewColumns(const TViewSettings& data) = 0;
};

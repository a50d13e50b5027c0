// What the main window needs from the settings window: the live settings the monitor reads, the
// options that steer the main window, the lock while recording, and showing it modally.
#pragma once

#include "monitor/UntShellMonitorThread.h"

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
};

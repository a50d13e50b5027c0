// The settings as "config.ini" holds them, with a small options dialog: what the desktop program
// uses until the full settings window is part of it.
#pragma once

#include "app/UntSettingsLink.h"
#include "capture/UntShellMonitorThread.h"
#include "settings/UntConfigStore.h"

#include <string>
#include <vector>

class TSettingsStandIn final : public TSettingsWindow {
public:
    // Reads the file at once; every root is offered as a ticked drive row.
    TSettingsStandIn(std::string configPath, std::vector<std::string> driveRoots);

    int driveRowCount() const override;
    TDriveRow driveRow(int index) const override;
    int eventRowCount() const override;
    bool eventRowChecked(int index) const override;
    std::string excludedFoldersText() const override;
    std::string extensionsText() const override;
    bool autoExpand() const override { return data_.cAutoExpand; }
    bool autoClean() const override { return data_.cautoclean; }

    bool autoCapture() const override { return data_.cAutoCapture; }
    bool trayOnClose() const override { return data_.cTray; }
    void setRecordMode(bool recording) override { recording_ = recording; }
    void showModal(QWidget* owner) override;

private:
    std::string path_;
    std::vector<std::string> driveRoots_;
    TSettingsData data_;
    bool recording_ = false;
};

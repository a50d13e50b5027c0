// The settings window as the main window and the monitor see it.
#pragma once

#include "app/UntSettingsLink.h"

class TFrmSettings;

class TSettingsAdapter final : public TSettingsWindow {
public:
    explicit TSettingsAdapter(TFrmSettings& frm) : frm_(frm) {}

    int driveRowCount() const override;
    TDriveRow driveRow(int index) const override;
    int eventRowCount() const override;
    bool eventRowChecked(int index) const override;
    std::string excludedFoldersText() const override;
    std::string extensionsText() const override;
    bool autoExpand() const override;
    bool autoClean() const override;
    bool autoCapture() const override;
    bool trayOnClose() const override;
    void setRecordMode(bool recording) override;
    void showModal(QWidget* owner) override;
    TViewSettings viewSettings() const override;
    void saveViewColumns(const TViewSettings& data) override;

private:
    TFrmSettings& frm_;
};

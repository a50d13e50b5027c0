#include "app/UntSettingsAdapter.h"

#include "settingsui/UntSettings.h"

int TSettingsAdapter::driveRowCount() const
{
    return frm_.driveRowCount();
}

TDriveRow TSettingsAdapter::driveRow(int index) const
{
    return {frm_.driveRowCaption(index), frm_.driveRowChecked(index)};
}

int TSettingsAdapter::eventRowCount() const
{
    return frm_.eventRowCount();
}

bool TSettingsAdapter::eventRowChecked(int index) const
{
    return frm_.eventRowChecked(index);
}

std::string TSettingsAdapter::excludedFoldersText() const
{
    return frm_.excludedFoldersText();
}

std::string TSettingsAdapter::extensionsText() const
{
    return frm_.extensionsText();
}

bool TSettingsAdapter::autoExpand() const
{
    return frm_.autoExpand();
}

bool TSettingsAdapter::autoClean() const
{
    return frm_.autoClean();
}

bool TSettingsAdapter::autoCapture() const
{
    return frm_.autoCapture();
}

bool TSettingsAdapter::trayOnClose() const
{
    return frm_.tray();
}

void TSettingsAdapter::setRecordMode(bool recording)
{
    frm_.setRecordMode(recording);
}

void TSettingsAdapter::showModal(QWidget*)
{
    frm_.exec();
}

TViewSettings TSettingsAdapter::viewSettings() const
{
    return readViewSettings(frm_.getConfigPath());
}

void TSettingsAdapter::saveViewColumns(const TViewSettings& data)
{
    writeViewColumns(frm_.getConfigPath(), data);
}

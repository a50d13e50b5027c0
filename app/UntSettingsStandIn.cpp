#include "app/UntSettingsStandIn.h"

#include "settings/UntIniUtilsObj.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QVBoxLayout>

TSettingsStandIn::TSettingsStandIn(std::string configPath, std::vector<std::string> driveRoots)
    : path_(std::move(configPath)), driveRoots_(std::move(driveRoots))
{
    restoreSettings(path_, data_);
}

int TSettingsStandIn::driveRowCount() const
{
    return static_cast<int>(driveRoots_.size());
}

TDriveRow TSettingsStandIn::driveRow(int index) const
{
    return {driveRoots_.at(static_cast<std::size_t>(index)), true};
}

int TSettingsStandIn::eventRowCount() const
{
    return static_cast<int>(data_.events.size());
}

bool TSettingsStandIn::eventRowChecked(int index) const
{
    return data_.events.at(static_cast<std::size_t>(index));
}

std::string TSettingsStandIn::excludedFoldersText() const
{
    return entriesToListText(data_.folders);
}

std::string TSettingsStandIn::extensionsText() const
{
    return entriesToListText(data_.extensions);
}

void TSettingsStandIn::showModal(QWidget* owner)
{
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* cAutoCapture = new QCheckBox(QStringLiteral("Automatically start the capture on program startup."));
    auto* cTray = new QCheckBox(QStringLiteral("Minimize application to tray on close."));
    auto* cautoclean = new QCheckBox(QStringLiteral("Clean Tree / List when you decide to stop record."));
    auto* cAutoExpand = new QCheckBox(QStringLiteral("Expand the tree as results arrive."));
    cAutoCapture->setChecked(data_.cAutoCapture);
    cTray->setChecked(data_.cTray);
    cautoclean->setChecked(data_.cautoclean);
    cAutoExpand->setChecked(data_.cAutoExpand);
    for (QWidget* box : {cAutoCapture, cTray, cautoclean, cAutoExpand})
        layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return;
    data_.cAutoCapture = cAutoCapture->isChecked();
    data_.cTray = cTray->isChecked();
    data_.cautoclean = cautoclean->isChecked();
    data_.cAutoExpand = cAutoExpand->isChecked();
    try {
        saveSettings(path_, data_);
    } catch (const TIniWriteError& error) {
        QMessageBox::critical(owner, QStringLiteral("Settings"), QString::fromStdString(error.what()));
    }
}

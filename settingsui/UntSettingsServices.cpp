#include "settingsui/UntSettingsServices.h"

#include "util/UntFunctions.h"
#include "util/UntText.h"

#include <QMessageBox>

namespace {

class TMachineSystem final : public TSettingsSystem {
public:
    std::vector<std::string> fixedDrives() override { return splitLines(getFixedDrives()); }

    std::string fileSystemName(const std::string& root) override { return getFileSystemName(root); }

    std::uint64_t diskSpace(const std::string& root, bool total) override { return getDiskSpace(root, total); }

    std::string systemDriveRoot() override { return getSystemDriveRoot(); }

    void shellOpen(const std::string& target) override { ::shellOpen(target); }
};

class TMessageBoxPrompts final : public TSettingsPrompts {
public:
    void showError(QWidget* owner, const QString& title, const QString& text) override
    {
        QMessageBox::critical(owner, title, text);
    }

    void showWarning(QWidget* owner, const QString& title, const QString& text) override
    {
        auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    }

    bool confirm(QWidget* owner, const QString& title, const QString& text) override
    {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
    }
};

} // namespace

TSettingsSystem& defaultSettingsSystem()
{
    static TMachineSystem system;
    return system;
}

TSettingsPrompts& defaultSettingsPrompts()
{
    static TMessageBoxPrompts prompts;
    return prompts;
}

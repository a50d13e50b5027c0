// What the settings window asks of the system and of the user, behind small interfaces so
// that another source (a test, a different desktop) can stand in.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

// Drives, volumes and the desktop's "open".
class TSettingsSystem {
public:
    virtual ~TSettingsSystem() = default;
    // The fixed and removable drive roots, in order.
    virtual std::vector<std::string> fixedDrives() = 0;
    virtual std::string fileSystemName(const std::string& root) = 0;
    // Total bytes (total) or bytes free to the caller; 0 when unknown.
    virtual std::uint64_t diskSpace(const std::string& root, bool total) = 0;
    // Where the folder picker opens.
    virtual std::string systemDriveRoot() = 0;
    // Opens a folder with the desktop's handler; reports nothing.
    virtual void shellOpen(const std::string& target) = 0;
};

// Message boxes owned by a window.
class TSettingsPrompts {
public:
    virtual ~TSettingsPrompts() = default;
    virtual void showError(QWidget* owner, const QString& title, const QString& text) = 0;
    // A warning that does not wait for the user (it may come while the program starts).
    virtual void showWarning(QWidget* owner, const QString& title, const QString& text) = 0;
    // True unless the user answers No.
    virtual bool confirm(QWidget* owner, const QString& title, const QString& text) = 0;
};

// title, initial folder, allow a new folder -> the chosen folder or an empty text.
using TFolderPicker = std::function<std::string(const std::string&, const std::string&, bool)>;

// Everything the settings window depends on; empty members take the system's own.
struct TSettingsEnvironment {
    std::string configPath;              // empty: config.ini beside the executable
    TSettingsSystem* system = nullptr;   // not owned; null: this machine
    TSettingsPrompts* prompts = nullptr; // not owned; null: message boxes
    TFolderPicker pickFolder;            // empty: browseForFolder
    std::function<void()> showAbout;     // empty: nothing
};

// The machine's drives and desktop.
TSettingsSystem& defaultSettingsSystem();
// QMessageBox based.
TSettingsPrompts& defaultSettingsPrompts();

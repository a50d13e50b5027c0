// Stand-ins for the drives, the message boxes and the folder picker of the settings window.
#pragma once

#include "settingsui/UntSettingsServices.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct TFakeDrive {
    std::string root;
    std::string fileSystem;
    std::uint64_t total = 0;
    std::uint64_t free = 0;
};

class TFakeSystem final : public TSettingsSystem {
public:
    std::vector<TFakeDrive> drives;
    std::string systemRoot = "/";
    std::vector<std::string> opened;

    std::vector<std::string> fixedDrives() override
    {
        std::vector<std::string> roots;
        for (const TFakeDrive& drive : drives)
            roots.push_back(drive.root);
        return roots;
    }
    std::string fileSystemName(const std::string& root) override { return find(root).fileSystem; }
    std::uint64_t diskSpace(const std::string& root, bool total) override
    {
        const TFakeDrive& drive = find(root);
        return total ? drive.total : drive.free;
    }
    std::string systemDriveRoot() override { return systemRoot; }
    void shellOpen(const std::string& target) override { opened.push_back(target); }

private:
    const TFakeDrive& find(const std::string& root) const
    {
        static const TFakeDrive none;
        for (const TFakeDrive& drive : drives) {
            if (drive.root == root)
                return drive;
        }
        return none;
    }
};

// Records every box; confirm() gives the prepared answer.
class TFakePrompts final : public TSettingsPrompts {
public:
    struct TBox {
        QWidget* owner;
        QString title;
        QString text;
    };
    std::vector<TBox> errors;
    std::vector<TBox> warnings;
    std::vector<TBox> questions;
    bool answer = true;

    void showError(QWidget* owner, const QString& title, const QString& text) override
    {
        errors.push_back({owner, title, text});
    }
    void showWarning(QWidget* owner, const QString& title, const QString& text) override
    {
        warnings.push_back({owner, title, text});
    }
    bool confirm(QWidget* owner, const QString& title, const QString& text) override
    {
        questions.push_back({owner, title, text});
        return answer;
    }
};

// Answers the folder picker from a queue and records what it was asked.
struct TFakePicker {
    struct TCall {
        std::string title;
        std::string initial;
        bool allowNewFolder;
    };
    std::vector<std::string> answers;
    std::vector<TCall> calls;

    TFolderPicker function()
    {
        return [this](const std::string& title, const std::string& initial, bool allowNew) {
            calls.push_back({title, initial, allowNew});
            if (answers.empty())
                return std::string();
            std::string next = answers.front();
            answers.erase(answers.begin());
            return next;
        };
    }
};

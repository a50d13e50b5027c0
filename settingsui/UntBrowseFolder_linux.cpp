#include "settingsui/UntBrowseFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>

std::string browseForFolder(const std::string& title, const std::string& initialFolder, bool allowNewFolder)
{
    QFileDialog::Options options = QFileDialog::ShowDirsOnly;
    // Without a real desktop (offscreen, minimal) there is no native picker to show.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        options |= QFileDialog::DontUseNativeDialog;
    if (!allowNewFolder)
        options |= QFileDialog::ReadOnly;

    QWidget* owner = QApplication::activeWindow();
    if (owner)
        owner = owner->window();
    const QString chosen = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title),
                                                             QString::fromStdString(initialFolder), options);
    if (chosen.isEmpty())
        return {};
    return QDir::toNativeSeparators(chosen).toStdString();
}

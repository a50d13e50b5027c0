// The settings window: its controls are the live settings of the program; "config.ini" is
// their copy on disk, read when the window is created and written each time it is hidden.
#pragma once

#include "settings/UntConfigStore.h"
#include "settingsui/UntSettingsServices.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TFrmAddExtension;
class TGlassActiveLabel;
class TGlassPanel;
class TGlassToolButton;

class TFrmSettings : public QDialog {
    Q_OBJECT

public:
    explicit TFrmSettings(TSettingsEnvironment environment = {}, QWidget* parent = nullptr);
    ~TFrmSettings() override;

    const std::string& getConfigPath() const { return configPath_; }

    // Locks the drive, event and filter lists while a recording runs.
    void setRecordMode(bool value);
    bool getRecordMode() const { return recordMode_; }

    // Parses the text and appends the new extension rows.
    void addExtensions(const std::string& text);
    // Removes the selected rows of lstext or lstpath after the user agrees.
    void deleteListItems(QTreeWidget* list);

    // Writes config.ini, then reads it back; throws TIniWriteError when the write is refused.
    void saveSettings();
    // The number of lines of the file that were not understood.
    std::size_t restoreSettings();
    // Replaces the folder rows with the lines of a list text, unchanged.
    void restoreDirsFilters(const std::string& listText);

    // Moves the settings between the controls and plain data.
    TSettingsData settingsFromWindow() const;
    void settingsToWindow(const TSettingsData& data, const std::vector<std::string>& addedExtensions);

    // What the monitor and the main window read.
    int driveRowCount() const;
    std::string driveRowCaption(int index) const;
    bool driveRowChecked(int index) const;
    int eventRowCount() const;
    bool eventRowChecked(int index) const;
    std::string extensionsText() const;
    std::string excludedFoldersText() const;
    bool autoCapture() const;
    bool tray() const;
    bool autoClean() const;
    bool autoExpand() const;

    // Item data role holding the picture index of a tree node or an event row.
    static constexpr int kPictureRole = Qt::UserRole + 1;
    // The picture index a button or a row shows.
    static int pictureOf(const QWidget* button);
    static int pictureOf(const QTreeWidgetItem* item);
    bool isRefreshTimerActive() const;

    TFrmAddExtension* extensionDialog() const { return addExtension_; }

    // Handlers.
    void treeClick();
    void timerTimer();
    void tbAddExtClick();
    void tbAddPathClick();
    void lsteventsDblClick();
    void lstpathDblClick();

    // The controls.
    QTreeWidget* Tree = nullptr;
    TGlassPanel* P1 = nullptr;
    TGlassPanel* p2 = nullptr;
    TGlassPanel* P3 = nullptr;
    TGlassPanel* P4 = nullptr;
    TGlassActiveLabel* GlassActiveLabel1 = nullptr;
    TGlassActiveLabel* GlassActiveLabel2 = nullptr;
    TGlassActiveLabel* GlassActiveLabel3 = nullptr;
    TGlassActiveLabel* GlassActiveLabel4 = nullptr;
    QTreeWidget* ListDrives = nullptr;
    QTreeWidget* lstext = nullptr;
    QTreeWidget* lstpath = nullptr;
    QTreeWidget* lstevents = nullptr;
    TGlassToolButton* tbAddExt = nullptr;
    TGlassToolButton* tbDeleteExt = nullptr;
    TGlassToolButton* tbAddPath = nullptr;
    TGlassToolButton* tbDelPath = nullptr;
    QLabel* ImgRec1 = nullptr;
    QLabel* ImgRec2 = nullptr;
    QLabel* ImgREC3 = nullptr;
    TGlassActiveLabel* labelrec1 = nullptr;
    TGlassActiveLabel* labelREC2 = nullptr;
    TGlassActiveLabel* labelREC3 = nullptr;
    QCheckBox* cAutoCapture = nullptr;
    QCheckBox* cTray = nullptr;
    QCheckBox* cautoclean = nullptr;
    QCheckBox* cAutoExpand = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTree();
    void buildPages();
    void buildDrivesPage();
    void buildFiltersPage();
    void buildEventsPage();
    void buildGeneralPage();
    void fillEventRows();
    void refreshDrives();
    void showPage(TGlassPanel* page);
    void eventRowChanged(QTreeWidgetItem* item);
    void colourPathRow(QTreeWidgetItem* item) const;
    void addPathRow(const std::string& path);
    void addExtensionRow(const std::string& entry);
    void setButtonPicture(TGlassToolButton* button, int picture);

    std::string configPath_;
    TSettingsSystem& system_;
    TSettingsPrompts& prompts_;
    TFolderPicker pickFolder_;
    std::function<void()> showAbout_;
    QTimer* Timer = nullptr;
    TFrmAddExtension* addExtension_ = nullptr;
    bool recordMode_ = false;
    bool updatingEventRow_ = false;
};

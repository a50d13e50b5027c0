// The main window: recording control, the two event views, status, layout, the notification-area
// icon and the exit confirmation. The monitor thread and the queue worker change it only through
// synchronous steps (TMonitorView, TDeliverySink), so its controls need no lock.
#pragma once

#include "app/UntEventViews.h"
#include "app/UntExport.h"
#include "app/UntMainImages.h"
#include "app/UntQtInvoker.h"
#include "app/UntSettingsLink.h"
#include "monitor/UntShellMonitorThread.h"
#include "pipeline/UntDeliverySink.h"

#include <QElapsedTimer>
#include <QKeySequence>
#include <QSystemTrayIcon>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QMenu;
class QMessageBox;
class QShortcut;
class QTimer;
class TFindBar;
class TFrmAbout;
class TGlassActiveLabel;
class TGlassPanel;
class TGlassProgressBar;
class TGlassToolBar;
class TGlassToolButton;
class TListRowsView;
class TTreeRowsView;

// What the window takes from the system; every empty member gets the real thing.
struct TMainServices {
    std::function<TBackendChoice()> backend;             // what config.ini asks for
    TDriveRootsProvider driveRoots;                      // localDriveRoots
    std::chrono::milliseconds batchInterval{1000};       // how often the worker delivers
    TTimeTextFn timeText;                                // the user's long time format
    std::shared_ptr<TIconSource> icons;                  // the shared icon registry
    std::function<void(const std::string&)> openAddress; // shellOpen
    std::string computerName;                            // getComputerName
    // The exit question; true for Yes.
    std::function<bool(QWidget* owner, const QString& title)> confirmExit;
    // Whether the desktop shows notification-area icons; without one, closing minimises instead.
    std::function<bool()> trayAvailable;
    // The save button's dialogs and progress display.
    std::function<std::unique_ptr<TExportUi>()> exportUi;
};

inline constexpr const char* kBalloonTitle = "Working in background";
inline constexpr const char* kBalloonText =
    "VelmoraWare Windows File Monitor is still running in background. Click on this icon to restore application.";

class TFrmMain final : public QWidget, public TMonitorView, public TDeliverySink {
    Q_OBJECT

public:
    explicit TFrmMain(TMainServices services = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Created after the main window, kept for the whole run. Its view keys (the list's columns,
    // the memory limit) apply at once.
    void setSettingsWindow(TSettingsWindow* settings);
    void setAboutBox(TFrmAbout* about) { about_ = about; }

    void startCapture();
    void closeProgram();
    void processResize();
    void addDirectoryFile(const std::string& item1, const std::string& item2, int eventNum);
    void addListItem(const std::string& item1, const std::string& item2, int eventNum);

    // Closes the hand-offs first, then stops and joins the monitor: never waits on a thread that
    // waits on this one. Runs at most once; afterwards nothing records.
    void shutdown();

    // TMonitorView
    void showState(TRecordingState state) override;
    void clearViews() override;
    // TDeliverySink
    void prepare(const TItemObj& item) override; // worker thread
    void batchStart(int count) override;
    void treeStep(const TItemObj& item) override;
    void listStep(const TItemObj& item) override;
    void progress(int position) override;
    void batchEnd(bool autoExpand) override;

    struct TControls {
        TGlassToolBar* ToolBar;
        TTreeRowsView* Tree;
        TGlassToolButton* tbhelp;
        TGlassToolButton* tbsettings;
        TGlassPanel* pTop;
        TGlassToolButton* tbTree;
        TGlassToolButton* tbList;
        TGlassActiveLabel* lMater;
        QLabel* lInfo; // how this recording captures, for its first seconds
        TGlassToolButton* tbClean;
        TGlassToolButton* tbsave;
        TGlassToolButton* tbRecord;
        TGlassToolButton* tbPause;
        TGlassProgressBar* P;
        TListRowsView* List;
        QSystemTrayIcon* Tray;
        QMenu* PopAbout;
        QAction* Likeus1;
        QAction* About1;
        QAction* ExitProgram1;
        // Shown over the views on Ctrl+F, hidden on Escape.
        TFindBar* FindBar;
        // The views' context menu.
        QMenu* PopViews;
        QAction* Find1;
        QAction* FollowNewest1;
        // The list header's context menu.
        QMenu* PopColumns;
        QAction* TimeColumn1;
        QAction* ProcessColumn1;
    };
    const TControls& controls() const { return c_; }
    const TEventTree& eventTree() const { return views_->tree(); }
    const TEventList& eventList() const { return views_->list(); }
    TTreeItemModel& treeModel() { return views_->treeModel(); }
    TListItemModel& listModel() { return views_->listModel(); }
    const TEventViews& eventViews() const { return *views_; }
    TShellMonitor* shellMonitor() const { return monitor_.get(); }
    TReportExporter& exporter() { return *exporter_; }

    int recordPicture() const { return recordPicture_; }
    int pausePicture() const { return pausePicture_; }
    QString status() const;
    bool isTrayVisible() const { return trayVisible_; }
    bool isFollowingNewest() const;
    // The memory warning, while it is shown.
    QMessageBox* memoryWarning() const { return memoryBox_; }
    QString balloonTitle() const { return balloonTitle_; }
    QString balloonText() const { return balloonText_; }

signals:
    // The program ends with this code ("Exit Program", or the window closed for good).
    void programEnd(int exitCode);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The recording state lives in the buttons' pictures.
    static constexpr int kRecordIdle = picRecord;
    static constexpr int kRecordRunning = picStop;
    static constexpr int kPauseRunning = picPause;
    static constexpr int kPausePaused = picResume;

    void createControls();
    void createKeys();
    void setButtonTip(TGlassToolButton* button, const QString& caption);
    void setStatus(const QString& text);
    void setPicture(TGlassToolButton* button, int picture, const QString& caption);
    void showTray();
    void hideTray();
    void showIdle();
    void flushRows();
    void refreshCaptureStatus();
    void showCaptureReason();
    void placeInfo();

    // The views' side (UntMainViews.cpp).
    void createViewTools();
    void openFind();
    void closeFind();
    void findTextChanged(const QString& text);
    void stepFind();
    void showFindCounts();
    void rowsAdded();
    void followNewest();
    void setFollowNewest(bool value);
    void setColumnShown(int column, bool shown);
    void checkMemory();

    void tbRecordClick();
    void tbPauseClick();
    void tbCleanClick();
    void tbTreeClick();
    void tbListClick();
    void tbsettingsClick();
    void tbhelpClick();
    void TrayClick();
    void Likeus1Click();
    void About1Click();
    void ExitProgram1Click();

    TMainServices services_;
    TControls c_{};
    TSettingsWindow* settings_ = nullptr;
    TFrmAbout* about_ = nullptr;

    // The key of each button, shown in its tool tip.
    std::vector<std::pair<TGlassToolButton*, QKeySequence>> keys_;
    std::unique_ptr<TEventViews> views_;
    QTimer* findTimer_ = nullptr;
    QShortcut* findEscape_ = nullptr;
    TViewSettings viewSettings_;
    QMessageBox* memoryBox_ = nullptr;
    bool memoryWarned_ = false;
    QElapsedTimer barClock_;
    static constexpr qint64 kBarMs = 40;

    int recordPicture_ = 8;
    int pausePicture_ = 7;
    bool loaded_ = false;
    bool trayVisible_ = false;
    bool closedForGood_ = false;
    QString balloonTitle_;
    QString balloonText_;
    QTimer* statusTimer_ = nullptr;
    static constexpr std::size_t kTooltipNotes = 5;
    bool reasonShown_ = false; // the capture's reason, once per recording
    QString infoText_;
    QTimer* infoTimer_ = nullptr;
    static constexpr int kInfoMs = 10000;

    std::unique_ptr<TQtInvoker> invoker_;
    TReportExporter* exporter_ = nullptr; // a child of the window
    std::unique_ptr<TShellMonitor> monitor_;
};

// The main window: recording control, the two event views, status, layout, the notification-area
// icon and the exit confirmation. The monitor thread and the queue worker change it only through
// synchronous steps (TMonitorView, TDeliverySink), so its controls need no lock.
#pragma once

#include "app/UntExport.h"
#include "app/UntMainImages.h"
#include "app/UntQtInvoker.h"
#include "app/UntSettingsLink.h"
#include "app/UntViewModels.h"
#include "monitor/UntShellMonitorThread.h"
#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QTableView;
class QTimer;
class QTreeView;
class TFrmAbout;
class TGlassActiveLabel;
class TGlassPanel;
class TGlassProgressBar;
class TGlassToolBar;
class TGlassToolButton;

// What the window takes from the system; every empty member gets the real thing.
struct TMainServices {
    std::function<TBackendChoice()> backend;             // chooseBackend(Auto)
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

    // Created after the main window, kept for the whole run.
    void setSettingsWindow(TSettingsWindow* settings) { settings_ = settings; }
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
    void batchStart(int count) override;
    void treeStep(const TItemObj& item) override;
    void listStep(const TItemObj& item) override;
    void progress(int position) override;
    void batchEnd(bool autoExpand) override;

    struct TControls {
        TGlassToolBar* ToolBar;
        QTreeView* Tree;
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
        QTableView* List;
        QSystemTrayIcon* Tray;
        QMenu* PopAbout;
        QAction* Likeus1;
        QAction* About1;
        QAction* ExitProgram1;
    };
    const TControls& controls() const { return c_; }
    const TEventTree& eventTree() const { return tree_; }
    const TEventList& eventList() const { return list_; }
    TTreeItemModel& treeModel() { return *treeModel_; }
    TListItemModel& listModel() { return *listModel_; }
    TShellMonitor* shellMonitor() const { return monitor_.get(); }
    TReportExporter& exporter() { return *exporter_; }

    int recordPicture() const { return recordPicture_; }
    int pausePicture() const { return pausePicture_; }
    QString status() const;
    bool isTrayVisible() const { return trayVisible_; }
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
    void setStatus(const QString& text);
    void setPicture(TGlassToolButton* button, int picture, const QString& caption);
    void showTray();
    void hideTray();
    void showIdle();
    void flushRows();
    void refreshCaptureStatus();
    void showCaptureReason();
    void placeInfo();

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

    TEventTree tree_;
    TEventList list_;
    std::unique_ptr<TTreeItemModel> treeModel_;
    std::unique_ptr<TListItemModel> listModel_;
    // List rows of the chunk being delivered, inserted together once the chunk is done.
    std::vector<TItemObj> pendingRows_;
    bool flushPosted_ = false;
    QElapsedTimer publishClock_;
    static constexpr qint64 kPublishMs = 1000;
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

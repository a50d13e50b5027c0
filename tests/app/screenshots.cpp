// Pictures of the desktop program's windows with a few recorded events, for a look after every
// build: main window in tree view and in list view, the About box, the settings pages.
#include "AppTestSupport.h"
#include "app/UntAbout.h"
#include "app/UntFindBar.h"
#include "app/UntSettingsAdapter.h"
#include "events/UntEvents.h"
#include "settingsui/UntSettings.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>

namespace {

bool save(QWidget& widget, const QString& folder, const QString& name)
{
    QCoreApplication::processEvents();
    const QString path = QDir(folder).filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A few events of an ordinary day, in the paths of the system the program runs on.
std::vector<TItemObj> sampleEvents()
{
    // Spread over a few seconds, from the processes a desktop runs.
    const auto start = std::chrono::system_clock::now() - std::chrono::seconds(5);
    int step = 0;
    const auto from = [&](int pid, const char* process) {
        return TEventOrigin{start + std::chrono::milliseconds(437 * step++), pid, process};
    };
    if (kNativePathStyle == TPathStyle::Windows)
        return {
            {"C:\\Users\\Ann\\Documents\\report.docx", "", evCreate, from(2211, "WINWORD.EXE")},
            {"C:\\Users\\Ann\\Documents\\report.docx", "", evUpdateFile, from(2211, "WINWORD.EXE")},
            {"C:\\Users\\Ann\\Documents\\notes.txt", "", evCreate, from(1840, "notepad.exe")},
            {"C:\\Users\\Ann\\Documents\\draft.txt", "C:\\Users\\Ann\\Documents\\final.txt", evRenameFile,
             from(1511, "explorer.exe")},
            {"C:\\Users\\Ann\\Pictures\\Holiday", "", evMkDir, from(1511, "explorer.exe")},
            {"C:\\Users\\Ann\\Pictures\\Holiday\\beach.jpg", "", evCreate, from(1511, "explorer.exe")},
            {"C:\\Users\\Ann\\Downloads\\setup.zip", "", evDelete, from(1511, "explorer.exe")},
            {"C:\\Windows\\Temp\\install.log", "", evUpdateFile, from(612, "msiexec.exe")},
            {"C:\\ProgramData\\Cache\\old", "", evRmDir, from(3310, "cleanmgr.exe")},
            {"C:\\Windows\\System32\\drivers\\etc\\hosts", "", evAttributes, from(3312, "attrib.exe")},
            {"D:\\Share\\Archive", "D:\\Share\\Archive 2025", evRenameFolder, {}},
        };
    return {
        {"/home/ann/Documents/report.odt", "", evCreate, from(2211, "soffice.bin")},
        {"/home/ann/Documents/report.odt", "", evUpdateFile, from(2211, "soffice.bin")},
        {"/home/ann/Documents/notes.txt", "", evCreate, from(1840, "gedit")},
        {"/home/ann/Documents/draft.txt", "/home/ann/Documents/final.txt", evRenameFile, from(3302, "mv")},
        {"/home/ann/Pictures/holiday", "", evMkDir, from(1511, "nautilus")},
        {"/home/ann/Pictures/holiday/beach.jpg", "", evCreate, from(1511, "nautilus")},
        {"/home/ann/Downloads/setup.tar.gz", "", evDelete, from(3307, "rm")},
        {"/var/log/syslog", "", evUpdateFile, from(612, "rsyslogd")},
        {"/var/cache/old", "", evRmDir, from(3310, "rm")},
        {"/etc/hosts", "", evAttributes, from(3312, "chmod")},
        {"/srv/share/archive", "/srv/share/archive-2025", evRenameFolder, {}},
    };
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);

    TFakeCapture capture;
    TMainServices services = capture.services();
    services.computerName.clear();
    services.timeText = {};
    TFrmMain frm(services);
    // A settings file of its own, so the pictures never touch the user's.
    QTemporaryDir configDir;
    TSettingsEnvironment environment;
    environment.configPath = QDir(configDir.path()).filePath(QStringLiteral("config.ini")).toStdString();
    TFrmSettings frmSettings(std::move(environment), &frm);
    TSettingsAdapter settings(frmSettings);
    frm.setSettingsWindow(&settings);
    TFrmAbout about(&frm, [](const std::string&) {});
    frm.setAboutBox(&about);
    frm.show();

    frm.controls().tbRecord->click();
    // The button changes first; events are taken once the backend is open, when recording.
    if (!waitFor([&] {
            return frm.recordPicture() == 11 && frm.shellMonitor() &&
                   frm.shellMonitor()->getState() == TMonitorState::Recording;
        }))
        return 1;
    capture.backend->add(sampleEvents());
    if (!waitFor([&] { return frm.eventList().rowCount() == sampleEvents().size() && frm.controls().P->isHidden(); }))
        return 1;

    bool ok = save(frm, folder, QStringLiteral("main-tree.png"));
    frm.controls().tbList->click();
    ok = save(frm, folder, QStringLiteral("main-list.png")) && ok;
    // The list's own columns, and the find bar over both views.
    frm.controls().TimeColumn1->trigger();
    frm.controls().ProcessColumn1->trigger();
    frm.resize(900, 351);
    ok = save(frm, folder, QStringLiteral("main-list-columns.png")) && ok;
    frm.controls().Find1->trigger();
    frm.controls().FindBar->setText(QStringLiteral("ann report"));
    if (!waitFor([&] { return frm.eventViews().isFindDone(); }))
        return 1;
    ok = save(frm, folder, QStringLiteral("main-find-list.png")) && ok;
    frm.controls().tbTree->click();
    ok = save(frm, folder, QStringLiteral("main-find-tree.png")) && ok;
    frm.controls().FindBar->setText({});
    frm.controls().FindBar->hide();
    frm.resize(635, 351);
    about.show();
    ok = save(about, folder, QStringLiteral("about.png")) && ok;
    about.hide();

    // Each page of the settings window, as its navigation tree opens it.
    frmSettings.show();
    int page = 0;
    for (QTreeWidgetItemIterator it(frmSettings.Tree); *it; ++it) {
        if ((*it)->text(0).contains(QStringLiteral("About")))
            continue;
        frmSettings.Tree->clearSelection();
        (*it)->setSelected(true);
        frmSettings.treeClick();
        ok = save(frmSettings, folder, QStringLiteral("settings-%1.png").arg(++page)) && ok;
    }
    frmSettings.hide();

    frm.shutdown();
    return ok ? 0 : 1;
}

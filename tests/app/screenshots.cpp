// Pictures of the desktop program's windows with a few recorded events, for a look after every
// build: main window in tree view and in list view, the About box, the settings pages.
#include "AppTestSupport.h"
#include "app/UntAbout.h"
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
    if (kNativePathStyle == TPathStyle::Windows)
        return {
            {"C:\\Users\\Ann\\Documents\\report.docx", "", evCreate},
            {"C:\\Users\\Ann\\Documents\\report.docx", "", evUpdateFile},
            {"C:\\Users\\Ann\\Documents\\notes.txt", "", evCreate},
            {"C:\\Users\\Ann\\Documents\\draft.txt", "C:\\Users\\Ann\\Documents\\final.txt", evRenameFile},
            {"C:\\Users\\Ann\\Pictures\\Holiday", "", evMkDir},
            {"C:\\Users\\Ann\\Pictures\\Holiday\\beach.jpg", "", evCreate},
            {"C:\\Users\\Ann\\Downloads\\setup.zip", "", evDelete},
            {"C:\\Windows\\Temp\\install.log", "", evUpdateFile},
            {"C:\\ProgramData\\Cache\\old", "", evRmDir},
            {"C:\\Windows\\System32\\drivers\\etc\\hosts", "", evAttributes},
            {"D:\\Share\\Archive", "D:\\Share\\Archive 2025", evRenameFolder},
        };
    return {
        {"/home/ann/Documents/report.odt", "", evCreate},
        {"/home/ann/Documents/report.odt", "", evUpdateFile},
        {"/home/ann/Documents/notes.txt", "", evCreate},
        {"/home/ann/Documents/draft.txt", "/home/ann/Documents/final.txt", evRenameFile},
        {"/home/ann/Pictures/holiday", "", evMkDir},
        {"/home/ann/Pictures/holiday/beach.jpg", "", evCreate},
        {"/home/ann/Downloads/setup.tar.gz", "", evDelete},
        {"/var/log/syslog", "", evUpdateFile},
        {"/var/cache/old", "", evRmDir},
        {"/etc/hosts", "", evAttributes},
        {"/srv/share/archive", "/srv/share/archive-2025", evRenameFolder},
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
    frm.controls().tbTree->click();
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

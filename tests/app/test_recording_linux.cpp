// The main window's status with a real Linux backend: a folder the capture leaves unwatched.
#include "AppTestSupport.h"
#include "capture/UntInotifyBackend_linux.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassToolButton.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A folder the capture cannot watch (here: past a watch limit of one, which a test can set where
// an unreadable folder would need another user) is said as such in the status, never as events lost.
TEST(Recording, AFolderLeftUnwatchedIsSaidApartFromLostEvents)
{
    QTemporaryDir dir(QStringLiteral("/var/tmp/fm-gui-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("below")));
    const std::string root = QDir(dir.path()).canonicalPath().toStdString();

    TFakeSettings settings;
    TMainServices services;
    services.backend = [] {
        std::string whyNot;
        auto backend = openInotifyBackend(whyNot, TInotifyOptions{1, false});
        return TBackendChoice{std::move(backend), "inotify with one watch"};
    };
    services.driveRoots = [root] { return std::vector<std::string>{root}; };
    services.computerName = "TESTHOST";
    services.confirmExit = [](QWidget*, const QString&) { return false; };
    TFrmMain frm(services);
    frm.setSettingsWindow(&settings);

    frm.controls().tbRecord->click();
    // The folders below the root are walked while recording; the status follows once a second.
    ASSERT_TRUE(waitFor([&] { return frm.status() == QStringLiteral("Live Capture. (1 folder not watched)"); }))
        << frm.status().toStdString();
    EXPECT_TRUE(frm.controls().lMater->toolTip().contains(QStringLiteral("watch limit")))
        << frm.controls().lMater->toolTip().toStdString();
    frm.controls().tbRecord->click();
    ASSERT_TRUE(waitFor([&] { return frm.recordPicture() == 8; }));
}

} // namespace

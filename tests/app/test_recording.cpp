// A real recording: the system's events for a temporary folder reach both views, through the
// platform's own capture backend.
#include "AppTestSupport.h"
#include "RecordingActivity.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The lines of the printed tree from the temporary folder's node down, re-indented from 0.
std::string subtree(const std::string& printed, const std::string& folderName)
{
    std::string out;
    std::size_t indent = std::string::npos;
    std::size_t start = 0;
    while (start < printed.size()) {
        const std::size_t end = printed.find('\n', start);
        const std::string line = printed.substr(start, end - start);
        start = end + 1;
        const std::size_t level = line.find_first_not_of(' ');
        if (indent == std::string::npos) {
            if (line.substr(level) == folderName)
                indent = level;
            continue;
        }
        if (level <= indent)
            break;
        out += line.substr(indent + 2) + "\n";
    }
    return out;
}

TEST(Recording, ATemporaryFolderShowsCreateDeleteAndRenameInBothViews)
{
    QTemporaryDir dir(activity::baseFolder() + QStringLiteral("/fm-gui-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString folder = QDir(dir.path()).canonicalPath();
    const std::string root = QDir::toNativeSeparators(folder).toStdString() + pathSeparator(kNativePathStyle);
    const std::string folderName = QDir(folder).dirName().toStdString();

    TBackendChoice probe = activity::backend();
    if (!probe.backend)
        GTEST_SKIP() << "the backend is refused here: " << probe.reason;
    probe.backend.reset();

    TFakeSettings settings;
    settings.cAutoExpand = true;
    TMainServices services;
    services.backend = [] { return activity::backend(); };
    services.driveRoots = [root] { return std::vector<std::string>{root}; };
    services.batchInterval = std::chrono::milliseconds(100);
    services.timeText = [] { return std::string("14:05:09"); };
    services.computerName = "TESTHOST";
    services.confirmExit = [](QWidget*, const QString&) { return false; };
    TFrmMain frm(services);
    frm.setSettingsWindow(&settings);
    TModelCheck check(frm);

    frm.controls().tbRecord->click();
    ASSERT_TRUE(waitFor([&] { return frm.recordPicture() == 11; }));
    ASSERT_TRUE(waitFor([&] {
        return !frm.shellMonitor()->isRunning() || frm.shellMonitor()->getState() == TMonitorState::Recording;
    }));
    ASSERT_EQ(frm.shellMonitor()->getState(), TMonitorState::Recording)
        << "recording could not start: " << frm.shellMonitor()->getFailure();

    const QString a = folder + QStringLiteral("/a.txt");
    const QString b = folder + QStringLiteral("/b.txt");
    const QString c = folder + QStringLiteral("/c.txt");
    const auto rows = [&] { return printListModel(frm.listModel()); };
    const auto mine = [&] { return subtree(printTreeModel(frm.treeModel()), folderName); };
    const auto hasRow = [&](const std::string& row) { return rows().find(row) != std::string::npos; };

    ASSERT_TRUE(activity::create(a));
    // The list shows its rows after each hand-off, the tree its nodes at the end of the batch:
    // wait for both.
    ASSERT_TRUE(waitFor([&] { return hasRow("a.txt | - | Create | " + root + " [green]") && mine() == "a.txt\n"; }))
        << rows() << mine();
    EXPECT_EQ(printTreeModel(frm.treeModel()).rfind(activity::topNode() + "\n", 0), 0u) << "the drive is the top node";

    ASSERT_TRUE(activity::remove(a));
    ASSERT_TRUE(waitFor([&] {
        return hasRow("a.txt | - | Delete | " + root + " [red]") && mine() == "(14:05:09) a.txt [red]\n";
    })) << rows()
        << mine();

    ASSERT_TRUE(activity::create(b));
    ASSERT_TRUE(waitFor([&] { return hasRow("b.txt | - | Create | " + root + " [green]"); })) << rows();
    ASSERT_TRUE(activity::rename(b, c));
    ASSERT_TRUE(waitFor([&] {
        return hasRow("b.txt | c.txt | Rename File | " + root + " [blue]") &&
               mine() == "(14:05:09) a.txt [red]\nb.txt -> c.txt [blue]\n";
    })) << rows()
        << mine();

    frm.controls().tbRecord->click();
    ASSERT_TRUE(waitFor([&] { return frm.recordPicture() == 8; }));
}

} // namespace

// A real recording: the kernel's events for a temporary folder reach both views.
#include "AppTestSupport.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Changes come from a child process: the monitor drops those of its own process.
void run(const QString& program, const QStringList& arguments)
{
    ASSERT_EQ(QProcess::execute(program, arguments), 0) << program.toStdString();
}

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
    // Not /tmp: it may be a memory filesystem, which is no drive.
    QTemporaryDir dir(QStringLiteral("/var/tmp/fm-gui-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const std::string root = QDir(dir.path()).canonicalPath().toStdString() + "/";
    const std::string folderName = QDir(dir.path()).dirName().toStdString();

    TBackendChoice probe = chooseBackend(TBackendKind::Fanotify);
    if (!probe.backend)
        GTEST_SKIP() << "fanotify refused here: " << probe.reason;
    probe.backend.reset();

    TFakeSettings settings;
    settings.cAutoExpand = true;
    TMainServices services;
    services.backend = [] { return chooseBackend(TBackendKind::Fanotify); };
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
    if (frm.shellMonitor()->getState() != TMonitorState::Recording)
        GTEST_SKIP() << "recording could not start: " << frm.shellMonitor()->getFailure();

    const QString a = QString::fromStdString(root + "a.txt");
    const QString b = QString::fromStdString(root + "b.txt");
    const QString c = QString::fromStdString(root + "c.txt");
    const auto rows = [&] { return printListModel(frm.listModel()); };
    const auto mine = [&] { return subtree(printTreeModel(frm.treeModel()), folderName); };
    const auto hasRow = [&](const std::string& row) { return rows().find(row) != std::string::npos; };

    run(QStringLiteral("touch"), {a});
    // The list shows its rows after each hand-off, the tree its nodes at the end of the batch:
    // wait for both.
    ASSERT_TRUE(waitFor([&] { return hasRow("a.txt | - | Create | " + root + " [green]") && mine() == "a.txt\n"; }))
        << rows() << mine();
    EXPECT_EQ(printTreeModel(frm.treeModel()).rfind("/\n", 0), 0u) << "the file system root is the top node";

    run(QStringLiteral("rm"), {a});
    ASSERT_TRUE(waitFor([&] {
        return hasRow("a.txt | - | Delete | " + root + " [red]") && mine() == "(14:05:09) a.txt [red]\n";
    })) << rows()
        << mine();

    run(QStringLiteral("touch"), {b});
    ASSERT_TRUE(waitFor([&] { return hasRow("b.txt | - | Create | " + root + " [green]"); })) << rows();
    run(QStringLiteral("mv"), {b, c});
    ASSERT_TRUE(waitFor([&] {
        return hasRow("b.txt | c.txt | Rename File | " + root + " [blue]") &&
               mine() == "(14:05:09) a.txt [red]\nb.txt -> c.txt [blue]\n";
    })) << rows()
        << mine();

    frm.controls().tbRecord->click();
    ASSERT_TRUE(waitFor([&] { return frm.recordPicture() == 8; }));
}

} // namespace

// A real recording: the system's events for a temporary folder reach both views, through the
// platform's own capture backend.
#include "AppTestSupport.h"
#include "RecordingActivity.h"
#include "app/UntAppServices.h"
#include "tests/util/TestTempFolder.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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

// Each way this platform records, chosen as a user chooses it: by [CAPTURE] BACKEND in config.ini.
class Recording : public testing::TestWithParam<activity::TVariant> {};

TEST_P(Recording, ATemporaryFolderShowsCreateDeleteAndRenameInBothViews)
{
    const activity::TVariant variant = GetParam();
    QTemporaryDir dir(activity::baseFolder() + QStringLiteral("/fm-gui-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString folder = QDir(dir.path()).canonicalPath();
    const std::string root = QDir::toNativeSeparators(folder).toStdString() + pathSeparator(kNativePathStyle);
    const std::string folderName = QDir(folder).dirName().toStdString();
    QTemporaryDir configDir;
    ASSERT_TRUE(configDir.isValid());
    const std::string config = QDir(configDir.path()).filePath(QStringLiteral("config.ini")).toStdString();
    writeBytes(config, std::string("[CAPTURE]\r\nBACKEND=") + variant.backendName + "\r\n");

    TBackendChoice probe = configuredBackend(config);
    if (!probe.backend)
        GTEST_SKIP() << "the backend is refused here: " << probe.reason;
    probe.backend.reset();

    TFakeSettings settings;
    settings.cAutoExpand = true;
    TMainServices services;
    services.backend = [config] { return configuredBackend(config); };
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
    EXPECT_EQ(frm.shellMonitor()->backendReason().find("is none of"), std::string::npos)
        << frm.shellMonitor()->backendReason();

    const QString a = folder + QStringLiteral("/a.txt");
    const QString b = folder + QStringLiteral("/b.txt");
    const QString c = folder + QStringLiteral("/c.txt");
    const auto rows = [&] { return printListModel(frm.listModel()); };
    const auto mine = [&] { return subtree(printTreeModel(frm.treeModel()), folderName); };
    const auto hasRow = [&](const std::string& row) { return rows().find(row) != std::string::npos; };

    ASSERT_TRUE(activity::create(variant, a));
    // The list shows its rows after each hand-off, the tree its nodes at the end of the batch:
    // wait for both.
    ASSERT_TRUE(waitFor([&] { return hasRow("a.txt | - | Create | " + root + " [green]") && mine() == "a.txt\n"; }))
        << rows() << mine();
    EXPECT_EQ(printTreeModel(frm.treeModel()).rfind(activity::topNode() + "\n", 0), 0u) << "the drive is the top node";

    ASSERT_TRUE(activity::remove(variant, a));
    ASSERT_TRUE(waitFor([&] {
        return hasRow("a.txt | - | Delete | " + root + " [red]") && mine() == "(14:05:09) a.txt [red]\n";
    })) << rows()
        << mine();

    ASSERT_TRUE(activity::create(variant, b));
    ASSERT_TRUE(waitFor([&] { return hasRow("b.txt | - | Create | " + root + " [green]"); })) << rows();
    ASSERT_TRUE(activity::rename(variant, b, c));
    ASSERT_TRUE(waitFor([&] {
        return hasRow("b.txt | c.txt | Rename File | " + root + " [blue]") &&
               mine() == "(14:05:09) a.txt [red]\nb.txt -> c.txt [blue]\n";
    })) << rows()
        << mine();

    frm.controls().tbRecord->click();
    ASSERT_TRUE(waitFor([&] { return frm.recordPicture() == 8; }));
}

INSTANTIATE_TEST_SUITE_P(Backends, Recording, testing::ValuesIn(activity::variants()),
                         [](const auto& info) { return std::string(info.param.backendName); });

// A name this platform does not know: the automatic choice, with the file and the name said.
TEST(RecordingChoice, AnUnknownBackendInConfigIniGivesTheDefaultWithTheReason)
{
    QTemporaryDir configDir;
    ASSERT_TRUE(configDir.isValid());
    const std::string config = QDir(configDir.path()).filePath(QStringLiteral("config.ini")).toStdString();
    writeBytes(config, "[CAPTURE]\r\nBACKEND=kqueue\r\n");
    const TBackendChoice unknown = configuredBackend(config);
    const TBackendChoice automatic = chooseBackend(TBackendKind::Auto);
    EXPECT_EQ(unknown.reason.rfind(config + ": BACKEND=kqueue is none of auto, ", 0), 0u) << unknown.reason;
    EXPECT_NE(unknown.reason.find("; " + automatic.reason), std::string::npos) << unknown.reason;
    ASSERT_EQ(bool(unknown.backend), bool(automatic.backend));
    if (unknown.backend) {
        EXPECT_EQ(unknown.backend->name(), automatic.backend->name());
    }

    QFile::remove(QString::fromStdString(config));
    EXPECT_EQ(configuredBackend(config).reason, automatic.reason); // no file: the default, quietly
}

} // namespace

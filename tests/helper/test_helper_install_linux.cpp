// The capture helper as installed and used by ordinary users: scripts/install into a temporary
// prefix with a group of its own, one user in that group and one outside it, a RAM filesystem to
// watch. Needs root (CI runs as root); everything made here is undone at the end.
#include "tests/capture/test_capture_support_linux.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <thread>
#include <tuple>

namespace {

// A program of this build's prefix and a user to run it as, with setpriv: no session, no fork,
// so the pid is the program's own.
struct TInstalled {
    std::string skip; // why the cases cannot run here
    std::string group;
    std::string member;   // in the group
    std::string outsider; // not in it
    std::string prefix;
    std::string ram; // a tmpfs
    std::string setpriv;
    std::string log; // what set-up commands said
    bool groupMade = false, memberMade = false, outsiderMade = false;

    // With the user's groups as a new session has them, or (sessionGroups false) with none, as a
    // session begun before the user was added to a group.
    std::vector<std::string> as(const std::string& user, std::vector<std::string> command,
                                bool sessionGroups = true) const
    {
        command.insert(command.begin(), {setpriv, "--reuid=" + user, "--regid=nogroup",
                                         sessionGroups ? "--init-groups" : "--clear-groups", "--"});
        return command;
    }
    std::string cli() const { return prefix + "/bin/filesmonitor-cli"; }
};

TInstalled installed;

bool shell(const std::string& command)
{
    const std::string logged = "(" + command + ") >>'" + installed.log + "' 2>&1";
    return std::system(logged.c_str()) == 0;
}

std::string madeFolder(const char* pattern)
{
    std::string path = pattern;
    if (!::mkdtemp(path.data()) || ::chmod(path.c_str(), 0755) != 0)
        return {};
    return path;
}

class HelperInstalled : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TInstalled& i = installed;
        if (::geteuid() != 0) {
            i.skip = "needs root: it installs, adds users and mounts";
            return;
        }
        for (const char* tool : {"/usr/bin/setpriv", "/usr/sbin/setcap", "/usr/sbin/useradd", "/usr/sbin/groupadd"})
            if (::access(tool, X_OK) != 0) {
                i.skip = std::string(tool) + " is missing";
                return;
            }
        i.setpriv = "/usr/bin/setpriv";
        i.log = madeFolder("/var/tmp/fm-install-log-XXXXXX") + "/log";
        const std::string suffix = std::to_string(::getpid());
        i.group = "fmcap" + suffix;
        i.member = "fmin" + suffix;
        i.outsider = "fmout" + suffix;
        i.groupMade = shell("groupadd " + i.group);
        i.memberMade =
            i.groupMade && shell("useradd -M -N -g nogroup -s /usr/sbin/nologin -G " + i.group + " " + i.member);
        i.outsiderMade = shell("useradd -M -N -g nogroup -s /usr/sbin/nologin " + i.outsider);
        i.prefix = madeFolder("/var/tmp/fm-prefix-XXXXXX");
        i.ram = madeFolder("/var/tmp/fm-ram-XXXXXX");
        if (!i.memberMade || !i.outsiderMade || i.prefix.empty() || i.ram.empty() ||
            ::mount("fmtest", i.ram.c_str(), "tmpfs", 0, "size=16m,mode=0755") != 0) {
            i.skip = "set-up failed: " + readBytes(i.log);
            return;
        }
        if (!shell("'" FM_SOURCE_DIR "/scripts/install' --build '" FM_BUILD_DIR "' --group " + i.group + " '" +
                   i.prefix + "'"))
            i.skip = "scripts/install failed: " + readBytes(i.log);
    }
    static void TearDownTestSuite()
    {
        TInstalled& i = installed;
        if (!i.ram.empty()) {
            ::umount2(i.ram.c_str(), MNT_DETACH);
            ::rmdir(i.ram.c_str());
        }
        if (!i.prefix.empty())
            std::filesystem::remove_all(i.prefix);
        if (i.memberMade)
            shell("userdel " + i.member);
        if (i.outsiderMade)
            shell("userdel " + i.outsider);
        if (i.groupMade)
            shell("groupdel " + i.group);
        if (!i.log.empty())
            std::filesystem::remove_all(std::filesystem::path(i.log).parent_path());
    }
    void SetUp() override
    {
        if (!installed.skip.empty())
            GTEST_SKIP() << installed.skip;
    }

    TTempFolder output; // the programs' output, outside the watched folders
    std::string outputFile() const { return output.path() + "/out"; }

    // A folder of the RAM filesystem owned by user.
    std::string userFolder(const std::string& name, const std::string& user)
    {
        const std::string path = installed.ram + "/" + name;
        const passwd* entry = ::getpwnam(user.c_str());
        EXPECT_TRUE(entry);
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
        EXPECT_EQ(::chown(path.c_str(), entry ? entry->pw_uid : 0, entry ? entry->pw_gid : 0), 0);
        return path;
    }
    // Waits a while for the program's output to hold text; it writes once a second.
    bool outputHas(const std::string& text, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (readBytes(outputFile()).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
};

TEST_F(HelperInstalled, AMemberOfTheGroupGetsFullCaptureWithProcessNames)
{
    const std::string folder = userFolder("member", installed.member);
    TProgramRun program(installed.as(installed.member, {installed.cli(), "--root", folder, "--format", "json"}),
                        outputFile());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    EXPECT_NE(program.errors().find("backend filesmonitor-capture (Full capture through filesmonitor-capture)"),
              std::string::npos)
        << program.errors();

    // One process does it all and lives on until the companion has ended.
    TLingeringProcess perl(installed.as(
        installed.member, {"/usr/bin/perl", "-e",
                           "chdir $ARGV[0] or die; open(my $f, '>', 'a') or die; close $f; rename('a', 'b') or die; "
                           "unlink('b') or die; $| = 1; print \"$$\\n\"; <STDIN>;",
                           folder}));
    const std::string pid = perl.firstLine();
    ASSERT_FALSE(pid.empty());
    // What happened before the stop is delivered at the stop.
    program.signal(SIGINT);
    const int status = program.exitStatus();
    perl.release();
    ASSERT_TRUE(WIFEXITED(status)) << program.allErrors();
    EXPECT_EQ(WEXITSTATUS(status), 0) << program.allErrors();

    using TSeen = std::tuple<std::string, std::string, std::string, int, std::string>;
    std::vector<TSeen> seen;
    std::ifstream lines(outputFile());
    for (std::string line; std::getline(lines, line);) {
        const auto event = nlohmann::json::parse(line);
        seen.emplace_back(event.at("action").get<std::string>(), event.at("path").get<std::string>(),
                          event.at("newPath").get<std::string>(), event.value("pid", 0),
                          event.value("process", std::string()));
    }
    const int perlPid = std::stoi(pid);
    EXPECT_EQ(seen, (std::vector<TSeen>{{"Create", folder + "/a", "", perlPid, "perl"},
                                        {"Rename File", folder + "/a", folder + "/b", perlPid, "perl"},
                                        {"Delete", folder + "/b", "", perlPid, "perl"}}));
}

// Outside the group: inotify, the way to full capture said, and a folder it may not read is a
// folder not watched, not lost events and no failure.
TEST_F(HelperInstalled, AUserOutsideTheGroupGetsInotifyAndATruthfulStatus)
{
    const std::string folder = userFolder("outsider", installed.outsider);
    ASSERT_EQ(::mkdir((folder + "/open").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir((folder + "/secret").c_str(), 0700), 0); // root's
    TProgramRun program(installed.as(installed.outsider, {installed.cli(), "--root", folder}), outputFile());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    EXPECT_NE(program.errors().find("backend inotify (Limited capture (inotify): add yourself to the group " +
                                    installed.group + " for full capture)"),
              std::string::npos)
        << program.errors();
    // The folders below the root are watched by the loop, both in one slice: once a file made in
    // one is reported, the other was tried. Until then files made there go unseen.
    bool seen = false;
    for (int i = 0; i < 20 && !seen; ++i) {
        ASSERT_TRUE(runShell(folder, ": > open/x" + std::to_string(i)).succeeded());
        seen = outputHas("\tCreate\t" + folder + "/open/\t", std::chrono::milliseconds(1500));
    }
    ASSERT_TRUE(seen);
    program.signal(SIGINT);
    const int status = program.exitStatus();
    const std::string errors = program.allErrors();
    ASSERT_TRUE(WIFEXITED(status)) << errors;
    EXPECT_EQ(WEXITSTATUS(status), 0) << errors;
    EXPECT_NE(errors.find("filesmonitor-cli: 1 folder not watched\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find(folder + "/secret: Permission denied"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("lost"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("every watch was refused"), std::string::npos) << errors;
}

TEST_F(HelperInstalled, AMemberWhoseSessionBeganBeforeJoiningIsToldToLogInAgain)
{
    const std::string folder = userFolder("newcomer", installed.member);
    TProgramRun program(installed.as(installed.member, {installed.cli(), "--root", folder}, false), outputFile());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    EXPECT_NE(program.errors().find("backend inotify (Limited capture (inotify): log in again for full capture: you "
                                    "were added to the group " +
                                    installed.group + " after this session began)"),
              std::string::npos)
        << program.errors();
}

TEST_F(HelperInstalled, NobodyOutsideTheGroupCanRunTheHelper)
{
    const std::string helper = installed.prefix + "/libexec/filesmonitor/filesmonitor-capture";
    struct stat status {};
    ASSERT_EQ(::stat(helper.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0750u);
    EXPECT_EQ(status.st_uid, 0u);
    const group* entry = ::getgrnam(installed.group.c_str());
    ASSERT_TRUE(entry);
    EXPECT_EQ(status.st_gid, entry->gr_gid);

    const passwd* outsider = ::getpwnam(installed.outsider.c_str());
    ASSERT_TRUE(outsider);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(outsider->pw_gid) != 0 || ::setuid(outsider->pw_uid) != 0)
            ::_exit(3);
        char* const argv[] = {const_cast<char*>(helper.c_str()), nullptr};
        ::execv(helper.c_str(), argv);
        ::_exit(errno == EACCES ? 0 : 1);
    }
    int result = 0;
    ASSERT_EQ(::waitpid(child, &result, 0), child);
    ASSERT_TRUE(WIFEXITED(result));
    ASSERT_NE(WEXITSTATUS(result), 3) << "cannot become the outsider";
    EXPECT_EQ(WEXITSTATUS(result), 0) << "the helper ran for a user outside its group";
}

} // namespace

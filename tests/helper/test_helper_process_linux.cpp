// filesmonitor-capture of this build as a process: how it ends, what it keeps, what it answers
// to bad input. It captures only where this process may use fanotify (root, as in CI).
#include "capture/UntFanotifyBackend_linux.h"
#include "capture/UntHelperFrames.h"
#include "tests/capture/test_capture_support_linux.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

struct TRecord {
    THelperRecord kind{};
    std::string payload;
};

// The helper started directly, one socket as its input and output, as the programs start it.
class THelperProcess {
public:
    THelperProcess()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        channel_ = TFdObj(fds[0]);
        const TFdObj theirs(fds[1]);
        pid_ = spawnProgram({FM_HELPER_PATH}, {{theirs.get(), 0}, {theirs.get(), 1}});
    }
    ~THelperProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            exitStatus();
        }
    }
    int pid() const { return pid_; }
    void send(const std::string& bytes) { ::send(channel_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void closeInput() { ::shutdown(channel_.get(), SHUT_WR); }
    // The next record; none at the end of its output or after a generous deadline.
    std::optional<TRecord> next()
    {
        for (;;) {
            const TFrameRead read = readHelperFrame(input_, kMaxHelperFrame);
            if (read.status == TFrameRead::Complete) {
                TRecord record{read.frame.kind, std::string(read.frame.payload)};
                input_.erase(0, read.used);
                return record;
            }
            pollfd fd{channel_.get(), POLLIN, 0};
            char buffer[65536];
            ssize_t length = 0;
            if (read.status == TFrameRead::Invalid || ::poll(&fd, 1, 30000) <= 0 ||
                (length = ::read(channel_.get(), buffer, sizeof buffer)) <= 0)
                return std::nullopt;
            input_.append(buffer, static_cast<std::size_t>(length));
        }
    }
    // The first record of a kind, skipping the others.
    std::optional<TRecord> nextOf(THelperRecord kind)
    {
        std::optional<TRecord> record = next();
        while (record && record->kind != kind)
            record = next();
        return record;
    }
    int exitStatus()
    {
        int status = -1;
        if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_)
            pid_ = -1;
        return status;
    }

private:
    TFdObj channel_;
    pid_t pid_ = -1;
    std::string input_;
};

// The capabilities in effect of a process, from /proc.
std::string effectiveCapabilities(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapEff:", 0) == 0)
            return line.substr(line.find_first_not_of(" \t", 7));
    return {};
}

class HelperProcess : public ::testing::Test {
protected:
    TTempFolder folder;
    void SetUp() override
    {
        std::string whyNot;
        if (!openFanotifyBackend(whyNot))
            GTEST_SKIP() << whyNot;
    }
    static std::string watchOf(const std::string& root)
    {
        TWatchRequest request;
        request.kinds.fill(true);
        request.root = root;
        return helperFrame(THelperRecord::Watch, encodeWatchRequest(request));
    }
};

// Once watching, it keeps CAP_DAC_READ_SEARCH (0x4) and nothing else; closing its input then
// ends it cleanly, with everything it captured sent.
TEST_F(HelperProcess, KeepsOnlyWhatItNeedsAndFinishesWhenItsInputCloses)
{
    THelperProcess helper;
    ASSERT_GT(helper.pid(), 0);
    ASSERT_TRUE(helper.nextOf(THelperRecord::Hello));
    helper.send(watchOf(folder.path()));
    const auto answer = helper.nextOf(THelperRecord::WatchResult);
    ASSERT_TRUE(answer);
    EXPECT_EQ(decodeWatchResult(answer->payload)->status, TWatchStatus::Watched);
    helper.send(helperFrame(THelperRecord::Start));
    ASSERT_TRUE(runShell(folder.path(), ": > made").succeeded());
    const auto events = helper.nextOf(THelperRecord::Events); // it captures, so its rights are settled
    ASSERT_TRUE(events);
    EXPECT_EQ(effectiveCapabilities(helper.pid()), "0000000000000004");

    ASSERT_TRUE(runShell(folder.path(), ": > last").succeeded());
    helper.closeInput();
    std::vector<TItemObj> items;
    ASSERT_TRUE(decodeEvents(events->payload, items));
    for (auto record = helper.next(); record && record->kind != THelperRecord::Finished; record = helper.next()) {
        if (record->kind == THelperRecord::Events) {
            ASSERT_TRUE(decodeEvents(record->payload, items));
        }
    }
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().getItem1(), folder.path("last")); // captured before the input closed
    EXPECT_FALSE(helper.next());
    const int status = helper.exitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(HelperProcess, BadInputGetsAnErrorRecordAndExitCodeTwo)
{
    THelperProcess helper;
    ASSERT_TRUE(helper.nextOf(THelperRecord::Hello));
    helper.send(std::string("\xff\xff\xff\x7f\x01\x01", 6)); // a request of two gigabytes
    const auto error = helper.nextOf(THelperRecord::Error);
    ASSERT_TRUE(error);
    EXPECT_NE(error->payload.find("2147483647 bytes"), std::string::npos) << error->payload;
    const int status = helper.exitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// The pids of the children of a process, from every thread of it.
std::vector<int> childrenOf(int pid)
{
    std::vector<int> children;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(tasks.c_str()), ::closedir);
    while (const dirent* entry = dir ? ::readdir(dir.get()) : nullptr) {
        std::ifstream list(tasks + "/" + entry->d_name + "/children");
        for (int child = 0; list >> child;)
            children.push_back(child);
    }
    return children;
}

// The program that started the helper is killed: nothing closes the helper's input in good
// order, and the death signal ends the helper within a second. This process adopts the orphaned
// helper to learn what ended it.
TEST_F(HelperProcess, EndsWithinASecondWhenItsProgramIsKilled)
{
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    struct TUnadopt {
        ~TUnadopt() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
    } unadopt;
    TTempFolder output;
    TProgramRun program({FM_COMPANION_PATH, "--backend", "helper", "--root", folder.path()}, output.path() + "/out");
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    const std::vector<int> children = childrenOf(program.pid());
    ASSERT_EQ(children.size(), 1u);
    const TFdObj helper(static_cast<int>(::syscall(SYS_pidfd_open, children[0], 0)));
    ASSERT_TRUE(helper);
    program.signal(SIGKILL);
    program.exitStatus();
    pollfd ended{helper.get(), POLLIN, 0};
    const bool endedInTime = ::poll(&ended, 1, 1000) == 1;
    if (!endedInTime)
        ::kill(children[0], SIGKILL);
    siginfo_t how{};
    ASSERT_EQ(::waitid(P_PIDFD, static_cast<id_t>(helper.get()), &how, WEXITED), 0);
    EXPECT_TRUE(endedInTime) << "the helper outlived its program by more than a second";
    EXPECT_EQ(how.si_code, CLD_KILLED) << "the helper ended by itself, not by its death signal";
    EXPECT_EQ(how.si_status, SIGKILL);
}

} // namespace

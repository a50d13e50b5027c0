// Create and delete pairs the kernel merged into one record: made before the reader starts, so
// every pair is queued whole and merged, and the backend has to tell their order.
#include "capture/UntFanotifyBackend_linux.h"
#include "events/UntEvents.h"

#include "test_capture_fixture_linux.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// fanotify drops the events of the recording process and merges only those of one process.
void inChild(const std::function<bool()>& work)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(FanotifyMerges, APairIsOrderedByWhetherTheSameFileIsThereUnderItsName)
{
    std::string whyNot;
    auto backend = openFanotifyBackend(whyNot);
    if (!backend)
        GTEST_SKIP() << whyNot;
    TTempFolder folder;
    const std::string a = folder.path() + "/a", kept = folder.path() + "/kept", gone = folder.path() + "/gone";
    inChild([&] { return ::close(::creat(a.c_str(), 0644)) == 0 && ::link(a.c_str(), kept.c_str()) == 0; });

    TItemsSink sink;
    backend->open(sink);
    TEventKinds kinds;
    kinds.fill(true);
    if (!backend->addWatch(folder.path(), kinds))
        GTEST_SKIP() << "no fanotify mark on " << folder.path();
    // kept: removed, then linked again to the same file; gone: linked, then removed.
    inChild([&] {
        return ::unlink(kept.c_str()) == 0 && ::link(a.c_str(), kept.c_str()) == 0 &&
               ::link(a.c_str(), gone.c_str()) == 0 && ::unlink(gone.c_str()) == 0;
    });
    backend->stop(); // what was queued before the stop is read first
    backend->run();

    const std::vector<TSeen> expected = {
        {evDelete, kept, ""}, {evCreate, kept, ""}, {evCreate, gone, ""}, {evDelete, gone, ""}};
    EXPECT_EQ(sink.items_, expected);
    EXPECT_EQ(backend->counters().mergedPairs, 2u);
}

} // namespace

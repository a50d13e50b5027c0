// The per-event structures of the Linux backends: keys that expire in time order, the Update
// File throttle on top of them, and the folder tree that keeps paths right through renames.
#include "capture/UntBurstPace.h"
#include "capture/UntFolderTree_linux.h"
#include "capture/UntRecentKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

const TClock::time_point t0 = TClock::time_point(1000s);

TEST(ModifyThrottle, OneWriteASecondPerFile)
{
    TModifyThrottle throttle;
    EXPECT_TRUE(throttle.due("/w/a", t0));
    EXPECT_FALSE(throttle.due("/w/a", t0 + 999ms));
    EXPECT_TRUE(throttle.due("/w/b", t0 + 999ms)); // another file
    // A second after the last reported write the next one goes through, and starts a new second.
    EXPECT_TRUE(throttle.due("/w/a", t0 + 1000ms));
    EXPECT_FALSE(throttle.due("/w/a", t0 + 1999ms));
    EXPECT_TRUE(throttle.due("/w/a", t0 + 2000ms));
    // A file deleted and made again is a new file: its first write is reported.
    throttle.forget("/w/a");
    EXPECT_TRUE(throttle.due("/w/a", t0 + 2001ms));
    EXPECT_FALSE(throttle.due("/w/a", t0 + 2002ms));
}

TEST(ModifyThrottle, ABurstOfDistinctPathsInOneSecondIsHeldOnceEachAndLeavesInTimeOrder)
{
    TModifyThrottle throttle;
    constexpr int kPaths = 50000;
    for (int i = 0; i < kPaths; ++i)
        ASSERT_TRUE(throttle.due("/w/f" + std::to_string(i), t0 + std::chrono::microseconds(i * 10)));
    // Within the second nothing has expired and nothing goes through twice.
    EXPECT_EQ(throttle.size(), static_cast<std::size_t>(kPaths));
    for (int i = 0; i < kPaths; i += 997)
        ASSERT_FALSE(throttle.due("/w/f" + std::to_string(i), t0 + 900ms)) << i;
    // Half a second later the first half is older than a second: only it has gone.
    EXPECT_TRUE(throttle.due("/w/f0", t0 + 1250ms));
    EXPECT_EQ(throttle.size(), static_cast<std::size_t>(kPaths / 2));
    EXPECT_FALSE(throttle.due("/w/f" + std::to_string(kPaths - 1), t0 + 1250ms));
}

TEST(RecentKeys, ALimitForgetsTheOldestFirstAndForgottenKeysStillLeaveInOrder)
{
    TRecentKeys<std::string, int> recent(1s, 3);
    recent.remember("a", t0, 1);
    recent.remember("b", t0 + 1ms, 2);
    recent.remember("c", t0 + 2ms, 3);
    recent.remember("d", t0 + 3ms, 4); // one too many: "a" goes
    EXPECT_EQ(recent.find("a", t0 + 3ms), nullptr);
    ASSERT_NE(recent.find("b", t0 + 3ms), nullptr);
    EXPECT_EQ(*recent.find("b", t0 + 3ms), 2);
    EXPECT_TRUE(recent.forget("c"));
    EXPECT_FALSE(recent.forget("c"));
    EXPECT_EQ(recent.find("c", t0 + 3ms), nullptr);
    // Stamped again, "b" keeps its new stamp when its old one leaves the queue.
    recent.remember("b", t0 + 900ms, 20);
    EXPECT_EQ(recent.find("d", t0 + 1003ms), nullptr);
    ASSERT_NE(recent.find("b", t0 + 1003ms), nullptr);
    EXPECT_EQ(*recent.find("b", t0 + 1003ms), 20);
    EXPECT_EQ(recent.size(), 1u);
    EXPECT_LE(recent.queued(), 3u);
    // The same key stamped twice at one time is queued once.
    recent.remember("e", t0 + 1500ms);
    recent.remember("e", t0 + 1500ms);
    EXPECT_EQ(recent.queued(), 2u);
}

// The same rules kept the slow, obvious way: a list of stamps in time order.
template <typename Key> class TReferenceKeys {
public:
    TReferenceKeys(TClock::duration keep, std::size_t limit) : keep_(keep), limit_(limit) {}

    const int* find(const Key& key, TClock::time_point now)
    {
        expire(now);
        auto latest = latestOf(key);
        return latest == stamps_.end() ? nullptr : &latest->value;
    }
    void remember(const Key& key, TClock::time_point now, int value)
    {
        expire(now);
        auto latest = latestOf(key);
        if (latest != stamps_.end() && latest->time == now) {
            latest->value = value;
            return;
        }
        if (latest != stamps_.end())
            latest->current = false;
        stamps_.push_back({now, key, value, true});
        while (stamps_.size() > limit_)
            stamps_.erase(stamps_.begin());
    }
    bool forget(const Key& key)
    {
        auto latest = latestOf(key);
        if (latest == stamps_.end())
            return false;
        latest->current = false;
        return true;
    }
    std::size_t size() const
    {
        return std::count_if(stamps_.begin(), stamps_.end(), [](const auto& stamp) { return stamp.current; });
    }
    std::size_t queued() const { return stamps_.size(); }

private:
    struct TStamp {
        TClock::time_point time;
        Key key;
        int value;
        bool current;
    };
    typename std::vector<TStamp>::iterator latestOf(const Key& key)
    {
        return std::find_if(stamps_.begin(), stamps_.end(),
                            [&](const TStamp& stamp) { return stamp.current && stamp.key == key; });
    }
    void expire(TClock::time_point now)
    {
        while (!stamps_.empty() && now - stamps_.front().time >= keep_)
            stamps_.erase(stamps_.begin());
    }
    TClock::duration keep_;
    std::size_t limit_;
    std::vector<TStamp> stamps_;
};

// Random stamps, lookups and forgets over a small set of keys, so that keys share index slots,
// runs of the index are emptied from the middle and the ring wraps and grows many times over.
template <typename Key> void compareWithReference(Key (*makeKey)(int), std::uint32_t seed)
{
    std::mt19937 random(seed);
    TRecentKeys<Key, int> recent(100ms, 64);
    TReferenceKeys<Key> reference(100ms, 64);
    TClock::time_point now = t0;
    for (int step = 0; step < 200000; ++step) {
        now += std::chrono::microseconds(random() % 3 == 0 ? random() % 3000 : 0);
        const Key key = makeKey(static_cast<int>(random() % 300));
        switch (random() % 4) {
        case 0:
        case 1:
            recent.remember(key, now, step);
            reference.remember(key, now, step);
            break;
        case 2: {
            const int* expected = reference.find(key, now);
            const int* found = recent.find(key, now);
            ASSERT_EQ(found != nullptr, expected != nullptr) << "step " << step;
            if (found) {
                ASSERT_EQ(*found, *expected) << "step " << step;
            }
            break;
        }
        default:
            ASSERT_EQ(recent.forget(key), reference.forget(key)) << "step " << step;
        }
        ASSERT_EQ(recent.size(), reference.size()) << "step " << step;
        ASSERT_EQ(recent.queued(), reference.queued()) << "step " << step;
    }
}

TEST(RecentKeys, AgreeWithAPlainListOfStampsOverRandomUse)
{
    // Text keys, and numbers whose hash is themselves: multiples of 32 all start at one slot.
    compareWithReference<std::string>([](int i) { return "/w/f" + std::to_string(i); }, 1);
    compareWithReference<int>([](int i) { return i * 32; }, 2);
}

TEST(BurstPace, PausesLongerWhileEachPauseGathersFewAndStartsShortAgainWhenEventsStop)
{
    TBurstPace pace;
    // A disk's pace, one event every 200 microseconds: each pause doubles while it gathers fewer
    // than a few hundred, up to the bound.
    EXPECT_TRUE(pace.isBurst(1, 200us));
    EXPECT_EQ(pace.pause(), 400us);
    EXPECT_TRUE(pace.isBurst(2, 450us));
    EXPECT_EQ(pace.pause(), 800us);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(pace.isBurst(static_cast<std::size_t>(pace.pause() / 400us), pace.pause() + 50us));
    EXPECT_EQ(pace.pause(), TBurstPace::kLongest);
    EXPECT_TRUE(pace.isBurst(50, pace.pause() + 50us));
    EXPECT_EQ(pace.pause(), TBurstPace::kLongest);
    // A pause that gathers several hundred is worth its wake-up: it keeps its length.
    EXPECT_TRUE(pace.isBurst(300, pace.pause() + 10us));
    EXPECT_EQ(pace.pause(), TBurstPace::kLongest);
    // Memory's pace: a pause brings several thousand, so it halves down to the shortest.
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(pace.isBurst(5000, pace.pause() + 10us));
    EXPECT_EQ(pace.pause(), TBurstPace::kShortest);
    // A pause that brings nothing ends the burst; one event now and then starts none, and the
    // next burst starts with the shortest pause.
    EXPECT_FALSE(pace.isBurst(0, pace.pause() + 10us));
    EXPECT_FALSE(pace.isBurst(1, 50ms));
    EXPECT_EQ(pace.pause(), TBurstPace::kShortest);
    EXPECT_TRUE(pace.isBurst(1, 200us));
    EXPECT_EQ(pace.pause(), 400us);
}

TEST(BurstPace, AStreamTheKernelMergesIntoARecordPerPauseKeepsTheLongestPause)
{
    TBurstPace pace;
    ASSERT_TRUE(pace.isBurst(20, 1ms)); // one file rewritten over and over
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(pace.isBurst(1, pace.pause() + 50us));
    EXPECT_EQ(pace.pause(), TBurstPace::kLongest);
    EXPECT_FALSE(pace.isBurst(0, pace.pause() + 50us));
}

TEST(BurstPace, AShorterBoundCapsThePauseAndWhatStartsABurst)
{
    TBurstPace pace(8ms);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(pace.isBurst(4, pace.pause() + 50us));
    EXPECT_EQ(pace.pause(), 8ms);
    EXPECT_FALSE(pace.isBurst(0, 8050us));
    // Two events in 10 ms start a burst only for a pause long enough to be expected to gather two.
    EXPECT_FALSE(pace.isBurst(2, 10ms));
    EXPECT_TRUE(TBurstPace().isBurst(2, 10ms));
}

TEST(BurstPace, HeldItKeepsTheShortestPauseAndPausesOnlyInAFastBurst)
{
    TBurstPace pace;
    ASSERT_TRUE(pace.isBurst(1, 200us));
    ASSERT_EQ(pace.pause(), 400us);
    pace.hold(true);
    EXPECT_EQ(pace.pause(), TBurstPace::kShortest);
    // Only a fast burst goes on: a reader that must act at once does not wait for the slow.
    EXPECT_FALSE(pace.isBurst(1, 250us));
    EXPECT_FALSE(pace.isBurst(1, 200us));
    EXPECT_TRUE(pace.isBurst(10, 200us));
    EXPECT_EQ(pace.pause(), TBurstPace::kShortest);
    pace.hold(false);
    EXPECT_TRUE(pace.isBurst(1, 200us));
    EXPECT_EQ(pace.pause(), 400us);
}

// Paths of every key, sorted, for comparing whole trees.
template <typename Key> std::vector<std::string> paths(TFolderTree<Key>& tree)
{
    std::vector<std::string> result;
    tree.forEach([&](const Key&, const std::string& path) { result.push_back(path); });
    std::sort(result.begin(), result.end());
    return result;
}

TEST(FolderTree, ARenameMovesEverythingBelowAtOnce)
{
    TFolderTree<int> tree;
    tree.learnTop(1, "/w");
    ASSERT_TRUE(tree.learn(2, 1, "a"));
    ASSERT_TRUE(tree.learn(3, 2, "b"));
    ASSERT_TRUE(tree.learn(4, 3, "c"));
    ASSERT_TRUE(tree.learn(5, 1, "ab"));
    EXPECT_EQ(*tree.path(4), "/w/a/b/c");
    EXPECT_EQ(paths(tree), (std::vector<std::string>{"/w", "/w/a", "/w/a/b", "/w/a/b/c", "/w/ab"}));

    ASSERT_TRUE(tree.learn(2, 5, "moved")); // mv /w/a /w/ab/moved
    EXPECT_EQ(*tree.path(4), "/w/ab/moved/b/c");
    EXPECT_EQ(paths(tree),
              (std::vector<std::string>{"/w", "/w/ab", "/w/ab/moved", "/w/ab/moved/b", "/w/ab/moved/b/c"}));
    ASSERT_NE(tree.child(5, "moved"), nullptr);
    EXPECT_EQ(*tree.child(5, "moved"), 2);
    EXPECT_EQ(tree.child(1, "a"), nullptr);

    // A parent not known, a folder into its own subtree, a top moved: refused, nothing changes.
    EXPECT_FALSE(tree.learn(6, 99, "x"));
    EXPECT_FALSE(tree.learn(2, 4, "loop"));
    EXPECT_FALSE(tree.learn(1, 5, "top"));
    EXPECT_EQ(*tree.path(4), "/w/ab/moved/b/c");
    EXPECT_EQ(tree.size(), 5u);
}

TEST(FolderTree, RemovingAFolderTakesWhatIsBelowAndFreesTheNames)
{
    TFolderTree<std::string> tree;
    tree.learnTop("root", "/");
    tree.learn("a", "root", "a");
    tree.learn("b", "a", "b");
    tree.learn("c", "root", "c");
    std::vector<std::string> dropped;
    tree.remove("a", [&](const std::string& key) { dropped.push_back(key); });
    std::sort(dropped.begin(), dropped.end());
    EXPECT_EQ(dropped, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(tree.path("b"), nullptr);
    EXPECT_EQ(tree.child("root", "a"), nullptr);
    // Room reused: a new folder of the same name is a new one.
    tree.learn("a2", "root", "a");
    EXPECT_EQ(*tree.path("a2"), "/a");
    EXPECT_EQ(*tree.child("root", "a"), "a2");
    EXPECT_EQ(paths(tree), (std::vector<std::string>{"/", "/a", "/c"}));

    // Emptied down to the tops, which cannot be learnt again from events.
    tree.keepTopsOnly();
    EXPECT_EQ(paths(tree), (std::vector<std::string>{"/"}));
    EXPECT_TRUE(tree.learn("d", "root", "d"));
    EXPECT_EQ(*tree.path("d"), "/d");
}

TEST(FolderTree, ATopKeepsItsPathAndItsChildrenFollowWhenItIsPlacedAgain)
{
    TFolderTree<int> tree;
    tree.learnTop(1, "/old");
    tree.learn(2, 1, "x");
    EXPECT_EQ(*tree.path(2), "/old/x");
    tree.learnTop(1, "/new");
    EXPECT_EQ(*tree.path(2), "/new/x");
    // Learnt where it already is: nothing to rebuild, still there.
    EXPECT_TRUE(tree.learn(2, 1, "x"));
    EXPECT_EQ(*tree.child(1, "x"), 2);
}

TEST(FolderTree, FoldersLearntAndRemovedAtRandomAreEachFoundByTheirKey)
{
    // Numbers hash to themselves: multiples of 64 crowd a few runs of the index, which removals
    // then empty from the middle, while freed nodes are reused for other keys.
    TFolderTree<int> tree;
    tree.learnTop(1, "/w");
    std::map<int, std::string> reference{{1, "/w"}};
    std::mt19937 random(3);
    for (int step = 0; step < 50000; ++step) {
        const int key = 64 * (2 + static_cast<int>(random() % 500));
        if (random() % 3 == 0) {
            tree.remove(key);
            reference.erase(key);
        } else {
            ASSERT_TRUE(tree.learn(key, 1, "f" + std::to_string(key)));
            reference[key] = "/w/f" + std::to_string(key);
        }
        const int probe = 64 * (2 + static_cast<int>(random() % 500));
        const std::string* path = tree.path(probe);
        ASSERT_EQ(path != nullptr, reference.contains(probe)) << "step " << step;
        if (path) {
            ASSERT_EQ(*path, reference[probe]) << "step " << step;
        }
        ASSERT_EQ(tree.size(), reference.size()) << "step " << step;
    }
}

} // namespace

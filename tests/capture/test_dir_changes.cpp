// The rules of the directory-change backend on plain records: which event each record gives,
// which folders are known, Wine's late names, the once-a-second update, all without Windows.
#include "capture/UntDirChangeDecoder.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using TClock = TModifyThrottle::TClock;
using TSeen = std::tuple<int, std::string, std::string>; // event, path, new path

TEST(ModifyThrottle, OncePerKeyPerQuietPeriodAndForgottenInTimeOrder)
{
    TModifyThrottle throttle;
    const TClock::time_point t0{};
    EXPECT_TRUE(throttle.due("a", t0));
    EXPECT_FALSE(throttle.due("a", t0 + 999ms));
    EXPECT_TRUE(throttle.due("b", t0 + 999ms)); // each key has its own period
    EXPECT_TRUE(throttle.due("a", t0 + 1s));
    EXPECT_FALSE(throttle.due("b", t0 + 1s));
    EXPECT_TRUE(throttle.due("b", t0 + 2s));

    // A key a millisecond for ten seconds: only the last second's keys are remembered.
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(throttle.due("f" + std::to_string(i), t0 + 3s + std::chrono::milliseconds(i)));
    EXPECT_LE(throttle.size(), 1001u);
    EXPECT_FALSE(throttle.due("f9999", t0 + 13s));
    EXPECT_TRUE(throttle.due("f8999", t0 + 13s));

    // A file deleted and made again is let through at once; the pass before the deletion, when
    // it expires, does not end the new one's period.
    const auto t1 = t0 + 20s;
    EXPECT_TRUE(throttle.due("g", t1));
    throttle.forget("g");
    EXPECT_TRUE(throttle.due("g", t1 + 500ms));
    EXPECT_FALSE(throttle.due("g", t1 + 1200ms));
    EXPECT_TRUE(throttle.due("g", t1 + 1500ms));
}

TEST(KnownFolders, AddFindRemoveAndMoveWholeSubtreesWithoutRegardToCase)
{
    TKnownFolders known;
    known.add("a\\b\\c");
    EXPECT_EQ(known.size(), 3u); // the folders above come with it
    EXPECT_TRUE(known.contains("A\\B"));
    EXPECT_TRUE(known.contains("a\\b\\c"));
    EXPECT_FALSE(known.contains("a\\bc"));
    EXPECT_TRUE(known.contains("")); // the root

    known.add("a\\x");
    EXPECT_TRUE(known.move("A\\b", "y\\b2"));
    EXPECT_FALSE(known.contains("a\\b"));
    EXPECT_TRUE(known.contains("y\\b2\\c"));
    EXPECT_TRUE(known.contains("a\\x"));
    EXPECT_EQ(known.size(), 5u); // a, a\x, y, y\b2, y\b2\c

    EXPECT_FALSE(known.move("nowhere", "z")); // unknown: only the new name becomes known
    EXPECT_TRUE(known.contains("z"));

    EXPECT_TRUE(known.remove("y"));
    EXPECT_FALSE(known.contains("y\\b2\\c"));
    EXPECT_FALSE(known.remove("y"));
    EXPECT_EQ(known.size(), 3u); // a, a\x, z
}

// A decoder on root C:\r whose probe answers from the folders and files the test says exist.
class DirChangeDecoding : public testing::Test {
protected:
    std::set<std::string> folders;
    std::set<std::string> files;
    TEventKinds kinds = [] {
        TEventKinds all;
        all.fill(true);
        return all;
    }();
    TClock::time_point now{};
    const TDirChangeDecoder::TTime readTime{std::chrono::seconds(7)};
    std::unique_ptr<TDirChangeDecoder> decoder;

    TDirChangeDecoder& make()
    {
        decoder = std::make_unique<TDirChangeDecoder>("C:\\r", kinds, [this](const std::string& path) {
            return folders.count(path) ? TPathKind::Folder : files.count(path) ? TPathKind::File : TPathKind::Missing;
        });
        return *decoder;
    }
    static std::vector<TSeen> seen(const std::vector<TItemObj>& items)
    {
        std::vector<TSeen> result;
        for (const TItemObj& item : items)
            result.emplace_back(item.getEventNum(), item.getItem1(), item.getItem2());
        return result;
    }
    std::vector<TSeen> read(std::vector<TDirRecord> records, TDirChangeDecoder::TTime time = {})
    {
        if (!decoder)
            make();
        std::vector<TItemObj> items;
        decoder->decode(std::move(records), time == TDirChangeDecoder::TTime{} ? readTime : time, now, items);
        for (const TItemObj& item : items)
            EXPECT_EQ(item.getOrigin().time, time == TDirChangeDecoder::TTime{} ? readTime : time);
        return seen(items);
    }
    // A read, then whatever it held back once the waiting is over.
    std::vector<TSeen> readAll(std::vector<TDirRecord> records)
    {
        std::vector<TSeen> result = read(std::move(records));
        std::vector<TItemObj> items;
        decoder->decodeHeld(now, items);
        for (const TSeen& held : seen(items))
            result.push_back(held);
        return result;
    }
};

TEST_F(DirChangeDecoding, EachActionGivesItsEvent)
{
    folders = {"C:\\r\\d", "C:\\r\\e"};
    EXPECT_EQ(read({{kDirAdded, "d"},
                    {kDirAdded, "d\\f.txt"},
                    {kDirModified, "d\\f.txt"},
                    {kDirModified, "d\\f.txt"}, // within the second: once
                    {kDirModified, "d"},        // a folder's time: nothing
                    {kDirRenamedOld, "d\\f.txt"},
                    {kDirRenamedNew, "d\\g.txt"},
                    {kDirRenamedOld, "d"},
                    {kDirRenamedNew, "e"},
                    {kDirRemoved, "e\\g.txt"},
                    {kDirRemoved, "e"}}),
              (std::vector<TSeen>{{evMkDir, "C:\\r\\d", ""},
                                  {evCreate, "C:\\r\\d\\f.txt", ""},
                                  {evUpdateFile, "C:\\r\\d\\f.txt", ""},
                                  {evRenameFile, "C:\\r\\d\\f.txt", "C:\\r\\d\\g.txt"},
                                  {evRenameFolder, "C:\\r\\d", "C:\\r\\e"},
                                  {evDelete, "C:\\r\\e\\g.txt", ""},
                                  {evRmDir, "C:\\r\\e", ""}}));
    now += 1s;
    EXPECT_EQ(read({{kDirModified, "e2.txt"}}), (std::vector<TSeen>{{evUpdateFile, "C:\\r\\e2.txt", ""}}));
    // Deleted and made again within the second: the new file's first write is reported.
    files = {"C:\\r\\e2.txt"};
    EXPECT_EQ(read({{kDirRemoved, "e2.txt"}, {kDirAdded, "e2.txt"}, {kDirModified, "e2.txt"}}),
              (std::vector<TSeen>{{evDelete, "C:\\r\\e2.txt", ""},
                                  {evCreate, "C:\\r\\e2.txt", ""},
                                  {evUpdateFile, "C:\\r\\e2.txt", ""}}));
    EXPECT_EQ(decoder->getUndecoded(), 0u);
}

TEST_F(DirChangeDecoding, AFolderGoneBeforeDecodingIsKnownFromTheRecordsBelowIt)
{
    // mkdir g, g\h, a file in it, then everything removed: the probe finds nothing any more.
    EXPECT_EQ(read({{kDirAdded, "g"},
                    {kDirAdded, "g\\h"},
                    {kDirAdded, "g\\h\\f"},
                    {kDirRemoved, "g\\h\\f"},
                    {kDirRemoved, "g\\h"},
                    {kDirRemoved, "g"},
                    {kDirAdded, "lone"}, // a folder with nothing in it, gone: taken for a file
                    {kDirRemoved, "lone"}}),
              (std::vector<TSeen>{{evMkDir, "C:\\r\\g", ""},
                                  {evMkDir, "C:\\r\\g\\h", ""},
                                  {evCreate, "C:\\r\\g\\h\\f", ""},
                                  {evDelete, "C:\\r\\g\\h\\f", ""},
                                  {evRmDir, "C:\\r\\g\\h", ""},
                                  {evRmDir, "C:\\r\\g", ""},
                                  {evCreate, "C:\\r\\lone", ""},
                                  {evDelete, "C:\\r\\lone", ""}}));
    // A folder that was there before the recording is known once something below it is named.
    EXPECT_EQ(read({{kDirRemoved, "old\\f"}, {kDirRemoved, "old"}, {kDirRemoved, "never"}}),
              (std::vector<TSeen>{
                  {evDelete, "C:\\r\\old\\f", ""}, {evRmDir, "C:\\r\\old", ""}, {evDelete, "C:\\r\\never", ""}}));
}

TEST_F(DirChangeDecoding, RenameHalvesArePairedAcrossReadsAndLoneHalvesStandAlone)
{
    files = {"C:\\r\\c", "C:\\r\\in"};
    EXPECT_EQ(read({{kDirAdded, "a"}, {kDirRenamedOld, "a"}}), (std::vector<TSeen>{{evCreate, "C:\\r\\a", ""}}));
    EXPECT_EQ(read({{kDirRenamedNew, "b"}}), (std::vector<TSeen>{{evRenameFile, "C:\\r\\a", "C:\\r\\b"}}));
    // An old name followed by anything else was moved out of the tree; a new name alone came in.
    EXPECT_EQ(
        read({{kDirRenamedOld, "b"}, {kDirAdded, "c"}, {kDirRenamedNew, "in"}}),
        (std::vector<TSeen>{{evDelete, "C:\\r\\b", ""}, {evCreate, "C:\\r\\c", ""}, {evCreate, "C:\\r\\in", ""}}));
    // The end of the watch ends a waiting old name the same way.
    EXPECT_TRUE(read({{kDirRenamedOld, "c"}}).empty());
    std::vector<TItemObj> items;
    decoder->finish(now, items);
    EXPECT_EQ(seen(items), (std::vector<TSeen>{{evDelete, "C:\\r\\c", ""}}));
}

TEST_F(DirChangeDecoding, AnOverflowGivesUpdateDirectoryForTheRootAndDropsAHalfRename)
{
    make();
    EXPECT_TRUE(read({{kDirRenamedOld, "x"}}).empty());
    std::vector<TItemObj> items;
    decoder->overflow(readTime, now, items);
    EXPECT_EQ(seen(items), (std::vector<TSeen>{{evUpdateDir, "C:\\r", ""}}));
    files = {"C:\\r\\y"};
    EXPECT_EQ(read({{kDirRenamedNew, "y"}}), (std::vector<TSeen>{{evCreate, "C:\\r\\y", ""}}));

    // A drive root keeps its one separator.
    TDirChangeDecoder drive("D:\\", kinds, [](const std::string&) { return TPathKind::File; });
    items.clear();
    drive.decode({{kDirAdded, "f"}}, readTime, now, items);
    drive.overflow(readTime, now, items);
    EXPECT_EQ(seen(items), (std::vector<TSeen>{{evCreate, "D:\\f", ""}, {evUpdateDir, "D:\\", ""}}));
}

TEST_F(DirChangeDecoding, ANameGoneBeforeDecodingWaitsForWhatComesAfterIt)
{
    // Made and renamed away before the read was decoded: nothing tells yet what it was.
    const TDirChangeDecoder::TTime first{std::chrono::seconds(1)};
    EXPECT_TRUE(read({{kDirAdded, "x"}}, first).empty());
    EXPECT_EQ(decoder->heldSince(), now);
    now += 10ms;
    std::vector<TItemObj> items;
    decoder->decode({{kDirAdded, "x\\f"}, {kDirRemoved, "x\\f"}, {kDirRenamedOld, "x"}, {kDirRenamedNew, "z"}},
                    readTime, now, items);
    EXPECT_EQ(seen(items), (std::vector<TSeen>{{evMkDir, "C:\\r\\x", ""},
                                               {evCreate, "C:\\r\\x\\f", ""},
                                               {evDelete, "C:\\r\\x\\f", ""},
                                               {evRenameFolder, "C:\\r\\x", "C:\\r\\z"}}));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].getOrigin().time, first); // each event keeps the time of its own read
    EXPECT_EQ(items[1].getOrigin().time, readTime);
    EXPECT_FALSE(decoder->heldSince());

    // What never gets an answer is taken for a file when the waiting ends.
    EXPECT_TRUE(read({{kDirAdded, "gone"}, {kDirAdded, "after"}}).empty());
    items.clear();
    decoder->decodeHeld(now, items);
    EXPECT_EQ(seen(items), (std::vector<TSeen>{{evCreate, "C:\\r\\gone", ""}, {evCreate, "C:\\r\\after", ""}}));
    EXPECT_FALSE(decoder->heldSince());
}

TEST_F(DirChangeDecoding, UntickedKindsAreNotGivenButFoldersAreStillFollowed)
{
    kinds[evMkDir] = false;
    kinds[evRenameFolder] = false;
    kinds[evUpdateFile] = false;
    folders = {"C:\\r\\d", "C:\\r\\e"};
    EXPECT_EQ(read({{kDirAdded, "d"},
                    {kDirModified, "d\\f"},
                    {kDirRenamedOld, "d"},
                    {kDirRenamedNew, "e"},
                    {kDirRemoved, "e"}}),
              (std::vector<TSeen>{{evRmDir, "C:\\r\\e", ""}}));
}

TEST_F(DirChangeDecoding, RecordsWithoutANameOrWithAnUnknownActionAreCounted)
{
    files = {"C:\\r\\h"};
    EXPECT_EQ(read({{kDirAdded, ""}, {9, "f"}, {0, "g"}, {kDirAdded, "h"}}),
              (std::vector<TSeen>{{evCreate, "C:\\r\\h", ""}}));
    EXPECT_EQ(decoder->getUndecoded(), 3u);
}

// Wine goes on naming what happens in a folder moved out of the tree under its old path.
TEST_F(DirChangeDecoding, NamesBelowAFolderMovedOutAreLeftOutUntilOneIsMadeThere)
{
    folders = {"C:\\r\\m"};
    files = {"C:\\r\\m\\h"};
    EXPECT_EQ(readAll({{kDirAdded, "m"},
                       {kDirAdded, "m\\h"},
                       {kDirRenamedOld, "m"},
                       {kDirAdded, "m\\late"},
                       {kDirRemoved, "m\\h"},
                       {kDirRenamedOld, "u"},
                       {kDirAdded, "u\\v\\late"}}),
              (std::vector<TSeen>{{evMkDir, "C:\\r\\m", ""},
                                  {evCreate, "C:\\r\\m\\h", ""},
                                  {evRmDir, "C:\\r\\m", ""},
                                  {evRmDir, "C:\\r\\u", ""}}));
    // A folder made there again is a folder of the tree.
    files = {"C:\\r\\m\\x"};
    EXPECT_EQ(
        readAll({{kDirAdded, "m"}, {kDirAdded, "m\\x"}, {kDirRemoved, "M\\x"}}),
        (std::vector<TSeen>{{evMkDir, "C:\\r\\m", ""}, {evCreate, "C:\\r\\m\\x", ""}, {evDelete, "C:\\r\\M\\x", ""}}));
}

// What Wine gives for: mkdir x, x\s, x\s\a; rename x to z; z\s\b; delete z\s\a; rename z to w;
// w\s\c, mkdir w\s\t, w\s\t\g; rename w\s\c to w\s\t\c2; mkdir x, x\new; then w\s\late. Inside a
// renamed folder Wine keeps naming the old path (written here as it comes).
TEST_F(DirChangeDecoding, WinesLateNamesInsideARenamedFolderAreCarriedToTheNewName)
{
    folders = {"C:\\r\\w", "C:\\r\\w\\s", "C:\\r\\w\\s\\t", "C:\\r\\x"};
    files = {"C:\\r\\w\\s\\b", "C:\\r\\w\\s\\t\\g", "C:\\r\\w\\s\\t\\c2", "C:\\r\\x\\new", "C:\\r\\w\\s\\late"};
    // z\s\b is looked for where it was when named, not where the later rename put it: it waits.
    EXPECT_EQ(readAll({{kDirAdded, "x"},
                       {kDirAdded, "x\\s"},
                       {kDirAdded, "x\\s\\a"},
                       {kDirRenamedOld, "x"},
                       {kDirRenamedNew, "z"},
                       {kDirAdded, "x\\s\\b"},
                       {kDirRemoved, "x\\s\\a"},
                       {kDirRenamedOld, "z"},
                       {kDirRenamedNew, "w"},
                       {kDirAdded, "x\\s\\c"},
                       {kDirAdded, "x\\s\\t"},
                       {kDirAdded, "x\\s\\t\\g"},
                       {kDirRenamedOld, "x\\s\\c"},
                       {kDirRenamedNew, "x\\s\\t\\c2"},
                       {kDirAdded, "x"},
                       {kDirAdded, "x\\new"},
                       {kDirAdded, "x\\s\\late"}}),
              (std::vector<TSeen>{{evMkDir, "C:\\r\\x", ""},
                                  {evMkDir, "C:\\r\\x\\s", ""},
                                  {evCreate, "C:\\r\\x\\s\\a", ""},
                                  {evRenameFolder, "C:\\r\\x", "C:\\r\\z"},
                                  {evCreate, "C:\\r\\z\\s\\b", ""},
                                  {evDelete, "C:\\r\\z\\s\\a", ""},
                                  {evRenameFolder, "C:\\r\\z", "C:\\r\\w"},
                                  {evCreate, "C:\\r\\w\\s\\c", ""},
                                  {evMkDir, "C:\\r\\w\\s\\t", ""},
                                  {evCreate, "C:\\r\\w\\s\\t\\g", ""},
                                  {evRenameFile, "C:\\r\\w\\s\\c", "C:\\r\\w\\s\\t\\c2"},
                                  {evMkDir, "C:\\r\\x", ""},
                                  {evCreate, "C:\\r\\x\\new", ""},
                                  {evCreate, "C:\\r\\w\\s\\late", ""}}));
    // Renamed back: names under x are its own again, and w is forgotten with the folder.
    EXPECT_EQ(read({{kDirRemoved, "x\\new"},
                    {kDirRemoved, "x"},
                    {kDirRenamedOld, "w"},
                    {kDirRenamedNew, "x"},
                    {kDirAdded, "x\\s\\more"},
                    {kDirRemoved, "x\\s\\more"}}),
              (std::vector<TSeen>{{evDelete, "C:\\r\\x\\new", ""},
                                  {evRmDir, "C:\\r\\x", ""},
                                  {evRenameFolder, "C:\\r\\w", "C:\\r\\x"},
                                  {evCreate, "C:\\r\\x\\s\\more", ""},
                                  {evDelete, "C:\\r\\x\\s\\more", ""}}));
}

} // namespace

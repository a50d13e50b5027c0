#include "ViewsTestSupport.h"

#include "events/UntEvents.h"
#include "pipeline/UntFindWords.h"
#include "pipeline/UntListRows.h"
#include "pipeline/UntPrefixSums.h"

#include <random>

namespace {

TEST(FindWords, BlanksSeparateWordsAndOnlyAsciiLettersFold)
{
    const TFindWords words("  Report\t2025  report ");
    EXPECT_EQ(words.words(), (std::vector<std::string>{"REPORT", "2025"})) << "longest first, no repeats";
    EXPECT_TRUE(words.matchesAny({"/home/ann/report-2025.odt"}));
    EXPECT_TRUE(words.matchesAny({"/home/ann/REPORT.odt", "2025"})) << "each word may sit in another text";
    EXPECT_FALSE(words.matchesAny({"/home/ann/report.odt"}));
    EXPECT_EQ(words.hitsIn("x/2025/y"), 2u);
    EXPECT_EQ(words.hitsIn("rEpOrT", 2u), 3u);

    EXPECT_TRUE(TFindWords("\xC3\xA9t\xC3\xA9").matchesAny({"/\xC3\xA9t\xC3\xA9/"}));
    EXPECT_FALSE(TFindWords("\xC3\x89T\xC3\x89").matchesAny({"/\xC3\xA9t\xC3\xA9/"})) << "É is not é";
    EXPECT_TRUE(TFindWords("").empty());
    EXPECT_TRUE(TFindWords(" \t ").matchesAny({"anything"}));
}

TEST(PrefixSums, AgreeWithPlainSumsThroughAppendsChangesAndSearches)
{
    std::mt19937 rng(7);
    TPrefixSums sums;
    std::vector<std::uint32_t> plain;
    for (int step = 0; step < 3000; ++step) {
        if (plain.empty() || rng() % 3 == 0) {
            plain.push_back(rng() % 4);
            sums.append(plain.back());
        } else {
            const std::size_t at = rng() % plain.size();
            const auto value = static_cast<std::uint32_t>(rng() % 5);
            sums.add(at, static_cast<std::int64_t>(value) - plain[at]);
            plain[at] = value;
        }
        const std::size_t k = rng() % (plain.size() + 1);
        std::uint32_t expect = 0;
        for (std::size_t i = 0; i < k; ++i)
            expect += plain[i];
        ASSERT_EQ(sums.prefix(k), expect) << "step " << step;
        const std::uint32_t total = sums.total();
        if (total == 0)
            continue;
        const std::uint32_t position = static_cast<std::uint32_t>(rng() % total);
        const auto [index, offset] = sums.locate(position);
        ASSERT_LT(index, plain.size());
        ASSERT_EQ(sums.prefix(index) + offset, position);
        ASSERT_LT(offset, plain[index]) << "the located value holds the position";
    }
    TPrefixSums built;
    built.assign(plain);
    for (std::size_t k = 0; k <= plain.size(); k += 97)
        EXPECT_EQ(built.prefix(k), sums.prefix(k));
}

// Records the insertions the list's rows announce.
class TListLog final : public TListObserver {
public:
    void beginInsertRows(int first, int count) override
    {
        EXPECT_EQ(first, shown);
        pending = count;
    }
    void endInsertRows() override { shown += pending; }
    void beginReset() override {}
    void endReset() override { shown = rows->rowCount(); }
    TListRows* rows = nullptr;
    int shown = 0;
    int pending = 0;
};

class ListFind : public ::testing::Test {
protected:
    TEventList list{std::make_shared<TNullIconSource>(), TPathStyle::Posix};
    TListRows rows{list};
    TListLog log;

    void SetUp() override
    {
        log.rows = &rows;
        rows.setObserver(&log);
    }
    std::vector<std::string> shown() const
    {
        std::vector<std::string> out;
        for (int r = 0; r < rows.rowCount(); ++r)
            out.emplace_back(list.getItem1(rows.listRow(r)));
        return out;
    }
};

TEST_F(ListFind, PathsActionAndProcessMatchAndRowsArrivingDuringTheScanWait)
{
    std::vector<TItemObj> items;
    for (int i = 0; i < 5000; ++i)
        items.emplace_back("/data/f" + std::to_string(i) + (i % 1000 == 7 ? ".pdf" : ".txt"), "", evCreate);
    list.addListItems(items);
    list.addListItems(std::vector<TItemObj>{
        {"/x/a", "/x/report.pdf", evRenameFile}, {"/x/b", "", evRmDir}, {"/x/c", "", evCreate, {{}, 12, "pdftotext"}}});

    rows.setFindWords(TFindWords("PDF"));
    EXPECT_EQ(rows.rowCount(), 0);
    // A slice with no time left judges a part; rows added meanwhile wait behind the scan.
    rows.stepFind(TListRows::TClock::now());
    EXPECT_FALSE(rows.isFindDone());
    list.addListItem(TItemObj("/late/z.pdf", "", evCreate));
    while (!rows.stepFind(TListRows::TClock::now() + std::chrono::seconds(1))) {
    }
    EXPECT_EQ(shown(), (std::vector<std::string>{"/data/f7.pdf", "/data/f1007.pdf", "/data/f2007.pdf",
                                                 "/data/f3007.pdf", "/data/f4007.pdf", "/x/a", "/x/c", "/late/z.pdf"}));
    EXPECT_EQ(log.shown, rows.rowCount()) << "every shown row was announced, in order";

    // After the scan, arrivals are judged as they come.
    list.addListItem(TItemObj("/later/y.pdf", "", evCreate));
    list.addListItem(TItemObj("/later/y.txt", "", evCreate));
    EXPECT_EQ(shown().back(), "/later/y.pdf");
    EXPECT_EQ(rows.rowAtOrAfter(5001), 6) << "the row of /x/c, the first match at or after /x/b";

    rows.setFindWords(TFindWords("delete directory"));
    rows.stepFind(TListRows::TClock::now() + std::chrono::seconds(1));
    EXPECT_EQ(shown(), (std::vector<std::string>{"/x/b"})) << "the action's name is text of the row";

    rows.setFindWords({});
    EXPECT_EQ(rows.rowCount(), static_cast<int>(list.rowCount()));
    list.clear();
    EXPECT_EQ(rows.rowCount(), 0);
}

} // namespace

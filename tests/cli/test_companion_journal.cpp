// --format journal: the fields of each entry (the journal itself: test_journal_linux.sh), and the
// option table as the parser and --help read it.
#include "cli/UntCompanion.h"
#include "cli/UntCompanionJournal.h"
#include "events/UntEvents.h"
#include "settings/UntConfigPath.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using TFields = std::vector<std::string>;

TEST(CompanionJournal, ARenameWithItsOriginGivesEveryField)
{
    const TItemObj item("/old/name", "/new/name", evRenameFile,
                        {std::chrono::system_clock::time_point(std::chrono::milliseconds(1767323045678)), 4242, "mv"});
    EXPECT_EQ(journalFields(item),
              (TFields{"MESSAGE=name\tname\tRename File\t/old/", "PRIORITY=6", "SYSLOG_IDENTIFIER=filesmonitor-cli",
                       "FM_EVENT=13", "FM_ACTION=Rename File", "FM_PATH=/old/name", "FM_NEW_PATH=/new/name",
                       "FM_PID=4242", "FM_PROCESS=mv", "FM_TIME=2026-01-02T03:04:05.678Z"}));
}

TEST(CompanionJournal, WhatIsNotKnownIsLeftOutAndPathsKeepTheirBytes)
{
    // A name with a line break and a byte that is not UTF-8: the journal keeps binary values.
    const std::string path = std::string("/d/a\nb\xff", 8);
    const TFields fields = journalFields(TItemObj(path, "", evDelete));
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[3], "FM_EVENT=3");
    EXPECT_EQ(fields[4], "FM_ACTION=Delete");
    EXPECT_EQ(fields[5], "FM_PATH=" + path);
}

TEST(CompanionArgs, JournalFormatAndTheSettingsFileInHelp)
{
    const char* journal[] = {"filesmonitor-cli", "--format", "journal"};
    std::ostringstream out, err;
    const TParsedArgs parsed = parseCompanionArgs(3, journal, out, err);
    ASSERT_TRUE(parsed.options) << err.str();
    EXPECT_EQ(parsed.options->format, TOutputFormat::Journal);

    const char* help[] = {"filesmonitor-cli", "--help"};
    EXPECT_EQ(parseCompanionArgs(2, help, out, err).exitCode, 0);
    EXPECT_NE(out.str().find("Settings file in use without --config: " + configFilePath() + "\n"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("journal"), std::string::npos);
}

} // namespace

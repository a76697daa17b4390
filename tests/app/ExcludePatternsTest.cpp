#include <gtest/gtest.h>

#include "app/ExcludePatterns.h"

using Velmora::CExcludePatterns;

struct ExcludeCase {
    const char* pattern;
    const char* path;
    bool matches;
};

class ExcludePatternsTest : public ::testing::TestWithParam<ExcludeCase> {};

TEST_P(ExcludePatternsTest, MatchesFullPath)
{
    const ExcludeCase& c = GetParam();
    EXPECT_EQ(CExcludePatterns({c.pattern}).Matches(c.path), c.matches) << c.pattern << " vs " << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Globs, ExcludePatternsTest,
    ::testing::Values(ExcludeCase{"/mnt/backup", "/mnt/backup", true}, ExcludeCase{"/mnt/backup", "/mnt/backups", false},
                      ExcludeCase{"/mnt/backup", "/mnt/backup/x", false}, ExcludeCase{"/mnt/backup/", "/mnt/backup", true},
                      ExcludeCase{"**/node_modules", "/node_modules", true},
                      ExcludeCase{"**/node_modules", "/a/b/node_modules", true},
                      ExcludeCase{"**/node_modules", "/a/my_node_modules", false},
                      ExcludeCase{"/home/*/.cache", "/home/ann/.cache", true},
                      ExcludeCase{"/home/*/.cache", "/home/ann/x/.cache", false},
                      ExcludeCase{"/home/**/.cache", "/home/ann/x/.cache", true},
                      ExcludeCase{"/tmp/build-?", "/tmp/build-1", true}, ExcludeCase{"/tmp/build-?", "/tmp/build-12", false},
                      ExcludeCase{"/srv/*", "/srv/a/b", false}, ExcludeCase{"/srv/**", "/srv/a/b", true},
                      ExcludeCase{".git", "/src/.git", true}, ExcludeCase{".git", "/src/.gitx", false},
                      ExcludeCase{"  /a  ", "/a", true}, ExcludeCase{"", "/a", false}));

TEST(ExcludePatterns, FromTextTakesOnePatternPerLineAndDropsBlankLines)
{
    const CExcludePatterns patterns = CExcludePatterns::FromText("/mnt/backup\n\n  \r\n**/node_modules\r\n");
    EXPECT_EQ(patterns.Patterns(), (std::vector<std::string>{"/mnt/backup", "**/node_modules"}));
    EXPECT_TRUE(patterns.Matches("/x/node_modules"));
    EXPECT_FALSE(patterns.Matches("/mnt"));
    EXPECT_TRUE(CExcludePatterns::FromText("").IsEmpty());
}

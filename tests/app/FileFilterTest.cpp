// What the filter bar asks of a name, a size and a kind.
#include <gtest/gtest.h>

#include "app/FileSystemData.h"
#include "app/filter/FileFilter.h"

using namespace Velmora;
using Kestrum::Common::CString;

namespace {

struct GlobCase {
    const char* pattern;
    const char* name;
    bool caseSensitive;
    bool matches;
};

class GlobTest : public ::testing::TestWithParam<GlobCase> {};

TEST_P(GlobTest, MatchesAsAShellWouldIgnoringCaseByDefault)
{
    const GlobCase& c = GetParam();
    EXPECT_EQ(CNameGlob(c.pattern, c.caseSensitive).Matches(c.name), c.matches) << c.pattern << " / " << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, GlobTest,
                         ::testing::Values(GlobCase{"*.iso", "debian.iso", false, true},
                                           GlobCase{"*.iso", "DEBIAN.ISO", false, true},
                                           GlobCase{"*.iso", "DEBIAN.ISO", true, false},
                                           GlobCase{"*.iso", "debian.iso.part", false, false},
                                           GlobCase{"iso", "my-iso-files", false, true}, // a plain word: anywhere
                                           GlobCase{"ISO", "debian.iso", false, true},
                                           GlobCase{"?.txt", "a.txt", false, true},
                                           GlobCase{"?.txt", "\xc3\xa9.txt", false, true}, // one character, two bytes
                                           GlobCase{"?.txt", "ab.txt", false, false},
                                           GlobCase{"[a-c]*", "beta", false, true},
                                           GlobCase{"[a-c]*", "delta", false, false},
                                           GlobCase{"[!a-c]*", "delta", false, true},
                                           GlobCase{"*a*b*c*", "xxaxxbxxcxx", false, true},
                                           GlobCase{"*a*b*c", "aaaaaaaaaaaaaaaaaaaaaaaaaaab", false, false},
                                           GlobCase{"*", "", false, true},
                                           GlobCase{"a*", "", false, false}));

TEST(FileFilter, NarrowsBySizeKindAndRegularExpressionAndRefusesABadOne)
{
    CFolderData drive(CString("/"), nullptr);
    auto* folder = new CFolderData(CString("Images"), &drive);
    drive.AddFolder(folder);
    auto* big = new CFileData(CString("Big.ISO"), folder, 2LL << 30, 1, 2, 3);
    auto* small = new CFileData(CString("small.iso"), folder, 1000, 1, 2, 3);
    folder->AddFile(big);
    folder->AddFile(small);

    CFileFilter filter;
    FilterCriteria criteria;
    criteria.pattern = "*.iso";
    criteria.minSize = ParseSize("1G");
    ASSERT_TRUE(filter.SetCriteria(criteria));
    EXPECT_TRUE(filter.Matches(big));
    EXPECT_FALSE(filter.Matches(small));
    EXPECT_FALSE(filter.Matches(folder)) << "its name is not *.iso";

    criteria = {};
    criteria.pattern = "^im.*s$";
    criteria.regex = true;
    ASSERT_TRUE(filter.SetCriteria(criteria));
    EXPECT_TRUE(filter.Matches(folder));
    criteria.kind = FilterKind::Files;
    ASSERT_TRUE(filter.SetCriteria(criteria));
    EXPECT_FALSE(filter.Matches(folder));

    criteria.pattern = "([";
    std::string why;
    EXPECT_FALSE(filter.SetCriteria(criteria, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(filter.Criteria().pattern, "^im.*s$") << "the last good criteria stay";
}

TEST(FileFilter, ParsesSizesInBinaryUnits)
{
    const std::vector<std::pair<const char*, std::int64_t>> cases = {
        {"", 0}, {"1234", 1234}, {"10k", 10240}, {"1.5 G", 3LL << 29}, {"500MiB", 500LL << 20},
        {"2TB", 2LL << 40}, {"12 bytes", -1}, {"x", -1}, {"-5", -1}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ParseSize(text), bytes) << text;
}

} // namespace

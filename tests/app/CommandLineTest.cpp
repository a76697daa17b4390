// Velmora's command line: what is accepted, and a one-line message naming
// whatever is not.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "TempTree.h"
#include "app/CommandLine.h"

using namespace Velmora;
using Velmora::Test::CTempTree;

namespace {
std::string TestName(std::string name)
{
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

struct Accepted {
    const char* name;
    std::vector<std::string> arguments;
    CommandLine::Action action;
    std::vector<std::string> roots;
    std::string screenshot;
    double after;
};

class CommandLineAccepts : public ::testing::TestWithParam<Accepted> {};

const Accepted kAccepted[] = {
    {"nothing", {}, CommandLine::Run, {}, "", 0},
    {"folders", {"/a", "b c"}, CommandLine::Run, {"/a", "b c"}, "", 0},
    {"screenshot", {"/a", "--screenshot", "x.png"}, CommandLine::Run, {"/a"}, "x.png", 0},
    {"screenshot with a wait", {"--after", "2.5", "--screenshot", "x.png", "/a"}, CommandLine::Run, {"/a"}, "x.png", 2.5},
    {"inline values", {"--screenshot=x.png", "--after=7"}, CommandLine::Run, {}, "x.png", 7},
    {"folders after --", {"--", "--help", "-x", "--"}, CommandLine::Run, {"--help", "-x", "--"}, "", 0},
    {"a lone dash is a folder", {"-"}, CommandLine::Run, {"-"}, "", 0},
    {"the empty folder name is left to the check", {""}, CommandLine::Run, {""}, "", 0},
    {"help", {"/a", "--help", "--bogus"}, CommandLine::ShowHelp, {}, "", 0},
    {"short help", {"-h"}, CommandLine::ShowHelp, {}, "", 0},
    {"version", {"--version"}, CommandLine::ShowVersion, {}, "", 0},
    {"pdf with a wait", {"--export-pdf", "rows.pdf", "--after", "4", "/a"}, CommandLine::Run, {"/a"}, "", 4},
    {"levels", {"--expand", "2", "/a"}, CommandLine::Run, {"/a"}, "", 0},
};
} // namespace

TEST(CommandLine, ReadsTheExportAndExpandValues)
{
    const CommandLine line = ParseCommandLine({"--expand=3", "--export-pdf", "rows.pdf", "--screenshot", "x.png"});
    ASSERT_EQ(line.action, CommandLine::Run) << line.error;
    EXPECT_EQ(line.expandLevels, 3);
    EXPECT_EQ(line.exportPdf, "rows.pdf");
    EXPECT_TRUE(line.Quits());
    EXPECT_EQ(ParseCommandLine({"/a"}).expandLevels, -1);
    EXPECT_FALSE(ParseCommandLine({"--expand", "0"}).Quits());
}

// Scan files: "-" is standard input or output; a lone *.json or *.json.gz
// that is not a folder is a scan file to show.
TEST(CommandLine, ReadsScanFilesAndTakesALoneJsonRootAsOne)
{
    CommandLine options = ParseCommandLine(std::vector<std::string>{"--import", "-", "--export", "-"});
    ASSERT_EQ(options.action, CommandLine::Run) << options.error;
    EXPECT_EQ(options.importScan, "-");
    EXPECT_EQ(options.exportScan, "-");
    options = ParseCommandLine(std::vector<std::string>{"--export=out.json.gz", "/a", "/b"});
    EXPECT_EQ(options.exportScan, "out.json.gz");
    EXPECT_EQ(options.roots, (std::vector<std::string>{"/a", "/b"}));

    CTempTree tree;
    const std::string file = tree.File("scan.json", 3).string();
    const std::string packed = tree.File("scan.json.gz", 3).string();
    const std::string folder = tree.Dir("folder.json").string();
    for (const auto& [root, isScan] : {std::pair{file, true}, {packed, true}, {folder, false}}) {
        options = ParseCommandLine(std::vector<std::string>{root});
        TakeScanFileRoot(options);
        EXPECT_EQ(options.importScan, isScan ? root : "") << root;
        EXPECT_EQ(options.roots.size(), isScan ? 0u : 1u) << root;
    }
    options = ParseCommandLine(std::vector<std::string>{file, folder});
    TakeScanFileRoot(options);
    EXPECT_TRUE(options.importScan.empty()); // only a lone one
}

TEST(CommandLine, ReadsTheSettingsFile)
{
    EXPECT_EQ(ParseCommandLine({"--settings", "v.ini", "/a"}).settingsFile, "v.ini");
    EXPECT_EQ(ParseCommandLine({"--settings=v.ini"}).settingsFile, "v.ini");
    EXPECT_FALSE(ParseCommandLine({"--settings", "v.ini"}).Quits());
    EXPECT_EQ(ParseCommandLine({"/a"}).settingsFile, "");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--settings"},
                                                std::vector<std::string>{"--settings="},
                                                std::vector<std::string>{"--settings", "--expand", "1"}}) {
        const CommandLine line = ParseCommandLine(bad);
        EXPECT_EQ(line.action, CommandLine::Fail);
        EXPECT_EQ(line.error, "option '--settings' needs a file name");
    }
}

TEST(CommandLine, ReadsRepeatedExcludePatterns)
{
    const CommandLine line = ParseCommandLine({"--exclude", "**/node_modules", "/a", "--exclude=/home/*/.cache"});
    EXPECT_EQ(line.action, CommandLine::Run) << line.error;
    EXPECT_EQ(line.exclude, (std::vector<std::string>{"**/node_modules", "/home/*/.cache"}));
    EXPECT_EQ(line.roots, std::vector<std::string>{"/a"});
    EXPECT_EQ(ParseCommandLine({"--export", "x.json", "--exclude", "/mnt"}).exclude, std::vector<std::string>{"/mnt"});
}

TEST_P(CommandLineAccepts, AndReadsEveryValue)
{
    const Accepted& c = GetParam();
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action) << line.error;
    if (c.action != CommandLine::Run)
        return;
    EXPECT_EQ(line.roots, c.roots);
    EXPECT_EQ(line.screenshot, c.screenshot);
    EXPECT_DOUBLE_EQ(line.afterSeconds, c.after);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, CommandLineAccepts, ::testing::ValuesIn(kAccepted),
                         [](const auto& test) { return TestName(test.param.name); });

namespace {
struct Refused {
    const char* name;
    std::vector<std::string> arguments;
    std::string message; // what the one-line message names
};

class CommandLineRefuses : public ::testing::TestWithParam<Refused> {};

const Refused kRefused[] = {
    {"screenshot without a file", {"/a", "--screenshot"}, "'--screenshot' needs a file name"},
    {"screenshot followed by an option", {"--screenshot", "--after", "3"}, "'--screenshot' needs a file name"},
    {"screenshot with an empty file", {"--screenshot="}, "'--screenshot' needs a file name"},
    {"after without a number", {"--screenshot", "x.png", "--after"}, "'--after' needs a number of seconds"},
    {"after with a word", {"--screenshot", "x.png", "--after", "abc"}, "not 'abc'"},
    {"after with a negative number", {"--screenshot", "x.png", "--after", "-3"}, "not '-3'"},
    {"after with zero", {"--screenshot", "x.png", "--after", "0"}, "not '0'"},
    {"after with a path", {"--screenshot", "x.png", "--after", "/some/path"}, "not '/some/path'"},
    {"after with an exponent", {"--screenshot", "x.png", "--after", "1e3"}, "not '1e3'"},
    {"after with infinity", {"--screenshot", "x.png", "--after", "inf"}, "not 'inf'"},
    {"after too long", {"--screenshot", "x.png", "--after", "1000001"}, "not '1000001'"},
    {"after with trailing junk", {"--screenshot", "x.png", "--after=3s"}, "not '3s'"},
    {"after without a screenshot", {"--after", "3"}, "'--after' is only used with '--screenshot'"},
    {"pdf without a file", {"--export-pdf"}, "'--export-pdf' needs a file name"},
    {"expand without levels", {"--expand"}, "'--expand' needs a number of levels"},
    {"expand with a word", {"--expand", "all"}, "not 'all'"},
    {"expand with a negative number", {"--expand", "-1"}, "not '-1'"},
    {"expand too deep", {"--expand", "10001"}, "not '10001'"},
    {"after with only levels", {"--expand", "2", "--after", "3"}, "'--after' is only used with"},
    {"unknown long option", {"/a", "--bogus"}, "unknown option '--bogus'"},
    {"unknown short option", {"-x", "/a"}, "unknown option '-x'"},
    {"unknown option with a value", {"--colour=red"}, "unknown option '--colour'"},
    {"help with a value", {"--help=yes"}, "'--help' takes no value"},
    {"treemap with a value", {"--treemap=yes"}, "'--treemap' takes no value"},
    {"export with the treemap", {"--export", "x.json", "--treemap"}, "takes no window option"},
    {"control characters are escaped", {"--bo\ngus\x1b[2J"}, "unknown option '--bo\\x0Agus\\x1B[2J'"},
    {"a reversing control is escaped", {"--\xE2\x80\xAEgubo"}, "unknown option '--\\xE2\\x80\\xAEgubo'"},
    {"exclude without a pattern", {"/a", "--exclude"}, "'--exclude' needs a pattern"},
    {"exclude followed by an option", {"--exclude", "--expand", "1"}, "'--exclude' needs a pattern"},
    {"export without a file", {"--export"}, "'--export' needs a file name ('-' for standard output)"},
    {"import followed by an option", {"--import", "--export", "x"}, "'--import' needs a file name"},
    {"import with folders", {"--import", "a.json", "/a"}, "no FOLDER goes with it"},
    {"export with a window option", {"--export", "x.json", "--screenshot", "s.png"}, "takes no window option"},
};
} // namespace

TEST_P(CommandLineRefuses, WithOneLineNamingTheArgument)
{
    const Refused& c = GetParam();
    const CommandLine line = ParseCommandLine(c.arguments);
    ASSERT_EQ(line.action, CommandLine::Fail);
    EXPECT_NE(line.error.find(c.message), std::string::npos) << line.error;
    EXPECT_EQ(line.error.find('\n'), std::string::npos) << line.error;
}

INSTANTIATE_TEST_SUITE_P(CommandLine, CommandLineRefuses, ::testing::ValuesIn(kRefused),
                         [](const auto& test) { return TestName(test.param.name); });

TEST(CommandLine, HelpNamesEveryOptionAndVersionIsTheAboutText)
{
    const std::string usage = UsageText();
    for (const char* option : {"--screenshot FILE", "--after SECONDS", "--export FILE", "--import FILE", "--exclude PATTERN", "--help",
                               "--version", "--"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_STREQ(kVersionText, "Velmora version 1.0");
}

TEST(CommandLine, RootsMustBeExistingFoldersAndBecomeAbsolute)
{
    CTempTree tree;
    tree.File("file.txt", 3);
    tree.Dir("folder/inner");
    mkfifo((tree.Root() / "fifo").c_str(), 0600);
    std::filesystem::create_directory_symlink(tree.Root() / "folder", tree.Root() / "link");

    std::vector<std::string> good = {(tree.Root() / "folder/inner/..").string(), (tree.Root() / "link").string()};
    EXPECT_TRUE(CheckRoots(good).empty());
    EXPECT_EQ(good, (std::vector<std::string>{(tree.Root() / "folder").string(), (tree.Root() / "folder").string()}));

    const std::string missing = (tree.Root() / "missing").string();
    std::vector<std::string> bad = {"", missing, (tree.Root() / "file.txt").string(), (tree.Root() / "fifo").string(),
                                    (tree.Root() / "folder").string()};
    const std::vector<std::string> messages = CheckRoots(bad); // the FIFO is not opened: no hang
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_NE(messages[0].find("''"), std::string::npos);
    EXPECT_NE(messages[1].find("'" + missing + "': no such folder"), std::string::npos);
    EXPECT_NE(messages[2].find("file.txt' is not a folder"), std::string::npos);
    EXPECT_NE(messages[3].find("fifo' is not a folder"), std::string::npos);
}

TEST(CommandLine, RelativeRootsAreMadeAbsolute)
{
    CTempTree tree;
    tree.Dir("here");
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(tree.Root());
    std::vector<std::string> roots = {"here", "."};
    EXPECT_TRUE(CheckRoots(roots).empty());
    std::filesystem::current_path(saved);
    EXPECT_EQ(roots, (std::vector<std::string>{(tree.Root() / "here").string(), tree.Root().string()}));
}

// --- where a save goes --------------------------------------------------------------------

TEST(CommandLine, APlaceThatCannotBeWrittenIsToldWithItsReason)
{
    CTempTree tree;
    tree.File("file.txt", 3);
    tree.Dir("folder");
    const std::string root = tree.Root().string();
    const struct {
        std::string file;
        std::string reason; // empty: writable
    } cases[] = {
        {root + "/new.pdf", ""},
        {root + "/file.txt", ""},
        {"/nonexistent-velmora-folder/x.pdf", "no such folder '/nonexistent-velmora-folder'"},
        {root + "/missing/deeper/x.pdf", "no such folder '" + root + "/missing/deeper'"},
        {root + "/folder", "it is a folder"},
        {root + "/file.txt/x.pdf", "'" + root + "/file.txt' is not a folder"},
        {"", "an empty name"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhyNotWritable(c.file), c.reason) << c.file;
    // The superuser may write anywhere: only others are refused.
    if (geteuid() != 0) {
        tree.Dir("locked");
        ASSERT_EQ(chmod((tree.Root() / "locked").c_str(), 0555), 0);
        EXPECT_EQ(WhyNotWritable(root + "/locked/x.pdf"), "cannot write in '" + root + "/locked': Permission denied");
        chmod((tree.Root() / "locked").c_str(), 0755);
    }
}

// --- the desktop entry --------------------------------------------------------------------

// "Open" on a folder asks the desktop for the folder's opener: Velmora,
// registered for folders, would start itself.
TEST(DesktopEntry, VelmoraIsNoOpenerOfFolders)
{
    std::ifstream entry(VELMORA_DESKTOP_ENTRY);
    ASSERT_TRUE(entry.good());
    const std::string text((std::istreambuf_iterator<char>(entry)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Exec=velmora"), std::string::npos);
    EXPECT_EQ(text.find("inode/directory"), std::string::npos);
}

// Saved scans: the writer's escaping read back by the reader, bad files
// refused with their reason, a hundred thousand nested folders, gzip, the
// walk written straight to a file against the window's walk, and an
// imported tree written back with every member it was read with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "TempTree.h"
#include "app/FolderScanner.h"
#include "app/scanfile/ScanExport.h"
#include "app/scanfile/ScanJsonReader.h"
#include "app/scanfile/ScanJsonWriter.h"
#include "app/scanfile/ScanTree.h"

using namespace Velmora;
using namespace Velmora::ScanFile;
using Velmora::Test::CTempTree;
namespace fs = std::filesystem;

namespace {

// Records the reader's events as lines: "[ name", "f name asize dsize", "]".
class CRecordingSink : public IScanSink {
public:
    bool OpenFolder(const ScanRecord& folder) override
    {
        lines.push_back("[ " + folder.name);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        return true;
    }
    bool AddFile(const ScanRecord& file) override
    {
        lines.push_back("f " + file.name + " " + std::to_string(file.asize) + " " + std::to_string(file.dsize));
        return true;
    }
    bool CloseFolder() override
    {
        --depth;
        lines.push_back("]");
        return true;
    }
    std::vector<std::string> lines;
    std::size_t depth = 0, maxDepth = 0;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

ReadOutcome ReadFile(const fs::path& path, IScanSink& sink, const ReadProgress& progress = {})
{
    std::string error;
    std::unique_ptr<CInput> input = CInput::Open(path.string(), error);
    EXPECT_TRUE(input) << error;
    return input ? ReadScan(*input, sink, progress) : ReadOutcome{};
}

// The document's text without the header's time stamp.
std::string WithoutTimestamp(const std::string& text)
{
    const std::size_t at = text.find("\"timestamp\":");
    const std::size_t end = text.find('}', at);
    return at == std::string::npos ? text : text.substr(0, at) + text.substr(end);
}

struct Totals {
    std::int64_t size = 0, onDisk = 0, files = 0, folders = 0, unreadable = 0;
    bool operator==(const Totals&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Totals& t)
{
    return out << "size " << t.size << ", on disk " << t.onDisk << ", files " << t.files << ", folders " << t.folders
               << ", unreadable " << t.unreadable;
}

Totals TotalsOf(CFolderScanner& scanner)
{
    Totals totals;
    for (CFolderData* drive : scanner.GetDrives()) {
        totals.size += drive->GetSize();
        totals.onDisk += drive->GetSizeOnDisk();
        totals.files += drive->GetFilesCount();
        std::vector<CFolderData*> stack{drive};
        while (!stack.empty()) {
            CFolderData* folder = stack.back();
            stack.pop_back();
            ++totals.folders;
            totals.unreadable += folder->IsUnreadable() ? 1 : 0;
            for (CFolderData* child : folder->GetFolders())
                stack.push_back(child);
        }
    }
    return totals;
}

void RunToEnd(CFolderScanner& scanner)
{
    scanner.Start();
    scanner.Wait(0xFFFFFFFFu);
}

// The real file system, but a folder named "locked" cannot be listed (the
// tests may run as root, whom permissions do not stop).
class CLockedFileSystem : public CLocalFileSystem {
public:
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        if (fs::path(path).filename() == "locked") {
            m_refused = true;
            return false;
        }
        return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
    }
    int TakeListError() override
    {
        if (m_refused) {
            m_refused = false;
            return EACCES;
        }
        return CLocalFileSystem::TakeListError();
    }

private:
    bool m_refused = false;
};

// Hard links, a sparse file, odd names and a folder that cannot be listed.
void MakeHostileTree(const CTempTree& tree)
{
    tree.File("a/f", 3000);
    fs::create_hard_link(tree.Root() / "a/f", tree.Dir("a/b") / "hl");
    fs::create_hard_link(tree.Root() / "a/f", tree.Root() / "top-link");
    {
        std::ofstream sparse(tree.Root() / "sparse", std::ios::binary);
        sparse.seekp(10 << 20);
        sparse.put('x');
    }
    tree.File("q\"uo\\te", 1);
    tree.File(std::string("ctl\x01\nx"), 2);
    tree.File(std::string("bad\xff\xfeu"), 5);
    tree.File("locked/hidden", 100);
    tree.Dir("empty");
}

} // namespace

// Names the writer escapes come back from the reader byte for byte.
class ScanJsonNames : public ::testing::TestWithParam<std::string> {};

TEST_P(ScanJsonNames, ComeBackByteForByte)
{
    CTempTree tree;
    const fs::path file = tree.Root() / "names.json";
    std::string error;
    {
        auto output = COutput::Open(file.string(), error);
        ASSERT_TRUE(output) << error;
        CScanJsonWriter writer(*output, 0);
        ScanRecord root;
        root.name = "/r";
        ScanRecord entry;
        entry.name = GetParam();
        entry.present = ScanRecord::Asize | ScanRecord::Dsize;
        entry.asize = 7;
        writer.OpenFolder(root);
        writer.AddFile(entry);
        writer.OpenFolder(entry);
        ASSERT_TRUE(writer.Finish());
        ASSERT_TRUE(output->Close(error)) << error;
    }
    CRecordingSink sink;
    const ReadOutcome outcome = ReadFile(file, sink);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"[ /r", "f " + GetParam() + " 7 0", "[ " + GetParam(), "]", "]"}));
}

INSTANTIATE_TEST_SUITE_P(Odd, ScanJsonNames,
                         ::testing::Values("plain", "q\"uo\\te", std::string("ctl\x01\x1f\x7f\nx\t\r\b\f"),
                                           std::string("bad\xff\xfeu\xc3"), "\xc3\xa9t\xc3\xa9 \xe2\x82\xac",
                                           "{\"name\":\"x\"}],["));

struct BadFile {
    const char* label;
    std::string text;
    const char* message; // a part of the error
};

class ScanJsonBadFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(ScanJsonBadFiles, AreRefusedWithTheirReason)
{
    CTempTree tree;
    const fs::path file = tree.Root() / "bad.json";
    WriteAll(file, GetParam().text);
    CRecordingSink sink;
    const ReadOutcome outcome = ReadFile(file, sink);
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_NE(outcome.error.find(GetParam().message), std::string::npos) << outcome.error;
}

const std::string kHead = "[1,0,{\"progname\":\"x\"},\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanJsonBadFiles,
    ::testing::Values(
        BadFile{"Truncated", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":1", "ends too early"},
        BadFile{"Empty", "", "ends too early"},
        BadFile{"NotJson", "PK\x03\x04 zip file", "not JSON"},
        BadFile{"OtherVersion", "[2,0,{},[{\"name\":\"/r\"}]]", "format version 2"},
        BadFile{"NotAScan", "{\"name\":\"/r\"}", "not a scan"},
        BadFile{"SizeTooLarge", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":9223372036854775808}]]",
                "asize is too large"},
        BadFile{"SizeHuge", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\",\"dsize\":1e400}]]", "not JSON"},
        BadFile{"SizeFraction", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":1.5}]]", "not a whole number"},
        BadFile{"Negative", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":-1}]]", "negative asize"},
        BadFile{"RawNewline", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\nb\"}]]", "not JSON"},
        BadFile{"Nul", kHead + "[{\"name\":\"/r\"},{\"name\":\"a\\u0000b\"}]]", "NUL"},
        BadFile{"Slash", kHead + "[{\"name\":\"/r\"},{\"name\":\"a/b\"}]]", "'/'"},
        BadFile{"DotDot", kHead + "[{\"name\":\"/r\"},[{\"name\":\"..\"}]]]", "'/'"},
        BadFile{"NoName", kHead + "[{\"name\":\"/r\"},{\"asize\":1}]]", "without a name"},
        BadFile{"EmptyName", kHead + "[{\"name\":\"/r\"},{\"name\":\"\"}]]", "empty name"},
        BadFile{"WrongKind", kHead + "[{\"name\":\"/r\"},{\"name\":7}]]", "wrong kind"},
        BadFile{"FolderWithoutRecord", kHead + "[{\"name\":\"/r\"},[]]]", "without its record"},
        BadFile{"NoFolder", "[1,0,{}]", "no folder"}),
    [](const ::testing::TestParamInfo<BadFile>& param) { return std::string(param.param.label); });

TEST(ScanJsonReader, ReadsAHundredThousandNestedFoldersWithoutRecursion)
{
    CTempTree tree;
    const fs::path file = tree.Root() / "deep.json";
    constexpr std::size_t kDepth = 100000;
    {
        std::ofstream out(file, std::ios::binary);
        out << kHead << "[{\"name\":\"/r\"}";
        for (std::size_t i = 0; i < kDepth; ++i)
            out << ",[{\"name\":\"d\"}";
        out << ",{\"name\":\"leaf\",\"asize\":1}";
        for (std::size_t i = 0; i <= kDepth; ++i)
            out << "]";
        out << "]";
    }
    CRecordingSink sink;
    const ReadOutcome outcome = ReadFile(file, sink);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(sink.maxDepth, kDepth + 1);
    EXPECT_EQ(sink.depth, 0u);
}

TEST(ScanJsonReader, StopsWhenProgressSaysSoAndSkipsUnknownMembers)
{
    CTempTree tree;
    const fs::path file = tree.Root() / "big.json";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[1,9,{\"progname\":\"x\",\"nested\":{\"a\":[1,{\"b\":null}]}},\n[{\"name\":\"/r\",\"uid\":0}";
        for (int i = 0; i < 100000; ++i)
            out << ",{\"name\":\"f" << i << "\",\"asize\":1,\"extra\":[{\"x\":1}],\"mode\":33188}";
        out << "]]";
    }
    CRecordingSink whole;
    const ReadOutcome read = ReadFile(file, whole);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(whole.lines.size(), 100002u);
    int calls = 0;
    CRecordingSink partial;
    const ReadOutcome stopped = ReadFile(file, partial, [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_LE(done, total);
        return ++calls < 2;
    });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.ok);
    EXPECT_LT(partial.lines.size(), whole.lines.size());
}

// The walk written to a file (plain and gzip) shows, once imported, the
// same totals as the window's walk of the same tree.
TEST(ScanExport, ImportedExportEqualsTheWalk)
{
    CTempTree tree;
    MakeHostileTree(tree);
    auto fileSystem = std::make_shared<CLockedFileSystem>();
    CFolderScanner walk({tree.Root().string()}, fileSystem);
    RunToEnd(walk);
    const Totals walked = TotalsOf(walk);
    EXPECT_EQ(walked.unreadable, 1);
    for (const char* name : {"scan.json", "scan.json.gz"}) {
        SCOPED_TRACE(name);
        const fs::path file = tree.Root().parent_path() / (tree.Root().filename().string() + name);
        std::string error;
        {
            auto output = COutput::Open(file.string(), error);
            ASSERT_TRUE(output) << error;
            CScanJsonWriter writer(*output, 0);
            ExportCounts counts;
            ASSERT_TRUE(ExportWalk({tree.Root().string()}, *fileSystem, writer, {}, &counts));
            ASSERT_TRUE(writer.Finish());
            ASSERT_TRUE(output->Close(error)) << error;
            EXPECT_EQ(counts.files, walked.files);
            EXPECT_EQ(counts.folders, walked.folders);
        }
        const std::string bytes = ReadAll(file);
        EXPECT_EQ(bytes.rfind("\x1f\x8b", 0) == 0, std::string(name).ends_with(".gz"));
        auto import = std::make_shared<CScanImport>(file.string());
        CFolderScanner imported(CFolderScanner::FromImport{}, import, fileSystem);
        RunToEnd(imported);
        ASSERT_TRUE(import->Outcome().ok) << import->Outcome().error;
        EXPECT_EQ(TotalsOf(imported), walked);
        EXPECT_EQ(imported.GetUnreadableCount(), 1);
        ASSERT_EQ(imported.GetDrives().size(), 1u);
        EXPECT_EQ(imported.GetDrives()[0]->GetName().ToStdString(), tree.Root().string());
        fs::remove(file);
    }
}

// A file another tool wrote (folders with their own sizes, devices, inodes,
// hard links, an unreadable folder, an excluded one, a member this program
// does not know) comes back with every member it was read with.
TEST(ScanTree, WritingAnImportedTreeKeepsEveryMemberRead)
{
    const std::string body =
        "[{\"name\":\"/srv/x\",\"asize\":4096,\"dsize\":4096,\"dev\":65024,\"mtime\":1700000000},\n"
        "[{\"name\":\"un\",\"asize\":4096,\"dsize\":4096,\"read_error\":true}],\n"
        "[{\"name\":\"mnt\",\"excluded\":\"othfs\"}],\n"
        "{\"name\":\"sparse\",\"asize\":10485760},\n"
        "{\"name\":\"fifo\",\"asize\":0,\"dsize\":0,\"notreg\":true},\n"
        "[{\"name\":\"a\",\"asize\":4096,\"dsize\":4096,\"dev\":65025},\n"
        "{\"name\":\"f\",\"asize\":3,\"dsize\":4096,\"ino\":11,\"hlnkc\":true,\"nlink\":2,\"mtime\":1700000001},\n"
        "{\"name\":\"hl\",\"asize\":3,\"dsize\":4096,\"ino\":11,\"hlnkc\":true,\"nlink\":2}]]]\n";
    CTempTree tree;
    const fs::path in = tree.Root() / "in.json";
    const fs::path out = tree.Root() / "out.json";
    WriteAll(in, "[1,2,{\"progname\":\"other\",\"progver\":\"9\",\"timestamp\":1},\n" + body);
    auto import = std::make_shared<CScanImport>(in.string());
    CFolderScanner scanner(CFolderScanner::FromImport{}, import, std::make_shared<CLocalFileSystem>());
    RunToEnd(scanner);
    ASSERT_TRUE(import->Outcome().ok) << import->Outcome().error;
    // The hard link's blocks count once; folders' own sizes are not the
    // model's (a walk here does not count them either).
    EXPECT_EQ(TotalsOf(scanner), (Totals{3 + 3 + 10485760, 4096, 4, 4, 1}));
    std::string error;
    {
        auto output = COutput::Open(out.string(), error);
        ASSERT_TRUE(output) << error;
        CScanJsonWriter writer(*output, 0);
        ASSERT_TRUE(WriteTree(scanner.GetDrives(), &import->Extras(), writer));
        ASSERT_TRUE(writer.Finish());
        ASSERT_TRUE(output->Close(error));
    }
    // The same records in the same order, members in this writer's order.
    const std::string written = ReadAll(out);
    const std::string records = WithoutTimestamp(written);
    EXPECT_EQ(records.substr(records.find('\n') + 1),
              "[{\"name\":\"/srv/x\",\"asize\":4096,\"dsize\":4096,\"dev\":65024,\"mtime\":1700000000},\n"
              "{\"name\":\"sparse\",\"asize\":10485760},\n"
              "{\"name\":\"fifo\",\"asize\":0,\"dsize\":0,\"notreg\":true},\n"
              "[{\"name\":\"un\",\"asize\":4096,\"dsize\":4096,\"read_error\":true}],\n"
              "[{\"name\":\"mnt\",\"excluded\":\"othfs\"}],\n"
              "[{\"name\":\"a\",\"asize\":4096,\"dsize\":4096,\"dev\":65025},\n"
              "{\"name\":\"f\",\"asize\":3,\"dsize\":4096,\"ino\":11,\"hlnkc\":true,\"nlink\":2,\"mtime\":1700000001},\n"
              "{\"name\":\"hl\",\"asize\":3,\"dsize\":4096,\"ino\":11,\"hlnkc\":true,\"nlink\":2}]]]\n");
}

// Several roots go below a holder named "/" (a name every reader of the
// format takes) and come back as drives.
TEST(ScanTree, SeveralDrivesGoBelowAHolderOfRootsAndComeBack)
{
    CTempTree tree;
    tree.File("one/a", 10);
    tree.File("two/b", 20);
    const fs::path file = tree.Root() / "both.json";
    std::string error;
    {
        auto output = COutput::Open(file.string(), error);
        CScanJsonWriter writer(*output, 0);
        CLocalFileSystem fileSystem;
        ASSERT_TRUE(ExportWalk({(tree.Root() / "one").string(), (tree.Root() / "two").string()}, fileSystem, writer));
        ASSERT_TRUE(writer.Finish());
        ASSERT_TRUE(output->Close(error));
    }
    EXPECT_NE(ReadAll(file).find("\n[{\"name\":\"/\",\"velmora_roots\":true},\n[{\"name\":\"" + tree.Root().string()),
              std::string::npos);
    auto import = std::make_shared<CScanImport>(file.string());
    CFolderScanner scanner(CFolderScanner::FromImport{}, import, std::make_shared<CLocalFileSystem>());
    RunToEnd(scanner);
    ASSERT_TRUE(import->Outcome().ok) << import->Outcome().error;
    const std::vector<CFolderData*> drives = scanner.GetDrives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->GetName().ToStdString(), (tree.Root() / "one").string());
    EXPECT_EQ(drives[1]->GetSize(), 20);
}

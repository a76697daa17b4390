// Scan files against the other tools of the format, run as a user runs
// them: a tree with hard links, a folder that cannot be read, odd names and
// a sparse file, exported by each tool, opens with the totals of this
// program's own walk; this program's export is read by the other tools;
// a conversion keeps every member read. Skipped where a tool is missing,
// unless VELMORA_INTEROP_REQUIRED is set (scripts/json-interop.sh).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TempTree.h"
#include "app/FolderScanner.h"
#include "app/scanfile/ScanTree.h"

using namespace Velmora;
using namespace Velmora::ScanFile;
using Velmora::Test::CTempTree;
namespace fs = std::filesystem;

namespace {

struct Totals {
    std::int64_t size = 0, onDisk = 0, files = 0, folders = 0;
    bool operator==(const Totals&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Totals& t)
{
    return out << t.size << " B, " << t.onDisk << " B on disk, " << t.files << " files, " << t.folders << " folders";
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
            for (CFolderData* child : folder->GetFolders())
                stack.push_back(child);
        }
    }
    return totals;
}

Totals Imported(const fs::path& file)
{
    auto import = std::make_shared<CScanImport>(file.string());
    CFolderScanner scanner(CFolderScanner::FromImport{}, import, std::make_shared<CLocalFileSystem>());
    scanner.Start();
    scanner.Wait(0xFFFFFFFFu);
    EXPECT_TRUE(import->Outcome().ok) << file << ": " << import->Outcome().error;
    return TotalsOf(scanner);
}

bool HasTool(const char* name)
{
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command as a user without rights to the locked folder: the
// nobody account when this is root, whom permissions do not stop.
int RunAsUser(const std::string& command)
{
    const std::string line = geteuid() == 0 ? "env HOME=/tmp setpriv --reuid=65534 --regid=65534 --clear-groups " + command
                                            : command;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class ScanInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"ncdu", "gdu", "setpriv"}) {
            if (HasTool(tool))
                continue;
            if (std::getenv("VELMORA_INTEROP_REQUIRED"))
                FAIL() << tool << " is missing";
            GTEST_SKIP() << tool << " is missing";
        }
        const fs::path root = m_tree.Dir("t");
        m_tree.File("t/a/f", 3000);
        fs::create_hard_link(root / "a/f", m_tree.Dir("t/a/b") / "hl");
        fs::create_hard_link(root / "a/f", root / "top-link");
        {
            std::ofstream sparse(root / "sparse", std::ios::binary);
            sparse.seekp(10 << 20);
            sparse.put('x');
        }
        m_tree.File("t/q\"uo\\te", 1);
        m_tree.File(std::string("t/ctl\x01\nx"), 2);
        m_tree.File(std::string("t/bad\xff\xfeu"), 5);
        m_tree.File("t/locked/hidden", 100);
        m_tree.Dir("t/empty");
        // Everyone may walk it, but the locked folder; the exports go in
        // a folder everyone may write.
        for (const auto& entry : fs::recursive_directory_iterator(m_tree.Root()))
            if (entry.is_directory())
                fs::permissions(entry.path(), fs::perms(0755));
        fs::permissions(m_tree.Root(), fs::perms(0755));
        fs::permissions(m_tree.Dir("out"), fs::perms(0777));
        fs::permissions(root / "locked", fs::perms::none);
        m_root = root;
        m_out = m_tree.Root() / "out";
    }

    CTempTree m_tree;
    fs::path m_root, m_out;
};

} // namespace

TEST_F(ScanInterop, ExportsOfEveryToolOpenWithTheTotalsOfTheWalk)
{
    const fs::path velmora = m_out / "velmora.json";
    const fs::path ncdu = m_out / "ncdu.json";
    const fs::path gdu = m_out / "gdu.json";
    ASSERT_EQ(RunAsUser(std::string(VELMORA_BINARY) + " --export " + Quoted(velmora) + " " + Quoted(m_root)), 0);
    ASSERT_EQ(RunAsUser("ncdu -0 -x -o " + Quoted(ncdu) + " " + Quoted(m_root)), 0);
    ASSERT_EQ(RunAsUser("gdu -n -p -x -o " + Quoted(gdu) + " " + Quoted(m_root) + " >/dev/null"), 0);
    // Velmora's own walk, as the same user sees the tree: the files of
    // the locked folder are not counted.
    const Totals walked = Imported(velmora);
    EXPECT_EQ(walked.files, 7);   // f, hl, top-link, sparse and the three odd names
    EXPECT_EQ(walked.folders, 5); // t, a, b, locked, empty
    EXPECT_EQ(walked.size, 3000 * 3 + (10 << 20) + 1 + 1 + 2 + 5);
    EXPECT_EQ(Imported(ncdu), walked);
    EXPECT_EQ(Imported(gdu), walked);
    EXPECT_NE(ReadAll(velmora).find("{\"name\":\"locked\",\"read_error\":true}"), std::string::npos);
}

TEST_F(ScanInterop, OtherToolsReadTheExportAndAConversionKeepsEveryMember)
{
    const fs::path velmora = m_out / "velmora.json";
    const fs::path ncdu = m_out / "ncdu.json";
    ASSERT_EQ(RunAsUser(std::string(VELMORA_BINARY) + " --export " + Quoted(velmora) + " " + Quoted(m_root)), 0);
    ASSERT_EQ(RunAsUser("ncdu -0 -x -o " + Quoted(ncdu) + " " + Quoted(m_root)), 0);
    // The other reader writes what it read again: every entry, name and
    // size it took from this program's file.
    const fs::path reread = m_out / "reread.json";
    ASSERT_EQ(std::system(("ncdu -0 -f " + Quoted(velmora) + " -o " + Quoted(reread)).c_str()), 0);
    EXPECT_EQ(Imported(reread), Imported(velmora));
    // gdu reads it too, and counts the same apparent size.
    const fs::path summary = m_out / "gdu.txt";
    ASSERT_EQ(std::system(("gdu -f " + Quoted(velmora) + " -n -p -s -a > " + Quoted(summary)).c_str()), 0);
    EXPECT_NE(ReadAll(summary).find("10.0 MiB"), std::string::npos) << ReadAll(summary);
    // A conversion writes the records and members read, in their order.
    const fs::path converted = m_out / "converted.json";
    ASSERT_EQ(std::system((std::string(VELMORA_BINARY) + " --import " + Quoted(ncdu) + " --export " + Quoted(converted)).c_str()), 0);
    // (This writer ends the document with a newline.)
    std::string before = ReadAll(ncdu), after = ReadAll(converted);
    for (std::string* text : {&before, &after})
        *text = text->substr(text->find('\n'), text->find_last_not_of('\n') + 1 - text->find('\n'));
    EXPECT_EQ(before, after);
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

#include "TempTree.h"
#include "app/FolderScanner.h"
#include "app/ReadAhead.h"

using namespace Velmora;
using Velmora::Test::CTempTree;
namespace fs = std::filesystem;

namespace {

// Records every announcement as "R name", "D name" or "F name".
class CRecordingListener : public IScanListener {
public:
    void OnRootFolder(CFolderData* drive) override { Add("R " + drive->GetName().ToStdString()); }
    void OnFolder(CFolderData* folder) override
    {
        // The parent's own listing is still running: it is not populating yet.
        if (folder->GetParent()->IsPopulating())
            populatingParents++;
        Add("D " + folder->GetFullName().ToStdString());
    }
    void OnFile(CFileData* file) override { Add("F " + file->GetFullName().ToStdString()); }
    std::vector<std::string> Events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::atomic<int> populatingParents{0};

private:
    void Add(std::string event)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

void RunToEnd(CFolderScanner& scanner)
{
    scanner.Start();
    scanner.Wait(0xFFFFFFFFu); // the test's own timeout guards against a hang
}

// The expected announcements of a walk: each folder's entries in listing
// order, then its subfolders in the same order.
void ExpectedWalk(const fs::path& folder, std::vector<std::string>& events)
{
    std::vector<fs::path> subfolders;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_directory() && !entry.is_symlink()) {
            events.push_back("D " + entry.path().string());
            subfolders.push_back(entry.path());
        } else {
            events.push_back("F " + entry.path().string());
        }
    }
    for (const fs::path& subfolder : subfolders)
        ExpectedWalk(subfolder, events);
}

std::pair<std::int64_t, std::int64_t> FindTotals(const fs::path& root)
{
    const std::string command = "find '" + root.string() + "' -xdev ! -type d -printf '%s\\n'";
    FILE* pipe = popen(command.c_str(), "r");
    std::int64_t sum = 0, count = 0;
    long long size = 0;
    while (fscanf(pipe, "%lld", &size) == 1) {
        sum += size;
        ++count;
    }
    pclose(pipe);
    return {sum, count};
}

// Fails the listing of chosen folders, as an unreadable folder does for a
// user without rights.
class CBlockingFileSystem : public CLocalFileSystem {
public:
    std::set<std::string> blocked;
    std::multiset<std::string> listed; // every listing asked for
    std::string mountTable;
    std::string ReadMountTable() override { return mountTable; }
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        listed.insert(path);
        if (blocked.count(path))
            return false;
        return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
    }
};

} // namespace

TEST(MountTable, SelectsLocalFileSystemsOncePerDeviceAndPath)
{
    const std::string text =
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "28 27 254:0 / /mnt/bind rw,relatime - ext4 /dev/vda rw\n"
        "29 27 254:0 /srv /srv\\040data rw,relatime shared:5 - ext4 /dev/vda rw\n"
        "30 27 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
        "31 27 0:27 / /dev/shm rw - tmpfs tmpfs rw\n"
        "32 27 0:40 / /net rw - nfs server:/x rw\n"
        "33 27 0:41 / /media/usb rw - fuse.sshfs host: rw\n"
        "34 27 8:1 / /home rw - xfs /dev/sda1 rw\n"
        "35 27 0:42 / /run/ram rw - ramfs ramfs rw\n"
        "garbage line\n";
    const std::vector<MountEntry> drives = SelectDrives(ParseMountTable(text));
    std::vector<std::string> paths;
    for (const MountEntry& drive : drives)
        paths.push_back(drive.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/", "/dev/shm", "/home", "/run/ram", "/srv data"}));
    EXPECT_EQ(drives[1].device, "0:27"); // the later mount on /dev/shm is the visible one
    EXPECT_EQ(drives[1].kind, MountEntry::Ram);
    EXPECT_EQ(drives[0].kind, MountEntry::Fixed);
}

TEST(FolderScanner, AnnouncesEntriesInListingOrderThenWalksSubfolders)
{
    CTempTree tree;
    tree.File("top file", 3);
    tree.File("b/inner", 1);
    tree.File("b/deeper/x", 2);
    tree.Dir("a");
    tree.File("a/y", 4);
    tree.File("z", 0);

    CFolderScanner scanner({tree.Root().string()});
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);

    std::vector<std::string> expected = {"R " + tree.Root().string()};
    ExpectedWalk(tree.Root(), expected);
    EXPECT_EQ(listener.Events(), expected);
    EXPECT_EQ(listener.populatingParents, 0);
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetSize(), 10);
    EXPECT_EQ(root->GetFilesCount(), 5);
    EXPECT_FALSE(root->IsPopulating());
    scanner.RemoveListener(&listener);
}

TEST(FolderScanner, DrivesComeFromTheMountTableInPathOrder)
{
    CTempTree tree;
    tree.File("m2/f", 5);
    tree.File("m1/g", 6);
    auto fileSystem = std::make_shared<CBlockingFileSystem>();
    const std::string m1 = (tree.Root() / "m1").string(), m2 = (tree.Root() / "m2").string();
    fileSystem->mountTable = "40 1 254:9 / " + m2 + " rw - tmpfs tmpfs rw\n" + "41 1 254:8 / " + m1 +
                             " rw - ext4 /dev/x rw\n" + "42 1 0:5 / " + tree.Root().string() + "/proc rw - proc proc rw\n";
    CFolderScanner scanner({}, fileSystem);
    CRecordingListener listener;
    scanner.AddListener(&listener);
    scanner.AddListener(&listener); // twice: every announcement arrives twice
    RunToEnd(scanner);
    const std::vector<std::string> expected = {"R " + m1, "R " + m1, "R " + m2, "R " + m2,
                                               "F " + m1 + "/g", "F " + m1 + "/g", "F " + m2 + "/f", "F " + m2 + "/f"};
    EXPECT_EQ(listener.Events(), expected);
}

TEST(FolderScanner, UnreadableFolderStaysEmptyAndIsAnnouncedOnce)
{
    CTempTree tree;
    tree.File("locked/secret", 100);
    tree.File("open/visible", 1);
    auto fileSystem = std::make_shared<CBlockingFileSystem>();
    fileSystem->blocked = {(tree.Root() / "locked").string()};
    CFolderScanner scanner({tree.Root().string()}, fileSystem);
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    const auto events = listener.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "D " + (tree.Root() / "locked").string()), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "F " + (tree.Root() / "locked/secret").string()), 0);
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetSize(), 1);
    for (CFolderData* folder : root->GetFolders())
        EXPECT_FALSE(folder->IsPopulating());
}

TEST(FolderScanner, ExcludedFoldersAreShownButNeverListed)
{
    CTempTree tree;
    tree.File("keep/a", 1);
    tree.File("node_modules/x", 10);
    tree.File("sub/node_modules/y", 100);
    tree.File("cache/z", 1000);
    const std::string root = tree.Root().string();
    auto fileSystem = std::make_shared<CBlockingFileSystem>();
    CFolderScanner scanner({root}, fileSystem);
    scanner.SetExcludePatterns(CExcludePatterns({"**/node_modules", root + "/c*"}));
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    const std::vector<std::string> excluded = {root + "/node_modules", root + "/sub/node_modules", root + "/cache"};
    const auto events = listener.Events();
    for (const std::string& path : excluded) {
        EXPECT_EQ(fileSystem->listed.count(path), 0u) << path;
        EXPECT_EQ(std::count(events.begin(), events.end(), "D " + path), 1) << path;
    }
    EXPECT_EQ(fileSystem->listed.count(root + "/keep"), 1u);
    CFolderData* drive = scanner.GetDrives().at(0);
    EXPECT_EQ(drive->GetSize(), 1);
    EXPECT_EQ(scanner.GetUnreadableCount(), 0);
    for (CFolderData* folder : drive->GetFolders()) {
        const std::string name = folder->GetName().ToStdString();
        EXPECT_EQ(folder->IsExcluded(), name != "keep" && name != "sub") << name;
        EXPECT_FALSE(folder->IsUnreadable());
        EXPECT_FALSE(folder->IsPopulating());
    }

    // Patterns take effect from the next walk: a refresh without them
    // enters the folders and clears their mark.
    scanner.SetExcludePatterns(CExcludePatterns());
    CFolderData* cache = nullptr;
    for (CFolderData* folder : drive->GetFolders())
        if (folder->GetName().ToStdString() == "cache")
            cache = folder;
    ASSERT_TRUE(cache && scanner.StartRefresh(cache));
    scanner.Wait(0xFFFFFFFFu);
    EXPECT_FALSE(cache->IsExcluded());
    EXPECT_EQ(drive->GetSize(), 1001);
    EXPECT_EQ(fileSystem->listed.count(root + "/cache"), 1u);
    scanner.RemoveListener(&listener);
}

TEST(FolderScanner, TotalsMatchFindOnAnAwkwardTree)
{
    CTempTree tree;
    tree.File("with space/zero", 0);
    tree.File("with space/one byte", 1);
    tree.File("non-ascii \xC3\xA9t\xC3\xA9/\xFF\xFE raw", 123);
    tree.File(".hidden/.dotfile", 77);
    tree.File("mode000/inside", 1000);
    chmod((tree.Root() / "mode000").c_str(), 0);
    const fs::path sparse = tree.File("big/sparse", 0);
    ASSERT_EQ(truncate(sparse.c_str(), 5LL << 30), 0);
    fs::create_directory_symlink("..", tree.Dir("loop") / "up");
    fs::create_symlink(tree.Root() / "loop/b", tree.Root() / "loop/a");
    fs::create_symlink(tree.Root() / "loop/a", tree.Root() / "loop/b");
    fs::create_symlink("/", tree.Root() / "to-root");
    mkfifo((tree.Root() / "fifo").c_str(), 0600);
    for (int i = 0; i < 50; ++i)
        tree.File("many/f" + std::to_string(i), static_cast<std::size_t>(i * 13));

    CFolderScanner scanner({tree.Root().string()});
    RunToEnd(scanner);
    const auto [sum, count] = FindTotals(tree.Root());
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetSize(), sum);
    EXPECT_EQ(root->GetFilesCount(), count);
    EXPECT_GE(root->GetSize(), 5LL << 30);
}

namespace {
// A tmpfs on a folder of a test's tree, unmounted (lazily, so a busy mount
// cannot keep the tree from going) before the tree is removed.
class CTmpfsMount {
public:
    explicit CTmpfsMount(const fs::path& at) : m_at(at)
    {
        m_mounted = mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") == 0;
    }
    ~CTmpfsMount()
    {
        if (m_mounted)
            umount2(m_at.c_str(), MNT_DETACH);
    }
    CTmpfsMount(const CTmpfsMount&) = delete;
    CTmpfsMount& operator=(const CTmpfsMount&) = delete;
    bool Mounted() const { return m_mounted; }

private:
    fs::path m_at;
    bool m_mounted = false;
};

// What `find -xdev` lists below a root, as the recording listener writes it.
std::multiset<std::string> FindXdevEntries(const fs::path& root)
{
    const std::string command = "find '" + root.string() + "' -xdev -mindepth 1 -printf '%y %p\\n'";
    FILE* pipe = popen(command.c_str(), "r");
    std::multiset<std::string> entries;
    char line[4096];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        entries.insert((text[0] == 'd' ? "D " : "F ") + text.substr(2));
    }
    pclose(pipe);
    return entries;
}

std::multiset<std::string> WalkedEntries(CRecordingListener& listener)
{
    std::multiset<std::string> entries;
    for (const std::string& event : listener.Events())
        if (event[0] != 'R')
            entries.insert(event);
    return entries;
}

std::vector<std::string> ListedNames(CLocalFileSystem& fileSystem, const std::string& path, std::uint64_t mountId,
                                     bool* opened = nullptr)
{
    std::vector<std::string> names;
    const bool result = fileSystem.ListFolder(path, mountId, nullptr, [&](const ScanEntry& entry) {
        names.push_back(entry.name);
        return true;
    });
    if (opened)
        *opened = result;
    return names;
}
} // namespace

TEST(FolderScannerMounts, WalkOverATreeHoldingAnotherMountListsWhatFindXdevLists)
{
    CTempTree tree;
    tree.File("before/a", 10);
    tree.File("top", 3);
    const fs::path mounted = tree.Dir("mounted");
    tree.File("z after/b", 20);
    CTmpfsMount tmpfs(mounted);
    if (!tmpfs.Mounted())
        GTEST_SKIP() << "mounting a tmpfs is refused here";
    tree.File("mounted/inside", 1000);
    tree.File("mounted/deeper/more", 2000);

    CFolderScanner scanner({tree.Root().string()});
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    scanner.RemoveListener(&listener);

    const std::multiset<std::string> expected = FindXdevEntries(tree.Root());
    ASSERT_EQ(expected.count("D " + mounted.string()), 1u) << "find lists the mount point itself";
    ASSERT_EQ(expected.count("F " + (mounted / "inside").string()), 0u);
    EXPECT_EQ(WalkedEntries(listener), expected);
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetSize(), 33);
    EXPECT_EQ(root->GetFilesCount(), 3);
    EXPECT_EQ(FindTotals(tree.Root()), (std::pair<std::int64_t, std::int64_t>{33, 3}));
}

TEST(FolderScannerMounts, LocalListingRefusesAFolderOnAnotherMount)
{
    CTempTree tree;
    tree.File("here", 1);
    CLocalFileSystem fileSystem;
    const std::uint64_t treeMount = fileSystem.MountOf(tree.Root().string());
    ASSERT_NE(treeMount, 0u);
    bool opened = false;
    EXPECT_EQ(ListedNames(fileSystem, tree.Root().string(), treeMount, &opened), std::vector<std::string>{"here"});
    EXPECT_TRUE(opened);

    // /proc is a mount of its own wherever the system runs.
    const std::uint64_t procMount = fileSystem.MountOf("/proc");
    if (procMount == 0 || procMount == treeMount)
        GTEST_SKIP() << "/proc is not a separate mount here";
    EXPECT_TRUE(ListedNames(fileSystem, "/proc", treeMount, &opened).empty());
    EXPECT_FALSE(opened);
    EXPECT_FALSE(ListedNames(fileSystem, "/proc", 0, &opened).empty()) << "mount 0 lists any folder";
    EXPECT_TRUE(opened);
    EXPECT_FALSE(ListedNames(fileSystem, "/proc", procMount, &opened).empty());
}

TEST(FolderScannerMounts, LocalListingRefusesAMountedSubfolderOfTheTree)
{
    CTempTree tree;
    const fs::path mounted = tree.Dir("mounted");
    CTmpfsMount tmpfs(mounted);
    if (!tmpfs.Mounted())
        GTEST_SKIP() << "mounting a tmpfs is refused here";
    tree.File("mounted/inside", 1);
    CLocalFileSystem fileSystem;
    const std::uint64_t treeMount = fileSystem.MountOf(tree.Root().string());
    EXPECT_NE(fileSystem.MountOf(mounted.string()), treeMount);
    bool opened = true;
    EXPECT_TRUE(ListedNames(fileSystem, mounted.string(), treeMount, &opened).empty());
    EXPECT_FALSE(opened);
    EXPECT_EQ(ListedNames(fileSystem, mounted.string(), fileSystem.MountOf(mounted.string()), &opened),
              std::vector<std::string>{"inside"});
}

namespace {
// The tree on disk, but one folder (and what is below it) counts as lying on
// another mount; the listing keeps the interface's promise for it.
class CForeignMountFileSystem : public CLocalFileSystem {
public:
    static constexpr std::uint64_t kTreeMount = 7, kForeignMount = 99;
    std::string foreign;
    std::uint64_t MountOf(const std::string& path) override
    {
        return path.compare(0, foreign.size(), foreign) == 0 ? kForeignMount : kTreeMount;
    }
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        if (mountId != 0 && MountOf(path) != mountId)
            return false;
        return CLocalFileSystem::ListFolder(path, 0, stop, onEntry);
    }
};
} // namespace

TEST(FolderScannerMounts, TheWalkAsksForItsDrivesMountInEveryFolder)
{
    CTempTree tree;
    tree.File("own/deep/file", 5);
    tree.File("other/hidden", 50);
    tree.File("other/below/more", 500);
    auto fileSystem = std::make_shared<CForeignMountFileSystem>();
    fileSystem->foreign = (tree.Root() / "other").string();
    CFolderScanner scanner({tree.Root().string()}, fileSystem);
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    scanner.RemoveListener(&listener);
    const std::vector<std::string> expected = {"R " + tree.Root().string(),
                                               "D " + (tree.Root() / "other").string(),
                                               "D " + (tree.Root() / "own").string(),
                                               "D " + (tree.Root() / "own/deep").string(),
                                               "F " + (tree.Root() / "own/deep/file").string()};
    std::vector<std::string> events = listener.Events();
    std::sort(events.begin() + 1, events.end());
    EXPECT_EQ(events, expected);
    EXPECT_EQ(scanner.GetDrives().at(0)->GetSize(), 5);
}

// Told to enter other file systems, the walk goes on into the folder on the
// foreign mount, and a root below another one on any mount is nested.
TEST(FolderScannerMounts, ToldToEnterOtherFileSystemsTheWalkGoesOnIntoAnotherMount)
{
    CTempTree tree;
    tree.File("own/deep/file", 5);
    tree.File("other/hidden", 50);
    tree.File("other/below/more", 500);
    auto fileSystem = std::make_shared<CForeignMountFileSystem>();
    fileSystem->foreign = (tree.Root() / "other").string();
    CFolderScanner scanner({tree.Root().string()}, fileSystem);
    scanner.SetEnterOtherFileSystems(true);
    RunToEnd(scanner);
    EXPECT_EQ(scanner.GetDrives().at(0)->GetSize(), 555);
    const std::vector<std::pair<std::string, std::uint64_t>> roots = {{"/a", 1}, {"/a/b", 2}};
    EXPECT_EQ(CFolderScanner::NestedRoots(roots, true), (std::vector<bool>{false, true}));
    EXPECT_EQ(CFolderScanner::NestedRoots(roots), (std::vector<bool>{false, false}));
}

namespace {
// Builds a chain of nested folders with *at calls: its paths are longer than
// any path the system accepts.
void MakeChain(const fs::path& base, int depth)
{
    int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        mkdirat(fd, "d", 0755);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        if (i == 10) {
            const int file = openat(next, "file", O_CREAT | O_WRONLY, 0644);
            ASSERT_EQ(write(file, "12345", 5), 5);
            close(file);
        }
        close(fd);
        fd = next;
    }
    close(fd);
}

void RemoveChain(int parentFd, const char* name)
{
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        if (faccessat(fd, "d", F_OK, AT_SYMLINK_NOFOLLOW) == 0)
            RemoveChain(fd, "d");
        unlinkat(fd, "file", 0);
        close(fd);
    }
    unlinkat(parentFd, name, AT_REMOVEDIR);
}
} // namespace

TEST(FolderScanner, ChainDeeperThanTheLongestPathIsWalkedWithoutLosingTheRest)
{
#if defined(__SANITIZE_THREAD__)
    // Thousands of nested announcements take minutes under the thread
    // checker; the walk itself has no threading of interest here.
    GTEST_SKIP() << "too slow under ThreadSanitizer";
#endif
    CTempTree tree;
    tree.Dir("chain");
    MakeChain(tree.Root() / "chain", 5000);
    tree.File("zz after/file", 9);
    CFolderScanner scanner({tree.Root().string()});
    RunToEnd(scanner);
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetSize(), 14);
    EXPECT_EQ(root->GetFilesCount(), 2);
    const int rootFd = open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    RemoveChain(rootFd, "chain");
    close(rootFd);
}

namespace {
class CStoppingListener : public IScanListener {
public:
    CFolderScanner* scanner = nullptr;
    int stopAfter = 0;
    std::atomic<int> calls{0};
    std::atomic<int> afterStop{0};
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData*) override { Count(); }
    void OnFile(CFileData*) override { Count(); }

private:
    void Count()
    {
        if (scanner->IsStopRequested())
            ++afterStop;
        if (++calls == stopAfter)
            scanner->RequestStop();
    }
};

void MakeWideTree(const CTempTree& tree, int folders, int filesEach)
{
    for (int f = 0; f < folders; ++f) {
        const fs::path folder = tree.Dir("w" + std::to_string(f));
        for (int i = 0; i < filesEach; ++i)
            close(open((folder / std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
    }
}
} // namespace

TEST(FolderScanner, StopEndsTheWalkWithinASecondAndNothingFollows)
{
    CTempTree tree;
    MakeWideTree(tree, 100, 1000);
    {
        // The stop comes from the listener itself: nothing may follow it.
        CFolderScanner scanner({tree.Root().string()});
        CStoppingListener listener;
        listener.scanner = &scanner;
        listener.stopAfter = 20000;
        scanner.AddListener(&listener);
        RunToEnd(scanner);
        EXPECT_EQ(listener.calls, 20000);
        EXPECT_EQ(listener.afterStop, 0);
    }
    {
        // The stop comes from another thread in the middle of the walk.
        CFolderScanner scanner({tree.Root().string()});
        CStoppingListener listener;
        listener.scanner = &scanner;
        scanner.AddListener(&listener);
        scanner.Start();
        while (listener.calls < 30000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto requested = std::chrono::steady_clock::now();
        scanner.RequestStop();
        scanner.Wait(5000);
        const auto elapsed = std::chrono::steady_clock::now() - requested;
        EXPECT_LT(elapsed, std::chrono::seconds(1));
        EXPECT_LT(listener.calls, 100100);
        EXPECT_LE(listener.afterStop, 1); // at most the call already under way
        for (CFolderData* drive : scanner.GetDrives())
            EXPECT_FALSE(drive->IsPopulating());
    }
}

namespace {
// Stops the walk at its n-th file and keeps the totals of what it was told.
class CStopAtFile : public IScanListener {
public:
    CFolderScanner* scanner = nullptr;
    int stopAt = 0;
    int files = 0;
    std::int64_t bytes = 0;
    std::chrono::steady_clock::time_point requested;
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData*) override {}
    void OnFile(CFileData* file) override
    {
        ++files;
        bytes += file->GetSize();
        if (files == stopAt) {
            requested = std::chrono::steady_clock::now();
            scanner->RequestStop();
        }
    }
};
} // namespace

// How soon the walk ends is bench_scan's figure ("stopped half-way", tens of
// microseconds on a quiet machine); a loaded machine can hold the thread off
// the processor for longer than that, so here the bound only catches a walk
// that goes on.
TEST(FolderScanner, AStoppedWalkEndsAtOnceAndItsTotalsAreWhatItFound)
{
    CTempTree tree;
    for (int f = 0; f < 40; ++f)
        for (int i = 0; i < 100; ++i)
            tree.File("d" + std::to_string(f) + "/" + std::to_string(i), static_cast<std::size_t>(f + i));
    CFolderScanner scanner({tree.Root().string()});
    CStopAtFile listener;
    listener.scanner = &scanner;
    listener.stopAt = 1500;
    scanner.AddListener(&listener);
    scanner.Start();
    // The thread's end is read from its finished flag, polled without sleeping.
    while (!scanner.IsFinished())
        std::this_thread::yield();
    const auto stopped = std::chrono::steady_clock::now() - listener.requested;
    scanner.Wait(0xFFFFFFFFu);
    EXPECT_LT(stopped, std::chrono::seconds(2));
    EXPECT_EQ(listener.files, 1500);
    CFolderData* root = scanner.GetDrives().at(0);
    EXPECT_EQ(root->GetFilesCount(), listener.files);
    EXPECT_EQ(root->GetSize(), listener.bytes);
    EXPECT_FALSE(root->IsPopulating());
}

TEST(FolderScanner, AStopAskedByOneListenerReachesNoLaterListener)
{
    CTempTree tree;
    for (int i = 0; i < 20; ++i)
        tree.File("f" + std::to_string(i), 1);
    CFolderScanner scanner({tree.Root().string()});
    CStoppingListener first, second;
    first.scanner = second.scanner = &scanner;
    first.stopAfter = 5; // asks for the stop while hearing the fifth file
    scanner.AddListener(&first);
    scanner.AddListener(&second);
    RunToEnd(scanner);
    EXPECT_EQ(first.calls, 5);
    EXPECT_EQ(second.calls, 4) << "the fifth file reached the listener after the stop";
    EXPECT_EQ(second.afterStop, 0);
}

TEST(FolderScannerReadAhead, TheWalkAnnouncesTheSameWithAndWithoutHelpers)
{
    CTempTree tree;
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 5; ++b) {
            const std::string folder = "a" + std::to_string(a) + "/b" + std::to_string(b);
            tree.File(folder + "/f", a + b);
            tree.File(folder + "/c/g", 1);
        }
    tree.File("top", 7);
    std::vector<std::string> expected = {"R " + tree.Root().string()};
    ExpectedWalk(tree.Root(), expected);
    for (unsigned helpers : {0u, 1u, 4u}) {
        auto fileSystem = std::make_shared<CLocalFileSystem>(CLocalFileSystem::kDefaultDescriptorBudget, helpers);
        EXPECT_EQ(fileSystem->ReadAheadThreads(), helpers);
        CFolderScanner scanner({tree.Root().string()}, fileSystem);
        CRecordingListener listener;
        scanner.AddListener(&listener);
        RunToEnd(scanner);
        EXPECT_EQ(listener.Events(), expected) << helpers << " helpers";
        EXPECT_EQ(scanner.GetDrives().at(0)->GetSize(), 7 + 6 * 5 + 5 * (0 + 1 + 2 + 3 + 4 + 5) + 6 * (0 + 1 + 2 + 3 + 4));
        scanner.RemoveListener(&listener);
    }
    // A small budget has no helpers: the descriptors are the cursor's.
    EXPECT_EQ(CLocalFileSystem(4).ReadAheadThreads(), 0u);
}

namespace {
// Read-ahead below `tree` after the walk listed its root and saw `names`
// as its folders, in that order.
struct CListedRoot {
    CListedRoot(const CTempTree& tree, std::initializer_list<const char*> names)
        : root(CString(tree.Root().string()), nullptr), readAhead(tree.Root().string(), 2)
    {
        for (const char* name : names)
            root.AddFolder(new CFolderData(CString(name), &root));
        EXPECT_TRUE(readAhead.IsActive());
        readAhead.Listed({}, tree.Root().string(), root.GetFolders());
    }
    // Waits (bounded) until the helpers have read or refused `count` folders.
    void AwaitHelpers(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readAhead.ReadCount() + readAhead.RefusedCount() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    CFolderData root;
    CReadAhead readAhead;
};
} // namespace

TEST(FolderScannerReadAhead, HelpersReadTheFoldersBelowAListedOneButNeverThroughALink)
{
    CTempTree tree;
    tree.File("a/x", 1);
    tree.File("real/r1/x", 1);
    tree.File("real/r2/y", 1);
    CTempTree outside;
    outside.File("o1/secret", 1);
    ASSERT_EQ(symlink(outside.Root().c_str(), (tree.Root() / "link").c_str()), 0);
    // The link was put in place of a folder after the root was listed.
    CListedRoot listed(tree, {"a", "real", "link"});
    // "a", the walk's next folder, is left to the walk; real, real/r1 and
    // real/r2 are read; the link is refused, and so nothing below it.
    listed.AwaitHelpers(4);
    EXPECT_EQ(listed.readAhead.ReadCount(), 3u);
    EXPECT_EQ(listed.readAhead.RefusedCount(), 1u);
}

// Below kMaxDepth the helpers read a listed folder's subfolders; at that
// depth they are left to the walk (a chain of nested folders would
// otherwise cost the square of its depth in copied keys).
TEST(FolderScannerReadAhead, FoldersDeeperThanTheLimitAreLeftToTheWalk)
{
    CTempTree tree;
    for (const char* name : {"a/x", "b/y", "c/z"})
        tree.File(name, 1);
    CFolderData root(CString(tree.Root().string()), nullptr);
    for (const char* name : {"a", "b", "c"})
        root.AddFolder(new CFolderData(CString(name), &root));
    for (const std::size_t depth : {CReadAhead::kMaxDepth - 1, CReadAhead::kMaxDepth}) {
        CReadAhead readAhead(tree.Root().string(), 2);
        ASSERT_TRUE(readAhead.IsActive());
        // Stands for a folder that deep whose subfolders are a, b and c.
        readAhead.Listed(CReadAhead::Key(depth, 0), tree.Root().string(), root.GetFolders());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!readAhead.IsIdle() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_EQ(readAhead.ReadCount(), depth < CReadAhead::kMaxDepth ? 2u : 0u) << "depth " << depth; // a is the walk's
    }
}

namespace {
struct FolderIdentity {
    std::uint64_t device = 0, inode = 0;
};
FolderIdentity IdentityOfFolder(const fs::path& folder)
{
    struct statx st {};
    EXPECT_EQ(statx(AT_FDCWD, folder.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO, &st), 0);
    return {static_cast<std::uint64_t>(st.stx_dev_major) << 32 | st.stx_dev_minor, st.stx_ino};
}

std::string LineOf(const ScanEntry& entry)
{
    return entry.name + (entry.isFolder ? " folder " : " file ") + std::to_string(entry.size) + " " +
           std::to_string(entry.lastWriteTime) + " " + std::to_string(entry.allocated) + " " +
           std::to_string(entry.inode) + " " + std::to_string(entry.links);
}

// The folder's entries as the walk reads them itself, one line each.
std::vector<std::string> DirectListing(const fs::path& folder)
{
    CLocalFileSystem fileSystem(CLocalFileSystem::kDefaultDescriptorBudget, 0);
    std::vector<std::string> lines;
    EXPECT_TRUE(fileSystem.ListFolder(folder.string(), 0, nullptr, [&](const ScanEntry& entry) {
        lines.push_back(LineOf(entry));
        return true;
    }));
    return lines;
}

std::vector<std::string> Lines(const std::vector<ScanEntry>& entries)
{
    std::vector<std::string> lines;
    for (const ScanEntry& entry : entries)
        lines.push_back(LineOf(entry));
    return lines;
}
} // namespace

TEST(FolderScannerReadAhead, AListingReadAheadIsHandedOverOnlyForTheSameFolder)
{
    CTempTree tree;
    tree.File("a/x", 1);
    for (int i = 0; i < 40; ++i)
        tree.File("b/file " + std::to_string(i), i * 100);
    tree.File("b/sub/deeper", 5);
    tree.File("c/y", 2);
    CListedRoot listed(tree, {"a", "b", "c"});
    CReadAhead& readAhead = listed.readAhead;
    // b, b/sub and c are read; a is left to the walk.
    listed.AwaitHelpers(3);
    ASSERT_EQ(readAhead.ReadCount(), 3u);
    std::vector<ScanEntry> entries;
    readAhead.Expect({0});
    const FolderIdentity a = IdentityOfFolder(tree.Root() / "a");
    EXPECT_FALSE(readAhead.TakeListing(a.device, a.inode, entries, nullptr)) << "a was not read ahead";
    readAhead.Expect({1});
    const FolderIdentity b = IdentityOfFolder(tree.Root() / "b");
    ASSERT_TRUE(readAhead.TakeListing(b.device, b.inode, entries, nullptr));
    EXPECT_EQ(Lines(entries), DirectListing(tree.Root() / "b")) << "the same entries, values and order";
    EXPECT_EQ(readAhead.HandedCount(), 1u);
    // The walk opened another folder where c was read (c was replaced
    // meanwhile): the listing read ahead is thrown away.
    readAhead.Expect({2});
    entries.clear();
    EXPECT_FALSE(readAhead.TakeListing(b.device, b.inode, entries, nullptr));
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(readAhead.HandedCount(), 1u);
}

TEST(FolderScannerReadAhead, TheWalkTakesListingsAndAFolderReplacedAfterItWasReadIsListedAgain)
{
    CTempTree tree;
    for (int a = 0; a < 30; ++a)
        for (int f = 0; f < 20; ++f)
            tree.File("d" + std::to_string(a) + "/f" + std::to_string(f), a * 10 + f);
    std::vector<std::string> before = {"R " + tree.Root().string()};
    ExpectedWalk(tree.Root(), before);
    // The walk is held in the first subfolder it lists until the helpers
    // have read all they will (at least the 28 after the walk's next folder,
    // which is left to the walk; 29 when a helper started before the walk
    // moved into the first); then d29, read last, is replaced by a folder of
    // other contents, which the walk must show.
    struct CHoldingFileSystem : CLocalFileSystem {
        using CLocalFileSystem::CLocalFileSystem;
        std::function<void()> atFirstSubfolder;
        CReadAhead* readAhead = nullptr;
        std::string root;
        void SetListingSource(IListingSource* source) override
        {
            readAhead = dynamic_cast<CReadAhead*>(source);
            CLocalFileSystem::SetListingSource(source);
        }
        bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                        const std::function<bool(const ScanEntry&)>& onEntry) override
        {
            if (path != root && atFirstSubfolder)
                std::exchange(atFirstSubfolder, nullptr)();
            return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
        }
    };
    auto fileSystem = std::make_shared<CHoldingFileSystem>(CLocalFileSystem::kDefaultDescriptorBudget, 2);
    fileSystem->root = tree.Root().string();
    std::size_t readByHelpers = 0;
    fileSystem->atFirstSubfolder = [&] {
        ASSERT_NE(fileSystem->readAhead, nullptr);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!(fileSystem->readAhead->ReadCount() >= 28 && fileSystem->readAhead->IsIdle()) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        readByHelpers = fileSystem->readAhead->ReadCount();
        EXPECT_GE(readByHelpers, 28u);
        EXPECT_LE(readByHelpers, 29u);
        fs::rename(tree.Root() / "d29", tree.Root() / "old");
        tree.File("d29/new", 77);
        fs::remove_all(tree.Root() / "old");
    };
    CFolderScanner scanner({tree.Root().string()}, fileSystem);
    CRecordingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    // The same walk, but d29 holds the new file in place of the old ones.
    const std::string oldFiles = "F " + (tree.Root() / "d29").string() + "/";
    std::vector<std::string> expected;
    bool placed = false;
    for (const std::string& event : before) {
        if (event.rfind(oldFiles, 0) != 0)
            expected.push_back(event);
        else if (!std::exchange(placed, true))
            expected.push_back(oldFiles + "new");
    }
    EXPECT_EQ(listener.Events(), expected);
    EXPECT_EQ(fileSystem->TakenListings(), readByHelpers - 1) << "the folders read ahead and not replaced came from the helpers";
}

TEST(FolderScannerReadAhead, StopEndsAWalkWithHelpersWithinASecond)
{
    CTempTree tree;
    MakeWideTree(tree, 100, 1000);
    CFolderScanner scanner({tree.Root().string()}, std::make_shared<CLocalFileSystem>());
    CStoppingListener listener;
    listener.scanner = &scanner;
    scanner.AddListener(&listener);
    scanner.Start();
    while (listener.calls < 20000)
        std::this_thread::yield();
    const auto requested = std::chrono::steady_clock::now();
    scanner.RequestStop();
    scanner.Wait(5000); // the helpers are joined before the walk returns
    EXPECT_LT(std::chrono::steady_clock::now() - requested, std::chrono::seconds(1));
    EXPECT_TRUE(scanner.IsFinished());
    EXPECT_LE(listener.afterStop, 1);
}

// The walk against file systems built to break it: chains deeper than any
// path, folders swapped for links while the walk runs, folders it may not
// read, and sizes past the 64-bit limit. Everything runs on real temporary
// folders.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <set>

#include "TempTree.h"
#include "app/FolderScanner.h"

using namespace Velmora;
using Velmora::Test::CTempTree;
namespace fs = std::filesystem;

namespace {

void RunToEnd(CFolderScanner& scanner)
{
    scanner.Start();
    scanner.Wait(0xFFFFFFFFu); // the test's own timeout guards against a hang
}

// Counts announcements without building full names (a full name of a
// folder 100,000 levels down is 200 kB).
class CCountingListener : public IScanListener {
public:
    std::atomic<std::int64_t> folders{0};
    std::atomic<std::int64_t> files{0};
    std::function<void(CFolderData*)> onFolder;
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData* folder) override
    {
        ++folders;
        if (onFolder)
            onFolder(folder);
    }
    void OnFile(CFileData*) override { ++files; }
};

// A RAM disk where there is one: a disk takes minutes for 100,000 nested folders.
fs::path FastTemporaryFolder()
{
    return fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// Open descriptors of this process.
int OpenDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count - 1; // the iterator's own
}

// The soft limit of open files lowered for one scope, as a default session has it.
class CFileLimit {
public:
    explicit CFileLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min(limit, m_saved.rlim_max);
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~CFileLimit() { setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

// A chain base/d/d/.../d built with *at calls (its paths are far longer than
// any path the kernel accepts), with a file of `fileBytes` at the bottom;
// `besides` is called with each level's descriptor before "d" is made there.
void MakeChain(const fs::path& base, int depth, int fileBytes, const std::function<void(int, int)>& besides = {})
{
    int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level) {
        // What goes beside "d" is made first: RAM disks list the newest
        // entry first, so "d" is walked before its siblings there.
        if (besides)
            besides(fd, level);
        ASSERT_EQ(mkdirat(fd, "d", 0755), 0) << "level " << level;
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0) << "level " << level;
        close(fd);
        fd = next;
    }
    const int file = openat(fd, "bottom", O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(write(file, std::string(static_cast<std::size_t>(fileBytes), 'x').data(), fileBytes), fileBytes);
    close(file);
    close(fd);
}

// Removes everything in a folder opened as `fd` that is not "d".
void RemoveBesides(int fd)
{
    const int listFd = openat(fd, ".", O_RDONLY | O_DIRECTORY);
    DIR* dir = fdopendir(listFd);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != ".." && std::string(entry->d_name) != "d")
            names.push_back(entry->d_name);
    closedir(dir);
    for (const std::string& name : names) {
        if (unlinkat(fd, name.c_str(), 0) != 0) {
            const int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (sub >= 0) {
                RemoveBesides(sub);
                close(sub);
            }
            unlinkat(fd, name.c_str(), AT_REMOVEDIR);
        }
    }
}

// Removes a chain from the bottom up, climbing by "..": one descriptor at a
// time, no recursion.
void RemoveChain(const fs::path& base)
{
    int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (;;) {
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (next < 0)
            break;
        close(fd);
        fd = next;
        ++depth;
    }
    for (; depth > 0; --depth) {
        RemoveBesides(fd);
        const int up = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = up;
        unlinkat(fd, "d", AT_REMOVEDIR);
    }
    close(fd);
}

} // namespace

TEST(HostileTree, AHundredThousandLevelChainIsWalkedWholeWithinTheDefaultFileLimit)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "too slow under ThreadSanitizer; the walk has no threading of interest here";
#endif
    constexpr int kDepth = 100000;
    CTempTree tree(FastTemporaryFolder());
    tree.Dir("chain");
    MakeChain(tree.Root() / "chain", kDepth, 5);
    tree.File("zz after/file", 9);
    auto fileSystem = std::make_shared<CLocalFileSystem>();
    {
        CFolderScanner scanner({tree.Root().string()}, fileSystem);
        CCountingListener listener;
        int deepestDescriptors = 0;
        listener.onFolder = [&](CFolderData*) {
            if (listener.folders % 25000 == 0)
                deepestDescriptors = std::max(deepestDescriptors, OpenDescriptors());
        };
        scanner.AddListener(&listener);
        const int before = OpenDescriptors();
        {
            const CFileLimit limit(1024);
            RunToEnd(scanner);
        }
        EXPECT_EQ(listener.folders, kDepth + 2); // the chain's folders, "chain" and "zz after"
        EXPECT_EQ(listener.files, 2);
        CFolderData* root = scanner.GetDrives().at(0);
        EXPECT_EQ(root->GetSize(), 14);
        EXPECT_EQ(root->GetFilesCount(), 2);
        EXPECT_EQ(scanner.GetUnreadableCount(), 0);
        EXPECT_LE(fileSystem->PeakDescriptors(), CLocalFileSystem::kDefaultDescriptorBudget + 2);
        EXPECT_LE(deepestDescriptors - before, static_cast<int>(CLocalFileSystem::kDefaultDescriptorBudget) + 2);
        EXPECT_EQ(OpenDescriptors(), before); // the walk's end lets them all go
        scanner.RemoveListener(&listener);
    } // the tree of 100,000 nested folders is destroyed here, without recursion
    RemoveChain(tree.Root() / "chain");
}

TEST(HostileTree, FoldersLeftBehindDeepBranchesAreReachedAgainByClimbing)
{
    // Each level of the chain also holds three side folders with a file; the
    // ones listed after "d" are walked after the whole chain below them, when
    // the level's descriptor has long been let go (a budget of 4).
    constexpr int kDepth = 600;
    CTempTree tree(FastTemporaryFolder());
    tree.Dir("chain");
    MakeChain(tree.Root() / "chain", kDepth, 1, [](int fd, int) {
        for (const char* side : {"s1", "s2", "s3"}) {
            mkdirat(fd, side, 0755);
            const int sideFd = openat(fd, side, O_RDONLY | O_DIRECTORY);
            close(openat(sideFd, "f", O_CREAT | O_WRONLY, 0644));
            close(sideFd);
        }
    });
    auto fileSystem = std::make_shared<CLocalFileSystem>(4);
    CFolderScanner scanner({tree.Root().string()}, fileSystem);
    CCountingListener listener;
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    EXPECT_EQ(listener.folders, 1 + kDepth * 4);
    EXPECT_EQ(listener.files, kDepth * 3 + 1);
    EXPECT_EQ(scanner.GetUnreadableCount(), 0);
    EXPECT_LE(fileSystem->PeakDescriptors(), 4u + 2);
    EXPECT_GT(fileSystem->ReopenCount(), kDepth / 2u); // the test did make the walk climb
    scanner.RemoveListener(&listener);
    RemoveChain(tree.Root() / "chain");
}

TEST(HostileTree, AFolderMovedAwayWhileItsDescriptorWasLetGoIsFoundByItsIdentityNotByItsName)
{
    // Level 10 of a chain is moved elsewhere and a link to foreign files put
    // in its place while the walk is at the bottom. Coming back up, the walk
    // climbs through the moved folders by ".."; where ".." leads elsewhere it
    // starts again from the root by name, checking each step, so the link
    // is refused and every folder is still read from where it really is.
    constexpr int kDepth = 40;
    CTempTree tree(FastTemporaryFolder());
    tree.Dir("chain");
    tree.File("outside/foreign", 1000);
    tree.Dir("elsewhere");
    MakeChain(tree.Root() / "chain", kDepth, 1, [](int fd, int) {
        mkdirat(fd, "side", 0755);
        const int sideFd = openat(fd, "side", O_RDONLY | O_DIRECTORY);
        close(openat(sideFd, "f", O_CREAT | O_WRONLY, 0644));
        close(sideFd);
    });
    fs::path level10 = tree.Root() / "chain";
    for (int i = 0; i < 10; ++i)
        level10 /= "d";
    auto fileSystem = std::make_shared<CLocalFileSystem>(4);
    CFolderScanner scanner({(tree.Root() / "chain").string()}, fileSystem);
    CCountingListener listener;
    bool moved = false;
    std::vector<std::string> names;
    listener.onFolder = [&](CFolderData* folder) {
        names.push_back(folder->GetName().ToStdString());
        if (!moved && listener.folders == 2 * kDepth) { // the bottom's side folder is announced last-but-one
            fs::rename(level10, tree.Root() / "elsewhere" / "d");
            fs::create_directory_symlink(tree.Root() / "outside", level10);
            moved = true;
        }
    };
    scanner.AddListener(&listener);
    RunToEnd(scanner);
    scanner.RemoveListener(&listener);
    ASSERT_TRUE(moved);
    EXPECT_EQ(std::count(names.begin(), names.end(), "foreign"), 0);
    EXPECT_EQ(listener.files, kDepth + 1);
    EXPECT_EQ(scanner.GetDrives().at(0)->GetSize(), 1); // only the bottom file has bytes
    EXPECT_EQ(scanner.GetUnreadableCount(), 0);
    EXPECT_GT(fileSystem->ReopenCount(), 0u);
    fs::remove(level10);
    fs::rename(tree.Root() / "elsewhere" / "d", level10);
    RemoveChain(tree.Root() / "chain");
}

namespace {
// Records full names; runs `swap` once, when the given folder is announced
// (the scanner is then inside its parent's listing).
class CSwappingListener : public IScanListener {
public:
    std::string trigger;
    std::function<void()> swap;
    std::vector<std::string> names;
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData* folder) override
    {
        const std::string name = folder->GetFullName().ToStdString();
        names.push_back(name);
        if (name == trigger && swap)
            std::exchange(swap, nullptr)();
    }
    void OnFile(CFileData* file) override { names.push_back(file->GetFullName().ToStdString()); }
};
} // namespace

TEST(HostileTree, AFolderSwappedForALinkDuringTheWalkIsNeverEntered)
{
    CTempTree tree;
    tree.File("walked/a/share/x", 10);
    tree.File("walked/a/other/y", 20);
    tree.File("walked/b/z", 40);
    for (int i = 0; i < 5; ++i)
        tree.File("outside/share/foreign" + std::to_string(i), 1000);
    tree.File("outside/z-foreign", 1000);
    const fs::path walked = tree.Root() / "walked";

    struct Case {
        const char* name;
        std::string trigger; // the swap happens when this folder is announced
        std::function<void()> swap;
        std::int64_t size;
        std::int64_t unreadable;
    };
    const Case cases[] = {
        // An ancestor of folders still to be walked becomes a link: they are
        // reached from the folder the walk had opened, not through the link.
        {"ancestor swapped", (walked / "a/share").string(),
         [&] {
             fs::rename(walked / "a", walked / "a-moved");
             fs::create_directory_symlink(tree.Root() / "outside", walked / "a");
         },
         70, 0},
        // The folder itself becomes a link before it is listed: refused.
        {"folder swapped", (walked / "b").string(),
         [&] {
             fs::rename(walked / "b", walked / "b-moved");
             fs::create_directory_symlink(tree.Root() / "outside", walked / "b");
         },
         30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFolderScanner scanner({walked.string()});
        CSwappingListener listener;
        listener.trigger = c.trigger;
        listener.swap = c.swap;
        scanner.AddListener(&listener);
        RunToEnd(scanner);
        scanner.RemoveListener(&listener);
        for (const std::string& name : listener.names)
            EXPECT_EQ(name.find("foreign"), std::string::npos) << name;
        EXPECT_FALSE(listener.swap) << "the swap never ran";
        EXPECT_EQ(scanner.GetDrives().at(0)->GetSize(), c.size);
        EXPECT_EQ(scanner.GetUnreadableCount(), c.unreadable);
        // Put the tree back for the next case.
        for (const char* folder : {"a", "b"}) {
            if (fs::is_symlink(walked / folder)) {
                fs::remove(walked / folder);
                fs::rename(walked / (std::string(folder) + "-moved"), walked / folder);
            }
        }
    }
}

TEST(HostileTree, UnreadableFoldersAreMarkedAndCountedWithTheirReasonAndMountPointsAreNot)
{
    CTempTree tree;
    tree.File("denied/secret", 100);
    tree.File("gone/inside", 7);
    tree.File("mounted/elsewhere", 3);
    tree.File("open/visible", 1);
    const fs::path root = tree.Root();
    // Each refusal has its error; a fake that records them in order.
    struct CFake : public CLocalFileSystem {
        std::map<std::string, int> refused;
        int pending = 0;
        bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                        const std::function<bool(const ScanEntry&)>& onEntry) override
        {
            const auto it = refused.find(path);
            if (it == refused.end())
                return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
            pending = it->second;
            return false;
        }
        int TakeListError() override
        {
            const int own = CLocalFileSystem::TakeListError();
            return pending ? std::exchange(pending, 0) : own;
        }
    };
    auto fileSystem = std::make_shared<CFake>();
    fileSystem->refused = {{(root / "denied").string(), EACCES},
                           {(root / "gone").string(), ENOENT},
                           {(root / "mounted").string(), IScanFileSystem::kOtherMount}};
    CFolderScanner scanner({root.string()}, fileSystem);
    RunToEnd(scanner);
    CFolderData* drive = scanner.GetDrives().at(0);
    std::map<std::string, std::int32_t> errors;
    for (CFolderData* folder : drive->GetFolders())
        errors[folder->GetName().ToStdString()] = folder->GetReadError();
    EXPECT_EQ(errors, (std::map<std::string, std::int32_t>{{"denied", EACCES}, {"gone", ENOENT}, {"mounted", 0}, {"open", 0}}));
    EXPECT_EQ(scanner.GetUnreadableCount(), 2);
    EXPECT_FALSE(drive->IsUnreadable());
    EXPECT_EQ(drive->GetSize(), 1); // the totals hold what was read, nothing else
    EXPECT_EQ(drive->GetFilesCount(), 1);
}

TEST(HostileTree, AFolderThisUserMayNotReadIsMarkedWithItsError)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    CTempTree tree;
    tree.File("locked/secret", 100);
    tree.File("open/visible", 1);
    chmod((tree.Root() / "locked").c_str(), 0);
    CFolderScanner scanner({tree.Root().string()});
    RunToEnd(scanner);
    EXPECT_EQ(scanner.GetUnreadableCount(), 1);
    for (CFolderData* folder : scanner.GetDrives().at(0)->GetFolders())
        EXPECT_EQ(folder->GetReadError(), folder->GetName() == CString("locked") ? EACCES : 0);
}

TEST(HostileTree, SizesPastTheLargest64BitValueStayAtTheLargestValue)
{
    // Sparse files on a RAM disk, which allows files of 2^63 - 1 bytes.
    const fs::path shm = "/dev/shm";
    if (!fs::is_directory(shm))
        GTEST_SKIP() << "no /dev/shm";
    std::string pattern = (shm / "velmora-sizes-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    bool sparse = true;
    for (const auto& [name, size] : {std::pair{"inner/a", kMax}, std::pair{"inner/b", kMax}, std::pair{"c", std::int64_t{1} << 62}}) {
        fs::create_directories((root / name).parent_path());
        close(open((root / name).c_str(), O_CREAT | O_WRONLY, 0644));
        sparse = sparse && truncate((root / name).c_str(), size) == 0;
    }
    if (sparse) {
        CFolderScanner scanner({root.string()});
        RunToEnd(scanner);
        CFolderData* drive = scanner.GetDrives().at(0);
        EXPECT_EQ(drive->GetSize(), kMax);
        EXPECT_EQ(drive->GetFolders().at(0)->GetSize(), kMax);
        EXPECT_EQ(drive->GetFilesCount(), 3);
    }
    fs::remove_all(root);
    if (!sparse)
        GTEST_SKIP() << "this RAM disk refuses files of 2^63 - 1 bytes";
}

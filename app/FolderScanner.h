// CFolderScanner: walks every local disk (or the folders its owner gives)
// once, depth first, on its own thread, building CFolderData and CFileData
// objects and announcing each one to the listeners the moment it is linked
// into the tree.
//
// Threading contract: the walk and every listener call run on the scanner
// thread; AddListener and RemoveListener may be called from any thread. Each
// walk step calls listeners from a snapshot of the list, so a listener
// removed during a step may still be called by it: stop the scanner first.
// The stop flag is polled at the start of each folder, before each entry and
// before each file announcement. The walk never follows symbolic links and
// never leaves the file system of its drive, and a folder's listing is
// closed before its subfolders are walked. The walk is a loop over an
// explicit stack, so no depth of folders can exhaust the thread's stack.
//
// Folders are opened relative to their parent's descriptor, never by their
// full path: no path length limits the walk, and a folder replaced by a
// symbolic link (or by another folder) after its parent was listed is not
// entered. The full path is still carried for display and for the
// IScanFileSystem seam, which names folders by it.
#pragma once

#include <dirent.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <string>
#include <vector>

#include "app/FileSystemData.h"
#include "common/SubscriberList.h"
#include "common/Thread.h"

namespace Velmora {

class IScanListener {
public:
    virtual void OnRootFolder(CFolderData* drive) = 0;
    virtual void OnFolder(CFolderData* folder) = 0;
    virtual void OnFile(CFileData* file) = 0;
    // A refresh is about to replace the folder's contents, which are then
    // deleted: the rows of its children go now. A refused grid call (the
    // window is closing) is fine, the refresh then gives up.
    virtual void OnFolderEmptying(CFolderData* folder) { (void)folder; }

protected:
    ~IScanListener() = default;
};

// One entry of a folder listing.
struct ScanEntry {
    std::string name;
    bool isFolder = false;
    std::int64_t size = 0; // lstat size
    std::int64_t creationTime = 0;
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
    std::int64_t allocated = 0; // bytes of the blocks it takes
    std::uint64_t device = 0;   // with the inode: the file's identity, for hard links
    std::uint64_t inode = 0;
    std::uint32_t links = 0;    // hard links; 0 when not known
};

// Fills `entry` (its name set) from the status of `name` in the open folder
// `folderFd`, `type` being the listing's d_type; false when the entry is gone
// since the listing was read.
bool ReadEntryStatus(int folderFd, const char* name, unsigned char type, ScanEntry& entry);

// Reads the listing of an open folder (`dir` reads `folderFd`) in its
// order, skipping "." and ".." and entries gone since the listing was read.
// `proceed` is asked before each entry and `onEntry` is given each one (it
// may move from it); either ends the listing by answering false. Returns
// the errno of a failed read, else 0.
int ReadListing(DIR* dir, int folderFd, const std::function<bool()>& proceed,
                const std::function<bool(ScanEntry&)>& onEntry);

// Listings read ahead of the walk by other threads. The listing of a folder
// is handed over only when it was read from the very folder the walk has
// opened (same device and inode) and read completely.
class IListingSource {
public:
    // Moves the listing of the folder the walk lists next into `entries`, in
    // the order its directory gave them; false when none was read (the walk
    // then reads the folder itself). May wait for a listing being read,
    // polling `stop` (may be empty) while it does.
    virtual bool TakeListing(std::uint64_t device, std::uint64_t inode, std::vector<ScanEntry>& entries,
                             const std::function<bool()>& stop) = 0;

protected:
    ~IListingSource() = default;
};

// A mount the machine has, as the mount table lists it.
struct MountEntry {
    enum Kind { Skipped, Fixed, Ram };
    std::uint64_t mountId = 0;
    std::string device; // major:minor
    std::string root;   // the mounted folder within its file system
    std::string path;   // where it is mounted
    std::string fsType;
    Kind kind = Skipped;
};

// The scanner's view of the platform, so tests can give it a mount table
// as text or make a folder unreadable.
class IScanFileSystem {
public:
    virtual ~IScanFileSystem() = default;
    // The mount table in the format of /proc/self/mountinfo.
    virtual std::string ReadMountTable() = 0;
    // The mount a folder belongs to; 0 when it cannot be found out.
    virtual std::uint64_t MountOf(const std::string& path) = 0;
    // Lists a folder that lies on `mountId` (0: any), calling `onEntry` for
    // each entry as it is read; the listing ends early when `onEntry`
    // returns false. False when it cannot be opened or lies on another mount.
    // `stop` is polled while waiting.
    virtual bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                            const std::function<bool(const ScanEntry&)>& onEntry) = 0;
    // Why the last ListFolder answered false, forgetting it: an errno value,
    // kOtherMount for a folder on another mount (a mount point, which is not
    // a failure to read), or 0 when the file system did not say.
    virtual int TakeListError() { return 0; }
    // The walk has ended: resources held between listings can go.
    virtual void EndWalk() {}
    // How many helper threads may read folders ahead of a walk of this file
    // system (see CReadAhead); 0: none.
    virtual unsigned ReadAheadThreads() const { return 0; }
    // Where ListFolder may take listings read ahead (null: none), for the
    // walk that sets it; a file system that cannot tell a folder's identity
    // ignores it.
    virtual void SetListingSource(IListingSource* source) { (void)source; }
    static constexpr int kOtherMount = -1;
};

// The real file system of this machine.
//
// Listings are resolved against a cursor: the descriptors of the folders on
// the path of the last listing, each opened relative to its parent with
// O_NOFOLLOW and identified by device and inode. A path that continues a
// kept folder is opened from it, one component at a time, so the kernel
// never resolves a long path and no link on the way is followed. At most
// `descriptorBudget` of the cursor's folders stay open (the walk's root and
// the deepest ones); a folder whose descriptor was let go is reached again
// by "..", from the nearest open folder below it, each step checked against
// the device and inode recorded on the way down, so a folder moved away or
// replaced meanwhile is refused rather than entered. One walk at a time.
// The read-ahead helpers hold one descriptor each and one for the walk's
// root; they come out of the budget, and only a budget of at least
// kReadAheadMinBudget has them.
class CLocalFileSystem : public IScanFileSystem {
public:
    static constexpr std::size_t kDefaultDescriptorBudget = 32;
    static constexpr unsigned kDefaultReadAheadThreads = 8;
    static constexpr std::size_t kReadAheadMinBudget = 16;
    explicit CLocalFileSystem(std::size_t descriptorBudget = kDefaultDescriptorBudget,
                              unsigned readAheadThreads = kDefaultReadAheadThreads);
    ~CLocalFileSystem() override;
    CLocalFileSystem(const CLocalFileSystem&) = delete;
    CLocalFileSystem& operator=(const CLocalFileSystem&) = delete;

    std::string ReadMountTable() override;
    std::uint64_t MountOf(const std::string& path) override;
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override;
    int TakeListError() override;
    void EndWalk() override;
    unsigned ReadAheadThreads() const override { return m_readAheadThreads; }
    void SetListingSource(IListingSource* source) override;
    // Listings taken from the listing source instead of read.
    std::size_t TakenListings() const;
    // The most descriptors this object held open at once (the cursor's and
    // the listing's).
    std::size_t PeakDescriptors() const;
    // How many folders were reached again after their descriptor was let go.
    std::size_t ReopenCount() const;

private:
    struct Level {
        std::size_t end = 0; // the level's path is m_path[0, end)
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        int fd = -1;
        std::uint64_t mount = 0;
    };
    // The cursor's descriptor of `path`'s folder (not to be closed), or -1
    // with errno set.
    int Resolve(const std::string& path);
    int Reopen(std::size_t level);
    void CloseFrom(std::size_t level);
    void Close(Level& level);
    void KeepWithinBudget();
    void NoteOpen(int delta);

    const unsigned m_readAheadThreads;
    const std::size_t m_budget;
    // Recursive: a listener may look at the file system from a listing.
    mutable std::recursive_mutex m_mutex;
    std::string m_path;
    std::vector<Level> m_levels;
    std::deque<std::size_t> m_openLevels; // levels above the root with a descriptor, shallowest first
    std::size_t m_open = 0;
    std::size_t m_peak = 0;
    std::size_t m_reopened = 0;
    int m_lastError = 0;
    IListingSource* m_listingSource = nullptr;
    std::vector<ScanEntry> m_taken; // a listing handed over, reused
    std::size_t m_takenCount = 0;
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountTable(const std::string& text);
// The drives of a mount table: fixed and RAM file systems, one per device
// and root and one per path, ordered by mount path.
std::vector<MountEntry> SelectDrives(const std::vector<MountEntry>& mounts);
// File-time ticks (100 ns since 1601-01-01 UTC) of a Unix time.
std::int64_t ToFileTime(std::int64_t seconds, std::uint32_t nanoseconds);

class CFolderScanner : public Kestrum::Common::CThread {
public:
    // With no roots the drives are the machine's local mounts.
    explicit CFolderScanner(std::vector<std::string> roots = {},
                            std::shared_ptr<IScanFileSystem> fileSystem = std::make_shared<CLocalFileSystem>());
    ~CFolderScanner() override;

    void AddListener(IScanListener* listener);
    void RemoveListener(IScanListener* listener);
    void ScanFolder(CFolderData* folder);
    // The drives created so far (safe while the scanner runs).
    std::vector<CFolderData*> GetDrives() const;
    // True once Run has returned (the walk ended or was stopped).
    bool IsFinished() const noexcept { return m_finished.load(); }
    // Folders that could not be listed so far (mount points not counted).
    std::int64_t GetUnreadableCount() const noexcept { return m_unreadable.load(std::memory_order_relaxed); }
    // Rescans the subtree of `folder` (one of this scanner's, a drive or a
    // folder) on the scanner thread, once the first walk has ended: the
    // folder is walked apart from the tree while its rows stay, then its
    // contents are replaced at once (the listeners' OnFolderEmptying, then
    // the new objects announced, parents first) and the totals of every
    // ancestor move by the difference. A stop before the replacement
    // leaves the tree as it was. False while a walk runs.
    bool StartRefresh(CFolderData* folder);
    // How many refreshes replaced their folder's contents.
    std::int64_t GetRefreshCount() const noexcept { return m_refreshes.load(); }
    // A given folder that lies inside another given folder (on its mount)
    // is a root of its own, but its entries are walked and counted by the
    // outer one too: grand totals leave it out.
    bool IsNestedRoot(const CFolderData* drive) const;
    // Listeners only (scanner thread): whether what is being announced now
    // counts towards the grand totals (false within a nested root).
    bool IsCountingWalk() const noexcept { return m_countingWalk; }
    // The roots of the given folders with their mounts: each folder once
    // (the same device and inode, or the same plain path where it cannot be
    // read), in the order first given.
    static std::vector<std::pair<std::string, std::uint64_t>> GivenRoots(const std::vector<std::string>& paths,
                                                                         IScanFileSystem& fileSystem);
    // For each root, whether it lies below another on the same mount.
    static std::vector<bool> NestedRoots(const std::vector<std::pair<std::string, std::uint64_t>>& roots);

protected:
    std::uint32_t Run() override;

private:
    std::vector<IScanListener*> Snapshot() const;
    // The path is carried down the walk so no folder rebuilds it.
    void ScanFolder(CFolderData* folder, std::uint64_t mountId, const std::string& path, bool announce = true);
    // Lists one folder and announces its entries (when `announce`); false
    // when the walk of the folder ends here (a stop was requested).
    bool ListAndAnnounce(CFolderData* folder, std::uint64_t mountId, const std::string& path, bool announce);
    void Refresh(CFolderData* folder);
    // Forgets the inodes counted by files below `folder`.
    void ForgetLinksBelow(const CFolderData* folder);

    std::vector<std::string> m_roots;
    std::shared_ptr<IScanFileSystem> m_fileSystem;
    std::vector<CFolderData*> m_drives;
    std::vector<std::uint64_t> m_driveMounts;
    std::vector<bool> m_nestedDrives;
    bool m_countingWalk = true; // scanner thread
    // The same listener may be added more than once.
    Kestrum::Common::CSubscriberList<IScanListener> m_listeners{Kestrum::Common::CSubscriberList<IScanListener>::Allowed};
    mutable std::recursive_mutex m_lock; // guards the drives
    std::atomic<bool> m_finished{false};
    std::atomic<std::int64_t> m_unreadable{0};
    std::atomic<std::int64_t> m_refreshes{0};
    std::atomic<CFolderData*> m_refreshTarget{nullptr};
    // Scanner thread only: inodes with more than one link, by device and
    // inode, and the file that counted its blocks.
    struct InodeKey {
        std::uint64_t device, inode;
        bool operator==(const InodeKey&) const = default;
    };
    struct InodeHash {
        std::size_t operator()(const InodeKey& key) const noexcept { return std::hash<std::uint64_t>()(key.inode * 31 + key.device); }
    };
    std::unordered_map<InodeKey, CFileData*, InodeHash> m_linkHolders;
};

} // namespace Velmora

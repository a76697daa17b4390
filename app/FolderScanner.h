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
// does not leave the file system of its drive unless told to enter other
// file systems (SetEnterOtherFileSystems), and a folder's listing is
// closed before its subfolders are walked. The walk is a loop over an
// explicit stack, so no depth of folders can exhaust the thread's stack.
//
// Folders are opened relative to their parent's descriptor, never by their
// full path: no path length limits the walk, and a folder replaced by a
// symbolic link (or by another folder) after its parent was listed is not
// entered. The full path is still carried for display and for the
// IScanFileSystem seam, which names folders by it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <string>
#include <vector>

#include "app/ExcludePatterns.h"
#include "app/FileSystemData.h"
#include "app/LocalFileSystem.h"
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


class CFolderScanner;

// A tree read rather than walked (a saved scan): the scanner's thread hands
// it the scanner, whose AddImportedDrive and Announce* it builds the tree
// through, polling IsStopRequested.
class IScanImport {
public:
    virtual ~IScanImport() = default;
    virtual void Import(CFolderScanner& scanner) = 0;
};

class CFolderScanner : public Kestrum::Common::CThread {
public:
    // With no roots the drives are the machine's local mounts.
    explicit CFolderScanner(std::vector<std::string> roots = {},
                            std::shared_ptr<IScanFileSystem> fileSystem = std::make_shared<CLocalFileSystem>());
    // The tree comes from `import`; a refresh still walks `fileSystem`.
    struct FromImport {};
    CFolderScanner(FromImport, std::shared_ptr<IScanImport> import, std::shared_ptr<IScanFileSystem> fileSystem);
    ~CFolderScanner() override;
    // The import this scanner reads its tree from (null: it walks).
    IScanImport* Import() const noexcept { return m_import.get(); }
    // For an import, on the scanner thread: a drive made, kept and
    // announced; a folder or file announced once linked into the tree; a
    // folder told unreadable (counted as a walk counts it).
    CFolderData* AddImportedDrive(const CString& path);
    void AnnounceFolder(CFolderData* folder);
    void AnnounceFile(CFileData* file);
    void MarkUnreadable(CFolderData* folder, std::int32_t error);

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
    // Folders the next walk or refresh leaves out (any thread): shown,
    // marked excluded, never opened; a given root too.
    void SetExcludePatterns(CExcludePatterns patterns);
    // Whether the next walk or refresh goes on into folders on other file
    // systems than its drive's (mount points below it); no by default.
    void SetEnterOtherFileSystems(bool enter);
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
    // For each root, whether it lies below another on the same mount (on
    // any mount, for a walk that enters other file systems).
    static std::vector<bool> NestedRoots(const std::vector<std::pair<std::string, std::uint64_t>>& roots,
                                         bool anyMount = false);

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
    CExcludePatterns m_nextExclude;  // guarded by m_lock
    CExcludePatterns m_exclude;      // scanner thread: this walk's
    bool m_nextEnterOthers = false;  // guarded by m_lock
    bool m_enterOthers = false;      // scanner thread: this walk's
    std::shared_ptr<IScanImport> m_import;
    std::vector<IScanListener*> m_importListeners; // scanner thread, during an import
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

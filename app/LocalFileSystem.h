// CLocalFileSystem: the scanner's seam over the real file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/ScanFileSystem.h"

namespace Velmora {

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

} // namespace Velmora

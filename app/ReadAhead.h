// CReadAhead: a few helper threads that read folder listings and the status
// of their entries ahead of the scanner's walk and hand them over, so that
// the walk, still one thread announcing in its own order, neither waits for
// the disk one request at a time nor does the status calls itself. The
// helpers keep several requests outstanding against the device, and on a
// tree the caches hold they do the walk's system calls on another core.
//
// The helpers follow the walk's order: a folder is named by the indexes of
// the subfolders leading to it from the walk's root, in listing order, and
// the helpers always take the pending folder that comes first in the walk.
// How far they run ahead is bounded, in folders and in entries kept. A
// listing is handed over only to the walk's listing of the same folder
// (same device and inode, opened by the walk itself) and only when it was
// read whole; anything else is thrown away and the walk reads the folder.
// Folders are opened beneath the walk's root only, never through a symbolic
// link and never across a mount; a path the kernel refuses (too long) is
// simply not read. The walk waits for a folder a helper is reading instead
// of reading it a second time. While the folders come from the caches
// (reads that never wait for the disk), one helper reads at a time. The helpers run at a lower priority than the
// walk and the window, so the window stays responsive while they work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/FolderScanner.h"

namespace Velmora {

class CFolderData;

class CReadAhead : public IListingSource {
public:
    using Key = std::vector<std::uint32_t>;
    static constexpr std::size_t kMaxFoldersAhead = 1024;
    static constexpr std::size_t kMaxEntriesAhead = 16 * 1024;
    // Added to the helpers' nice value.
    static constexpr int kNiceIncrement = 10;
    // After this many folders in a row read without waiting for the disk,
    // only kCachedReaders helpers read at a time: from the caches more
    // threads only add switching and contention; one that waits again lets
    // them all read.
    static constexpr std::size_t kCachedStreak = 8;
    static constexpr std::size_t kCachedReaders = 1;
    // Folders deeper than this are left to the walk: a key is as long as
    // its folder is deep, so following a chain of nested folders would copy
    // keys and paths at a cost growing with the square of its depth, and a
    // chain has nothing to read beside the walk anyway.
    static constexpr std::size_t kMaxDepth = 256;

    // Nothing is started when `threads` is 0 or the root cannot be opened.
    CReadAhead(const std::string& rootPath, unsigned threads);
    // Stops the helpers and joins them.
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // The walk is about to list the folder at `key`: what lies before it in
    // the walk is no longer wanted, and TakeListing answers for it.
    void Expect(const Key& key);
    // Waits while a helper is reading the folder (the walk would only make
    // the same requests), polling `stop` every kStopPollMs.
    bool TakeListing(std::uint64_t device, std::uint64_t inode, std::vector<ScanEntry>& entries,
                     const std::function<bool()>& stop) override;
    static constexpr int kStopPollMs = 10;
    // The walk has listed the folder at `key` (path `path`, below the root
    // given to the constructor), whose subfolders are `subfolders` in
    // listing order: those the helpers have not reached are queued.
    void Listed(const Key& key, const std::string& path, const std::vector<CFolderData*>& subfolders);
    bool IsActive() const noexcept { return !m_threads.empty(); }
    // Folders the helpers read whole (for tests and measurements).
    std::size_t ReadCount() const noexcept { return m_read.load(std::memory_order_relaxed); }
    // No helper is reading and none would start until the walk moves on
    // (for tests).
    bool IsIdle();
    // Folders the helpers could not open (a link, another mount, gone).
    std::size_t RefusedCount() const noexcept { return m_refused.load(std::memory_order_relaxed); }
    // Listings handed over to the walk.
    std::size_t HandedCount() const noexcept { return m_handed.load(std::memory_order_relaxed); }

private:
    struct Listing {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::vector<ScanEntry> entries;
    };
    void Work();
    // Reads one folder beneath the root, whole; false when it could not be
    // opened or read, or the walk passed it meanwhile (the walk then reads
    // it itself).
    bool Read(const Key& key, const std::string& relative, Listing& listing);
    bool IsKnown(const Key& key) const;
    // True when the pending folder `key` is the first folder after the
    // walk's position that no helper has read or is reading.
    bool IsWalksNext(const Key& key) const;
    // The pending folder a helper reads next, or the end (lock held).
    std::map<Key, std::string>::iterator NextPending();
    // As many folders or entries held ahead as allowed (lock held).
    bool IsFull() const;
    // Drops what lies at or before the walk's position (lock held); true
    // when room was made.
    bool Prune();
    // Another helper may start a read (lock held).
    bool HasRoomForReader() const;

    int m_rootFd = -1;
    std::size_t m_rootLength = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed; // the helpers wait on it
    std::condition_variable m_finished; // the walk waits on it for a listing being read
    bool m_stop = false;
    std::atomic<bool> m_stopFlag{false}; // polled by a helper within a listing
    Key m_position;                       // the folder the walk lists now (or listed last)
    bool m_expecting = false;             // TakeListing answers for m_position
    std::map<Key, std::string> m_pending; // to read, by walk order, with their path below the root
    std::map<Key, Listing> m_done;        // read ahead of the walk
    std::map<Key, bool> m_reading;        // being read by a helper
    std::size_t m_doneEntries = 0;
    std::size_t m_cachedStreak = 0;
    std::atomic<std::size_t> m_read{0};
    std::atomic<std::size_t> m_refused{0};
    std::atomic<std::size_t> m_handed{0};
    std::size_t m_threadCount = 0; // set before the first helper starts
    std::vector<std::thread> m_threads;
};

} // namespace Velmora

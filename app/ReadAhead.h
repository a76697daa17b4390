// CReadAhead: a few helper threads that read folder listings and the status
// of their entries ahead of the scanner's walk, so that the walk, still one
// thread announcing in its own order, finds them in the kernel's caches
// instead of waiting for the disk one request at a time. The helpers keep
// several requests outstanding against the device.
//
// The helpers follow the walk's order: a folder is named by the indexes of
// the subfolders leading to it from the walk's root, in listing order, and
// the helpers always take the pending folder that comes first in the walk.
// How far they run ahead is bounded, in folders and in entries read. The
// results are thrown away: nothing read here reaches the tree, so a folder
// that changes meanwhile costs time, never correctness. Folders are opened
// beneath the walk's root only, never through a symbolic link and never
// across a mount; a path the kernel refuses (too long) is simply not read.
// Where the caches already hold the tree the helpers mostly stand aside.
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

namespace Velmora {

class CFolderData;

class CReadAhead {
public:
    using Key = std::vector<std::uint32_t>;
    static constexpr std::size_t kMaxFoldersAhead = 1024;
    static constexpr std::size_t kMaxEntriesAhead = 64 * 1024;
    // After this many folders in a row read without waiting for the disk,
    // only one pending folder in kSampleEvery is read.
    static constexpr std::size_t kCachedStreak = 8;
    static constexpr std::size_t kSampleEvery = 16;

    // Nothing is started when `threads` is 0 or the root cannot be opened.
    CReadAhead(const std::string& rootPath, unsigned threads);
    // Stops the helpers and joins them.
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // The walk has listed the folder at `key` (path `path`, below the root
    // given to the constructor), whose subfolders are `subfolders` in
    // listing order: what lies before it in the walk is no longer wanted.
    void Listed(const Key& key, const std::string& path, const std::vector<CFolderData*>& subfolders);
    bool IsActive() const noexcept { return !m_threads.empty(); }
    // Folders the helpers read (for tests and measurements).
    std::size_t ReadCount() const noexcept { return m_read.load(std::memory_order_relaxed); }
    // Folders the helpers could not open (a link, another mount, gone).
    std::size_t RefusedCount() const noexcept { return m_refused.load(std::memory_order_relaxed); }

private:
    void Work();
    // Reads one folder beneath the root; false when it could not be opened.
    bool Read(const std::string& relative, std::vector<std::string>& subfolders, std::size_t& entries);
    bool IsKnown(const Key& key) const;

    int m_rootFd = -1;
    std::size_t m_rootLength = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::atomic<bool> m_stopFlag{false}; // polled by a helper within a listing
    Key m_position;                      // the folder the walk listed last
    std::map<Key, std::string> m_pending; // to read, by walk order, with their path below the root
    std::map<Key, std::size_t> m_done;    // read ahead of the walk, with their entry counts
    std::map<Key, bool> m_reading;        // being read by a helper
    std::size_t m_doneEntries = 0;
    std::size_t m_cachedStreak = 0;
    std::size_t m_sampled = 0;
    std::atomic<std::size_t> m_read{0};
    std::atomic<std::size_t> m_refused{0};
    std::vector<std::thread> m_threads;
};

} // namespace Velmora

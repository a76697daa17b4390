#include "app/ReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "app/FileSystemData.h"

namespace Velmora {

namespace {
int OpenBeneath(int rootFd, const char* relative)
{
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, rootFd, relative, &how, sizeof how));
}

// True when `key` lies at or before `position` in the walk (preorder: a
// folder comes before its subfolders, which are ordered by their index).
bool AtOrBefore(const CReadAhead::Key& key, const CReadAhead::Key& position) { return !(position < key); }

// Times this thread gave up the processor while waiting: reading a folder
// from the disk does, reading it from the caches does not.
long VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// How often a helper reading a large folder looks whether the walk has
// passed it.
constexpr std::size_t kPassedCheckEvery = 256;
} // namespace

CReadAhead::CReadAhead(const std::string& rootPath, unsigned threads) : m_rootLength(rootPath.size())
{
    if (threads == 0)
        return;
    m_rootFd = open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_rootFd < 0)
        return;
    // Without openat2 (an old kernel) the helpers could not stay beneath the
    // root safely: no read-ahead then.
    const int probe = OpenBeneath(m_rootFd, ".");
    if (probe < 0) {
        close(m_rootFd);
        m_rootFd = -1;
        return;
    }
    close(probe);
    m_threadCount = threads;
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Work(); });
}

CReadAhead::~CReadAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_stopFlag = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    if (m_rootFd >= 0)
        close(m_rootFd);
}

bool CReadAhead::IsKnown(const Key& key) const
{
    return m_pending.count(key) != 0 || m_done.count(key) != 0 || m_reading.count(key) != 0;
}

bool CReadAhead::IsWalksNext(const Key& key) const
{
    const auto before = [&](const auto& map) { return map.empty() || key < map.begin()->first; };
    return !(m_expecting && m_position == key) && before(m_done) && before(m_reading);
}

bool CReadAhead::Prune()
{
    while (!m_pending.empty() && AtOrBefore(m_pending.begin()->first, m_position))
        m_pending.erase(m_pending.begin());
    bool room = false;
    while (!m_done.empty() && AtOrBefore(m_done.begin()->first, m_position)) {
        // The listing the walk is about to take stays until it is taken.
        if (m_expecting && m_done.begin()->first == m_position)
            break;
        m_doneEntries -= m_done.begin()->second.entries.size();
        m_done.erase(m_done.begin());
        room = true;
    }
    return room;
}

void CReadAhead::Expect(const Key& key)
{
    if (!IsActive())
        return;
    if (key.size() > kMaxDepth) {
        std::lock_guard lock(m_mutex);
        m_expecting = false; // the walk reads this one itself
        return;
    }
    bool room = false;
    {
        std::lock_guard lock(m_mutex);
        m_position = key;
        m_expecting = true;
        room = Prune() && HasRoomForReader();
    }
    if (room)
        m_changed.notify_one();
}

bool CReadAhead::TakeListing(std::uint64_t device, std::uint64_t inode, std::vector<ScanEntry>& entries,
                             const std::function<bool()>& stop)
{
    bool taken = false;
    bool room = false;
    {
        std::unique_lock lock(m_mutex);
        if (!m_expecting)
            return false;
        while (m_reading.count(m_position) != 0 && !(stop && stop()))
            m_finished.wait_for(lock, std::chrono::milliseconds(kStopPollMs));
        m_expecting = false;
        const auto found = m_done.find(m_position);
        const bool had = found != m_done.end();
        if (had) {
            if (found->second.device == device && found->second.inode == inode) {
                entries = std::move(found->second.entries);
                taken = true;
            }
            m_doneEntries -= found->second.entries.size();
            m_done.erase(found);
        }
        room = (Prune() || had) && HasRoomForReader();
    }
    if (taken)
        m_handed.fetch_add(1, std::memory_order_relaxed);
    if (room)
        m_changed.notify_one();
    return taken;
}

void CReadAhead::Listed(const Key& key, const std::string& path, const std::vector<CFolderData*>& subfolders)
{
    if (!IsActive() || key.size() >= kMaxDepth)
        return;
    std::string relative = path.size() > m_rootLength ? path.substr(m_rootLength) : std::string();
    relative.erase(0, std::min(relative.find_first_not_of('/'), relative.size()));
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_position = key;
        m_expecting = false;
        wake = Prune();
        // The subfolders of a folder the helpers did not reach: seeded here,
        // so the helpers pick up again wherever the walk got ahead of them.
        Key child = key;
        child.push_back(0);
        for (std::size_t i = 0; i < subfolders.size(); ++i) {
            child.back() = static_cast<std::uint32_t>(i);
            if (IsKnown(child) || subfolders[i]->IsExcluded())
                continue; // an excluded folder is never opened
            std::string childPath = relative;
            if (!childPath.empty())
                childPath.push_back('/');
            childPath.append(subfolders[i]->GetName().View());
            m_pending.emplace(child, std::move(childPath));
            wake = true;
        }
        wake = wake && HasRoomForReader();
    }
    if (wake)
        m_changed.notify_one();
}

void CReadAhead::Work()
{
    // Nice values are per thread on Linux; raising one needs no privilege.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, std::min(nice + kNiceIncrement, 19));
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        Prune();
        const auto next = NextPending();
        // Full of listings far ahead (read while nothing nearer was known)
        // while the walk will want a pending folder sooner: the farthest
        // listing goes, and the walk reads that folder itself when it comes.
        while (next != m_pending.end() && IsFull() && !m_done.empty() && next->first < m_done.rbegin()->first) {
            const auto last = std::prev(m_done.end());
            m_doneEntries -= last->second.entries.size();
            m_done.erase(last);
        }
        const bool full = IsFull() || !HasRoomForReader();
        if (next == m_pending.end() || full) {
            m_changed.wait(lock);
            continue;
        }
        const Key key = next->first;
        const std::string relative = std::move(next->second);
        m_pending.erase(next);
        m_reading.emplace(key, true);
        // Another helper for the rest, one woken at a time.
        if (m_pending.size() > 1 && HasRoomForReader())
            m_changed.notify_one();
        lock.unlock();
        Listing listing;
        const long switches = VoluntarySwitches();
        const bool read = Read(key, relative, listing);
        const bool waited = VoluntarySwitches() != switches;
        lock.lock();
        m_reading.erase(key);
        if (read) {
            const bool wasCached = m_cachedStreak >= kCachedStreak;
            m_cachedStreak = waited ? 0 : m_cachedStreak + 1;
            if (wasCached && waited)
                m_changed.notify_all(); // the disk again: every helper may read
        }
        const bool awaited = m_expecting && key == m_position;
        if (read && (m_position < key || awaited)) {
            // Its subfolders, numbered as the walk will number them.
            Key child = key;
            child.push_back(0);
            std::uint32_t index = 0;
            for (const ScanEntry& entry : listing.entries) {
                if (!entry.isFolder)
                    continue;
                child.back() = index++;
                if (!IsKnown(child))
                    m_pending.emplace(child, relative.empty() ? entry.name : relative + '/' + entry.name);
            }
            m_doneEntries += listing.entries.size();
            m_done.emplace(key, std::move(listing));
        }
        if (awaited)
            m_finished.notify_one();
        if (m_pending.size() > 1 && HasRoomForReader())
            m_changed.notify_one();
    }
}

std::map<CReadAhead::Key, std::string>::iterator CReadAhead::NextPending()
{
    // The folder the walk comes to next is left to the walk, which would
    // otherwise wait for it: the helpers read the ones after it, at the
    // same time.
    auto next = m_pending.begin();
    if (next != m_pending.end() && IsWalksNext(next->first))
        ++next;
    return next;
}

bool CReadAhead::IsFull() const
{
    return m_done.size() + m_reading.size() >= kMaxFoldersAhead ||
           (m_doneEntries >= kMaxEntriesAhead && !m_done.empty());
}

bool CReadAhead::IsIdle()
{
    std::lock_guard lock(m_mutex);
    return m_reading.empty() && (NextPending() == m_pending.end() || IsFull());
}

bool CReadAhead::HasRoomForReader() const
{
    const std::size_t readers = m_cachedStreak >= kCachedStreak ? kCachedReaders : m_threadCount;
    return m_reading.size() < readers;
}

bool CReadAhead::Read(const Key& key, const std::string& relative, Listing& listing)
{
    const int fd = OpenBeneath(m_rootFd, relative.empty() ? "." : relative.c_str());
    if (fd < 0) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    struct statx st {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO, &st) != 0 ||
        !S_ISDIR(st.stx_mode)) {
        close(fd);
        return false;
    }
    listing.device = static_cast<std::uint64_t>(st.stx_dev_major) << 32 | st.stx_dev_minor;
    listing.inode = st.stx_ino;
    // The same requests as the walk's listing, in the same order.
    bool whole = true;
    std::size_t count = 0;
    const auto proceed = [&] {
        if (m_stopFlag.load(std::memory_order_relaxed))
            return whole = false;
        if (++count % kPassedCheckEvery == 0) {
            std::lock_guard lock(m_mutex);
            if (!(m_position < key) && !(m_expecting && m_position == key))
                return whole = false; // the walk reads it itself
        }
        return true;
    };
    const int error = ReadListing(fd, proceed, [&](ScanEntry& entry) {
        listing.entries.push_back(std::move(entry));
        entry = ScanEntry{};
        return true;
    });
    whole = whole && error == 0;
    close(fd);
    if (whole)
        m_read.fetch_add(1, std::memory_order_relaxed);
    return whole;
}

} // namespace Velmora

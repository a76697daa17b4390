#include "app/ReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

void CReadAhead::Listed(const Key& key, const std::string& path, const std::vector<CFolderData*>& subfolders)
{
    if (!IsActive())
        return;
    std::string relative = path.size() > m_rootLength ? path.substr(m_rootLength) : std::string();
    relative.erase(0, std::min(relative.find_first_not_of('/'), relative.size()));
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_position = key;
        while (!m_pending.empty() && AtOrBefore(m_pending.begin()->first, key))
            m_pending.erase(m_pending.begin());
        while (!m_done.empty() && AtOrBefore(m_done.begin()->first, key)) {
            m_doneEntries -= m_done.begin()->second;
            m_done.erase(m_done.begin());
            wake = true;
        }
        // On a tree the caches already hold, reading ahead only doubles the
        // work: while the last folders read never waited for the disk, one
        // subfolder (the last) of one listed folder in kSampleEvery is handed
        // out, to notice when the walk reaches the disk again.
        const bool sampling = m_cachedStreak >= kCachedStreak;
        const bool skipped = sampling && m_sampled++ % kSampleEvery != 0;
        // The subfolders of a folder the helpers did not reach: seeded here,
        // so the helpers pick up again wherever the walk got ahead of them.
        Key child = key;
        child.push_back(0);
        for (std::size_t i = sampling && !subfolders.empty() ? subfolders.size() - 1 : 0; i < subfolders.size() && !skipped; ++i) {
            child.back() = static_cast<std::uint32_t>(i);
            if (IsKnown(child))
                continue;
            std::string childPath = relative;
            if (!childPath.empty())
                childPath.push_back('/');
            childPath.append(subfolders[i]->GetName().View());
            m_pending.emplace(child, std::move(childPath));
            wake = true;
        }
    }
    if (wake)
        m_changed.notify_one();
}

void CReadAhead::Work()
{
    std::unique_lock lock(m_mutex);
    std::vector<std::string> subfolders;
    while (!m_stop) {
        while (!m_pending.empty() && AtOrBefore(m_pending.begin()->first, m_position))
            m_pending.erase(m_pending.begin());
        const bool full = m_done.size() + m_reading.size() >= kMaxFoldersAhead ||
                          (m_doneEntries >= kMaxEntriesAhead && !m_done.empty());
        if (m_pending.empty() || full) {
            m_changed.wait(lock);
            continue;
        }
        auto next = m_pending.begin();
        const Key key = next->first;
        const std::string relative = std::move(next->second);
        m_pending.erase(next);
        m_reading.emplace(key, true);
        // Another helper for the rest, one woken at a time.
        if (!m_pending.empty())
            m_changed.notify_one();
        lock.unlock();
        subfolders.clear();
        std::size_t entries = 0;
        const long switches = VoluntarySwitches();
        const bool read = Read(relative, subfolders, entries);
        const bool waited = VoluntarySwitches() != switches;
        lock.lock();
        m_reading.erase(key);
        if (read)
            m_cachedStreak = waited ? 0 : m_cachedStreak + 1;
        if (read && m_position < key) {
            m_done.emplace(key, entries);
            m_doneEntries += entries;
        }
        // A sampled folder's subfolders are left to the walk.
        if (read && m_position < key && m_cachedStreak < kCachedStreak) {
            Key child = key;
            child.push_back(0);
            for (std::size_t i = 0; i < subfolders.size(); ++i) {
                child.back() = static_cast<std::uint32_t>(i);
                if (!IsKnown(child))
                    m_pending.emplace(child, relative.empty() ? subfolders[i] : relative + '/' + subfolders[i]);
            }
        }
        if (!m_pending.empty())
            m_changed.notify_one();
    }
}

bool CReadAhead::Read(const std::string& relative, std::vector<std::string>& subfolders, std::size_t& entries)
{
    const int fd = OpenBeneath(m_rootFd, relative.empty() ? "." : relative.c_str());
    if (fd < 0) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return false;
    }
    m_read.fetch_add(1, std::memory_order_relaxed);
    // The same requests as the walk's listing, so it finds their answers cached.
    while (!m_stopFlag.load(std::memory_order_relaxed)) {
        const dirent* entry = readdir(dir);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        ++entries;
        if (entry->d_type == DT_DIR) {
            subfolders.emplace_back(name);
            continue;
        }
        struct statx st {};
        if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                  STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME | STATX_BLOCKS |
                      STATX_INO | STATX_NLINK,
                  &st) == 0 &&
            S_ISDIR(st.stx_mode))
            subfolders.emplace_back(name);
    }
    closedir(dir);
    return true;
}

} // namespace Velmora

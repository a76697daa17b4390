#include "app/LocalFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>

#include "common/Calendar.h"

namespace Velmora {

namespace {

// A key naming the mount of an open file: the mount id where the kernel
// reports one, else the device (with the top bit set so the two never meet).
std::uint64_t MountKey(int dirFd, const char* name, int flags)
{
    struct statx st {};
    if (statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MNT_ID, &st) != 0)
        return 0;
    if (st.stx_mask & STATX_MNT_ID)
        return st.stx_mnt_id;
    return (1ull << 63) | (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
}

std::string UnescapeMountField(const std::string& field)
{
    // Spaces, tabs, newlines and backslashes come as three octal digits.
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        field.begin() + static_cast<std::ptrdiff_t>(i) + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

MountEntry::Kind KindOf(const std::string& fsType)
{
    static const std::set<std::string> fixed = {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "vfat", "msdos",
                                                "exfat", "ntfs", "ntfs3", "zfs", "jfs", "reiserfs", "hfs", "hfsplus",
                                                "nilfs2", "bcachefs", "udf", "minix"};
    if (fsType == "tmpfs" || fsType == "ramfs")
        return MountEntry::Ram;
    return fixed.count(fsType) ? MountEntry::Fixed : MountEntry::Skipped;
}

} // namespace

std::int64_t ToFileTime(std::int64_t seconds, std::uint32_t nanoseconds)
{
    return (seconds + Kestrum::Common::kFileTimeEpochOffset) * Kestrum::Common::kTicksPerSecond + nanoseconds / 100;
}

bool ReadEntryStatus(int folderFd, const char* name, unsigned char type, ScanEntry& entry)
{
    std::string keptName = std::move(entry.name);
    entry = ScanEntry{};
    entry.name = std::move(keptName);
    if (type == DT_DIR) {
        entry.isFolder = true;
        return true;
    }
    struct statx st {};
    if (statx(folderFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME | STATX_BLOCKS |
                  STATX_INO | STATX_NLINK,
              &st) != 0)
        return false;
    entry.isFolder = S_ISDIR(st.stx_mode);
    if (entry.isFolder)
        return true;
    entry.size = static_cast<std::int64_t>(std::min<std::uint64_t>(st.stx_size, std::numeric_limits<std::int64_t>::max()));
    entry.lastAccessTime = ToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
    entry.lastWriteTime = ToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
    // A zero birth time counts as unrecorded.
    const bool hasBirth = (st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0);
    const auto& created = hasBirth ? st.stx_btime : st.stx_ctime;
    entry.creationTime = ToFileTime(created.tv_sec, created.tv_nsec);
    // Blocks are counted in 512-byte units whatever the file system's block size.
    if (st.stx_mask & STATX_BLOCKS)
        entry.allocated = static_cast<std::int64_t>(
            std::min<std::uint64_t>(st.stx_blocks, std::numeric_limits<std::int64_t>::max() / 512) * 512);
    entry.device = static_cast<std::uint64_t>(st.stx_dev_major) << 32 | st.stx_dev_minor;
    entry.inode = st.stx_ino;
    entry.links = (st.stx_mask & STATX_NLINK) ? st.stx_nlink : 0;
    return true;
}

int ReadListing(int folderFd, const std::function<bool()>& proceed, const std::function<bool(ScanEntry&)>& onEntry)
{
    // The folder's records straight from the kernel into a buffer large
    // enough for most folders in one call (a DIR stream's is half of it and
    // costs an fcntl to open).
    constexpr std::size_t kBufferBytes = 64 * 1024;
    thread_local const std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    ScanEntry scanned; // reused: its name keeps its storage
    long filled = 0, offset = 0;
    while (proceed()) {
        if (offset >= filled) {
            filled = getdents64(folderFd, buffer.get(), kBufferBytes);
            if (filled <= 0)
                return filled < 0 ? errno : 0;
            offset = 0;
        }
        const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + offset);
        offset += entry->d_reclen;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        scanned.name = name;
        if (!ReadEntryStatus(folderFd, name, entry->d_type, scanned))
            continue;
        if (!onEntry(scanned))
            break;
    }
    return 0;
}

std::vector<MountEntry> ParseMountTable(const std::string& text)
{
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;)
            parts.push_back(part);
        const auto dash = std::find(parts.begin(), parts.end(), "-");
        if (parts.size() < 7 || dash == parts.end() || dash - parts.begin() < 6 || parts.end() - dash < 3)
            continue;
        MountEntry entry;
        try {
            entry.mountId = std::stoull(parts[0]);
        } catch (const std::exception&) {
            continue;
        }
        entry.device = parts[2];
        entry.root = UnescapeMountField(parts[3]);
        entry.path = UnescapeMountField(parts[4]);
        entry.fsType = *(dash + 1);
        entry.kind = KindOf(entry.fsType);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> SelectDrives(const std::vector<MountEntry>& mounts)
{
    // A later mount on the same path hides the earlier one.
    std::vector<MountEntry> visible;
    for (const MountEntry& mount : mounts) {
        std::erase_if(visible, [&](const MountEntry& earlier) { return earlier.path == mount.path; });
        visible.push_back(mount);
    }
    std::erase_if(visible, [](const MountEntry& mount) { return mount.kind == MountEntry::Skipped; });
    std::sort(visible.begin(), visible.end(),
              [](const MountEntry& a, const MountEntry& b) { return a.path < b.path; });
    // Bind mounts of the same device and root appear once, at their first path.
    std::vector<MountEntry> drives;
    std::set<std::pair<std::string, std::string>> seen;
    for (const MountEntry& mount : visible)
        if (seen.emplace(mount.device, mount.root).second)
            drives.push_back(mount);
    return drives;
}

CLocalFileSystem::CLocalFileSystem(std::size_t descriptorBudget, unsigned readAheadThreads)
    : m_readAheadThreads(descriptorBudget >= kReadAheadMinBudget
                             ? std::min<unsigned>(readAheadThreads, static_cast<unsigned>(descriptorBudget / 4))
                             : 0),
      m_budget(std::max<std::size_t>(descriptorBudget - (m_readAheadThreads ? m_readAheadThreads + 1 : 0), 2))
{
}

CLocalFileSystem::~CLocalFileSystem() { CloseFrom(0); }

std::string CLocalFileSystem::ReadMountTable()
{
    std::ifstream file("/proc/self/mountinfo");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::uint64_t CLocalFileSystem::MountOf(const std::string& path)
{
    return MountKey(AT_FDCWD, path.c_str(), 0);
}

namespace {
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t mount = 0;
};

// The identity of an open folder; false when it cannot be read or the
// descriptor is no folder.
bool IdentityOf(int fd, Identity& identity)
{
    struct statx st {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID,
              &st) != 0)
        return false;
    if (!S_ISDIR(st.stx_mode)) {
        errno = ENOTDIR;
        return false;
    }
    identity.device = static_cast<std::uint64_t>(st.stx_dev_major) << 32 | st.stx_dev_minor;
    identity.inode = st.stx_ino;
    identity.mount = (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : (1ull << 63) | identity.device;
    return true;
}

// How many leading bytes two strings share; memcmp by blocks, since the
// paths of a deep walk are hundreds of kilobytes long.
std::size_t CommonPrefixLength(const std::string& a, const std::string& b)
{
    const std::size_t limit = std::min(a.size(), b.size());
    constexpr std::size_t kBlock = 4096;
    std::size_t same = 0;
    while (same + kBlock <= limit && std::memcmp(a.data() + same, b.data() + same, kBlock) == 0)
        same += kBlock;
    while (same < limit && a[same] == b[same])
        ++same;
    return same;
}

int OpenFolderAt(int dirFd, const char* name)
{
    return openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}
} // namespace

void CLocalFileSystem::NoteOpen(int delta)
{
    m_open = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_open) + delta);
    m_peak = std::max(m_peak, m_open);
}

void CLocalFileSystem::Close(Level& level)
{
    if (level.fd < 0)
        return;
    close(level.fd);
    level.fd = -1;
    NoteOpen(-1);
}

void CLocalFileSystem::CloseFrom(std::size_t level)
{
    for (std::size_t i = level; i < m_levels.size(); ++i)
        Close(m_levels[i]);
    if (level < m_levels.size())
        m_levels.resize(level);
    while (!m_openLevels.empty() && m_openLevels.back() >= level)
        m_openLevels.pop_back();
}

void CLocalFileSystem::KeepWithinBudget()
{
    // The root and the deepest folders stay: the walk comes back up through
    // the deepest ones, and the root is where a refused climb starts over.
    while (m_open > m_budget && m_openLevels.size() > 1) {
        Close(m_levels[m_openLevels.front()]);
        m_openLevels.pop_front();
    }
}

int CLocalFileSystem::Reopen(std::size_t level)
{
    Level& target = m_levels[level];
    if (target.fd >= 0)
        return target.fd;
    const auto matches = [&](int fd, std::size_t at) {
        Identity identity;
        return IdentityOf(fd, identity) && identity.device == m_levels[at].device &&
               identity.inode == m_levels[at].inode;
    };
    // Up by "..", from the nearest open folder below.
    std::size_t below = level + 1;
    while (below < m_levels.size() && m_levels[below].fd < 0)
        ++below;
    if (below < m_levels.size()) {
        int current = m_levels[below].fd;
        bool transient = false;
        for (std::size_t at = below; at-- > level;) {
            const int up = OpenFolderAt(current, "..");
            if (transient) {
                close(current);
                NoteOpen(-1);
            }
            if (up < 0) {
                current = -1;
                break;
            }
            NoteOpen(1);
            current = up;
            transient = true;
            if (!matches(up, at)) {
                close(up);
                NoteOpen(-1);
                current = -1;
                break;
            }
        }
        if (current >= 0) {
            target.fd = current;
            ++m_reopened;
            return current;
        }
    }
    // Down by name from the nearest open folder above, each step checked.
    std::size_t above = level;
    while (above > 0 && m_levels[above].fd < 0)
        --above;
    if (m_levels[above].fd < 0) {
        errno = ESTALE;
        return -1;
    }
    int current = m_levels[above].fd;
    for (std::size_t at = above + 1; at <= level; ++at) {
        std::size_t start = m_levels[at - 1].end;
        while (start < m_levels[at].end && m_path[start] == '/')
            ++start;
        const std::string name = m_path.substr(start, m_levels[at].end - start);
        const int down = OpenFolderAt(current, name.c_str());
        if (current != m_levels[above].fd) {
            close(current);
            NoteOpen(-1);
        }
        if (down < 0)
            return -1;
        NoteOpen(1);
        current = down;
        if (!matches(down, at)) {
            close(down);
            NoteOpen(-1);
            errno = ESTALE;
            return -1;
        }
    }
    target.fd = current;
    ++m_reopened;
    return current;
}

int CLocalFileSystem::Resolve(const std::string& path)
{
    // How many levels of the cursor begin `path`, each ending at a
    // component boundary. Every level but the deepest is followed by a
    // separator in m_path, so only the deepest level within the shared
    // prefix needs its boundary checked.
    std::size_t common = 0;
    if (!m_levels.empty()) {
        const std::size_t same = CommonPrefixLength(path, m_path);
        common = static_cast<std::size_t>(
            std::upper_bound(m_levels.begin(), m_levels.end(), same,
                             [](std::size_t length, const Level& level) { return length < level.end; }) -
            m_levels.begin());
        if (common > 0) {
            const std::size_t end = m_levels[common - 1].end;
            if (end != path.size() && path[end] != '/' && (end == 0 || path[end - 1] != '/'))
                --common;
        }
    }
    if (common == 0) {
        // A new root: the path the user named, opened as it stands.
        CloseFrom(0);
        m_path.clear();
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return -1;
        NoteOpen(1);
        Identity identity;
        if (!IdentityOf(fd, identity)) {
            const int error = errno;
            close(fd);
            NoteOpen(-1);
            errno = error;
            return -1;
        }
        m_levels.push_back({path.size(), identity.device, identity.inode, fd, identity.mount});
        m_path = path;
        return fd;
    }
    const bool wasOpen = m_levels[common - 1].fd >= 0;
    int fd = Reopen(common - 1);
    const int reopenError = errno;
    CloseFrom(common);
    m_path.resize(m_levels.back().end);
    if (fd < 0) {
        errno = reopenError;
        return -1;
    }
    if (!wasOpen && common > 1)
        m_openLevels.push_back(common - 1);
    // Down one component at a time, never following a link.
    std::size_t position = m_path.size();
    while (position < path.size()) {
        if (path[position] == '/') {
            ++position;
            continue;
        }
        const std::size_t slash = path.find('/', position);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        const std::string name = path.substr(position, end - position);
        if (name == "." || name == "..") {
            errno = ENOENT;
            return -1;
        }
        const int child = OpenFolderAt(fd, name.c_str());
        if (child < 0)
            return -1;
        NoteOpen(1);
        Identity identity;
        if (!IdentityOf(child, identity)) {
            const int error = errno;
            close(child);
            NoteOpen(-1);
            errno = error;
            return -1;
        }
        m_levels.push_back({end, identity.device, identity.inode, child, identity.mount});
        m_openLevels.push_back(m_levels.size() - 1);
        m_path.append(path, m_path.size(), end - m_path.size());
        fd = child;
        position = end;
        KeepWithinBudget();
    }
    return fd;
}

bool CLocalFileSystem::ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                                  const std::function<bool(const ScanEntry&)>& onEntry)
{
    std::lock_guard lock(m_mutex);
    m_lastError = 0;
    errno = 0;
    const int fd = Resolve(path);
    if (fd < 0) {
        m_lastError = errno ? errno : ENOENT;
        return false;
    }
    if (mountId != 0 && m_levels.back().mount != mountId) {
        m_lastError = kOtherMount;
        return false;
    }
    // A listing read ahead from this very folder stands for reading it.
    if (m_listingSource && m_listingSource->TakeListing(m_levels.back().device, m_levels.back().inode, m_taken, stop)) {
        ++m_takenCount;
        for (const ScanEntry& entry : m_taken) {
            if (stop && stop())
                break;
            if (!onEntry(entry))
                break;
        }
        m_taken.clear();
        return true;
    }
    // The cursor's descriptor reads the listing from its start; its position
    // does not matter for opening the subfolders.
    if (lseek(fd, 0, SEEK_SET) != 0) {
        m_lastError = errno;
        return false;
    }
    const int error = ReadListing(fd, [&] { return !(stop && stop()); }, onEntry);
    if (error != 0)
        m_lastError = error;
    return error == 0;
}

void CLocalFileSystem::SetListingSource(IListingSource* source)
{
    std::lock_guard lock(m_mutex);
    m_listingSource = source;
}

std::size_t CLocalFileSystem::TakenListings() const
{
    std::lock_guard lock(m_mutex);
    return m_takenCount;
}

int CLocalFileSystem::TakeListError()
{
    std::lock_guard lock(m_mutex);
    const int error = m_lastError;
    m_lastError = 0;
    return error;
}

void CLocalFileSystem::EndWalk()
{
    std::lock_guard lock(m_mutex);
    CloseFrom(0);
    m_path.clear();
}

std::size_t CLocalFileSystem::PeakDescriptors() const
{
    std::lock_guard lock(m_mutex);
    return m_peak;
}

std::size_t CLocalFileSystem::ReopenCount() const
{
    std::lock_guard lock(m_mutex);
    return m_reopened;
}

} // namespace Velmora

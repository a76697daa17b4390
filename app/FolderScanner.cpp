#include "app/FolderScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
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

bool CLocalFileSystem::ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                                  const std::function<bool(const ScanEntry&)>& onEntry)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (mountId != 0 && MountKey(fd, "", AT_EMPTY_PATH) != mountId) {
        close(fd);
        return false;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return false;
    }
    ScanEntry scanned; // reused: its name keeps its storage
    while (const dirent* entry = readdir(dir)) {
        if (stop && stop())
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        scanned = ScanEntry{std::move(scanned.name)};
        scanned.name = name;
        if (entry->d_type == DT_DIR) {
            scanned.isFolder = true;
        } else {
            struct statx st {};
            if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                      STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME, &st) != 0)
                continue; // gone since the listing was read
            scanned.isFolder = S_ISDIR(st.stx_mode);
            if (!scanned.isFolder) {
                scanned.size = static_cast<std::int64_t>(st.stx_size);
                scanned.lastAccessTime = ToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
                scanned.lastWriteTime = ToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
                // A zero birth time counts as unrecorded.
                const bool hasBirth = (st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0);
                const auto& created = hasBirth ? st.stx_btime : st.stx_ctime;
                scanned.creationTime = ToFileTime(created.tv_sec, created.tv_nsec);
            }
        }
        if (!onEntry(scanned))
            break;
    }
    closedir(dir);
    return true;
}

CFolderScanner::CFolderScanner(std::vector<std::string> roots, std::shared_ptr<IScanFileSystem> fileSystem)
    : CThread(std::string()), m_roots(std::move(roots)), m_fileSystem(std::move(fileSystem))
{
}

CFolderScanner::~CFolderScanner()
{
    // The walk uses the drives: it must have ended before they go.
    StopAndJoin();
    std::vector<CFolderData*> drives;
    {
        std::lock_guard lock(m_lock);
        drives.swap(m_drives);
    }
    for (CFolderData* drive : drives)
        delete drive;
}

void CFolderScanner::AddListener(IScanListener* listener)
{
    if (!listener)
        return;
    std::lock_guard lock(m_lock);
    m_listeners.push_back(listener);
}

void CFolderScanner::RemoveListener(IScanListener* listener)
{
    if (!listener)
        return;
    std::lock_guard lock(m_lock);
    const auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end())
        m_listeners.erase(it);
}

std::vector<CFolderData*> CFolderScanner::GetDrives() const
{
    std::lock_guard lock(m_lock);
    return m_drives;
}

std::vector<IScanListener*> CFolderScanner::Snapshot() const
{
    std::lock_guard lock(m_lock);
    return m_listeners;
}

std::uint32_t CFolderScanner::Run()
{
    m_finished = false;
    struct CFinished {
        std::atomic<bool>& flag;
        ~CFinished() { flag = true; }
    } finished{m_finished};
    const std::vector<IScanListener*> listeners = Snapshot();
    std::vector<std::pair<std::string, std::uint64_t>> roots;
    if (m_roots.empty()) {
        for (const MountEntry& mount : SelectDrives(ParseMountTable(m_fileSystem->ReadMountTable())))
            roots.emplace_back(mount.path, m_fileSystem->MountOf(mount.path));
    } else {
        for (const std::string& root : m_roots)
            roots.emplace_back(root, m_fileSystem->MountOf(root));
    }
    // Every drive is created and announced before any is walked.
    for (const auto& [path, mountId] : roots) {
        auto* drive = new CFolderData(CString(path), nullptr);
        {
            std::lock_guard lock(m_lock);
            m_drives.push_back(drive);
            m_driveMounts.push_back(mountId);
        }
        for (IScanListener* listener : listeners)
            listener->OnRootFolder(drive);
    }
    for (std::size_t i = 0; i < roots.size(); ++i) {
        CFolderData* drive = nullptr;
        {
            std::lock_guard lock(m_lock);
            drive = m_drives[i];
        }
        ScanFolder(drive, roots[i].second, roots[i].first);
    }
    return 0;
}

void CFolderScanner::ScanFolder(CFolderData* folder)
{
    ScanFolder(folder, 0, folder->GetFullName().ToStdString());
}

void CFolderScanner::ScanFolder(CFolderData* folder, std::uint64_t mountId, const std::string& path)
{
    if (IsStopRequested())
        return;
    const std::vector<IScanListener*> listeners = Snapshot();
    // Entries are announced as the listing reads them; the listing is closed
    // before the subfolders are walked, so deep trees never hold more than
    // one folder open.
    bool stopped = false;
    const auto stop = [&] {
        stopped = stopped || IsStopRequested();
        return stopped;
    };
    m_fileSystem->ListFolder(path, mountId, stop, [&](const ScanEntry& entry) {
        if (stop())
            return false;
        if (entry.isFolder) {
            auto* child = new CFolderData(CString(entry.name), folder);
            folder->AddFolder(child);
            for (IScanListener* listener : listeners)
                listener->OnFolder(child);
            return true;
        }
        auto* file = new CFileData(CString(entry.name), folder, entry.size, entry.creationTime, entry.lastAccessTime,
                                   entry.lastWriteTime);
        folder->AddFile(file);
        for (IScanListener* listener : listeners) {
            if (stop())
                return false;
            listener->OnFile(file);
        }
        return true;
    });
    if (stopped)
        return;
    folder->BeginPopulate();
    for (CFolderData* subfolder : folder->GetFolders())
        ScanFolder(subfolder, mountId, JoinPath(CString(path), subfolder->GetName()).ToStdString());
    folder->EndPopulate();
}

} // namespace Velmora

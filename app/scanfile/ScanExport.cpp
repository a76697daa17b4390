#include "app/scanfile/ScanExport.h"

#include <sys/stat.h>

#include <cstdint>

#include "common/Calendar.h"

namespace Velmora::ScanFile {

std::int64_t UnixSeconds(std::int64_t fileTime) noexcept
{
    return fileTime / Kestrum::Common::kTicksPerSecond - Kestrum::Common::kFileTimeEpochOffset;
}

namespace {
// A listing tells a subfolder's name and type only (its status is not read,
// which keeps the walk as fast as the window's), so its time is unknown and
// its device that of its parent (the walk stays on the root's mount).
constexpr std::int64_t kUnknownTime = INT64_MIN;

struct Pending {
    std::string name;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t mtime = 0;
};

ScanRecord FileRecord(const ScanEntry& entry)
{
    ScanRecord record;
    record.name = entry.name;
    record.present = ScanRecord::Asize | ScanRecord::Dsize | ScanRecord::Mtime;
    record.asize = entry.size;
    record.dsize = entry.allocated;
    record.mtime = UnixSeconds(entry.lastWriteTime);
    // The other links of the inode are told by it: a reader counts its
    // blocks once.
    if (entry.links > 1) {
        record.present |= ScanRecord::Ino | ScanRecord::Nlink | ScanRecord::Hlnkc;
        record.ino = entry.inode;
        record.nlink = entry.links;
    }
    return record;
}

class CRootWalk {
public:
    CRootWalk(IScanFileSystem& fileSystem, IScanSink& sink, const std::function<bool()>& stop, ExportCounts& counts,
              const CExcludePatterns& exclude)
        : m_fileSystem(fileSystem), m_sink(sink), m_stop(stop), m_counts(counts), m_exclude(exclude)
    {
    }

    bool Walk(const std::string& root, std::string recordName)
    {
        // The root's device is written in the numbering other tools use
        // (st_dev), for a reader that compares devices.
        Pending top{std::move(recordName), 0, 0, kUnknownTime};
        struct stat st {};
        if (stat(root.c_str(), &st) == 0) {
            top.device = st.st_dev;
            top.inode = st.st_ino;
            top.mtime = st.st_mtim.tv_sec;
        }
        m_mount = m_fileSystem.MountOf(root);
        std::string path = root;
        if (!Enter(top, path, /*parentDevice*/ 0))
            return false;
        while (!m_levels.empty()) {
            Level& level = m_levels.back();
            if (level.next == level.subfolders.size()) {
                m_levels.pop_back();
                if (!m_sink.CloseFolder())
                    return false;
                continue;
            }
            Pending sub = std::move(level.subfolders[level.next++]);
            path.resize(level.pathLength);
            if (path.empty() || path.back() != '/')
                path.push_back('/');
            path.append(sub.name);
            if (!Enter(sub, path, level.device))
                return false;
        }
        return true;
    }

private:
    struct Level {
        std::vector<Pending> subfolders;
        std::size_t next = 0;
        std::size_t pathLength = 0;
        std::uint64_t device = 0;
    };

    // Lists the folder, then writes its record (which tells whether it
    // could be read), its files, and keeps its subfolders for later.
    bool Enter(const Pending& folder, const std::string& path, std::uint64_t parentDevice)
    {
        if (m_stop && m_stop())
            return false;
        ++m_counts.folders;
        m_files.clear();
        std::vector<Pending> subfolders;
        const bool excluded = m_exclude.Matches(path);
        const bool listed = !excluded && m_fileSystem.ListFolder(path, m_mount, m_stop, [&](const ScanEntry& entry) {
            if (entry.isFolder)
                subfolders.push_back({entry.name, 0, 0, kUnknownTime});
            else
                m_files.push_back(FileRecord(entry));
            return true;
        });
        const int error = excluded ? 0 : m_fileSystem.TakeListError();
        ScanRecord record;
        record.name = folder.name;
        if (folder.mtime != kUnknownTime) {
            record.present |= ScanRecord::Mtime;
            record.mtime = folder.mtime;
        }
        const std::uint64_t device = folder.device != 0 ? folder.device : parentDevice;
        if (device != parentDevice) {
            record.present |= ScanRecord::Dev;
            record.dev = folder.device;
        }
        if (excluded) {
            record.present |= ScanRecord::Excluded;
            record.excluded = "pattern";
        } else if (!listed && error == IScanFileSystem::kOtherMount) {
            record.present |= ScanRecord::Excluded;
            record.excluded = "othfs";
        } else if (!listed) {
            record.present |= ScanRecord::ReadError;
            ++m_counts.unreadable;
        }
        if (!m_sink.OpenFolder(record))
            return false;
        for (const ScanRecord& file : m_files)
            if (!m_sink.AddFile(file))
                return false;
        m_counts.files += static_cast<std::int64_t>(m_files.size());
        m_levels.push_back({std::move(subfolders), 0, path.size(), device});
        return true;
    }

    IScanFileSystem& m_fileSystem;
    IScanSink& m_sink;
    const std::function<bool()>& m_stop;
    ExportCounts& m_counts;
    const CExcludePatterns& m_exclude;
    std::uint64_t m_mount = 0;
    std::vector<Level> m_levels;
    std::vector<ScanRecord> m_files; // reused from folder to folder
};
} // namespace

bool ExportWalk(const std::vector<std::string>& roots, IScanFileSystem& fileSystem, IScanSink& sink,
                const std::function<bool()>& stop, ExportCounts* counts, const CExcludePatterns& exclude)
{
    ExportCounts ignored;
    ExportCounts& tally = counts ? *counts : ignored;
    bool ok = true;
    if (roots.size() == 1) {
        ok = CRootWalk(fileSystem, sink, stop, tally, exclude).Walk(roots[0], roots[0]);
    } else {
        ScanRecord top;
        top.name = "/";
        top.present = ScanRecord::Roots;
        ok = sink.OpenFolder(top);
        for (const std::string& root : roots) {
            if (!ok)
                break;
            ok = CRootWalk(fileSystem, sink, stop, tally, exclude).Walk(root, root);
        }
        ok = ok && sink.CloseFolder();
    }
    fileSystem.EndWalk();
    return ok;
}

} // namespace Velmora::ScanFile

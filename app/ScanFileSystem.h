// The scanner's seam to the platform: a folder listing's entries, the file
// system a walk lists folders through, listings read ahead, the mount table.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Velmora {

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

// Reads the listing of an open folder from its descriptor's position, in
// its order, skipping "." and ".." and entries gone since it was read.
// `proceed` is asked before each entry and `onEntry` is given each one (it
// may move from it); either ends the listing by answering false. Returns
// the errno of a failed read, else 0.
int ReadListing(int folderFd, const std::function<bool()>& proceed, const std::function<bool(ScanEntry&)>& onEntry);

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

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountTable(const std::string& text);
// The drives of a mount table: fixed and RAM file systems, one per device
// and root and one per path, ordered by mount path.
std::vector<MountEntry> SelectDrives(const std::vector<MountEntry>& mounts);
// File-time ticks (100 ns since 1601-01-01 UTC) of a Unix time.
std::int64_t ToFileTime(std::int64_t seconds, std::uint32_t nanoseconds);

} // namespace Velmora

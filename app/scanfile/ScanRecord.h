// One entry of a saved scan, as the JSON export format describes it: a
// folder's own record or a file. The format leaves most members out where
// they say nothing (no inode without hard links, no device where it is the
// parent's), so each optional member has a bit in `present`.
#pragma once

#include <cstdint>
#include <string>

namespace Velmora::ScanFile {

struct ScanRecord {
    enum Member : std::uint32_t {
        Asize = 1u << 0,
        Dsize = 1u << 1,
        Dev = 1u << 2,
        Ino = 1u << 3,
        Nlink = 1u << 4,
        Hlnkc = 1u << 5,
        Mtime = 1u << 6,
        ReadError = 1u << 7,
        Excluded = 1u << 8,
        NotReg = 1u << 9,
        // The root only: a holder of several roots, each a folder below it
        // named by its full path (written as "/", which every reader of the
        // format takes).
        Roots = 1u << 10,
    };
    std::string name; // bytes as the file system gave them, not necessarily UTF-8
    std::uint32_t present = 0;
    std::int64_t asize = 0; // apparent size in bytes
    std::int64_t dsize = 0; // bytes of the blocks on the disk
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::uint32_t nlink = 0;
    std::int64_t mtime = 0; // seconds since 1970
    std::string excluded;   // why it was not walked ("othfs", "pattern", ...)

    bool Has(Member member) const noexcept { return (present & member) != 0; }
    void Clear()
    {
        name.clear();
        excluded.clear();
        present = 0;
        asize = dsize = mtime = 0;
        dev = ino = 0;
        nlink = 0;
    }
};

// The major version of the format this program reads and writes; the
// minor one it writes, as the other tools of the format do.
inline constexpr unsigned kFormatMajor = 1;
inline constexpr unsigned kFormatMinor = 2;

// What a reader hands on, in file order: a folder's record before its
// entries, its end after them. Answering false stops the reading.
class IScanSink {
public:
    virtual bool OpenFolder(const ScanRecord& folder) = 0;
    virtual bool AddFile(const ScanRecord& file) = 0;
    virtual bool CloseFolder() = 0;

protected:
    ~IScanSink() = default;
};

} // namespace Velmora::ScanFile

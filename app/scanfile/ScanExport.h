// Walks folders straight into a scan file: no data objects are made, only
// the folders on the way down and their subfolders still to walk are kept,
// so an export of any tree costs little more memory than its deepest path.
// Like a walk for the window it never follows a symbolic link or leaves a
// root's file system: a folder on another one is written as excluded
// ("othfs"), one an exclude pattern matches as excluded ("pattern", never
// opened), one that cannot be listed with read_error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ExcludePatterns.h"
#include "app/ScanFileSystem.h"
#include "app/scanfile/ScanRecord.h"

namespace Velmora::ScanFile {

struct ExportCounts {
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::int64_t unreadable = 0;
};

// Several roots are written below a root record named "/" and marked as a
// holder of roots ("velmora_roots"), each named by its full path. `stop` (may be empty) is polled before each folder.
// False when the sink refused an entry or the stop was asked.
bool ExportWalk(const std::vector<std::string>& roots, IScanFileSystem& fileSystem, IScanSink& sink,
                const std::function<bool()>& stop = {}, ExportCounts* counts = nullptr,
                const CExcludePatterns& exclude = {});

// Seconds since 1970 of a file time (100 ns ticks since 1601).
std::int64_t UnixSeconds(std::int64_t fileTime) noexcept;

} // namespace Velmora::ScanFile

// Reads a scan in the JSON export format as a stream of events: the file is
// parsed by a SAX reader in its iterative mode, so no document is built and
// no depth of folders recurses; memory is the open folders and one record.
//
// A file that is not such a scan stops the reading with one line saying
// what and where: not JSON, cut short, another major version, a number too
// large for its member, a member of the wrong kind, a name that is empty,
// holds a NUL or (below the root) a '/'. Names may hold any other byte,
// also one that is no UTF-8: the other tools of the format write them so.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/scanfile/ScanRecord.h"
#include "app/scanfile/ScanStream.h"

namespace Velmora::ScanFile {

struct ReadOutcome {
    bool ok = false;
    bool stopped = false; // the progress callback or the sink asked to stop
    std::string error;    // one line, when neither ok nor stopped
};

// Asked about every 256 KiB with the bytes read and the file's size (0 when
// unknown); answering false stops the reading.
using ReadProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

ReadOutcome ReadScan(CInput& input, IScanSink& sink, const ReadProgress& progress = {});

} // namespace Velmora::ScanFile

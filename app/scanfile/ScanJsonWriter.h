// CScanJsonWriter: writes a scan in the JSON export format, entry by entry,
// so a walk can be written while it runs and nothing but the open folders
// is remembered:
//
//   [1,2,{"progname":"velmora","progver":"1.0","timestamp":T},
//   [{"name":"/root",...},{"name":"file",...},[{"name":"sub",...},...]]]
//
// Names are the file system's bytes: '"', '\' and control characters are
// escaped, every other byte (also one that is no UTF-8) is written as it is,
// which is what the other tools of the format write and read back.
#pragma once

#include <cstdint>
#include <string>

#include "app/scanfile/ScanRecord.h"
#include "app/scanfile/ScanStream.h"

namespace Velmora::ScanFile {

class CScanJsonWriter : public IScanSink {
public:
    CScanJsonWriter(COutput& output, std::int64_t timestamp);
    ~CScanJsonWriter();
    CScanJsonWriter(const CScanJsonWriter&) = delete;
    CScanJsonWriter& operator=(const CScanJsonWriter&) = delete;

    bool OpenFolder(const ScanRecord& folder) override;
    bool AddFile(const ScanRecord& file) override;
    bool CloseFolder() override;
    // Closes what is open and the document; false when a write failed.
    bool Finish();
    bool Failed() const noexcept { return m_failed; }

    // The JSON string (quotes included) of a name.
    static void AppendString(std::string& out, const std::string& bytes);

private:
    void AppendRecord(const ScanRecord& record);
    void Flush();

    COutput& m_output;
    std::string m_buffer;
    std::size_t m_depth = 0;
    bool m_failed = false;
    bool m_finished = false;
};

} // namespace Velmora::ScanFile

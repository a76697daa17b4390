// Feeds arbitrary bytes to the scan file reader. It must answer, never crash,
// recurse or hang, and keep its promises: the events it hands on nest (a
// folder is closed only after it was opened, none below the root has a name
// with '/' or NUL), and a failure is one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/scanfile/ScanJsonReader.h"

using namespace Velmora::ScanFile;

namespace {
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The input in small pieces, so records cross the reader's refills.
class CMemoryInput : public CInput {
public:
    CMemoryInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Read(char* out, std::size_t size) override
    {
        const std::size_t n = std::min({size, m_size - m_at, std::size_t{7}});
        std::memcpy(out, m_data + m_at, n);
        m_at += n;
        return n;
    }
    std::string Error() const override { return {}; }
    std::uint64_t Position() const override { return m_at; }
    std::uint64_t Size() const override { return m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

class CCheckingSink : public IScanSink {
public:
    bool OpenFolder(const ScanRecord& folder) override
    {
        CheckName(folder.name);
        ++depth;
        return true;
    }
    bool AddFile(const ScanRecord& file) override
    {
        Check(depth > 0);
        CheckName(file.name);
        Check(file.asize >= 0 && file.dsize >= 0);
        return true;
    }
    bool CloseFolder() override
    {
        Check(depth > 0);
        --depth;
        return true;
    }
    std::size_t depth = 0;

private:
    void CheckName(const std::string& name)
    {
        Check(name.find('\0') == std::string::npos);
        if (depth > 1)
            Check(!name.empty() && name.find('/') == std::string::npos);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemoryInput input(data, size);
    CCheckingSink sink;
    const ReadOutcome outcome = ReadScan(input, sink);
    Check(outcome.ok || !outcome.error.empty());
    Check(outcome.error.find('\n') == std::string::npos);
    if (outcome.ok)
        Check(sink.depth == 0);
    return 0;
}

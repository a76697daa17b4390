#include "app/scanfile/ScanJsonWriter.h"

#include <charconv>

namespace Velmora::ScanFile {

namespace {
constexpr std::size_t kFlushAt = 1 << 16;

template <typename T>
void AppendNumber(std::string& out, T value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

template <typename T>
void AppendMember(std::string& out, const char* key, T value)
{
    out.append(",\"").append(key).append("\":");
    AppendNumber(out, value);
}
} // namespace

CScanJsonWriter::CScanJsonWriter(COutput& output, std::int64_t timestamp) : m_output(output)
{
    m_buffer.reserve(kFlushAt + 4096);
    m_buffer.append("[");
    AppendNumber(m_buffer, kFormatMajor);
    m_buffer.append(",");
    AppendNumber(m_buffer, kFormatMinor);
    m_buffer.append(",{\"progname\":\"velmora\",\"progver\":\"1.0\",\"timestamp\":");
    AppendNumber(m_buffer, timestamp);
    m_buffer.append("}");
}

CScanJsonWriter::~CScanJsonWriter() { Finish(); }

void CScanJsonWriter::AppendString(std::string& out, const std::string& bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\t': out.append("\\t"); break;
        case '\r': out.append("\\r"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                out.append("\\u00");
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

void CScanJsonWriter::AppendRecord(const ScanRecord& record)
{
    m_buffer.append("{\"name\":");
    AppendString(m_buffer, record.name);
    if (record.Has(ScanRecord::Asize))
        AppendMember(m_buffer, "asize", record.asize);
    if (record.Has(ScanRecord::Dsize))
        AppendMember(m_buffer, "dsize", record.dsize);
    if (record.Has(ScanRecord::Dev))
        AppendMember(m_buffer, "dev", record.dev);
    if (record.Has(ScanRecord::Ino))
        AppendMember(m_buffer, "ino", record.ino);
    if (record.Has(ScanRecord::Hlnkc))
        m_buffer.append(",\"hlnkc\":true");
    if (record.Has(ScanRecord::Nlink))
        AppendMember(m_buffer, "nlink", record.nlink);
    if (record.Has(ScanRecord::Mtime))
        AppendMember(m_buffer, "mtime", record.mtime);
    if (record.Has(ScanRecord::ReadError))
        m_buffer.append(",\"read_error\":true");
    if (record.Has(ScanRecord::Excluded)) {
        m_buffer.append(",\"excluded\":");
        AppendString(m_buffer, record.excluded);
    }
    if (record.Has(ScanRecord::NotReg))
        m_buffer.append(",\"notreg\":true");
    if (record.Has(ScanRecord::Roots))
        m_buffer.append(",\"velmora_roots\":true");
    m_buffer.push_back('}');
    if (m_buffer.size() >= kFlushAt)
        Flush();
}

void CScanJsonWriter::Flush()
{
    if (!m_failed && !m_buffer.empty() && !m_output.Write(m_buffer.data(), m_buffer.size()))
        m_failed = true;
    m_buffer.clear();
}

bool CScanJsonWriter::OpenFolder(const ScanRecord& folder)
{
    // Only one root: the format has one tree.
    if (m_finished || (m_depth == 0 && m_buffer.empty() && m_failed))
        return false;
    m_buffer.append(",\n[");
    AppendRecord(folder);
    ++m_depth;
    return !m_failed;
}

bool CScanJsonWriter::AddFile(const ScanRecord& file)
{
    if (m_depth == 0)
        return false;
    m_buffer.append(",\n");
    AppendRecord(file);
    return !m_failed;
}

bool CScanJsonWriter::CloseFolder()
{
    if (m_depth == 0)
        return false;
    m_buffer.push_back(']');
    --m_depth;
    return !m_failed;
}

bool CScanJsonWriter::Finish()
{
    if (m_finished)
        return !m_failed;
    while (m_depth > 0)
        CloseFolder();
    m_buffer.append("]\n");
    Flush();
    m_finished = true;
    return !m_failed;
}

} // namespace Velmora::ScanFile

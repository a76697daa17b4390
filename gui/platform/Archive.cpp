#include "gui/platform/Archive.h"

#include <cstring>
#include <map>
#include <mutex>

namespace Kestrum::GUI {

namespace {
struct CClassRegistry {
    std::mutex mutex;
    std::map<std::string, ArchiveCreator> creators;
};

CClassRegistry& Registry()
{
    static CClassRegistry registry;
    return registry;
}

constexpr std::size_t kMaxString = 0x7FFFFFFF;
} // namespace

bool RegisterArchiveClass(const std::string& name, ArchiveCreator creator)
{
    std::lock_guard lock(Registry().mutex);
    return Registry().creators.emplace(name, std::move(creator)).second;
}

CArchiveObject* CreateArchiveObject(const std::string& name)
{
    ArchiveCreator creator;
    {
        std::lock_guard lock(Registry().mutex);
        const auto it = Registry().creators.find(name);
        if (it == Registry().creators.end())
            return nullptr;
        creator = it->second;
    }
    return creator ? creator() : nullptr;
}

bool IsArchiveClassRegistered(const std::string& name)
{
    std::lock_guard lock(Registry().mutex);
    return Registry().creators.count(name) != 0;
}

CArchive::CArchive() : m_mode(Store) {}

CArchive::CArchive(std::vector<std::uint8_t> bytes) : m_mode(Load), m_bytes(std::move(bytes)) {}

CArchive::CArchive(const void* data, std::size_t size) : m_mode(Load)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes && size)
        m_bytes.assign(bytes, bytes + size);
}

void CArchive::ThrowBadSchema(const std::string& what)
{
    throw CArchiveException(CArchiveException::BadSchema, what);
}

bool CArchive::ReadVersion(const char* what)
{
    const std::int32_t version = ReadInt32();
    if (version > 1)
        ThrowBadSchema(std::string(what) + " record of a newer version");
    return version >= 1;
}

void CArchive::RequireMode(Mode mode) const
{
    if (m_mode != mode)
        throw CArchiveException(CArchiveException::WrongMode,
                                mode == Store ? "Archive is open for loading" : "Archive is open for storing");
}

const std::uint8_t* CArchive::Take(std::size_t count)
{
    RequireMode(Load);
    if (count > GetRemaining())
        throw CArchiveException(CArchiveException::EndOfFile, "Archive ends before the end of its data");
    const std::uint8_t* start = m_bytes.data() + m_position;
    m_position += count;
    return start;
}

void CArchive::RequireCount(std::int64_t count, std::size_t minimumBytes) const
{
    if (count < 0 || static_cast<std::uint64_t>(count) * minimumBytes > GetRemaining())
        throw CArchiveException(CArchiveException::EndOfFile, "Archive holds a count larger than its data");
}

void CArchive::WriteBytes(const void* data, std::size_t count)
{
    RequireMode(Store);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (count)
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
}

void CArchive::WriteUInt32(std::uint32_t value)
{
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    WriteBytes(bytes, 4);
}

void CArchive::WriteInt32(std::int32_t value) { WriteUInt32(static_cast<std::uint32_t>(value)); }

void CArchive::WriteInt64(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    WriteUInt32(static_cast<std::uint32_t>(bits));
    WriteUInt32(static_cast<std::uint32_t>(bits >> 32));
}

void CArchive::WriteByte(std::uint8_t value) { WriteBytes(&value, 1); }

void CArchive::WriteString(const std::string& value)
{
    if (value.size() > kMaxString)
        throw CArchiveException(CArchiveException::Generic, "String too long for an archive");
    WriteUInt32(static_cast<std::uint32_t>(value.size()));
    WriteBytes(value.data(), value.size());
}

void CArchive::WriteClass(const std::string& className) { WriteString(className); }

void CArchive::WriteObject(CArchiveObject* object)
{
    if (!object) {
        WriteClass(std::string());
        return;
    }
    WriteClass(object->GetRuntimeClassName());
    object->Serialize(*this);
}

std::uint32_t CArchive::ReadUInt32()
{
    const std::uint8_t* b = Take(4);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::int32_t CArchive::ReadInt32() { return static_cast<std::int32_t>(ReadUInt32()); }

std::int64_t CArchive::ReadInt64()
{
    const std::size_t start = m_position;
    try {
        const std::uint64_t low = ReadUInt32();
        const std::uint64_t high = ReadUInt32();
        return static_cast<std::int64_t>(low | high << 32);
    } catch (...) {
        m_position = start;
        throw;
    }
}

std::uint8_t CArchive::ReadByte() { return *Take(1); }

std::string CArchive::ReadString()
{
    const std::size_t start = m_position;
    const std::uint32_t length = ReadUInt32();
    if (length > kMaxString || length > GetRemaining()) {
        m_position = start;
        throw CArchiveException(CArchiveException::EndOfFile, "Archive string is longer than its data");
    }
    const std::uint8_t* text = Take(length);
    return std::string(reinterpret_cast<const char*>(text), length);
}

void CArchive::ReadBytes(void* data, std::size_t count)
{
    const std::uint8_t* source = Take(count);
    if (count)
        std::memcpy(data, source, count);
}

std::string CArchive::ReadClass()
{
    std::string name = ReadString();
    if (!name.empty() && !IsArchiveClassRegistered(name))
        throw CArchiveException(CArchiveException::BadClass, "Archive names an unknown class " + name);
    return name;
}

} // namespace Kestrum::GUI

#include "common/Serializer.h"

#include <cstring>
#include <limits>
#include <vector>

#include "common/Value.h"

namespace Kestrum::Common {

namespace {
constexpr const char* kOpenedForRestore = "Serializer was opened for restore operations";
constexpr const char* kOpenedForStore = "Serializer was opened for store operations";
constexpr const char* kNotEnoughSpace = "Not enough space to restore the value";
constexpr const char* kGetDataOnRestore = "Serializer was opened for the restore operation";
constexpr const char* kSetDataOnStore = "Serializer was opened for the store operation";
// The buffer is addressed with 32-bit offsets.
constexpr std::size_t kMaxBuffer = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

template <class U> void AppendLittleEndian(std::vector<std::uint8_t>& out, U bits)
{
    for (std::size_t i = 0; i < sizeof(U); ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

template <class U> U ReadLittleEndian(const std::uint8_t* in)
{
    U bits = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        bits = static_cast<U>(bits | (static_cast<U>(in[i]) << (8 * i)));
    return bits;
}
} // namespace

struct CSerializer::Impl {
    std::vector<std::uint8_t> buffer;
    std::int32_t position = 0;
    Mode mode = StoreMode;

    void RequireStore() const
    {
        if (mode != StoreMode)
            throw SerializationException(kOpenedForRestore);
    }
    void RequireRestore() const
    {
        if (mode != RestoreMode)
            throw SerializationException(kOpenedForStore);
    }
    std::int32_t Remaining() const { return static_cast<std::int32_t>(buffer.size()) - position; }
    // Checks that `count` bytes may be taken; returns where they start.
    const std::uint8_t* Peek(std::int64_t count) const
    {
        RequireRestore();
        if (count <= 0 || count > Remaining())
            throw SerializationException(kNotEnoughSpace);
        return buffer.data() + position;
    }
    void Append(const void* data, std::size_t count)
    {
        RequireStore();
        if (count > kMaxBuffer - buffer.size())
            throw SerializationException("Serializer buffer is full");
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        buffer.insert(buffer.end(), bytes, bytes + count);
    }
    template <class U> void StoreBits(U bits)
    {
        std::uint8_t bytes[sizeof(U)];
        for (std::size_t i = 0; i < sizeof(U); ++i)
            bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
        Append(bytes, sizeof(U));
    }
    template <class U> U RestoreBits()
    {
        const U bits = ReadLittleEndian<U>(Peek(sizeof(U)));
        position += static_cast<std::int32_t>(sizeof(U));
        return bits;
    }
    // A string's body: the 32-bit length was read at `start`.
    std::string RestoreString()
    {
        const std::int32_t start = position;
        const auto length = static_cast<std::int32_t>(RestoreBits<std::uint32_t>());
        if (length == 0)
            return {};
        // The n + 1 bytes are checked in 64 bits so a length of 0x7FFFFFFF
        // cannot wrap; a negative length is invalid data.
        if (length < 0 || static_cast<std::int64_t>(length) + 1 > Remaining()) {
            position = start;
            throw SerializationException(kNotEnoughSpace);
        }
        const auto* text = reinterpret_cast<const char*>(buffer.data() + position);
        position += length + 1;
        return std::string(text, strnlen(text, static_cast<std::size_t>(length) + 1));
    }
};

CSerializer::CSerializer(Mode mode) : m_impl(std::make_unique<Impl>()) { m_impl->mode = mode; }
CSerializer::~CSerializer() = default;

bool CSerializer::IsRestoring() const noexcept { return m_impl->mode == RestoreMode; }

bool CSerializer::StoreBytes(const void* data, std::int32_t count)
{
    m_impl->RequireStore();
    if (!data || count <= 0)
        return false;
    m_impl->Append(data, static_cast<std::size_t>(count));
    return true;
}

void CSerializer::Store(std::int8_t value) { m_impl->StoreBits(static_cast<std::uint8_t>(value)); }
void CSerializer::Store(std::uint8_t value) { m_impl->StoreBits(value); }
void CSerializer::Store(std::int16_t value) { m_impl->StoreBits(static_cast<std::uint16_t>(value)); }
void CSerializer::Store(std::uint16_t value) { m_impl->StoreBits(value); }
void CSerializer::Store(std::int32_t value) { m_impl->StoreBits(static_cast<std::uint32_t>(value)); }
void CSerializer::Store(std::uint32_t value) { m_impl->StoreBits(value); }
void CSerializer::Store(std::int64_t value) { m_impl->StoreBits(static_cast<std::uint64_t>(value)); }
void CSerializer::Store(bool value) { m_impl->StoreBits(static_cast<std::uint8_t>(value ? 1 : 0)); }

void CSerializer::Store(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    m_impl->StoreBits(bits);
}

void CSerializer::Store(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    m_impl->StoreBits(bits);
}

void CSerializer::Store(const std::string& value)
{
    m_impl->RequireStore();
    if (value.size() >= kMaxBuffer)
        throw SerializationException("Serializer buffer is full");
    const auto length = static_cast<std::int32_t>(value.size());
    // Build the record first so a full buffer leaves nothing half written.
    std::vector<std::uint8_t> record;
    record.reserve(value.size() + 5);
    AppendLittleEndian(record, static_cast<std::uint32_t>(length));
    if (length > 0) {
        record.insert(record.end(), value.begin(), value.end());
        record.push_back(0);
    }
    m_impl->Append(record.data(), record.size());
}

void CSerializer::Store(const CString& value) { Store(value.ToStdString()); }

void CSerializer::Store(const CValue& value)
{
    m_impl->RequireStore();
    CSerializer record(StoreMode);
    auto& out = *record.m_impl;
    out.StoreBits(std::uint8_t{1});
    out.StoreBits(static_cast<std::uint8_t>(value.GetType()));
    switch (value.GetType()) {
    case FT_MFCSTRING: record.Store(value.Get<CString>()); break;
    case FT_STLSTRING: record.Store(value.Get<std::string>()); break;
    case FT_CHAR: record.Store(value.Get<std::int8_t>()); break;
    case FT_UCHAR: record.Store(value.Get<std::uint8_t>()); break;
    case FT_SHORT: record.Store(value.Get<std::int16_t>()); break;
    case FT_USHORT: record.Store(value.Get<std::uint16_t>()); break;
    case FT_LONG: record.Store(value.Get<std::int32_t>()); break;
    case FT_ULONG: record.Store(value.Get<std::uint32_t>()); break;
    case FT_INT64: record.Store(value.Get<std::int64_t>()); break;
    case FT_BOOL: record.Store(value.Get<bool>()); break;
    case FT_FLOAT: record.Store(value.Get<float>()); break;
    case FT_DOUBLE: record.Store(value.Get<double>()); break;
    case FT_EMPTY:
    case FT_HANDLE: break; // the code only; a handle has no stored form
    }
    m_impl->Append(out.buffer.data(), out.buffer.size());
}

void CSerializer::RestoreBytes(void* data, std::int32_t count)
{
    if (!data) {
        m_impl->RequireRestore();
        throw SerializationException(kNotEnoughSpace);
    }
    const std::uint8_t* source = m_impl->Peek(count);
    std::memcpy(data, source, static_cast<std::size_t>(count));
    m_impl->position += count;
}

void CSerializer::Restore(std::int8_t& value) { value = static_cast<std::int8_t>(m_impl->RestoreBits<std::uint8_t>()); }
void CSerializer::Restore(char& value) { value = static_cast<char>(m_impl->RestoreBits<std::uint8_t>()); }
void CSerializer::Restore(std::uint8_t& value) { value = m_impl->RestoreBits<std::uint8_t>(); }
void CSerializer::Restore(std::int16_t& value) { value = static_cast<std::int16_t>(m_impl->RestoreBits<std::uint16_t>()); }
void CSerializer::Restore(std::uint16_t& value) { value = m_impl->RestoreBits<std::uint16_t>(); }
void CSerializer::Restore(std::int32_t& value) { value = static_cast<std::int32_t>(m_impl->RestoreBits<std::uint32_t>()); }
void CSerializer::Restore(std::uint32_t& value) { value = m_impl->RestoreBits<std::uint32_t>(); }
void CSerializer::Restore(std::int64_t& value) { value = static_cast<std::int64_t>(m_impl->RestoreBits<std::uint64_t>()); }
void CSerializer::Restore(bool& value) { value = m_impl->RestoreBits<std::uint8_t>() != 0; }

void CSerializer::Restore(double& value)
{
    const auto bits = m_impl->RestoreBits<std::uint64_t>();
    std::memcpy(&value, &bits, sizeof value);
}

void CSerializer::Restore(float& value)
{
    const auto bits = m_impl->RestoreBits<std::uint32_t>();
    std::memcpy(&value, &bits, sizeof value);
}

void CSerializer::Restore(std::string& value) { value = m_impl->RestoreString(); }
void CSerializer::Restore(CString& value) { value = CString(m_impl->RestoreString()); }

void CSerializer::Restore(CValue& value)
{
    m_impl->RequireRestore();
    value.Clear();
    const std::int32_t start = m_impl->position;
    try {
        if (m_impl->RestoreBits<std::uint8_t>() == 0)
            return;
        const std::int32_t code = m_impl->RestoreBits<std::uint8_t>();
        switch (code) {
        case FT_MFCSTRING: value = CValue(CString(m_impl->RestoreString())); break;
        case FT_STLSTRING: value = CValue(m_impl->RestoreString()); break;
        case FT_CHAR: value = CValue(static_cast<std::int8_t>(m_impl->RestoreBits<std::uint8_t>())); break;
        case FT_UCHAR: value = CValue(m_impl->RestoreBits<std::uint8_t>()); break;
        case FT_SHORT: value = CValue(static_cast<std::int16_t>(m_impl->RestoreBits<std::uint16_t>())); break;
        case FT_USHORT: value = CValue(m_impl->RestoreBits<std::uint16_t>()); break;
        case FT_LONG: value = CValue(static_cast<std::int32_t>(m_impl->RestoreBits<std::uint32_t>())); break;
        case FT_ULONG: value = CValue(m_impl->RestoreBits<std::uint32_t>()); break;
        case FT_INT64: value = CValue(static_cast<std::int64_t>(m_impl->RestoreBits<std::uint64_t>())); break;
        case FT_BOOL: value = CValue(m_impl->RestoreBits<std::uint8_t>() != 0); break;
        case FT_FLOAT: { float f; Restore(f); value = CValue(f); break; }
        case FT_DOUBLE: { double d; Restore(d); value = CValue(d); break; }
        default: break; // unknown code, 0 or 13: nothing further, the value stays empty
        }
    } catch (...) {
        m_impl->position = start;
        throw;
    }
}

std::int32_t CSerializer::GetSize() const noexcept { return static_cast<std::int32_t>(m_impl->buffer.size()); }

std::int32_t CSerializer::GetData(void* destination) const
{
    if (m_impl->mode == RestoreMode)
        throw SerializationException(kGetDataOnRestore);
    if (!destination)
        return 0;
    if (!m_impl->buffer.empty())
        std::memcpy(destination, m_impl->buffer.data(), m_impl->buffer.size());
    return GetSize();
}

void CSerializer::SetData(const void* data, std::int32_t count)
{
    if (m_impl->mode == StoreMode)
        throw SerializationException(kSetDataOnStore);
    if (!data || count <= 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_impl->buffer.assign(bytes, bytes + count);
    m_impl->position = 0;
}

std::int32_t CSerializer::GetRemaining() const noexcept
{
    return m_impl->mode == RestoreMode ? m_impl->Remaining() : 0;
}

std::int32_t CSerializer::GetPosition() const noexcept { return m_impl->position; }

} // namespace Kestrum::Common

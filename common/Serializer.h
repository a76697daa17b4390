// CSerializer: an in-memory byte buffer opened either for storing or for
// restoring, with the library's fixed little-endian layout.
//
// Every number is written with its stated width, least significant byte
// first, with no padding. Strings are a 32-bit length n and, when n > 0, the
// n bytes and a terminating zero. A failing call throws and leaves the buffer
// and the read position as they were; counts read from the buffer are checked
// against the bytes that remain before anything is allocated.
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <memory>
#include <string>

#include "common/Exceptions.h"
#include "common/String.h"

namespace Kestrum::Common {

class CValue;

inline constexpr std::int32_t SERIALIZATION_VERSION = 1;

class KESTRUM_COMMON_EXPORT CSerializer {
public:
    enum Mode : std::int32_t { StoreMode = 0, RestoreMode = 1 };

    struct SerializationException : CommonException {
        using CommonException::CommonException;
    };
    struct BadVersionException : SerializationException {
        using SerializationException::SerializationException;
    };

    explicit CSerializer(Mode mode);
    CSerializer(const CSerializer&) = delete;
    CSerializer& operator=(const CSerializer&) = delete;
    ~CSerializer();

    bool IsRestoring() const noexcept;

    // Store forms (throw on a restore-mode serializer).
    bool StoreBytes(const void* data, std::int32_t count);
    void Store(std::int8_t value);
    void Store(char value) { Store(static_cast<std::int8_t>(value)); }
    void Store(std::uint8_t value);
    void Store(std::int16_t value);
    void Store(std::uint16_t value);
    void Store(std::int32_t value);
    void Store(std::uint32_t value);
    void Store(std::int64_t value);
    void Store(double value);
    void Store(float value);
    void Store(bool value);
    void Store(const std::string& value);
    void Store(const CString& value);
    void Store(const CValue& value);

    // Restore forms (throw on a store-mode serializer or when the bytes run out).
    void RestoreBytes(void* data, std::int32_t count);
    void Restore(std::int8_t& value);
    void Restore(char& value);
    void Restore(std::uint8_t& value);
    void Restore(std::int16_t& value);
    void Restore(std::uint16_t& value);
    void Restore(std::int32_t& value);
    void Restore(std::uint32_t& value);
    void Restore(std::int64_t& value);
    void Restore(double& value);
    void Restore(float& value);
    void Restore(bool& value);
    void Restore(std::string& value);
    void Restore(CString& value);
    void Restore(CValue& value);

    std::int32_t GetSize() const noexcept;
    // Copies the whole buffer into `destination` (at least GetSize bytes).
    std::int32_t GetData(void* destination) const;
    // Replaces the buffer of a restore-mode serializer and rewinds it.
    void SetData(const void* data, std::int32_t count);

    // Bytes left to restore.
    std::int32_t GetRemaining() const noexcept;
    std::int32_t GetPosition() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Kestrum::Common

// Integer and boolean formats.
//
// Word-sized formats (CLongFormat, CULongFormat, CInt64Format, CShortFormat,
// CUShortFormat) print decimal with an optional group separator, or upper-case
// hexadecimal with an optional "0x" prefix and zero padding; they parse
// leniently but never wrap: a number that does not fit fails the parse.
// Byte formats (CCharFormat, CUCharFormat) print decimal, hexadecimal or the
// byte as a character.
#pragma once

#include "common/Export.h"

#include <optional>

#include "common/Format.h"

namespace Kestrum::Common {

template <class T>
class KESTRUM_COMMON_EXPORT CWordFormat : public CTypedFormat<T> {
public:
    using CTypedFormat<T>::FormatValue;
    using CTypedFormat<T>::ParseValue;

    std::string FormatValue(T value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, T& out, CDataObject* owner) const override;
    void Serialize(CSerializer& serializer) override;

    std::int32_t GetMode() const noexcept { return m_mode; }
    bool GetShowZero() const noexcept { return m_showZero; }
    char GetGroupSeparator() const noexcept { return m_groupSeparator; }
    bool GetHexPrefix() const noexcept { return m_hexPrefix; }
    bool GetZeroPadding() const noexcept { return m_zeroPadding; }

protected:
    CWordFormat(std::int32_t mode, bool showZero, char groupSeparator, bool hexPrefix, bool zeroPadding);

private:
    std::int32_t m_mode;
    bool m_showZero;
    char m_groupSeparator;
    bool m_hexPrefix;
    bool m_zeroPadding;
};

#define KESTRUM_WORD_FORMAT(Class, T, PADDING)                                                                 \
    class Class final : public CWordFormat<T> {                                                               \
    public:                                                                                                   \
        explicit Class(std::int32_t mode = 0, bool showZero = true, char groupSeparator = ' ',                \
                       bool hexPrefix = true, bool zeroPadding = PADDING)                                     \
            : CWordFormat(mode, showZero, groupSeparator, hexPrefix, zeroPadding)                             \
        {                                                                                                     \
        }                                                                                                     \
        CFormat* Clone() const override { return new Class(*this); }                                          \
        std::string GetClassName() const override { return "Common::" #Class; }                              \
    }

KESTRUM_WORD_FORMAT(CLongFormat, std::int32_t, false);
KESTRUM_WORD_FORMAT(CULongFormat, std::uint32_t, false);
KESTRUM_WORD_FORMAT(CInt64Format, std::int64_t, false);
KESTRUM_WORD_FORMAT(CShortFormat, std::int16_t, true);
KESTRUM_WORD_FORMAT(CUShortFormat, std::uint16_t, true);
#undef KESTRUM_WORD_FORMAT

template <class T>
class KESTRUM_COMMON_EXPORT CByteFormat : public CTypedFormat<T> {
public:
    using CTypedFormat<T>::FormatValue;
    using CTypedFormat<T>::ParseValue;

    enum Mode : std::int32_t { Decimal = 0, Hexadecimal = 1, Character = 2 };

    std::string FormatValue(T value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, T& out, CDataObject* owner) const override;
    void Serialize(CSerializer& serializer) override;

    std::int32_t GetMode() const noexcept { return m_mode; }
    // Stored with the settings; it has no effect on the text.
    bool GetReservedFlag() const noexcept { return m_reservedFlag; }
    bool GetHexPrefix() const noexcept { return m_hexPrefix; }
    bool GetZeroPadding() const noexcept { return m_zeroPadding; }

protected:
    CByteFormat(std::int32_t mode, bool reservedFlag, bool hexPrefix, bool zeroPadding);

private:
    std::int32_t m_mode;
    bool m_reservedFlag;
    bool m_hexPrefix;
    bool m_zeroPadding;
};

#define KESTRUM_BYTE_FORMAT(Class, T)                                                                          \
    class Class final : public CByteFormat<T> {                                                               \
    public:                                                                                                   \
        explicit Class(std::int32_t mode = Character, bool reservedFlag = true, bool hexPrefix = true,        \
                       bool zeroPadding = true)                                                               \
            : CByteFormat(mode, reservedFlag, hexPrefix, zeroPadding)                                         \
        {                                                                                                     \
        }                                                                                                     \
        CFormat* Clone() const override { return new Class(*this); }                                          \
        std::string GetClassName() const override { return "Common::" #Class; }                              \
    }

KESTRUM_BYTE_FORMAT(CCharFormat, std::int8_t);
KESTRUM_BYTE_FORMAT(CUCharFormat, std::uint8_t);
#undef KESTRUM_BYTE_FORMAT

class KESTRUM_COMMON_EXPORT CBoolFormat final : public CTypedFormat<bool> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;

    CBoolFormat() noexcept : CTypedFormat(FT_BOOL) {}
    std::string FormatValue(bool value, CDataObject* owner) const override;
    // True exactly for "true" in any case, ignoring white space anywhere.
    bool ParseValue(const std::string& text, bool& out, CDataObject* owner) const override;
    CFormat* Clone() const override { return new CBoolFormat(*this); }
    std::string GetClassName() const override { return "Common::CBoolFormat"; }
    void Serialize(CSerializer& serializer) override;
};

// The shared hexadecimal parse of the integer formats: nullopt on failure.
KESTRUM_COMMON_EXPORT std::optional<std::uint64_t> ParseHexText(const std::string& text, std::uint64_t maximum);

} // namespace Kestrum::Common

// Date and time formats: file times (CInt64DateFormat), 32-bit calendar
// times in local time (CLongDateFormat) and durations in milliseconds
// (CLongMsecTimeFormat).
#pragma once

#include "common/Export.h"

#include <memory>
#include <string>

#include "common/Format.h"

namespace Kestrum::Common {

// The process-wide date and time settings the date formats read at every
// conversion. Nothing changes them.
struct KESTRUM_COMMON_EXPORT DateTimeSettings {
    std::int32_t dateOrder = 0; // 0 day-month-year, 1 month-day-year, 2 year-month-day
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
};
KESTRUM_COMMON_EXPORT const DateTimeSettings& GetDateTimeSettings();

// Flag bits of the two date formats.
enum DateFlags : std::int32_t {
    DF_YEAR4 = 1,
    DF_YEAR2 = 2,
    DF_MONTH = 4,
    DF_DAY = 8,
    DF_HOUR = 16,
    DF_MINUTE = 32,
    DF_SECOND = 64,
    DF_MILLISECOND = 128,
};

// Unit bits of the duration format.
enum DurationUnits : std::int32_t {
    DU_DAYS = 1,
    DU_HOURS = 2,
    DU_MINUTES = 4,
    DU_SECONDS = 8,
    DU_MILLISECONDS = 16,
};

class KESTRUM_COMMON_EXPORT CInt64DateFormat final : public CTypedFormat<std::int64_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;

    explicit CInt64DateFormat(std::int32_t flags = DF_YEAR2 | DF_MONTH | DF_DAY) noexcept
        : CTypedFormat(FT_INT64), m_flags(flags)
    {
    }
    std::string FormatValue(std::int64_t value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, std::int64_t& out, CDataObject* owner) const override;
    bool IsDateTimeFormat() const override { return true; }
    CFormat* Clone() const override { return new CInt64DateFormat(*this); }
    std::string GetClassName() const override { return "Common::CInt64DateFormat"; }
    void Serialize(CSerializer& serializer) override;
    virtual std::int32_t GetFlags() const { return m_flags; }

private:
    std::int32_t m_flags;
};

class KESTRUM_COMMON_EXPORT CLongDateFormat final : public CTypedFormat<std::int32_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;

    CLongDateFormat() noexcept : CTypedFormat(FT_LONG), m_flags(DF_YEAR2 | DF_MONTH | DF_DAY) {}
    // Not in the stored interface: a date format with other parts shown.
    explicit CLongDateFormat(std::int32_t flags) noexcept : CTypedFormat(FT_LONG), m_flags(flags) {}
    std::string FormatValue(std::int32_t value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, std::int32_t& out, CDataObject* owner) const override;
    bool IsDateTimeFormat() const override { return true; }
    CFormat* Clone() const override { return new CLongDateFormat(*this); }
    std::string GetClassName() const override { return "Common::CLongDateFormat"; }
    void Serialize(CSerializer& serializer) override;
    std::int32_t GetDateFlags() const noexcept { return m_flags; }

private:
    std::int32_t m_flags;
};

class KESTRUM_COMMON_EXPORT CLongMsecTimeFormat final : public CTypedFormat<std::int32_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;

    explicit CLongMsecTimeFormat(std::int32_t units = DU_HOURS | DU_MINUTES | DU_SECONDS | DU_MILLISECONDS,
                                 bool fixedWidth = false, const std::string& timeSuffix = {},
                                 const std::string& daySuffix = {});
    CLongMsecTimeFormat(const CLongMsecTimeFormat& other);

    std::string FormatValue(std::int32_t value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, std::int32_t& out, CDataObject* owner) const override;
    bool IsDateTimeFormat() const override { return true; }
    CFormat* Clone() const override { return new CLongMsecTimeFormat(*this); }
    std::string GetClassName() const override { return "Common::CLongMsecTimeFormat"; }
    void Serialize(CSerializer& serializer) override;
    virtual std::int32_t GetFlags() const { return m_units; }

    bool GetFixedWidth() const noexcept { return m_fixedWidth; }
    const std::string& GetDaySuffix() const noexcept { return *m_daySuffix; }
    const std::string& GetTimeSuffix() const noexcept { return *m_timeSuffix; }

private:
    std::int32_t m_units;
    bool m_fixedWidth;
    std::unique_ptr<std::string> m_daySuffix;
    std::unique_ptr<std::string> m_timeSuffix;
};

} // namespace Kestrum::Common

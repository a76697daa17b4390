// CSizeUnitsFormat: a byte count in binary units with one decimal
// ("12.4 GiB"; under a kibibyte the bytes themselves, "512 B"), for the
// size columns of the View menu's units mode. Display only: nothing parses.
#pragma once

#include "common/Format.h"

namespace Velmora {

class CSizeUnitsFormat final : public Kestrum::Common::CTypedFormat<std::int64_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;
    CSizeUnitsFormat() : CTypedFormat(Kestrum::Common::FT_INT64) {}
    std::string FormatValue(std::int64_t value, Kestrum::Common::CDataObject* owner) const override;
    bool ParseValue(const std::string& text, std::int64_t& out, Kestrum::Common::CDataObject* owner) const override;
    Kestrum::Common::CFormat* Clone() const override { return new CSizeUnitsFormat(*this); }
    std::string GetClassName() const override { return "Velmora::CSizeUnitsFormat"; }
    bool IsSerializable() const override { return false; }
};

// CPercentFormat: a share as "12.3%", one decimal with a point, as the
// units of the size columns write theirs.
class CPercentFormat final : public Kestrum::Common::CTypedFormat<double> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;
    CPercentFormat() : CTypedFormat(Kestrum::Common::FT_DOUBLE) {}
    std::string FormatValue(double value, Kestrum::Common::CDataObject* owner) const override;
    bool ParseValue(const std::string& text, double& out, Kestrum::Common::CDataObject* owner) const override;
    Kestrum::Common::CFormat* Clone() const override { return new CPercentFormat(*this); }
    std::string GetClassName() const override { return "Velmora::CPercentFormat"; }
    bool IsSerializable() const override { return false; }
};

} // namespace Velmora

// CLongEnumFormat: a 32-bit value shown as one of a set of named items.
#pragma once

#include "common/Export.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Format.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CLongEnumFormat final : public CTypedFormat<std::int32_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;
    using Item = std::pair<std::int32_t, std::string>;

    CLongEnumFormat();
    CLongEnumFormat(const CLongEnumFormat& other);
    ~CLongEnumFormat() override;

    // The item's text; a value without an item gives the empty text.
    std::string FormatValue(std::int32_t value, CDataObject* owner) const override;
    // The first item, in insertion order, whose text equals the whole input.
    bool ParseValue(const std::string& text, std::int32_t& out, CDataObject* owner) const override;
    bool IsEnumFormat() const override { return true; }
    CFormat* Clone() const override { return new CLongEnumFormat(*this); }
    std::string GetClassName() const override { return "Common::CLongEnumFormat"; }
    void Serialize(CSerializer& serializer) override;

    // Appends the items in insertion order; true when there is at least one.
    virtual bool GetItems(std::vector<Item>& items) const;
    // False (old text kept) when the value exists.
    virtual bool AddItem(std::int32_t value, const std::string& text);
    virtual bool RemoveItem(std::int32_t value);
    // The stored text; an unknown value is first added with an empty text.
    virtual const std::string& GetItemText(std::int32_t value);

private:
    struct Table {
        std::map<std::int32_t, std::string> texts;
        std::vector<std::int32_t> order;
    };
    std::unique_ptr<Table> m_table;
};

} // namespace Kestrum::Common

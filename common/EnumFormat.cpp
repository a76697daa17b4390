#include "common/EnumFormat.h"

#include <algorithm>
#include <set>

namespace Kestrum::Common {

CLongEnumFormat::CLongEnumFormat() : CTypedFormat(FT_LONG), m_table(std::make_unique<Table>()) {}

CLongEnumFormat::CLongEnumFormat(const CLongEnumFormat& other)
    : CTypedFormat(other), m_table(std::make_unique<Table>(*other.m_table))
{
}

CLongEnumFormat::~CLongEnumFormat() = default;

std::string CLongEnumFormat::FormatValue(std::int32_t value, CDataObject*) const
{
    const auto it = m_table->texts.find(value);
    return it == m_table->texts.end() ? std::string() : it->second;
}

bool CLongEnumFormat::ParseValue(const std::string& text, std::int32_t& out, CDataObject*) const
{
    for (const std::int32_t value : m_table->order) {
        const auto it = m_table->texts.find(value);
        if (it != m_table->texts.end() && it->second == text) {
            out = value;
            return true;
        }
    }
    return false;
}

bool CLongEnumFormat::GetItems(std::vector<Item>& items) const
{
    for (const std::int32_t value : m_table->order)
        items.emplace_back(value, m_table->texts.at(value));
    return !m_table->order.empty();
}

bool CLongEnumFormat::AddItem(std::int32_t value, const std::string& text)
{
    if (!m_table->texts.emplace(value, text).second)
        return false;
    m_table->order.push_back(value);
    return true;
}

bool CLongEnumFormat::RemoveItem(std::int32_t value)
{
    const auto it = std::find(m_table->order.begin(), m_table->order.end(), value);
    if (it != m_table->order.end())
        m_table->order.erase(it);
    return m_table->texts.erase(value) != 0;
}

const std::string& CLongEnumFormat::GetItemText(std::int32_t value)
{
    AddItem(value, std::string());
    return m_table->texts.at(value);
}

void CLongEnumFormat::Serialize(CSerializer& serializer)
{
    if (!SerializeVersion(serializer))
        return;
    if (!serializer.IsRestoring()) {
        serializer.Store(static_cast<std::int32_t>(m_table->order.size()));
        for (const std::int32_t value : m_table->order)
            serializer.Store(value);
        serializer.Store(static_cast<std::int32_t>(m_table->texts.size()));
        for (const auto& [value, text] : m_table->texts) {
            serializer.Store(value);
            serializer.Store(text);
        }
        return;
    }
    const auto checkedCount = [&](std::int64_t bytesEach) {
        std::int32_t count = 0;
        serializer.Restore(count);
        if (count < 0 || count * bytesEach > serializer.GetRemaining())
            throw CSerializer::SerializationException("Not enough space to restore the value");
        return count;
    };
    Table table;
    const std::int32_t orderCount = checkedCount(4);
    for (std::int32_t i = 0; i < orderCount; ++i) {
        std::int32_t value = 0;
        serializer.Restore(value);
        table.order.push_back(value);
    }
    const std::int32_t textCount = checkedCount(8);
    for (std::int32_t i = 0; i < textCount; ++i) {
        std::int32_t value = 0;
        std::string text;
        serializer.Restore(value);
        serializer.Restore(text);
        table.texts[value] = std::move(text);
    }
    // Keep the two in step whatever the data says: values without a text
    // and repeated values leave the order; texts missing from the order
    // join it in ascending value order.
    std::set<std::int32_t> seen;
    std::erase_if(table.order, [&](std::int32_t value) {
        return table.texts.count(value) == 0 || !seen.insert(value).second;
    });
    for (const auto& entry : table.texts)
        if (seen.count(entry.first) == 0)
            table.order.push_back(entry.first);
    *m_table = std::move(table);
}

} // namespace Kestrum::Common

#include "app/treemap/TreemapColours.h"

#include <algorithm>
#include <cctype>

#include "app/filetypes/FileTypeTable.h"

namespace Velmora::Treemap {

// Hues far apart, of a middle lightness so that the cushions' light and
// shade both show.
const Rgb CPalette::kColourOf[kColours] = {
    0x3C78D8, 0xE06666, 0x6AA84F, 0xF1C232, 0x8E7CC3, 0x45B5C4,
    0xE69138, 0xC27BA0, 0x93C47D, 0x6D9EEB, 0xB45F06, 0x76A5AF,
};

std::string_view ExtensionOf(std::string_view name, char (&buffer)[16])
{
    // A version after the extension ("libz.so.1.3") is passed over.
    auto allDigits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    for (std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0 && allDigits(name.substr(dot + 1));
         dot = name.rfind('.'))
        name = name.substr(0, dot);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot - 1 > 12)
        return {};
    const std::string_view extension = name.substr(dot + 1);
    for (std::size_t i = 0; i < extension.size(); ++i)
        buffer[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(extension[i])));
    return {buffer, extension.size()};
}

std::string ExtensionOf(std::string_view name)
{
    char buffer[16];
    return std::string(ExtensionOf(name, buffer));
}

Rgb CPalette::ColourOf(std::string_view name) const { return ColourOfExtension(FileExtensionOf(name)); }

Rgb CPalette::ColourOfExtension(std::string_view extension) const
{
    if (extension.empty())
        return kOtherColour;
    for (std::size_t i = 0; i < m_chosen.size(); ++i)
        if (!m_chosen[i].empty() && m_chosen[i] == extension)
            return kColourOf[i];
    return kOtherColour;
}

void CPalette::Count(std::string_view name, double area)
{
    const std::string extension = FileExtensionOf(name);
    if (extension.empty())
        return;
    if (auto found = m_counts.find(extension); found != m_counts.end())
        found->second += area;
    else
        m_counts.emplace(extension, area);
}

bool CPalette::Assign()
{
    std::vector<std::pair<double, std::string>> ranked;
    ranked.reserve(m_counts.size());
    for (auto& [extension, area] : m_counts)
        ranked.emplace_back(area, extension);
    // Ties by name, so the same picture gives the same colours.
    std::sort(ranked.begin(), ranked.end(),
              [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    std::vector<std::string> top;
    for (std::size_t i = 0; i < ranked.size() && i < kColours; ++i)
        top.push_back(ranked[i].second);
    m_counts.clear();
    return Choose(top);
}

bool CPalette::Assign(const CFileTypeTable& table)
{
    // The table's order: size, then name.
    std::vector<std::string> top;
    for (const FileTypeRow& row : table.Rows())
        if (!row.extension.empty() && row.size > 0 && top.size() < kColours)
            top.push_back(row.extension);
    return Choose(top);
}

bool CPalette::Choose(const std::vector<std::string>& top)
{
    // An extension that stays among the largest keeps its colour while the
    // walk goes on; the new ones take the free colours, largest first.
    std::vector<std::string> chosen(kColours);
    for (std::size_t slot = 0; slot < m_chosen.size(); ++slot)
        if (std::find(top.begin(), top.end(), m_chosen[slot]) != top.end())
            chosen[slot] = m_chosen[slot];
    std::size_t free = 0;
    for (const std::string& extension : top) {
        if (std::find(chosen.begin(), chosen.end(), extension) != chosen.end())
            continue;
        while (!chosen[free].empty())
            ++free;
        chosen[free] = extension;
    }
    const bool changed = chosen != m_chosen;
    m_chosen = std::move(chosen);
    return changed;
}

} // namespace Velmora::Treemap

// The treemap's colours: a small fixed palette handed to the largest
// extensions, as the file types table ranks them (or, without a table, by
// the area they take in the picture); every other file is grey. Extensions
// are the table's (FileExtensionOf), so both windows name and colour a file
// alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velmora {
class CFileTypeTable;
}

namespace Velmora::Treemap {

using Rgb = std::uint32_t; // 0xRRGGBB

inline constexpr Rgb kOtherColour = 0xA0A0A0;  // files of the other extensions, or none
inline constexpr Rgb kFoldedColour = 0x8C8C9A; // a folder too small to show its entries
inline constexpr Rgb kRestColour = 0x7A7A7A;   // many small entries in one tile

// A short extension of a file name, in lower case: what follows the last
// dot, when the dot is not the first character and at most 12 characters
// follow; numbers after it are a version ("libz.so.1.3" is "so"). The
// colours go by the file types table's extension instead.
std::string ExtensionOf(std::string_view name);
// The same, lowered into `buffer`.
std::string_view ExtensionOf(std::string_view name, char (&buffer)[16]);

class CPalette {
public:
    static constexpr std::size_t kColours = 12;
    static const Rgb kColourOf[kColours];

    // The colour of a file by its extension.
    Rgb ColourOf(std::string_view name) const;
    // The colour of an extension as the table names it ("" for none).
    Rgb ColourOfExtension(std::string_view extension) const;
    // Counts a file's area towards its extension's share.
    void Count(std::string_view name, double area);
    // The extensions with the largest counted areas get the palette's
    // colours (one that stays among them keeps its colour); the counts
    // start again. True when the choice changed.
    bool Assign();
    // The same from the table: its largest extensions by size.
    bool Assign(const CFileTypeTable& table);
    const std::vector<std::string>& Extensions() const { return m_chosen; }

private:
    // Takes the extensions largest first, as many as there are colours.
    bool Choose(const std::vector<std::string>& top);
    // Looked up by a view of the name's extension: no string per tile.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, double, Hash, std::equal_to<>> m_counts;
    std::vector<std::string> m_chosen;
};

} // namespace Velmora::Treemap

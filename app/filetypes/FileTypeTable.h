// CFileTypeTable: what each file extension takes in a tree: its files, their
// size, their size on disk and their share of the whole size. No Qt, so the
// counting is tested without a display.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velmora {

class CFolderData;

// The extension of a file name, lower-cased: what follows its last dot. A
// name without a dot, or whose only dot leads (".bashrc"), has none ("").
std::string FileExtensionOf(std::string_view name);

struct FileTypeRow {
    std::string extension; // "" for the files without one
    std::int64_t files = 0;
    std::int64_t size = 0;
    std::int64_t sizeOnDisk = 0;
    double share = 0; // of the table's whole size, 0 to 100
};

class CFileTypeTable {
public:
    static constexpr const char* kNoExtension = "(no extension)";

    void Clear();
    void Add(std::string_view name, std::int64_t size, std::int64_t sizeOnDisk);
    // Every file below `root`, walked by a loop (trees may be very deep).
    // A hard link's further names carry no size on disk, as in the tree's
    // own totals, so the sums match the root's.
    void AddTree(const CFolderData& root);
    // The same a slice at a time: BeginTree for each root, then ContinueTree
    // until it answers true. Each folder's files are counted in one go.
    void BeginTree(const CFolderData& root) { m_pending.push_back(&root); }
    bool ContinueTree(std::size_t maxFolders);

    // Largest size first; ties by extension.
    std::vector<FileTypeRow> Rows() const;
    std::int64_t Files() const { return m_total.files; }
    std::int64_t Size() const { return m_total.size; }
    std::int64_t SizeOnDisk() const { return m_total.sizeOnDisk; }

private:
    std::unordered_map<std::string, FileTypeRow> m_rows;
    FileTypeRow m_total;
    std::vector<const CFolderData*> m_pending; // of the count under way
};

} // namespace Velmora

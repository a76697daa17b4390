// CLocalDataFormat: names the copied rows themselves ("Kestrum.LocalDataFormat"),
// for other grids of this very process.
//
// Layout (little-endian): the writer's process id (32 bits) and a random
// token chosen once per process (64 bits), the grid (64), the area mask
// (32), the row count (32) and the operation (32); then for each row the
// item and its data object (64 bits each). Addresses take 64-bit words, so
// the layout is one on every platform; the token tells this process from an
// earlier one or one in another container that had the same process id.
//
// Reading trusts nothing: a record of another process (id or token), a
// count the size cannot hold, or an unknown operation is refused; each item
// is taken only when a live grid of this process holds it (looked up through
// the grids' handle sets, CGridDirectory) and it is still bound to the
// object written beside it; duplicates are dropped. Nothing is read through
// an address before that.
#pragma once

#include "gui/platform/Export.h"

#include "gui/clipboard/ClipboardFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CLocalDataFormat : public IClipboardFormat {
public:
    static constexpr std::size_t kHeaderSize = 32;
    static constexpr std::size_t kRowSize = 16;

    void Build(const std::vector<CGridItem*>& rows, CHeader* header) override;
    std::size_t GetSize() const override;
    bool Write(std::uint8_t* destination, std::size_t size, CGrid* grid, int areaMask, int operation) override;
    void Clear() override { m_rows.clear(); }
    std::uint32_t GetFormatId() const override;
    bool Read(const std::uint8_t* data, std::size_t size, IObjectImporter* importer, TransferRecord& record) override;

    // What this process writes into every record.
    static std::uint32_t ProcessId();
    static std::uint64_t ProcessToken();

private:
    std::vector<CGridItem*> m_rows;
};

} // namespace Kestrum::GUI

// CTextClipboardFormat: the visible cells of the rows as text for other
// programs: cells separated by tabs, rows by CR LF, each cell the text the
// grid shows (the field through the column's format), UTF-8, and a
// terminating zero byte counted in the size. Text is never read back as rows.
#pragma once

#include "gui/platform/Export.h"

#include "gui/clipboard/ClipboardFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CTextClipboardFormat : public IClipboardFormat {
public:
    void Build(const std::vector<CGridItem*>& rows, CHeader* header) override;
    std::size_t GetSize() const override { return m_text.size(); }
    bool Write(std::uint8_t* destination, std::size_t size, CGrid* grid, int areaMask, int operation) override;
    void Clear() override { m_text.clear(); }
    std::uint32_t GetFormatId() const override { return kClipboardText; }
    bool Read(const std::uint8_t* data, std::size_t size, IObjectImporter* importer, TransferRecord& record) override;

    // The prepared bytes, the terminating zero included.
    const std::string& GetText() const noexcept { return m_text; }

private:
    std::string m_text;
};

} // namespace Kestrum::GUI

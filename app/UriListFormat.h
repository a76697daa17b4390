// CUriListFormat: the full names of copied files and folders as a
// "text/uri-list" (file: URIs, CR LF after each), for file managers and
// other programs that take files from the clipboard. Never read back.
#pragma once

#include <string>

#include "gui/clipboard/ClipboardFormat.h"

namespace Velmora {

class CUriListFormat : public Kestrum::GUI::IClipboardFormat {
public:
    void Build(const std::vector<Kestrum::GUI::CGridItem*>& rows, Kestrum::GUI::CHeader* header) override;
    std::size_t GetSize() const override { return m_text.size(); }
    bool Write(std::uint8_t* destination, std::size_t size, Kestrum::GUI::CGrid* grid, int areaMask, int operation) override;
    void Clear() override { m_text.clear(); }
    std::uint32_t GetFormatId() const override;
    bool Read(const std::uint8_t* data, std::size_t size, Kestrum::GUI::IObjectImporter* importer,
              Kestrum::GUI::TransferRecord& record) override;

private:
    std::string m_text;
};

} // namespace Velmora

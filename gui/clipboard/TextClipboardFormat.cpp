#include "gui/clipboard/TextClipboardFormat.h"

#include <cstring>

#include "common/DataObject.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"

namespace Kestrum::GUI {

void CTextClipboardFormat::Build(const std::vector<CGridItem*>& rows, CHeader* header)
{
    Clear();
    if (rows.empty() || !header)
        return;
    const std::vector<CColumn*> columns = header->GetVisibleColumns();
    if (columns.empty())
        return;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        Common::CDataObject* object = rows[row] ? rows[row]->GetObject() : nullptr;
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (object)
                m_text += object->GetValueText(columns[column]->GetFieldId(), columns[column]->GetFormat());
            if (column + 1 < columns.size())
                m_text += '\t';
        }
        if (row + 1 < rows.size())
            m_text += "\r\n";
    }
    if (!m_text.empty())
        m_text += '\0';
}

bool CTextClipboardFormat::Write(std::uint8_t* destination, std::size_t size, CGrid*, int, int)
{
    if (!destination || size < m_text.size())
        return false;
    std::memcpy(destination, m_text.data(), m_text.size());
    return true;
}

bool CTextClipboardFormat::Read(const std::uint8_t*, std::size_t, IObjectImporter*, TransferRecord&) { return false; }

} // namespace Kestrum::GUI

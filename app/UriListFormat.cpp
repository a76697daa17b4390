#include "app/UriListFormat.h"

#include <QUrl>
#include <cstring>

#include "app/FileSystemData.h"
#include "gui/grid/GridItem.h"
#include "gui/platform/QtText.h"

namespace Velmora {

using namespace Kestrum::GUI;

void CUriListFormat::Build(const std::vector<CGridItem*>& rows, CHeader*)
{
    Clear();
    for (CGridItem* row : rows) {
        Kestrum::Common::CDataObject* object = row ? row->GetObject() : nullptr;
        QString name;
        if (const auto* folder = dynamic_cast<const CFolderData*>(object))
            name = ToQString(folder->GetFullName());
        else if (const auto* file = dynamic_cast<const CFileData*>(object))
            name = ToQString(file->GetFullName());
        if (name.isEmpty())
            continue;
        m_text += QUrl::fromLocalFile(name).toEncoded().toStdString();
        m_text += "\r\n";
    }
}

bool CUriListFormat::Write(std::uint8_t* destination, std::size_t size, CGrid*, int, int)
{
    if (!destination || size < m_text.size())
        return false;
    std::memcpy(destination, m_text.data(), m_text.size());
    return true;
}

std::uint32_t CUriListFormat::GetFormatId() const
{
    static const std::uint32_t code = RegisterClipboardFormat("text/uri-list");
    return code;
}

bool CUriListFormat::Read(const std::uint8_t*, std::size_t, IObjectImporter*, TransferRecord&) { return false; }

} // namespace Velmora

// Clipboard formats on Qt's clipboard and in drags: each format code is one
// MIME type. Text (code 1) is UTF-8 "text/plain" without the terminating
// zero the format counts (other programs must not paste it); a registered
// name that is itself a MIME type ("text/uri-list") stands for itself; any
// other name N is "application/x-" followed by N in lower case.
#pragma once

#include "gui/platform/Export.h"

#include <QMimeData>
#include <QString>
#include <memory>
#include <vector>

#include "gui/clipboard/ClipboardFormat.h"

namespace Kestrum::GUI {

KESTRUM_GUI_EXPORT QString MimeTypeOf(std::uint32_t format);
// The bytes a format's Read expects from the data, when the data has them.
KESTRUM_GUI_EXPORT bool GetFormatBytes(const QMimeData& data, std::uint32_t format, std::vector<std::uint8_t>& bytes);
KESTRUM_GUI_EXPORT void PutFormatBytes(QMimeData& data, std::uint32_t format, const std::vector<std::uint8_t>& bytes);

// Clears and builds each format from the rows; those with data are written
// (grid, area mask, operation) into the result, in order, and every format
// is cleared again. Null when no format had anything to write.
KESTRUM_GUI_EXPORT std::unique_ptr<QMimeData> MakeTransferData(const std::vector<IClipboardFormat*>& formats, const std::vector<CGridItem*>& rows,
                                            CHeader* header, CGrid* grid, int areaMask, int operation);
// Asks the formats in order: the first whose code the data has and whose
// Read fills a record ends the search. False when none did (`record` is
// then left as it was).
KESTRUM_GUI_EXPORT bool ReadTransferData(const std::vector<IClipboardFormat*>& formats, const QMimeData& data, IObjectImporter* importer,
                      TransferRecord& record);

} // namespace Kestrum::GUI

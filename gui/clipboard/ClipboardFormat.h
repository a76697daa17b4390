// The clipboard formats of the transfer part and the records they fill.
//
// A format prepares its data for an ordered list of grid items (Build),
// says how many bytes it needs (GetSize, 0: nothing to put on the
// clipboard), writes them (Write) and forgets them (Clear). Reading
// (Read) turns clipboard bytes back into a transfer record, and is where
// untrusted bytes arrive: a format must check every length against the
// size it was given and may hand out only items it has validated.
//
// Format codes: 1 is plain text; other formats are registered by name
// (RegisterClipboardFormat) and get codes from 0xC000 on, one per name for
// the life of the process. The Qt side maps each code to one MIME type
// (TransferMime.h).
//
// No Qt here: the formats and their reading are tested and fuzzed without it.
#pragma once

#include "gui/platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/DataObject.h"
#include "gui/grid/GridTypes.h"

namespace Kestrum::Common {
class CDynamicObject;
}

namespace Kestrum::GUI {

class CGrid;
class CHeader;
class IClipboardFormat;

// Kinds of a copy request (and of the operation a record was written by).
enum TransferOperation : int { TransferCopy = 1, TransferCut = 2 };

// The platform's plain-text format.
inline constexpr std::uint32_t kClipboardText = 1;

// The code of a named format, registered on first use (thread-safe). The
// empty name gets 0.
KESTRUM_GRIDCORE_EXPORT std::uint32_t RegisterClipboardFormat(std::string_view name);
// The name a code was registered under ("" for text and unknown codes).
KESTRUM_GRIDCORE_EXPORT std::string ClipboardFormatName(std::uint32_t code);

inline constexpr std::string_view kLocalDataFormatName = "Kestrum.LocalDataFormat";
inline constexpr std::string_view kRemoteDataFormatName = "Kestrum.RemoteDataFormat";

// One row of a transfer record: an item of this process, the grid that
// holds it now and the object it is bound to.
struct KESTRUM_GRIDCORE_EXPORT TransferRow {
    CGrid* grid = nullptr;
    CGridItem* item = nullptr;
    Common::CDataObject* object = nullptr;
};

// What a format's Read understood.
struct KESTRUM_GRIDCORE_EXPORT TransferRecord {
    CGrid* sourceGrid = nullptr; // null when the writing grid is gone
    int sourceAreaMask = 0;
    std::vector<TransferRow> rows;
    // Objects an importer built for the record; deleted with it unless the
    // handler adopts them after a successful insert.
    std::vector<std::unique_ptr<Common::CDataObject>> createdObjects;
    int kind = 0; // 0: rows of this process
    std::uint32_t format = 0;
    int sourceOperation = 0; // TransferOperation
};

// Rebuilds objects for formats that carry values instead of rows.
class KESTRUM_GRIDCORE_EXPORT IObjectImporter {
public:
    virtual ~IObjectImporter() = default;
    // A new dynamic object created with notification on, owned by the caller.
    virtual Common::CDynamicObject* CreateObject(const std::string& className) = 0;
    // Appends the importer's formats (still its own) to `formats`.
    virtual void CopyFormats(std::vector<IClipboardFormat*>& formats) = 0;
    // Empties the format list, deleting the formats when `destroy` is true
    // (otherwise whoever copied them now owns them).
    virtual void ReleaseFormats(bool destroy) = 0;
};

class KESTRUM_GRIDCORE_EXPORT IClipboardFormat {
public:
    virtual ~IClipboardFormat() = default;
    // Prepares the data for `rows` (in order); `header` gives the columns.
    virtual void Build(const std::vector<CGridItem*>& rows, CHeader* header) = 0;
    virtual std::size_t GetSize() const = 0;
    // Writes the prepared data into `destination` (GetSize() bytes); false
    // when `size` is too small.
    virtual bool Write(std::uint8_t* destination, std::size_t size, CGrid* grid, int areaMask, int operation) = 0;
    virtual void Clear() = 0;
    virtual std::uint32_t GetFormatId() const = 0;
    // True when it filled `record` from the bytes.
    virtual bool Read(const std::uint8_t* data, std::size_t size, IObjectImporter* importer, TransferRecord& record) = 0;
};

} // namespace Kestrum::GUI

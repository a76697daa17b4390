// Feeds arbitrary bytes to every archive loader that builds without Qt: the
// header (with its columns and sort levels), a column alone, one sort level,
// the grid's settings records and the drawing records. The first byte picks
// the loader. Each must load whole or raise CArchiveException, and a record
// that loaded must store and load again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gui/grid/GridSettings.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/Archive.h"

using namespace Kestrum::GUI;

namespace {
// Loads a record, then checks that storing and loading it again is stable.
template <class Record> void RoundTrip(const std::uint8_t* data, std::size_t size)
{
    Record record{};
    try {
        CArchive reader(data, size);
        record.Serialize(reader);
    } catch (const CArchiveException&) {
        return;
    }
    CArchive first;
    record.Serialize(first);
    Record again{};
    CArchive reader(first.GetBytes());
    again.Serialize(reader); // must not throw: the bytes were just written
    CArchive second;
    again.Serialize(second);
    if (first.GetBytes() != second.GetBytes())
        std::abort();
}

template <class Object> void Load(const std::uint8_t* data, std::size_t size)
{
    Object object;
    try {
        CArchive reader(data, size);
        object.Serialize(reader);
    } catch (const CArchiveException&) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    const std::uint8_t* body = data + 1;
    const std::size_t length = size - 1;
    switch (data[0] % 10) {
    case 0: {
        CHeader header(true);
        try {
            CArchive reader(body, length);
            header.Serialize(reader);
        } catch (const CArchiveException&) {
            break;
        }
        // A header that loaded stores and loads again to the same bytes.
        CArchive first;
        header.Serialize(first);
        CHeader again(true);
        CArchive reader(first.GetBytes());
        again.Serialize(reader);
        CArchive second;
        again.Serialize(second);
        if (first.GetBytes() != second.GetBytes())
            std::abort();
        if (header.GetSortLevelCount() > kMaxSortLevels)
            std::abort();
        break;
    }
    case 1: Load<CColumn>(body, length); break;
    case 2: Load<CSortInfo>(body, length); break;
    case 3: RoundTrip<TransferPolicy>(body, length); break;
    case 4: RoundTrip<DragDropSettings>(body, length); break;
    case 5: RoundTrip<EditSettings>(body, length); break;
    case 6: RoundTrip<TooltipSettings>(body, length); break;
    case 7: RoundTrip<UpdateHighlight>(body, length); break;
    case 8: RoundTrip<GridAppearance>(body, length); break;
    default: RoundTrip<ColorAlpha>(body, length); break;
    }
    return 0;
}

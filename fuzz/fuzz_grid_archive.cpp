// Feeds arbitrary bytes to the grid's archive record (its settings, the
// stored header with its columns and sort levels, the font record and every
// settings record in it), read alone and read with the print settings record
// after it. Each load must either succeed or raise CArchiveException, and a
// record that loaded must store and load again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gui/grid/GridArchive.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"

using namespace Kestrum::GUI;

namespace {
void StoreOf(GridArchiveRecord& record, bool withPrintSettings, CArchive& archive)
{
    record.header = record.loadedHeader.get();
    if (withPrintSettings)
        record.StoreWithPrintSettings(archive);
    else
        record.Store(archive);
}

bool LoadOf(GridArchiveRecord& record, bool withPrintSettings, CArchive& archive)
{
    return withPrintSettings ? record.LoadWithPrintSettings(archive) : record.Load(archive);
}

void RoundTrip(const std::uint8_t* data, std::size_t size, bool withPrintSettings)
{
    GridArchiveRecord record;
    try {
        CArchive reader(data, size);
        if (!LoadOf(record, withPrintSettings, reader))
            return;
    } catch (const CArchiveException&) {
        return;
    }
    CArchive stored;
    StoreOf(record, withPrintSettings, stored);
    GridArchiveRecord again;
    CArchive reader(stored.GetBytes());
    LoadOf(again, withPrintSettings, reader); // must not throw: these are bytes the record wrote
    if (reader.GetRemaining() != 0)
        std::abort();
    CArchive storedAgain;
    StoreOf(again, withPrintSettings, storedAgain);
    if (storedAgain.GetBytes() != stored.GetBytes())
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    RoundTrip(data, size, false);
    RoundTrip(data, size, true);
    return 0;
}

// Feeds arbitrary bytes to the grid's archive record (its settings, the
// stored header with its columns and sort levels, the font record and every
// settings record in it). Each load must either succeed or raise
// CArchiveException, and a record that loaded must store and load again to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gui/grid/GridArchive.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"

using namespace Kestrum::GUI;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    GridArchiveRecord record;
    try {
        CArchive reader(data, size);
        if (!record.Load(reader))
            return 0;
    } catch (const CArchiveException&) {
        return 0;
    }
    record.header = record.loadedHeader.get();
    CArchive stored;
    record.Store(stored);
    GridArchiveRecord again;
    CArchive reader(stored.GetBytes());
    again.Load(reader); // must not throw: these are bytes the record wrote
    again.header = again.loadedHeader.get();
    CArchive storedAgain;
    again.Store(storedAgain);
    if (storedAgain.GetBytes() != stored.GetBytes())
        std::abort();
    return 0;
}

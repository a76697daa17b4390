// Feeds arbitrary bytes to the local data format's Read and to the transfer
// policy record's loading. The first byte picks what:
//   0  the bytes as clipboard data, as they come;
//   1  a record stamped with this process's id and token (one input bit
//      each may spoil them), whose grid and row words are picked from a
//      table of addresses (live items and their objects in two grids, items
//      that were removed and freed, tree roots, reserved handles, the
//      grids) or taken raw from the input;
//   2  the policy record, which must load whole or raise CArchiveException
//      and store and load again to the same bytes.
// Whatever Read takes must be a live item of one of the grids, named with
// the grid that holds it and the object it is bound to, and taken once; it
// must never read through any other address (freed items are poisoned
// under AddressSanitizer).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "common/DynamicObject.h"
#include "gui/clipboard/GridDirectory.h"
#include "gui/clipboard/LocalDataFormat.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/GridSettings.h"
#include "gui/platform/Archive.h"
#include "tests/gui/FakeSurface.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

namespace {
struct FakeGrid {
    Kestrum::Test::CFakeSurface surface;
    CGridRows rows{&surface};
    alignas(16) unsigned char identity[16] = {};
    CGrid* grid() const { return reinterpret_cast<CGrid*>(const_cast<unsigned char*>(identity)); }
};

struct World {
    // The objects outlive the rows bound to them.
    std::vector<std::unique_ptr<CDynamicObject>> objects;
    FakeGrid grids[2];
    std::map<const CGridItem*, std::pair<CGrid*, const Kestrum::Common::CDataObject*>> live;
    std::vector<std::uint64_t> words;

    World()
    {
        for (FakeGrid& fake : grids) {
            fake.surface.rows = &fake.rows;
            CGridDirectory::Instance().Register(fake.grid(), &fake.rows);
            std::vector<HITEM> made;
            for (int i = 0; i < 12; ++i) {
                objects.push_back(std::make_unique<CDynamicObject>(false));
                const HITEM parent = i % 3 == 2 ? made.back() : (i % 4 == 0 ? GRID_FIXED_ROOT : GRID_ROOT);
                made.push_back(fake.rows.Add(objects.back().get(), parent, GRID_LAST));
            }
            // Some go again: their addresses stay in the table, freed.
            for (int i : {1, 7}) {
                words.push_back(made[static_cast<std::size_t>(i)]);
                fake.rows.Remove(made[static_cast<std::size_t>(i)]);
            }
            std::vector<HITEM> all;
            fake.rows.GetAllItems(MaskBoth, all);
            for (HITEM handle : all) {
                CGridItem* item = FromHandle(handle);
                live[item] = {fake.grid(), item->GetObject()};
                words.push_back(handle);
                words.push_back(AddressWord(item->GetObject()));
            }
            words.push_back(AddressWord(fake.rows.Scrollable().GetRoot()));
            words.push_back(AddressWord(fake.rows.Fixed().GetRoot()));
            words.push_back(AddressWord(fake.grid()));
        }
        for (HITEM reserved : {GRID_ROOT, GRID_FIXED_ROOT, GRID_FIRST, GRID_LAST, HITEM{0}})
            words.push_back(reserved);
        words.push_back(AddressWord(objects.front().get()) + 8); // inside an object
        words.push_back(~std::uint64_t{0});
    }
};

World& TheWorld()
{
    static World world;
    return world;
}

// Reads the input byte by byte; past the end it gives zeros.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    std::uint64_t Raw(int width)
    {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        return value;
    }
    // A word of the table, or raw.
    std::uint64_t Word(const std::vector<std::uint64_t>& table)
    {
        const std::uint8_t pick = Byte();
        return pick < 0xC0 ? table[pick % table.size()] : Raw(8);
    }
};

void Put(std::vector<std::uint8_t>& bytes, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Check(const TransferRecord& record)
{
    const World& world = TheWorld();
    std::set<const CGridItem*> seen;
    for (const TransferRow& row : record.rows) {
        const auto found = world.live.find(row.item);
        if (found == world.live.end() || found->second.first != row.grid || found->second.second != row.object ||
            !seen.insert(row.item).second)
            std::abort();
    }
    if (record.sourceGrid && record.sourceGrid != world.grids[0].grid() && record.sourceGrid != world.grids[1].grid())
        std::abort();
}

void ReadLocal(const std::vector<std::uint8_t>& bytes)
{
    CLocalDataFormat format;
    TransferRecord record;
    if (format.Read(bytes.data(), bytes.size(), nullptr, record))
        Check(record);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    World& world = TheWorld();
    Input input{data + 1, size - 1};
    switch (data[0] % 3) {
    case 0: ReadLocal(std::vector<std::uint8_t>(data + 1, data + size)); break;
    case 1: {
        const std::uint8_t spoil = input.Byte();
        std::vector<std::uint8_t> bytes;
        Put(bytes, CLocalDataFormat::ProcessId() + ((spoil & 1) ? 1 : 0), 4);
        Put(bytes, CLocalDataFormat::ProcessToken() ^ ((spoil & 2) ? 1 : 0), 8);
        Put(bytes, input.Word(world.words), 8);
        Put(bytes, input.Raw(4), 4);
        const std::uint32_t rows = input.Byte();
        // The count may claim more rows than follow.
        Put(bytes, (spoil & 4) ? input.Raw(4) : rows, 4);
        Put(bytes, (spoil & 8) ? input.Raw(4) : 1 + (spoil >> 7), 4);
        for (std::uint32_t row = 0; row < rows && input.at < input.size; ++row) {
            Put(bytes, input.Word(world.words), 8);
            Put(bytes, input.Word(world.words), 8);
        }
        if (spoil & 16)
            bytes.resize(bytes.size() - std::min<std::size_t>(bytes.size(), input.Byte()));
        ReadLocal(bytes);
        break;
    }
    default: {
        TransferPolicy policy;
        try {
            CArchive reader(data + 1, size - 1);
            policy.Serialize(reader);
        } catch (const CArchiveException&) {
            return 0;
        }
        CArchive first;
        policy.Serialize(first);
        TransferPolicy again;
        CArchive reader(first.GetBytes());
        again.Serialize(reader);
        if (!(again == policy))
            std::abort();
        break;
    }
    }
    return 0;
}

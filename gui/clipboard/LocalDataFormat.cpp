#include "gui/clipboard/LocalDataFormat.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <set>

#include "gui/clipboard/GridDirectory.h"
#include "gui/grid/GridItem.h"

namespace Kestrum::GUI {

namespace {
void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Put64(std::uint8_t* at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}
std::uint64_t Get64(const std::uint8_t* at)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    return value;
}

std::uint64_t MakeToken()
{
    std::random_device device;
    std::uint64_t token = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    // A device that is no real source still gives each start its own token.
    token ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
    token ^= static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return token == 0 ? 1 : token;
}
} // namespace

std::uint32_t CLocalDataFormat::ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

std::uint64_t CLocalDataFormat::ProcessToken()
{
    static const std::uint64_t token = MakeToken();
    return token;
}

std::uint32_t CLocalDataFormat::GetFormatId() const
{
    static const std::uint32_t code = RegisterClipboardFormat(kLocalDataFormatName);
    return code;
}

void CLocalDataFormat::Build(const std::vector<CGridItem*>& rows, CHeader*) { m_rows = rows; }

std::size_t CLocalDataFormat::GetSize() const { return m_rows.empty() ? 0 : kHeaderSize + kRowSize * m_rows.size(); }

bool CLocalDataFormat::Write(std::uint8_t* destination, std::size_t size, CGrid* grid, int areaMask, int operation)
{
    if (!destination || m_rows.empty() || size < GetSize())
        return false;
    Put32(destination, ProcessId());
    Put64(destination + 4, ProcessToken());
    Put64(destination + 12, AddressWord(grid));
    Put32(destination + 20, static_cast<std::uint32_t>(areaMask));
    Put32(destination + 24, static_cast<std::uint32_t>(m_rows.size()));
    Put32(destination + 28, static_cast<std::uint32_t>(operation));
    std::uint8_t* at = destination + kHeaderSize;
    for (CGridItem* item : m_rows) {
        Put64(at, AddressWord(item));
        Put64(at + 8, AddressWord(item ? item->GetObject() : nullptr));
        at += kRowSize;
    }
    return true;
}

bool CLocalDataFormat::Read(const std::uint8_t* data, std::size_t size, IObjectImporter*, TransferRecord& record)
{
    if (!data || size < kHeaderSize)
        return false;
    if (Get32(data) != ProcessId() || Get64(data + 4) != ProcessToken())
        return false;
    const std::uint64_t gridWord = Get64(data + 12);
    const std::uint32_t areaMask = Get32(data + 20);
    const std::uint32_t count = Get32(data + 24);
    const std::uint32_t operation = Get32(data + 28);
    if (operation != TransferCopy && operation != TransferCut)
        return false;
    if (count > (size - kHeaderSize) / kRowSize)
        return false;
    CGridDirectory& directory = CGridDirectory::Instance();
    std::vector<TransferRow> rows;
    std::set<const CGridItem*> taken;
    const std::uint8_t* at = data + kHeaderSize;
    for (std::uint32_t index = 0; index < count; ++index, at += kRowSize) {
        CGrid* holder = nullptr;
        CGridItem* item = directory.FindItem(Get64(at), gridWord, &holder);
        if (!item || AddressWord(item->GetObject()) != Get64(at + 8) || !item->GetObject() || !taken.insert(item).second)
            continue;
        rows.push_back({holder, item, item->GetObject()});
    }
    record.sourceGrid = directory.FindGrid(gridWord);
    record.sourceAreaMask = static_cast<int>(areaMask & MaskBoth);
    record.rows = std::move(rows);
    record.kind = 0;
    record.format = GetFormatId();
    record.sourceOperation = static_cast<int>(operation);
    return true;
}

} // namespace Kestrum::GUI

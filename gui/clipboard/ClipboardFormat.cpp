#include "gui/clipboard/ClipboardFormat.h"

#include <map>
#include <mutex>

namespace Kestrum::GUI {

namespace {
// Registered names and their codes, as the platform's registry hands them out.
struct FormatNames {
    std::mutex lock;
    std::map<std::string, std::uint32_t, std::less<>> codes;
    std::vector<std::string> names; // index: code - kFirstCode
};
constexpr std::uint32_t kFirstCode = 0xC000;

FormatNames& Names()
{
    static FormatNames names;
    return names;
}
} // namespace

std::uint32_t RegisterClipboardFormat(std::string_view name)
{
    if (name.empty())
        return 0;
    FormatNames& table = Names();
    std::lock_guard lock(table.lock);
    if (const auto found = table.codes.find(name); found != table.codes.end())
        return found->second;
    const auto code = kFirstCode + static_cast<std::uint32_t>(table.names.size());
    table.names.emplace_back(name);
    table.codes.emplace(std::string(name), code);
    return code;
}

std::string ClipboardFormatName(std::uint32_t code)
{
    FormatNames& table = Names();
    std::lock_guard lock(table.lock);
    if (code < kFirstCode || code - kFirstCode >= table.names.size())
        return {};
    return table.names[code - kFirstCode];
}

} // namespace Kestrum::GUI

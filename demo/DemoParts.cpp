#include "demo/DemoParts.h"

#include <cerrno>
#include <cstdlib>
#include <initializer_list>

#include "common/DateFormats.h"
#include "common/EnumFormat.h"
#include "common/IntegerFormats.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/QtText.h"

using namespace Kestrum::GUI;
namespace Common = Kestrum::Common;

namespace GridDemo {

namespace {
CColumn* Column(std::int32_t field, const char* caption, int width, Common::CFormat* format, bool editable = true,
                std::int32_t alignment = AlignAuto)
{
    return new CColumn(field, caption, width, alignment, editable, -1, -1, format, nullptr, nullptr, "");
}
} // namespace

CHeader* MakeHeader()
{
    auto* priority = new Common::CLongEnumFormat;
    priority->AddItem(3, "High");
    priority->AddItem(2, "Normal");
    priority->AddItem(1, "Low");
    priority->AddItem(0, "Someday");
    auto* header = new CHeader(true);
    header->AddColumn(Column(kName, "Name", 120, nullptr));
    header->AddColumn(Column(kChar, "Char", 40, nullptr)); // the byte as a character
    header->AddColumn(Column(kByteHex, "Byte hex", 60, new Common::CUCharFormat(1)));
    header->AddColumn(Column(kShort, "Short", 52, nullptr));
    header->AddColumn(Column(kWordHex, "Word hex", 64, new Common::CUShortFormat(1)));
    header->AddColumn(Column(kLong, "Long", 74, nullptr));
    header->AddColumn(Column(kLongHex, "Long hex", 90, new Common::CULongFormat(1, true, ' ', true, true)));
    header->AddColumn(Column(kInt64, "Int64", 120, nullptr));
    header->AddColumn(Column(kFloat, "Float", 56, nullptr));
    header->AddColumn(Column(kDouble, "Double", 76, nullptr));
    header->AddColumn(Column(kDone, "Done", 40, nullptr, true, AlignCenter));
    header->AddColumn(Column(kPriority, "Priority", 72, priority));
    header->AddColumn(Column(kDuration, "Duration", 84, new Common::CLongMsecTimeFormat));
    header->AddColumn(Column(kCreated, "Created", 86, new Common::CLongDateFormat));
    header->AddColumn(Column(kModified, "Modified", 170, new Common::CInt64DateFormat(125)));
    header->AddColumn(Column(kUpdates, "Updates", 56, nullptr, false));
    header->SetFixedColumnCount(1);
    return header;
}

void FillRow(Common::CDynamicObject& row, int index, std::mt19937& random)
{
    static const char* const names[] = {"Anchor", "Beacon", "Cinder", "Drift", "Ember", "Fathom", "Glint", "Harbor"};
    row.SetStlString(kName, std::string(names[index % 8]) + " " + std::to_string(index));
    row.SetChar(kChar, static_cast<std::int8_t>('A' + index % 26));
    row.SetUChar(kByteHex, static_cast<std::uint8_t>(random() % 256));
    row.SetShort(kShort, static_cast<std::int16_t>(static_cast<int>(random() % 2000) - 1000));
    row.SetUShort(kWordHex, static_cast<std::uint16_t>(random() % 65536));
    row.SetLong(kLong, static_cast<std::int32_t>(random() % 2000000) - 1000000);
    row.SetULong(kLongHex, static_cast<std::uint32_t>(random()));
    row.SetInt64(kInt64, static_cast<std::int64_t>(random() % 1000000000) * 1000 + index);
    row.SetFloat(kFloat, static_cast<float>(random() % 10000) / 100.0f);
    row.SetDouble(kDouble, static_cast<double>(random() % 1000000) / 1000.0);
    row.SetBool(kDone, random() % 3 == 0);
    row.SetLong(kPriority, static_cast<std::int32_t>(random() % 4));
    row.SetLong(kDuration, static_cast<std::int32_t>(random() % 7200000));
    row.SetLong(kCreated, kSeconds2009 - static_cast<std::int32_t>(random() % 30000000));
    row.SetInt64(kModified, kFileTime2009 - static_cast<std::int64_t>(random() % 1000000) * 10000000);
    row.SetLong(kUpdates, 0);
}

bool CRowTooltip::HasTooltip(CGrid*, CellDrawContext& cell)
{
    return cell.column && cell.column->GetFieldId() == kName && cell.row && cell.row->object;
}

QString CRowTooltip::GetTooltipText(CGrid*, CellDrawContext& cell)
{
    // Fields by name: the byte fields' default format writes the raw byte,
    // which is no UTF-8 text.
    auto* object = cell.row->object;
    std::string text = object->GetValueText(kName, nullptr);
    if (const std::string value = object->GetValueText(kDouble, nullptr); !value.empty())
        text += "\nValue " + value;
    if (const std::string updates = object->GetValueText(kUpdates, nullptr); !updates.empty())
        text += ", " + updates + " updates";
    return ToQString(text);
}

// --- the command line ---------------------------------------------------------------------

std::string UsageText()
{
    return "Usage: grid_demo [OPTION...]\n"
           "The grid library's showcase: a column of every value type, all editable in place,\n"
           "while a worker thread keeps changing the rows.\n"
           "\n"
           "  --screenshot FILE  save a picture of the window after --after seconds and quit\n"
           "  --after SECONDS    when to take the screenshot (default 3)\n"
           "  --edit CAPTION     open the editor of the column with that caption once the rows are in\n"
           "  --row N            the row to edit, counted from 0 in display order (default 1)\n"
           "  --type TEXT        type TEXT into the opened editor\n"
           "  --open-list        open a drop-down list's items or a date's month calendar\n"
           "  -h, --help         print this text and exit\n";
}

namespace {
bool ReadNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0';
}

bool ReadInteger(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long read = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0' || read < 0 || read > 1'000'000'000)
        return false;
    value = static_cast<int>(read);
    return true;
}

Options Failed(std::string message)
{
    Options options;
    options.action = Options::Fail;
    options.error = std::move(message);
    return options;
}
} // namespace

Options ParseOptions(const std::vector<std::string>& arguments)
{
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            options.action = Options::ShowHelp;
            return options;
        }
        if (argument == "--open-list") {
            options.openList = true;
            continue;
        }
        bool known = false;
        for (const char* name : {"--screenshot", "--after", "--edit", "--row", "--type"})
            known = known || argument == name;
        if (!known)
            return Failed("unknown option '" + argument + "'");
        if (i + 1 >= arguments.size())
            return Failed("option '" + argument + "' needs a value");
        const std::string& value = arguments[++i];
        if (argument == "--screenshot") {
            options.screenshot = value;
        } else if (argument == "--after") {
            if (!ReadNumber(value, options.after) || options.after < 0)
                return Failed("--after needs a number of seconds, not '" + value + "'");
        } else if (argument == "--edit") {
            options.edit = value;
        } else if (argument == "--row") {
            if (!ReadInteger(value, options.row))
                return Failed("--row needs a row number, not '" + value + "'");
        } else {
            options.type = value;
        }
    }
    return options;
}

} // namespace GridDemo

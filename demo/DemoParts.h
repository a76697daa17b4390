// The parts of grid_demo that stand without its window: the rows' fields,
// the header with a column of every value type, the rows' values, the
// tooltip over a row's name and the command line. grid_demo.cpp puts them
// together; the tests check them one by one.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/DynamicObject.h"
#include "gui/tooltip/TooltipSource.h"

namespace Kestrum::GUI {
class CHeader;
}

namespace GridDemo {

enum DemoField : std::int32_t {
    kName = 0,
    kChar,
    kByteHex,
    kShort,
    kWordHex,
    kLong,
    kLongHex,
    kInt64,
    kFloat,
    kDouble,
    kDone,
    kPriority,
    kDuration,
    kCreated,
    kModified,
    kUpdates,
};

// 2009-12-31 23:59:58 as a file time (100 ns ticks since 1601).
inline constexpr std::int64_t kFileTime2009 = 129067847980000000;
inline constexpr std::int32_t kSeconds2009 = 1262303998;

// Exit code of a bad command line.
inline constexpr int kUsageExitCode = 2;

Kestrum::GUI::CHeader* MakeHeader();
void FillRow(Kestrum::Common::CDynamicObject& row, int index, std::mt19937& random);

// Over a row's name: its name, the value the worker keeps changing (the
// Double) and how often it changed, beside the cursor.
struct CRowTooltip : Kestrum::GUI::ITooltipSource {
    bool IsAutoDelete() const override { return true; }
    bool HasTooltip(Kestrum::GUI::CGrid*, Kestrum::GUI::CellDrawContext& cell) override;
    QString GetTooltipText(Kestrum::GUI::CGrid*, Kestrum::GUI::CellDrawContext& cell) override;
};

struct Options {
    enum Action { Run, ShowHelp, Fail };
    Action action = Run;
    std::string screenshot; // empty: stay open
    double after = 3.0;
    std::string edit; // a column's caption; empty: no editor opened
    int row = 1;
    std::string type;
    bool openList = false;
    std::string error; // Fail: one line, without the program name
};

Options ParseOptions(const std::vector<std::string>& arguments);
// The --help text (several lines, ending with a newline).
std::string UsageText();

} // namespace GridDemo

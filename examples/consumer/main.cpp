// A grid with two columns and three rows, shown offscreen; prints how many
// rows the grid holds and exits 0 when that is the number added.
#include "common/DynamicObject.h"
#include "common/IntegerFormats.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"
#include "gui/header/Header.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <deque>
#include <string>

using namespace Kestrum;

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GUI::CGrid grid;
    auto* header = new GUI::CHeader(true);
    header->AddColumn(new GUI::CColumn(0, "Name", 120, GUI::AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new GUI::CColumn(1, "Code", 60, GUI::AlignRight, false, -1, -1, new Common::CUShortFormat(1),
                                       nullptr, nullptr, ""));
    grid.SetHeader(header);
    grid.resize(300, 200);
    grid.show();

    std::deque<Common::CDynamicObject> rows;
    for (int i = 0; i < 3; ++i) {
        rows.emplace_back(true);
        rows.back().SetStlString(0, "Row " + std::to_string(i + 1));
        rows.back().SetUShort(1, static_cast<std::uint16_t>(0xA0 + i));
        grid.Add(&rows.back(), GUI::GRID_ROOT, GUI::GRID_LAST);
    }
    // Rows reach the grid through its queue: let it drain, for two seconds at most.
    QElapsedTimer waited;
    waited.start();
    int count = 0;
    while ((count = grid.GetRowCount(GUI::AreaScrollable)) < 3 && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("rows: %d\n", count);
    return count == 3 ? 0 : 1;
}

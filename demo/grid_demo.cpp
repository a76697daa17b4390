// A grid of generated rows that a worker thread fills and keeps changing.
//   grid_demo [--screenshot FILE [--after SECONDS]]
#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <deque>
#include <random>
#include <thread>

#include "common/DynamicObject.h"
#include "common/IntegerFormats.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

int main(int argc, char** argv)
{
    const char* screenshot = nullptr;
    double after = 3.0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--after") == 0)
            after = std::atof(argv[++i]);
    }
    if (screenshot && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Kestrum grid demo");
    auto* grid = new CGrid(&window);
    window.setCentralWidget(grid);
    window.resize(640, 420);

    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(0, "Name", 220, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(1, "Group", 80, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(2, "Value", 120, AlignAuto, false, -1, -1,
                                  new Kestrum::Common::CInt64Format(0, true, ' ', true, false), nullptr, nullptr, ""));
    header->AddColumn(new CColumn(3, "Updates", 90, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->SetFixedColumnCount(1);
    header->SetSortInfo(0, CSortInfo(2, true));
    grid->SetHeader(header);
    // Rows may be dragged to another place (the pointer's x over the Name
    // column picks the level) or, with Ctrl held, copied there.
    DragDropSettings dragDrop = grid->GetDragDropSettings();
    dragDrop.switches[6] = 1;
    dragDrop.switches[12] = 1;
    grid->SetDragDropSettings(dragDrop);
    grid->EnableDragDrop(true);
    window.show();

    std::deque<CDynamicObject> objects;
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        std::mt19937 random(3);
        std::vector<HITEM> groups;
        for (int g = 0; g < 5 && !stop; ++g) {
            objects.emplace_back(true);
            objects.back().SetStlString(0, "Group " + std::to_string(g + 1));
            objects.back().SetInt64(2, 0);
            groups.push_back(grid->Add(&objects.back(), GRID_ROOT, GRID_LAST));
            grid->Expand(groups.back(), false);
        }
        for (int i = 0; i < 2000 && !stop; ++i) {
            objects.emplace_back(true);
            CDynamicObject& row = objects.back();
            row.SetStlString(0, "Row " + std::to_string(i));
            row.SetLong(1, static_cast<std::int32_t>(i % 5 + 1));
            row.SetInt64(2, static_cast<std::int64_t>(random() % 1000000));
            row.SetLong(3, 0);
            grid->Add(&row, groups[static_cast<std::size_t>(i % 5)], GRID_LAST);
        }
        for (int round = 1; !stop; ++round) {
            auto& row = objects[5 + random() % 2000];
            row.SetInt64(2, static_cast<std::int64_t>(random() % 1000000));
            row.SetLong(3, round);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    if (screenshot) {
        QTimer::singleShot(static_cast<int>(after * 1000), &window, [&] {
            const bool saved = window.grab().save(QString::fromLocal8Bit(screenshot));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = app.exec();
    stop = true;
    grid->SetClosing();
    worker.join();
    return result;
}

// The library's showcase: a grid with a column of every value type, all
// editable in place (double-click a cell or a check box; click the drop-down
// button of a choice or a date), while a worker thread keeps changing the rows.
//
//   grid_demo [--screenshot FILE [--after SECONDS]] [--edit CAPTION [--row N]
//             [--type TEXT] [--open-list]]
//   grid_demo --help
//
// --edit opens the editor of the column with that caption in row N (counted
// from 0 in display order, default 1) once the rows are in, types TEXT into
// it, and with --open-list opens a drop-down list's items or a date's month
// calendar. --screenshot saves a picture after SECONDS (default 3) and quits;
// on a real display it is taken from the screen, so an open pop-up shows too.
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QKeyEvent>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "demo/DemoParts.h"
#include "gui/edit/EditTypes.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/tooltip/TooltipCtrl.h"

using namespace Kestrum::GUI;
using namespace GridDemo;
using Kestrum::Common::CDynamicObject;
namespace Common = Kestrum::Common;

namespace {

// Types into a control as the keyboard would.
void TypeInto(QWidget* control, const QString& text)
{
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(control, &press);
        QApplication::sendEvent(control, &release);
    }
}

// Opens the asked editor: the cell of the column with that caption.
void OpenEditor(CGrid& grid, CHeader& header, const Options& options)
{
    for (CColumn* column : header.GetVisibleColumns()) {
        if (column->GetCaption() != options.edit)
            continue;
        const HITEM item = grid.GetItemAt(options.row, AreaScrollable);
        if (!item)
            return;
        grid.EnsureItemVisible(item);
        if (!grid.BeginEditCell(item, column->GetFieldId(), EditStartDoubleClick))
            return;
        QWidget* control = grid.GetEditControl();
        if (control && !options.type.empty())
            TypeInto(control, QString::fromStdString(options.type));
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && options.openList)
            combo->showPopup();
        if (auto* date = qobject_cast<CEmbeddedDateTimeCtrl*>(control); date && options.openList)
            date->OpenCalendar();
        return;
    }
}

// The window, and an open pop-up over it, as they are on the screen; the
// window alone where there is no screen to read.
bool SaveScreenshot(QMainWindow& window, const QString& file)
{
    QScreen* screen = window.screen();
    if (QGuiApplication::platformName() == "offscreen" || !screen)
        return window.grab().save(file);
    QRect area = window.frameGeometry();
    if (QWidget* popup = QApplication::activePopupWidget())
        area = area.united(popup->frameGeometry());
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.action == Options::ShowHelp) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.action == Options::Fail) {
        std::fprintf(stderr, "grid_demo: %s (grid_demo --help lists the options)\n", options.error.c_str());
        return kUsageExitCode;
    }
    if (!options.screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Kestrum grid demo");
    auto* grid = new CGrid(&window);
    window.setCentralWidget(grid);
    window.statusBar()->showMessage("Double-click a cell to edit it (Enter writes, Esc keeps, Tab and the arrows move on) "
                                    "or a check box to toggle it; click a drop-down button. A worker thread changes the rows meanwhile.");
    window.resize(1240, 640);
    window.move(10, 10);

    CHeader* header = MakeHeader();
    grid->SetHeader(header);
    grid->EnableUpdateHighlight(true);
    grid->SetTooltipCtrl(false, new CTooltipCtrl(true));
    grid->SetTooltipSource(new CRowTooltip);
    grid->EnableTooltips(false, true);
    // Rows may be dragged to another place (the pointer's x over the Name
    // column picks the level) or, with Ctrl held, copied there.
    DragDropSettings dragDrop = grid->GetDragDropSettings();
    dragDrop.switches[6] = 1;
    dragDrop.switches[12] = 1;
    grid->SetDragDropSettings(dragDrop);
    grid->EnableDragDrop(true);
    window.show();

    std::deque<CDynamicObject> objects;
    std::atomic<int> added{0};
    std::atomic<bool> stop{false};
    constexpr int kGroups = 4;
    constexpr int kRows = 400;
    std::thread worker([&] {
        std::mt19937 random(7);
        std::vector<HITEM> groups;
        for (int g = 0; g < kGroups && !stop; ++g) {
            objects.emplace_back(true);
            objects.back().SetStlString(kName, "Group " + std::to_string(g + 1));
            groups.push_back(grid->Add(&objects.back(), GRID_ROOT, GRID_LAST));
            grid->Expand(groups.back(), false);
        }
        for (int i = 0; i < kRows && !stop; ++i) {
            objects.emplace_back(true);
            FillRow(objects.back(), i, random);
            grid->Add(&objects.back(), groups[static_cast<std::size_t>(i % kGroups)], GRID_LAST);
            added = i + 1;
        }
        // The values a user is least likely to be typing into change all the time.
        for (int round = 1; !stop; ++round) {
            CDynamicObject& row = objects[kGroups + random() % kRows];
            row.SetDouble(kDouble, static_cast<double>(random() % 1000000) / 1000.0);
            row.SetLong(kDuration, static_cast<std::int32_t>(random() % 7200000));
            row.SetInt64(kModified, kFileTime2009 + static_cast<std::int64_t>(round) * 10000000);
            row.SetLong(kUpdates, row.GetLong(kUpdates) + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });

    if (!options.edit.empty()) {
        auto* waiter = new QTimer(&window);
        QObject::connect(waiter, &QTimer::timeout, &window, [&, waiter] {
            if (added < kRows)
                return;
            waiter->stop();
            OpenEditor(*grid, *header, options);
        });
        waiter->start(50);
    }
    if (!options.screenshot.empty()) {
        QTimer::singleShot(static_cast<int>(options.after * 1000), &window, [&] {
            const bool saved = SaveScreenshot(window, QString::fromLocal8Bit(options.screenshot.c_str()));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = app.exec();
    stop = true;
    grid->SetClosing();
    worker.join();
    return result;
}

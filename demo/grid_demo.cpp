// The library's showcase: a grid with a column of every value type, all
// editable in place (double-click a cell; click a check box or the drop-down
// button of a choice or a date), while a worker thread keeps changing the rows.
//
//   grid_demo [--screenshot FILE [--after SECONDS]] [--edit CAPTION [--row N]
//             [--type TEXT] [--open-list]]
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
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <thread>

#include "common/DateFormats.h"
#include "common/DynamicObject.h"
#include "common/EnumFormat.h"
#include "common/FloatFormats.h"
#include "common/IntegerFormats.h"
#include "gui/edit/EditTypes.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/QtText.h"
#include "gui/tooltip/TooltipCtrl.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
namespace Common = Kestrum::Common;

namespace {

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
constexpr std::int64_t kFileTime2009 = 129067847980000000;
constexpr std::int32_t kSeconds2009 = 1262303998;

CColumn* Column(std::int32_t field, const char* caption, int width, Common::CFormat* format, bool editable = true,
                std::int32_t alignment = AlignAuto)
{
    return new CColumn(field, caption, width, alignment, editable, -1, -1, format, nullptr, nullptr, "");
}

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

void FillRow(CDynamicObject& row, int index, std::mt19937& random)
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

struct Options {
    const char* screenshot = nullptr;
    double after = 3.0;
    const char* edit = nullptr;
    int row = 1;
    const char* type = nullptr;
    bool openList = false;
};

Options Read(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--screenshot") == 0 && more)
            options.screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--after") == 0 && more)
            options.after = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--edit") == 0 && more)
            options.edit = argv[++i];
        else if (std::strcmp(argv[i], "--row") == 0 && more)
            options.row = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--type") == 0 && more)
            options.type = argv[++i];
        else if (std::strcmp(argv[i], "--open-list") == 0)
            options.openList = true;
    }
    return options;
}

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
        if (control && options.type)
            TypeInto(control, QString::fromUtf8(options.type));
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

// Over a row's name: its value and how often it changed, beside the cursor.
struct CRowTooltip : ITooltipSource {
    bool IsAutoDelete() const override { return true; }
    bool HasTooltip(CGrid*, CellDrawContext& cell) override
    {
        return cell.column && cell.column->GetFieldId() == 0 && cell.row && cell.row->object;
    }
    QString GetTooltipText(CGrid*, CellDrawContext& cell) override
    {
        auto* object = cell.row->object;
        std::string text = object->GetValueText(0, nullptr) + "\nValue " + object->GetValueText(2, nullptr);
        if (const std::string updates = object->GetValueText(3, nullptr); !updates.empty())
            text += ", " + updates + " updates";
        return ToQString(text);
    }
};

int main(int argc, char** argv)
{
    const Options options = Read(argc, argv);
    if (options.screenshot && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Kestrum grid demo");
    auto* grid = new CGrid(&window);
    window.setCentralWidget(grid);
    window.statusBar()->showMessage("Double-click a cell to edit it (Enter writes, Esc keeps, Tab and the arrows move on); "
                                    "click a check box or a drop-down button. A worker thread changes the rows meanwhile.");
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

    if (options.edit) {
        auto* waiter = new QTimer(&window);
        QObject::connect(waiter, &QTimer::timeout, &window, [&, waiter] {
            if (added < kRows)
                return;
            waiter->stop();
            OpenEditor(*grid, *header, options);
        });
        waiter->start(50);
    }
    if (options.screenshot) {
        QTimer::singleShot(static_cast<int>(options.after * 1000), &window, [&] {
            const bool saved = SaveScreenshot(window, QString::fromLocal8Bit(options.screenshot));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = app.exec();
    stop = true;
    grid->SetClosing();
    worker.join();
    return result;
}

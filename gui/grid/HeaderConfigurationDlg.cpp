#include "gui/grid/HeaderConfigurationDlg.h"

#include <QFontMetrics>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <vector>

#include "common/DynamicObject.h"
#include "common/StringFormats.h"
#include "gui/edit/CheckBoxReflector.h"
#include "gui/edit/EditInPlace.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {

enum class ControlKind { Button, Static, Grid, UpDown, Edit };

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    QRect units; // x, y, width, height in dialog units
};

// The dialog's layout, in dialog units; the same for every dialog.
constexpr std::array<ControlTemplate, 10> kControls{{
    {CHeaderConfigurationDlg::IdOk, ControlKind::Button, "OK", QRect(31, 201, 50, 14)},
    {CHeaderConfigurationDlg::IdCancel, ControlKind::Button, "Cancel", QRect(87, 201, 50, 14)},
    {CHeaderConfigurationDlg::IdTop, ControlKind::Button, "Top", QRect(147, 15, 38, 14)},
    {CHeaderConfigurationDlg::IdUp, ControlKind::Button, "Up", QRect(147, 33, 38, 14)},
    {CHeaderConfigurationDlg::IdDown, ControlKind::Button, "Down", QRect(147, 51, 38, 14)},
    {CHeaderConfigurationDlg::IdBottom, ControlKind::Button, "Bottom", QRect(147, 69, 38, 14)},
    {CHeaderConfigurationDlg::IdFixedLabel, ControlKind::Static, "Fixed columns", QRect(141, 103, 46, 8)},
    {CHeaderConfigurationDlg::IdList, ControlKind::Grid, "", QRect(7, 7, 130, 188)},
    {CHeaderConfigurationDlg::IdSpin, ControlKind::UpDown, "", QRect(178, 113, 11, 12)},
    {CHeaderConfigurationDlg::IdFixedCount, ControlKind::Edit, "", QRect(148, 113, 27, 12)},
}};
constexpr QSize kDialogUnits(194, 222);

constexpr const char* kIdProperty = "controlId";

// Fixed columns' rows.
constexpr Color kFixedText = MakeColor(127, 127, 127);
constexpr Color kFixedTint = MakeColor(249, 254, 211);
constexpr int kFixedTintAlpha = 80;
constexpr int kFixedWeight = 600;

// The list's columns.
constexpr int kCheckWidth = 16;
constexpr int kCaptionWidth = 160;

// The up-down control: two arrows stacked in its rectangle. It keeps the
// platform's default range, which runs from 100 down to 0, so its up arrow
// reports a change of -1 and its down arrow +1.
class CUpDown final : public QWidget {
public:
    CUpDown(QWidget* parent, const std::function<void(int)>& changed) : QWidget(parent)
    {
        m_up = MakeArrow(Qt::UpArrow, "up", [changed] { changed(-1); });
        m_down = MakeArrow(Qt::DownArrow, "down", [changed] { changed(1); });
        // Arrows without text: a screen reader says these.
        m_up->setAccessibleName("One fixed column fewer");
        m_down->setAccessibleName("One fixed column more");
    }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        const int half = height() / 2;
        m_up->setGeometry(0, 0, width(), half);
        m_down->setGeometry(0, half, width(), height() - half);
    }

private:
    QToolButton* MakeArrow(Qt::ArrowType arrow, const char* name, const std::function<void()>& clicked)
    {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        QObject::connect(button, &QToolButton::clicked, this, clicked);
        return button;
    }

    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
};

} // namespace

// The list grid's in-place editor (the check box of field 0, nothing else)
// and custom draw (the fixed columns' rows).
class CHeaderConfigurationDlg::Impl final : public CEditInPlace, public CCustomDraw {
public:
    explicit Impl(CHeader* configured) : CEditInPlace(false), CCustomDraw(false), header(configured) {}
    ~Impl() override
    {
        // The grid goes first: its rows point at the row objects, and it
        // holds this object as its editor and custom draw.
        delete grid;
    }
    bool IsAutoDelete() const override { return false; }

    bool CanEdit(const EditCell& cell, int reason) override
    {
        return cell.Field() == FieldVisible && CEditInPlace::CanEdit(cell, reason);
    }
    IControlReflector* GetReflector(CGrid*, CGridItem*, Common::CDataObject*, CColumn* column, Common::CFormat*) override
    {
        return column && column->GetFieldId() == FieldVisible ? &checkBox : nullptr;
    }

    void PaintLine(RowDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        // The row's position in the list, hidden columns included, against
        // the header's count.
        if (header && context.rowIndex >= 0 && context.rowIndex < header->GetFixedColumnCount()) {
            fixedFont = context.font ? *context.font : QFont();
            fixedFont.setItalic(true);
            fixedFont.setWeight(QFont::Weight(kFixedWeight));
            context.font = &fixedFont;
            context.textColor = kFixedText;
            context.backColor = BlendColor(kFixedTint, context.backColor, kFixedTintAlpha);
        }
        CCustomDraw::PaintLine(context, state, flags);
    }

    void ClearList()
    {
        if (grid)
            grid->Clear(MaskBoth);
        rows.clear();
    }

    void FillList()
    {
        ClearList();
        auto* list = new CHeader(true);
        list->AddColumn(new CColumn(FieldVisible, "", kCheckWidth, AlignLeft, true, -1, -1,
                                    new Common::CEmptyFormat(Common::FT_BOOL), nullptr, nullptr, ""));
        list->AddColumn(new CColumn(FieldCaption, "", kCaptionWidth, AlignLeft, false, -1, -1, nullptr, nullptr,
                                    nullptr, ""));
        delete grid->SetHeader(list);
        DragDropSettings dragDrop = grid->GetDragDropSettings();
        dragDrop.switches[0] = 0;
        grid->SetDragDropSettings(dragDrop);
        grid->EnableSelection(true);
        grid->EnableMultiSelection(true);
        GridAppearance appearance = grid->GetAppearance();
        appearance.oddRowText = MakeColor(0, 0, 0);
        appearance.evenRowText = MakeColor(0, 0, 0);
        appearance.oddRowBack = MakeColor(240, 240, 255);
        appearance.evenRowBack = MakeColor(255, 255, 255);
        grid->SetAppearance(appearance);
        grid->SetDoubleBuffering(true);
        grid->SetPaintFlags(grid->GetPaintFlags() & ~static_cast<std::uint32_t>(PaintHierarchy));
        grid->SetEditInPlace(this);
        // The check column is the box itself: a click toggles it (start mode
        // 0), and a double click, whose first press toggled it, does not
        // toggle it back.
        EditSettings edit = grid->GetEditSettings();
        edit.startMode = 0;
        grid->SetEditSettings(edit);
        grid->EnableUpdateHighlight(false);
        grid->ShowHeader(false);
        grid->SetSortAreas(0);
        grid->SetCustomDraw(this);
        if (!header)
            return;
        for (int index = 0; index < header->GetColumnCount(); ++index) {
            const CColumn* column = header->GetColumnAt(index);
            auto row = std::make_unique<Common::CDynamicObject>(true);
            row->SetBool(FieldVisible, column->IsVisible());
            row->SetStlString(FieldCaption, column->GetCaption());
            row->SetLong(FieldId, column->GetFieldId());
            grid->Add(row.get(), GRID_ROOT, GRID_LAST);
            rows.push_back(std::move(row));
        }
    }

    // The list's rows in display order.
    std::vector<HITEM> ListRows() const
    {
        std::vector<HITEM> items;
        grid->GetChildren(GRID_ROOT, items, false);
        return items;
    }
    // The selected rows in display order.
    std::vector<HITEM> SelectedRows() const
    {
        std::vector<HITEM> selected;
        for (HITEM item : ListRows())
            if (grid->IsItemSelected(item))
                selected.push_back(item);
        return selected;
    }
    std::int32_t FieldOf(HITEM item) const { return grid->GetObject(item)->GetLong(FieldId); }

    CCheckBoxReflector checkBox;
    CHeader* header;
    std::vector<std::unique_ptr<Common::CDynamicObject>> rows;
    QFont fixedFont;
    CGrid* grid = nullptr; // a child of the dialog, deleted here first
    QLineEdit* count = nullptr;
};

QRect CHeaderConfigurationDlg::DialogUnitsToPixels(const QFont& font, const QRect& units)
{
    // The average width of the Latin letters, rounded, and the font's height.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = std::max(1, (letters / 26 + 1) / 2);
    const int baseY = std::max(1, metrics.height());
    auto x = [baseX](int value) { return (value * baseX + 2) / 4; };
    auto y = [baseY](int value) { return (value * baseY + 4) / 8; };
    return {x(units.x()), y(units.y()), x(units.width()), y(units.height())};
}

CHeaderConfigurationDlg::CHeaderConfigurationDlg(CHeader* header, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_impl(std::make_unique<Impl>(header))
{
    setWindowTitle("Header configuration dialog");
    setModal(true);
    setFixedSize(DialogUnitsToPixels(font(), QRect(QPoint(0, 0), kDialogUnits)).size());
    for (const ControlTemplate& control : kControls) {
        QWidget* widget = nullptr;
        switch (control.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(control.text, this);
            button->setAutoDefault(false);
            if (control.id == IdOk)
                button->setDefault(true);
            widget = button;
            break;
        }
        case ControlKind::Static: widget = new QLabel(control.text, this); break;
        case ControlKind::Grid: {
            m_impl->grid = new CGrid(this);
            m_impl->grid->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            m_impl->grid->setLineWidth(1);
            widget = m_impl->grid;
            break;
        }
        case ControlKind::UpDown: widget = new CUpDown(this, [this](int delta) { OnSpin(delta); }); break;
        case ControlKind::Edit: {
            auto* edit = m_impl->count = new QLineEdit(this);
            edit->setAlignment(Qt::AlignRight);
            edit->setReadOnly(true);
            edit->setValidator(new QIntValidator(0, INT_MAX, edit));
            edit->setFrame(true);
            widget = edit;
            break;
        }
        }
        widget->setProperty(kIdProperty, control.id);
        widget->setObjectName(QString::number(control.id));
        QRect place = DialogUnitsToPixels(font(), control.units);
        if (control.kind == ControlKind::Static) {
            // A font whose letters run wider than its average says would cut
            // the text: widen it, up to the dialog's edge.
            const int needed = widget->fontMetrics().horizontalAdvance(control.text);
            place.setWidth(std::max(place.width(), std::min(needed, width() - place.x())));
        }
        widget->setGeometry(place);
    }
    connect(static_cast<QPushButton*>(GetControl(IdOk)), &QPushButton::clicked, this, &CHeaderConfigurationDlg::accept);
    connect(static_cast<QPushButton*>(GetControl(IdCancel)), &QPushButton::clicked, this, &QDialog::reject);
    connect(static_cast<QPushButton*>(GetControl(IdTop)), &QPushButton::clicked, this, [this] { OnTop(); });
    connect(static_cast<QPushButton*>(GetControl(IdUp)), &QPushButton::clicked, this, [this] { OnUp(); });
    connect(static_cast<QPushButton*>(GetControl(IdDown)), &QPushButton::clicked, this, [this] { OnDown(); });
    connect(static_cast<QPushButton*>(GetControl(IdBottom)), &QPushButton::clicked, this, [this] { OnBottom(); });

    // What a screen reader says of the controls that have no text of their own.
    m_impl->grid->setAccessibleName("Columns");
    m_impl->grid->setAccessibleDescription("Checked columns are shown; Top, Up, Down and Bottom move the selected ones");
    static_cast<QLabel*>(GetControl(IdFixedLabel))->setBuddy(m_impl->count);
    m_impl->count->setAccessibleName("Fixed columns");

    // Initialisation: the count, then the list.
    m_fixedCount = header ? header->GetFixedColumnCount() : 0;
    m_impl->count->setText(QString::number(m_fixedCount));
    m_impl->FillList();
    m_impl->grid->setFocus();
}

CHeaderConfigurationDlg::~CHeaderConfigurationDlg() { m_impl->ClearList(); }

int CHeaderConfigurationDlg::DoModal() { return exec(); }

QWidget* CHeaderConfigurationDlg::GetControl(int id) const
{
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->property(kIdProperty).toInt() == id)
            return child;
    return nullptr;
}

CGrid* CHeaderConfigurationDlg::GetListGrid() const { return m_impl->grid; }

void CHeaderConfigurationDlg::OnTop()
{
    // Last to first, each to the front: they keep their order.
    const std::vector<HITEM> selected = m_impl->SelectedRows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        m_impl->grid->Move(*it, 0, GRID_FIRST, true);
}

void CHeaderConfigurationDlg::OnUp()
{
    for (HITEM item : m_impl->SelectedRows()) {
        const HITEM above = m_impl->grid->GetPrevRow(item, false);
        if (!above)
            return;
        m_impl->grid->Move(item, 0, above, true);
    }
}

void CHeaderConfigurationDlg::OnDown()
{
    const std::vector<HITEM> selected = m_impl->SelectedRows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const HITEM below = m_impl->grid->GetNextRow(*it, false);
        if (!below)
            return;
        m_impl->grid->Move(*it, 0, below, false);
    }
}

void CHeaderConfigurationDlg::OnBottom()
{
    for (HITEM item : m_impl->SelectedRows())
        m_impl->grid->Move(item, 0, GRID_LAST, false);
}

void CHeaderConfigurationDlg::OnSpin(int delta)
{
    CHeader* header = m_impl->header;
    if (!header)
        return;
    int count = m_fixedCount;
    if (delta <= 0) {
        if (count < header->GetColumnCount())
            ++count;
    } else if (count > 0) {
        --count;
    }
    if (count == m_fixedCount)
        return;
    // Applied now: a later Cancel keeps it.
    m_fixedCount = count;
    header->SetFixedColumnCount(count);
    m_impl->grid->viewport()->update();
    m_impl->count->setText(QString::number(count));
}

void CHeaderConfigurationDlg::accept()
{
    if (CHeader* header = m_impl->header) {
        // The header's stored order follows the list; a move the header
        // refuses is skipped.
        const std::vector<HITEM> rows = m_impl->ListRows();
        for (std::size_t index = 1; index < rows.size(); ++index)
            header->MoveColumnAfter(m_impl->FieldOf(rows[index]), m_impl->FieldOf(rows[index - 1]));
        for (HITEM item : rows) {
            const std::int32_t field = m_impl->FieldOf(item);
            if (m_impl->grid->GetObject(item)->GetBool(FieldVisible))
                header->ShowColumn(field);
            else
                header->HideColumn(field);
        }
    }
    QDialog::accept();
}

} // namespace Kestrum::GUI

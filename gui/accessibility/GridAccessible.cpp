#include "gui/accessibility/GridAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>

#include "common/DataObject.h"
#include "gui/accessibility/AccessibleCells.h"
#include "gui/accessibility/DateTimeAccessible.h"
#include "gui/accessibility/GridAccessNotify.h"
#include "gui/edit/CheckBoxReflector.h"
#include "gui/edit/EditInPlace.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"
#include "gui/grid/GridDefaults.h"
#include "gui/grid/SelectionModel.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

namespace {

// Grids with a live interface. The notifications read the count alone while
// it is 0: that is every grid's cost when nobody asks.
std::atomic<int> g_liveInterfaces{0};

QHash<const CGrid*, CGridAccessible*>& Registry()
{
    static QHash<const CGrid*, CGridAccessible*> registry;
    return registry;
}

CGridAccessible* Watching(CGrid* grid)
{
    if (g_liveInterfaces.load(std::memory_order_relaxed) == 0)
        return nullptr;
    return Registry().value(grid, nullptr);
}

// The grid's rows through its public operations, for the selection model's
// numbering in screen order.
class CPublicRows final : public ISelectionRows {
public:
    explicit CPublicRows(CGrid& grid) : m_grid(grid) {}
    int GetRowCount(int area) const override { return m_grid.GetRowCount(area); }
    bool IsRowSelected(RowPosition position) const override { return m_grid.IsRowSelected(position.row, position.area); }
    bool SelectRow(RowPosition position, bool select) override { return m_grid.SelectRow(position.row, position.area, select); }
    void ClearSelection() override { m_grid.ClearSelection(); }

private:
    CGrid& m_grid;
};


// The grid taking the keyboard focus announces its focused cell afresh.
class CFocusWatch final : public QObject {
public:
    explicit CFocusWatch(CGridAccessible& table) : m_table(table) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn)
            m_table.OnItemEvent(EventFocusChanged, 0);
        return false;
    }

private:
    CGridAccessible& m_table;
};

CGridAccessible::EventObserver g_observer = nullptr;

// Qt hands events on only while a screen reader's bridge is active; the
// observer sees them either way.
void Announce(QAccessibleEvent* event)
{
    if (g_observer)
        g_observer(event);
    QAccessible::updateAccessibility(event);
}

QAccessibleInterface* GridFactory(const QString&, QObject* object)
{
    if (auto* grid = dynamic_cast<CGrid*>(object))
        return new CGridAccessible(grid);
    if (auto* date = dynamic_cast<CEmbeddedDateTimeCtrl*>(object))
        return new CDateTimeCtrlAccessible(date);
    return nullptr;
}

} // namespace

// --- the notifications ---------------------------------------------------------

void InstallGridAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&GridFactory); });
}

void NotifyAccessibleItemEvent(CGrid* grid, int code, HITEM item)
{
    if (CGridAccessible* table = Watching(grid))
        table->OnItemEvent(code, item);
}

void NotifyAccessibleRowsChanged(CGrid* grid)
{
    if (CGridAccessible* table = Watching(grid))
        table->OnRowsChanged();
}

void NotifyAccessibleHeaderChanged(CGrid* grid, int code)
{
    if (CGridAccessible* table = Watching(grid))
        table->OnHeaderChanged(code);
}

void ForgetAccessibleGrid(CGrid* grid)
{
    if (CGridAccessible* table = Watching(grid))
        table->Forget();
}

// --- the table -----------------------------------------------------------------

CGridAccessible::CGridAccessible(CGrid* grid)
    : QAccessibleWidget(grid, QAccessible::Table), m_grid(grid), m_registryKey(grid)
{
    Registry().insert(grid, this);
    g_liveInterfaces.fetch_add(1, std::memory_order_relaxed);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Flush(); });
    // An editor takes the focus before the grid has recorded its edit: it
    // is named once the event is done.
    QObject::connect(qApp, &QApplication::focusChanged, &m_timer, [this](QWidget*, QWidget* now) {
        if (!now || !m_grid || !m_grid->viewport()->isAncestorOf(now))
            return;
        NameEditor(now);
        QTimer::singleShot(0, &m_timer, [this, focused = QPointer<QWidget>(now)] { NameEditor(focused); });
    });
    auto* watch = new CFocusWatch(*this);
    watch->setParent(&m_timer);
    grid->installEventFilter(watch);
}

CGridAccessible::~CGridAccessible()
{
    Forget();
    Registry().remove(m_registryKey);
    g_liveInterfaces.fetch_sub(1, std::memory_order_relaxed);
}

CGridAccessible::EventObserver CGridAccessible::SetEventObserver(EventObserver observer)
{
    return std::exchange(g_observer, observer);
}

CGridAccessible* CGridAccessible::Of(const CGrid* grid) { return Registry().value(grid, nullptr); }

void CGridAccessible::Forget()
{
    if (!m_grid)
        return;
    m_timer.stop();
    DeleteAllCells();
    m_grid = nullptr;
}

CHeader* CGridAccessible::Header() const { return m_grid ? m_grid->GetHeader() : nullptr; }

CColumn* CGridAccessible::ColumnAt(int column) const
{
    CHeader* header = Header();
    return header && column >= 0 ? header->GetVisibleColumnAt(column) : nullptr;
}

int CGridAccessible::ColumnIndexOf(std::int32_t fieldId) const
{
    CHeader* header = Header();
    return header && header->GetVisibleColumn(fieldId) ? header->GetVisibleIndex(fieldId) : -1;
}

int CGridAccessible::LeadColumn() const
{
    CHeader* header = Header();
    CColumn* tree = header ? header->GetTreeColumn() : nullptr;
    const int index = tree ? ColumnIndexOf(tree->GetFieldId()) : -1;
    return index >= 0 ? index : 0;
}

bool CGridAccessible::ShowsHierarchy() const
{
    CHeader* header = Header();
    return header && header->GetTreeColumn() && (m_grid->GetPaintFlags() & PaintHierarchy);
}

bool CGridAccessible::HeaderShown() const { return Header() && m_grid->IsHeaderShown(); }

HITEM CGridAccessible::ItemAtRow(int row) const
{
    if (!m_grid)
        return 0;
    CPublicRows rows(*m_grid);
    const RowPosition position = CSelectionModel(rows).AtOrdinal(row);
    return position.IsNone() ? 0 : m_grid->GetItemAt(position.row, position.area);
}

int CGridAccessible::RowOf(HITEM item) const
{
    if (!m_grid)
        return -1;
    const int index = m_grid->GetVisibleIndex(item);
    if (index < 0)
        return -1;
    CPublicRows rows(*m_grid);
    return CSelectionModel(rows).OrdinalOf(RowPosition{index, m_grid->GetArea(item)});
}

bool CGridAccessible::HasFocusedRow(HITEM item) const
{
    return m_grid && m_grid->GetFocusedArea() != 0 &&
           m_grid->GetItemAt(m_grid->GetFocusedRow(), m_grid->GetFocusedArea()) == item;
}

QAccessibleInterface* CGridAccessible::Cell(HITEM item, std::int32_t fieldId) const
{
    if (!m_grid || !item)
        return nullptr;
    const auto key = qMakePair(static_cast<quintptr>(item), fieldId);
    if (const QAccessible::Id id = m_cells.value(key, 0)) {
        QAccessibleInterface* cell = QAccessible::accessibleInterface(id);
        if (cell && cell->isValid())
            return cell;
        if (cell)
            QAccessible::deleteAccessibleInterface(id);
        m_cells.remove(key);
    }
    auto* cell = new CCellAccessible(const_cast<CGridAccessible*>(this), item, m_grid->GetObject(item), fieldId);
    if (!cell->isValid()) {
        delete cell;
        return nullptr;
    }
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* CGridAccessible::HeaderCell(std::int32_t fieldId) const
{
    if (const QAccessible::Id id = m_headerCells.value(fieldId, 0))
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(id))
            return cell->isValid() ? cell : nullptr;
    auto* cell = new CHeaderCellAccessible(const_cast<CGridAccessible*>(this), fieldId);
    if (!cell->isValid()) {
        delete cell;
        return nullptr;
    }
    m_headerCells.insert(fieldId, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* CGridAccessible::FocusedCell() const
{
    if (!m_grid || m_grid->GetFocusedArea() == 0)
        return nullptr;
    CColumn* lead = ColumnAt(LeadColumn());
    const HITEM item = m_grid->GetItemAt(m_grid->GetFocusedRow(), m_grid->GetFocusedArea());
    return lead ? Cell(item, lead->GetFieldId()) : nullptr;
}

void CGridAccessible::DeleteAllCells()
{
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
    for (const QAccessible::Id id : std::as_const(m_headerCells))
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
    m_headerCells.clear();
    m_announcedFocus = 0;
}

void CGridAccessible::SweepCells()
{
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        QAccessibleInterface* cell = QAccessible::accessibleInterface(it.value());
        if (cell && cell->isValid()) {
            ++it;
            continue;
        }
        if (cell)
            QAccessible::deleteAccessibleInterface(it.value());
        if (it.value() == m_announcedFocus)
            m_announcedFocus = 0;
        it = m_cells.erase(it);
    }
    for (auto it = m_headerCells.begin(); it != m_headerCells.end();) {
        QAccessibleInterface* cell = QAccessible::accessibleInterface(it.value());
        if (cell && cell->isValid()) {
            ++it;
            continue;
        }
        if (cell)
            QAccessible::deleteAccessibleInterface(it.value());
        it = m_headerCells.erase(it);
    }
}

void CGridAccessible::NameEditor(QWidget* focused)
{
    QWidget* control = m_grid ? m_grid->GetEditControl() : nullptr;
    if (!focused || !control || (focused != control && !control->isAncestorOf(focused)))
        return;
    CColumn* column = ColumnAt(ColumnIndexOf(m_grid->GetEditField()));
    CColumn* lead = ColumnAt(LeadColumn());
    const HITEM item = m_grid->GetEditItem();
    if (!column || !item)
        return;
    const QString caption = ToQString(column->GetCaption());
    const QString row = lead ? PaintedText(m_grid, item, lead) : QString();
    const QString description = QStringLiteral("Edits %1 of %2; Enter keeps the value, Esc drops it").arg(caption, row);
    for (QWidget* widget : {control, focused}) {
        // An application's own name for its control stays.
        if (widget->accessibleName().isEmpty() || widget->property("kestrumNamed").toBool()) {
            widget->setAccessibleName(caption);
            widget->setAccessibleDescription(description);
            widget->setProperty("kestrumNamed", true);
        }
    }
}

// --- what changed --------------------------------------------------------------

void CGridAccessible::OnItemEvent(int code, HITEM item)
{
    if (!m_grid)
        return;
    switch (code) {
    case EventFocusChanged: m_focusPending = true; break;
    case EventSelectionChanged: m_selectionPending = true; break;
    case EventExpandedChanged:
        m_rowsPending = true;
        if (m_toggled.size() < kMaxAnnouncedToggles && std::find(m_toggled.begin(), m_toggled.end(), item) == m_toggled.end())
            m_toggled.push_back(item);
        break;
    case EventItemUpdated:
        // Counted by items, not by updates: a folder's size changes many times a second.
        if (m_updated.size() >= 256)
            m_updatedOverflow = true;
        else if (std::find(m_updated.begin(), m_updated.end(), item) == m_updated.end())
            m_updated.push_back(item);
        break;
    default: m_rowsPending = true; break;
    }
    Schedule();
}

void CGridAccessible::OnRowsChanged()
{
    if (!m_grid)
        return;
    m_rowsPending = true;
    Schedule();
}

void CGridAccessible::OnHeaderChanged(int)
{
    if (!m_grid)
        return;
    // Columns, captions or the sort changed: the cells' numbering may have.
    m_rowsPending = true;
    Schedule();
}

void CGridAccessible::Schedule()
{
    if (!m_timer.isActive())
        m_timer.start(0);
}

void CGridAccessible::Flush()
{
    if (!m_grid)
        return;
    const std::int64_t now = GridClockNow();
    if (m_rowsPending) {
        if (m_lastRowsChange >= 0 && now - m_lastRowsChange < kRowsChangeSpacingMs) {
            // Too soon after the last: once the spacing is over.
            m_timer.start(static_cast<int>(m_lastRowsChange + kRowsChangeSpacingMs - now));
        } else {
            m_rowsPending = false;
            m_lastRowsChange = now;
            SweepCells();
            QAccessibleTableModelChangeEvent reset(this, QAccessibleTableModelChangeEvent::ModelReset);
            Announce(&reset);
        }
    }
    const int lead = LeadColumn();
    if (CColumn* leadColumn = ColumnAt(lead)) {
        for (const HITEM item : std::exchange(m_toggled, {})) {
            if (m_grid->GetVisibleIndex(item) < 0)
                continue;
            if (QAccessibleInterface* cell = Cell(item, leadColumn->GetFieldId())) {
                QAccessible::State changed;
                changed.expanded = true;
                changed.collapsed = true;
                QAccessibleStateChangeEvent event(cell, changed);
                Announce(&event);
            }
        }
    }
    m_toggled.clear();
    if (!m_updated.empty() || m_updatedOverflow) {
        int first = INT_MAX, last = -1;
        if (m_updatedOverflow) {
            first = 0;
            last = rowCount() - 1;
        } else {
            for (const HITEM item : m_updated) {
                if (m_grid->GetRowRect(item).IsEmpty())
                    continue; // not in view: nobody reads it now
                const int row = RowOf(item);
                first = std::min(first, row);
                last = std::max(last, row);
            }
        }
        m_updated.clear();
        m_updatedOverflow = false;
        if (last >= 0 && first <= last) {
            QAccessibleTableModelChangeEvent change(this, QAccessibleTableModelChangeEvent::DataChanged);
            change.setFirstRow(first);
            change.setLastRow(last);
            change.setFirstColumn(0);
            change.setLastColumn(std::max(columnCount() - 1, 0));
            Announce(&change);
        }
    }
    if (std::exchange(m_selectionPending, false)) {
        QAccessibleEvent event(this, QAccessible::SelectionWithin);
        Announce(&event);
    }
    if (std::exchange(m_focusPending, false)) {
        QAccessibleInterface* cell = FocusedCell();
        const QAccessible::Id id = cell ? QAccessible::uniqueId(cell) : 0;
        if (cell && id != m_announcedFocus && m_grid->hasFocus()) {
            QAccessibleEvent event(cell, QAccessible::Focus);
            Announce(&event);
        }
        m_announcedFocus = m_grid->hasFocus() ? id : 0;
    }
}

// --- QAccessibleInterface ------------------------------------------------------

bool CGridAccessible::isValid() const { return m_grid && QAccessibleWidget::isValid(); }

QAccessible::Role CGridAccessible::role() const
{
    return m_grid && ShowsHierarchy() ? QAccessible::Tree : QAccessible::Table;
}

QAccessible::State CGridAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (m_grid && m_grid->IsSelectionEnabled()) {
        state.multiSelectable = m_grid->IsMultiSelectionEnabled();
        state.extSelectable = state.multiSelectable;
    }
    return state;
}

QString CGridAccessible::text(QAccessible::Text t) const { return QAccessibleWidget::text(t); }

QAccessibleInterface* CGridAccessible::childAt(int x, int y) const
{
    if (!m_grid)
        return nullptr;
    const QPoint point = m_grid->viewport()->mapFromGlobal(QPoint(x, y));
    CHeader* header = Header();
    if (HeaderShown() && point.y() >= 0 && point.y() < header->GetHeight()) {
        CColumn* column = header->HitTestColumn(m_grid, point.x(), point.y());
        return column ? HeaderCell(column->GetFieldId()) : nullptr;
    }
    const HITEM item = m_grid->HitTest(CPoint{point.x(), point.y()});
    CColumn* column = header && item ? header->HitTestColumn(m_grid, point.x(), point.y()) : nullptr;
    return column ? Cell(item, column->GetFieldId()) : nullptr;
}

int CGridAccessible::childCount() const
{
    if (!m_grid)
        return 0;
    return (rowCount() + (HeaderShown() ? 1 : 0)) * columnCount();
}

QAccessibleInterface* CGridAccessible::child(int index) const
{
    const int columns = columnCount();
    if (!m_grid || index < 0 || columns == 0)
        return nullptr;
    int row = index / columns;
    const int column = index % columns;
    if (HeaderShown()) {
        if (row == 0)
            return HeaderCell(ColumnAt(column)->GetFieldId());
        --row;
    }
    return cellAt(row, column);
}

int CGridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!m_grid || !child || child->parent() != this)
        return -1;
    const int columns = columnCount();
    const int headerRows = HeaderShown() ? 1 : 0;
    if (child->role() == QAccessible::ColumnHeader) {
        for (int column = 0; column < columns; ++column)
            if (HeaderCell(ColumnAt(column)->GetFieldId()) == child)
                return column;
        return -1;
    }
    auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cell || cell->rowIndex() < 0 || cell->columnIndex() < 0)
        return -1;
    return (cell->rowIndex() + headerRows) * columns + cell->columnIndex();
}

QAccessibleInterface* CGridAccessible::focusChild() const
{
    return m_grid && m_grid->hasFocus() ? FocusedCell() : nullptr;
}

void* CGridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

// --- QAccessibleTableInterface -------------------------------------------------

QAccessibleInterface* CGridAccessible::cellAt(int row, int column) const
{
    CColumn* shown = ColumnAt(column);
    const HITEM item = shown ? ItemAtRow(row) : 0;
    return item ? Cell(item, shown->GetFieldId()) : nullptr;
}

int CGridAccessible::selectedCellCount() const { return selectedRowCount() * columnCount(); }

QList<QAccessibleInterface*> CGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    const int columns = columnCount();
    for (const int row : selectedRows())
        for (int column = 0; column < columns; ++column)
            if (QAccessibleInterface* cell = cellAt(row, column))
                cells.push_back(cell);
    return cells;
}

QString CGridAccessible::columnDescription(int column) const
{
    CColumn* shown = ColumnAt(column);
    return shown ? ToQString(shown->GetCaption()) : QString();
}

QString CGridAccessible::rowDescription(int) const { return {}; }

int CGridAccessible::selectedRowCount() const { return static_cast<int>(selectedRows().size()); }

int CGridAccessible::columnCount() const
{
    CHeader* header = Header();
    return header ? header->GetVisibleColumnCount() : 0;
}

int CGridAccessible::rowCount() const
{
    return m_grid ? m_grid->GetRowCount(AreaFixed) + m_grid->GetRowCount(AreaScrollable) : 0;
}

QList<int> CGridAccessible::selectedRows() const
{
    QList<int> rows;
    if (!m_grid)
        return rows;
    std::vector<HITEM> items;
    m_grid->GetSelectedItems(items, MaskBoth);
    for (const HITEM item : items)
        if (const int row = RowOf(item); row >= 0)
            rows.push_back(row);
    return rows;
}

bool CGridAccessible::isRowSelected(int row) const
{
    const HITEM item = ItemAtRow(row);
    return item && m_grid->IsItemSelected(item);
}

bool CGridAccessible::selectRow(int row)
{
    const HITEM item = ItemAtRow(row);
    if (!item)
        return false;
    if (!m_grid->IsMultiSelectionEnabled())
        m_grid->ClearSelection();
    return m_grid->SelectItem(item, true);
}

bool CGridAccessible::unselectRow(int row)
{
    const HITEM item = ItemAtRow(row);
    return item && m_grid->SelectItem(item, false);
}

} // namespace Kestrum::GUI

#include "gui/edit/ControlReflector.h"

#include <QApplication>
#include <memory>

#include "common/Format.h"
#include "gui/edit/CheckBoxReflector.h"
#include "gui/edit/DateReflectors.h"
#include "gui/edit/EmbeddedControlAdapter.h"
#include "gui/edit/EnumReflector.h"
#include "gui/edit/TextReflectors.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

// --- IControlReflector: what most reflectors answer ---------------------------------

void IControlReflector::OnControlCreated(const EditCell&) {}
bool IControlReflector::FilterInput(const EditCell&, int) { return true; }
bool IControlReflector::IsClickActivated(const EditCell&, CGrid*) { return false; }
std::uint32_t IControlReflector::AdjustPaintFlags(std::uint32_t flags) { return flags; }
void IControlReflector::PaintCell(CellDrawContext&, PaintState&) {}
bool IControlReflector::HitTestButton(const EditCell&, QWidget*) { return false; }
Common::FieldId IControlReflector::GetColumnId(CColumn* column) { return column ? column->GetFieldId() : Common::FIELD_NONE; }
bool IControlReflector::HasControl() const { return true; }

bool IsFormatClass(const Common::CFormat* format, const char* name) { return format && format->GetClassName() == name; }

// --- CControlReflector -----------------------------------------------------------------

CControlReflector::~CControlReflector() = default;

QWidget* CControlReflector::ControlOf(CGrid* grid) const
{
    const auto it = m_controls.find(grid);
    return it == m_controls.end() ? nullptr : it->second.data();
}

bool CControlReflector::PlaceControl(const EditCell& cell, QWidget* control)
{
    CGrid* grid = cell.grid;
    control->setFont(grid->GetGridFont());
    CRect rect = cell.rect;
    if (rect.IsEmpty())
        rect = grid->GetCellRect(ToHandle(cell.item), cell.Field());
    control->setGeometry(ToQRect(rect));
    CEmbeddedControlAdapter* adapter = grid->EmbedControl(control, ToHandle(cell.item), cell.Field());
    if (!adapter) {
        delete control;
        return false;
    }
    // The control covers the cell and follows its four edges; in the tree
    // column it leaves the indentation, the button and the lines in view.
    adapter->LayoutFlags() = AnchorAll;
    CHeader* header = grid->GetHeader();
    if (header && header->GetTreeColumn() == cell.column && (grid->GetPaintFlags() & PaintHierarchy) && !rect.IsEmpty()) {
        const int indent = (grid->GetLevel(ToHandle(cell.item)) + 1) * rect.Height();
        adapter->SetMargins({std::min(indent, std::max(0, rect.Width() - rect.Height())), 0, 0, 0});
    }
    if (!rect.IsEmpty())
        adapter->Position(rect);
    m_controls[grid] = control;
    control->show();
    control->setFocus(Qt::OtherFocusReason);
    return true;
}

bool CControlReflector::CloseControl(CGrid* grid, std::uint32_t, CColumn*)
{
    const auto it = m_controls.find(grid);
    if (it == m_controls.end())
        return false;
    QPointer<QWidget> control = it->second;
    m_controls.erase(it);
    if (!control)
        return false;
    // The keyboard goes back to the grid before the control disappears (else
    // it would go to whatever comes next in the window).
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == control || control->isAncestorOf(focus)))
        grid->setFocus(Qt::OtherFocusReason);
    control->hide();
    // Deleted once the event being handled (perhaps the control's own) is done.
    control->deleteLater();
    return true;
}

// --- the list ------------------------------------------------------------------------------

const std::vector<IControlReflector*>& ControlReflectors()
{
    struct List {
        std::vector<std::unique_ptr<IControlReflector>> owned;
        std::vector<IControlReflector*> order;
        List()
        {
            Add(std::make_unique<CCheckBoxReflector>());
            Add(std::make_unique<CLongEnumReflector>());
            Add(std::make_unique<CInt64DateReflector>());
            Add(std::make_unique<CLongMsecTimeReflector>());
            Add(std::make_unique<CLongDateTimeReflector>());
            Add(std::make_unique<CCharReflector>());
            Add(std::make_unique<CUCharReflector>());
            Add(std::make_unique<CShortReflector>());
            Add(std::make_unique<CUShortReflector>());
            Add(std::make_unique<CLongReflector>());
            Add(std::make_unique<CULongReflector>());
            Add(std::make_unique<CInt64Reflector>());
            Add(std::make_unique<CFloatReflector>());
            Add(std::make_unique<CDoubleReflector>());
            Add(std::make_unique<CDefaultReflector>());
        }
        void Add(std::unique_ptr<IControlReflector> reflector)
        {
            order.push_back(reflector.get());
            owned.push_back(std::move(reflector));
        }
    };
    static const List list;
    return list.order;
}

IControlReflector* FindReflector(const Common::CFormat* format)
{
    for (IControlReflector* reflector : ControlReflectors())
        if (reflector->IsApplicable(format))
            return reflector;
    return nullptr;
}

} // namespace Kestrum::GUI

#include "gui/edit/GridEditState.h"
#include "gui/grid/GridDefaults.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "common/DataObject.h"
#include "common/FormatRegistry.h"
#include "gui/edit/EditInPlace.h"
#include "gui/edit/EditHost.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/grid/GridSettings.h"
#include "gui/header/Header.h"
#include "gui/grid/CellFormat.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

namespace {
constexpr CPoint kNowhere{-32768, -32768};

bool HasSignal(const QObject* object, const char* signature)
{
    return object && object->metaObject()->indexOfSignal(signature) >= 0;
}
} // namespace

void CEditEventReceiver::Confirmed()
{
    if (onChoice)
        onChoice(EditSelectionConfirmed);
}

void CEditEventReceiver::Cancelled()
{
    if (onChoice)
        onChoice(EditSelectionCancelled);
}

CGridEditState::CGridEditState(IEditHost& host) : m_host(host), m_registry(std::make_shared<CEmbeddedRegistry>())
{
    m_receiver.onChoice = [this](int code) { OnChoice(code); };
}

CGridEditState::~CGridEditState()
{
    // Adapters that outlive the grid (kept by their items' creators) find no
    // registry any more.
    m_registry.reset();
    if (m_editor && m_editor->IsAutoDelete())
        delete m_editor;
}

// --- the editor -------------------------------------------------------------------------

IEditInPlace* CGridEditState::Editor() const { return m_editor ? m_editor : GridDefaults::Instance().GetEditInPlace(); }

IEditInPlace* CGridEditState::SetEditor(IEditInPlace* editor)
{
    // The editor that began an edit ends it: the previous one may be
    // deleted by its owner as soon as it is handed back.
    EndEdit(EditNoNavigation);
    return std::exchange(m_editor, editor);
}

// --- cells ---------------------------------------------------------------------------------

CColumn* CGridEditState::ColumnOf(Common::FieldId field) const
{
    CHeader* header = m_host.Header();
    return header ? header->GetVisibleColumn(field) : nullptr;
}

CRect CGridEditState::CellRectOf(CGridItem* item, Common::FieldId field) const
{
    if (!item || !item->HasRow() || !ColumnOf(field))
        return {};
    return m_host.CellRect(item, field);
}

EditCell CGridEditState::MakeCell(CGridItem* item, Common::FieldId field) const
{
    EditCell cell;
    cell.grid = m_host.Owner();
    cell.item = item;
    cell.object = item ? item->GetObject() : nullptr;
    cell.column = ColumnOf(field);
    cell.rect = CellRectOf(item, field);
    cell.pointer = m_pointer;
    cell.buttonsDown = m_buttonsDown;
    cell.editing = IsEditing();
    cell.settings = m_host.Settings();
    return cell;
}

bool CGridEditState::CanEditCell(CGridItem* item, Common::FieldId field, int reason)
{
    IEditInPlace* editor = Editor();
    return editor && item && item->HasRow() && editor->CanEdit(MakeCell(item, field), reason);
}

bool CGridEditState::CouldEditCell(CGrid*, CellDrawContext& cell, PaintState&)
{
    CGridItem* item = cell.row ? cell.row->item : nullptr;
    if (!m_editor || !item || !item->HasRow() || !cell.column)
        return false;
    const EditCell edited = MakeCell(item, cell.column->GetFieldId());
    return m_editor->CanEdit(edited, EditStartClick) || m_editor->CanEdit(edited, EditStartDoubleClick);
}

void CGridEditState::ScrollColumnIntoView(Common::FieldId field)
{
    CHeader* header = m_host.Header();
    if (!header || !header->GetVisibleColumn(field) || header->IsFixedColumn(field))
        return;
    QScrollBar* bar = m_host.Owner()->horizontalScrollBar();
    const CRect rect = header->GetColumnRect(m_host.Owner(), field);
    const int fixed = header->GetFixedWidth();
    const int right = m_host.Client().right;
    const int position = bar->value();
    int target = position;
    if (rect.left < fixed)
        target = position - (fixed - rect.left);
    else if (rect.right > right)
        target = position + std::min(rect.right - right, rect.left - fixed);
    target = std::clamp(target, bar->minimum(), bar->maximum());
    if (target != position) {
        bar->setValue(target);
        m_host.UpdateViewport();
    }
}

bool CGridEditState::BeginEditCell(CGridItem* item, Common::FieldId field, int reason)
{
    IEditInPlace* editor = Editor();
    if (!editor || !item || !item->HasRow() || !m_host.Settings().enabled || IsEditing() || HasEmbeddedControl(item, field))
        return false;
    if (!ColumnOf(field) || !editor->CanEdit(MakeCell(item, field), reason))
        return false;
    ScrollColumnIntoView(field);
    // A cell reached by navigation may lie below the page: the control
    // must be where the user can see it.
    if (item->GetTree()->GetKind() == AreaScrollable)
        m_host.BringIntoView(item);
    const EditCell cell = MakeCell(item, field);
    const std::uint64_t serial = ++m_serial;
    const std::uint64_t removals = m_host.RemovalCount();
    if (!editor->BeginEdit(cell, reason, EditFormatOf(cell)))
        return false;
    if (m_host.RemovalCount() != removals && !m_host.IsAlive(item)) {
        // The editor removed the row it was opened on: nothing to record.
        editor->EndEdit(MakeCell(nullptr, field), EditNoNavigation, nullptr, nullptr);
        return false;
    }
    auto* adapter = dynamic_cast<CEmbeddedControlAdapter*>(item->GetEmbeddedControl(field));
    QWidget* control = adapter ? adapter->GetControl() : nullptr;
    if (adapter) {
        adapter->AddSink(this);
        ConnectChoices(control);
    }
    m_active = {item, field, reason, serial, editor, control};
    editor->OnControlCreated(MakeCell(item, field), control);
    Notify(NotifyEditStarted, m_active, 0);
    RepaintHotCell();
    return true;
}

bool CGridEditState::EndEdit(int code, bool notify)
{
    if (!IsEditing())
        return false;
    const ActiveEdit edit = m_active;
    m_active = {};
    EditCell cell = MakeCell(edit.item, edit.field);
    cell.reason = edit.reason;
    QWidget* control = nullptr;
    bool removed = false;
    if (auto* adapter = dynamic_cast<CEmbeddedControlAdapter*>(edit.item->GetEmbeddedControl(edit.field))) {
        adapter->RemoveSink(this);
        control = adapter->GetControl();
        if (control)
            QObject::disconnect(control, nullptr, &m_receiver, nullptr);
        removed = edit.item->RemoveEmbeddedControl(edit.field);
    }
    // Writing back may make a subscriber remove rows: the item is not
    // touched again once any row has gone.
    const std::uint64_t removals = m_host.RemovalCount();
    edit.editor->EndEdit(cell, code, control, EditFormatOf(cell));
    if (m_host.RemovalCount() != removals)
        return removed;
    if (notify)
        Notify(NotifyEditEnded, edit, code);
    if (edit.item->HasRow())
        m_host.RepaintCell(edit.item, edit.field);
    if (code >= EditUp && code <= EditWheelBackward && code != EditNoNavigation && m_host.Settings().navigateOnExit &&
        m_host.RemovalCount() == removals)
        edit.editor->Navigate(cell, code);
    return removed;
}

bool CGridEditState::EndEditOfCell(CGridItem* item, Common::FieldId field, int code)
{
    if (!IsEditing() || item != m_active.item || field != m_active.field)
        return false;
    EndEdit(code);
    return true;
}

void CGridEditState::PostEndEditOfCell(CGridItem* item, Common::FieldId field, int code)
{
    // The edit is named by its serial too: an item at the same address, or a
    // later edit of the same cell, is not ended by it.
    const std::uint64_t serial = m_serial;
    QMetaObject::invokeMethod(
        &m_receiver,
        [this, item, field, code, serial] {
            if (IsEditing() && m_active.serial == serial && m_active.item == item && m_active.field == field)
                EndEdit(code);
        },
        Qt::QueuedConnection);
}

QWidget* CGridEditState::GetEditControl() const
{
    if (!IsEditing())
        return nullptr;
    auto* adapter = dynamic_cast<CEmbeddedControlAdapter*>(m_active.item->GetEmbeddedControl(m_active.field));
    return adapter ? adapter->GetControl() : nullptr;
}

bool CGridEditState::FocusInsideBody() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus && focus != m_host.Owner() && m_host.Viewport()->isAncestorOf(focus);
}

bool CGridEditState::HasActiveControl() const { return GetEditControl() != nullptr; }

void CGridEditState::Notify(int code, const ActiveEdit& edit, int endCode)
{
    if (!edit.item || !edit.item->HasRow())
        return;
    GridEditNotification notification;
    notification.code = code;
    notification.grid = m_host.Owner();
    notification.item = ToHandle(edit.item);
    notification.object = edit.item->GetObject();
    notification.area = edit.item->GetTree()->GetKind();
    notification.row = m_host.RowIndexOf(edit.item);
    notification.column = ColumnOf(edit.field);
    notification.control = edit.control.data();
    notification.startReason = edit.reason;
    notification.endCode = endCode;
    m_host.Notify(notification);
}

// --- the input hook ---------------------------------------------------------------------------

void CGridEditState::ConnectChoices(QWidget* control)
{
    // The drop-down list and the date editor say when a choice was made.
    if (HasSignal(control, "selectionConfirmed()"))
        QObject::connect(control, SIGNAL(selectionConfirmed()), &m_receiver, SLOT(Confirmed()));
    if (HasSignal(control, "selectionCancelled()"))
        QObject::connect(control, SIGNAL(selectionCancelled()), &m_receiver, SLOT(Cancelled()));
}

void CGridEditState::OnChoice(int code)
{
    if (IsEditing())
        HandleCode(code);
}

int CGridEditState::CodeOf(QEvent* event) const
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (VirtualKeyOf(*key)) {
        case KeyEnter: return EditEnter;
        case KeyEscape: return EditEscape;
        case KeyUp: return EditUp;
        case KeyDown: return EditDown;
        case KeyLeft: return EditLeft;
        case KeyRight: return EditRight;
        case KeyPageUp: return EditPageUp;
        case KeyPageDown: return EditPageDown;
        case KeyHome: return EditHome;
        case KeyEnd: return EditEnd;
        case KeyTab:
            if (key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier))
                return EditShiftTab;
            return (key->modifiers() & Qt::ControlModifier) ? EditCtrlTab : EditTab;
        default: return EditIgnored;
        }
    }
    case QEvent::FocusOut: {
        // Opening a pop-up (the drop-down list's, a calendar) is no loss, nor
        // is the focus moving to a part of the control, even one in a window
        // of its own, nor the window going inactive while the control's own
        // pop-up closes (the control takes the focus back).
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason || QApplication::activePopupWidget())
            return EditIgnored;
        QWidget* control = GetEditControl();
        for (QWidget* focus = QApplication::focusWidget(); focus && control; focus = focus->parentWidget())
            if (focus == control)
                return EditIgnored;
        for (QWidget* active = QApplication::activeWindow(); active && control; active = active->parentWidget())
            if (active == control)
                return EditIgnored;
        return EditFocusLost;
    }
    case QEvent::MouseButtonPress: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        return button == Qt::RightButton ? EditRightDown : button == Qt::LeftButton ? EditLeftDown : EditIgnored;
    }
    case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        return button == Qt::LeftButton ? EditLeftDoubleClick : button == Qt::RightButton ? EditRightDoubleClick : EditIgnored;
    }
    case QEvent::Wheel: {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        return delta > 0 ? EditWheelForward : delta < 0 ? EditWheelBackward : EditIgnored;
    }
    default: return EditIgnored;
    }
}

void CGridEditState::HandleCode(int code)
{
    EditCell cell = MakeCell(m_active.item, m_active.field);
    cell.reason = m_active.reason;
    if (m_active.editor->FilterInput(cell, code))
        PostEndEditOfCell(m_active.item, m_active.field, code);
}

bool CGridEditState::OnControlMessage(CEmbeddedControlAdapter* adapter, QEvent* event)
{
    if (!IsEditing() || adapter->GetItem() != m_active.item || adapter->GetField() != m_active.field)
        return false;
    const int code = CodeOf(event);
    if (code == EditIgnored)
        return false;
    Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::Wheel || event->type() == QEvent::MouseButtonPress ||
        event->type() == QEvent::MouseButtonDblClick)
        modifiers = static_cast<QInputEvent*>(event)->modifiers();
    CInputStateScope state(modifiers, buttons);
    HandleCode(code);
    // Tab moves between cells, never (as Qt would) to the next widget of the
    // window: the control does not get it.
    return code == EditTab || code == EditShiftTab || code == EditCtrlTab;
}

// --- the mouse ------------------------------------------------------------------------------------

bool CGridEditState::StartAt(CPoint point, int reason)
{
    m_pointer = point;
    m_buttonsDown = true;
    CHeader* header = m_host.Header();
    if (!header || point.y < m_host.HeaderHeight())
        return false;
    CGridItem* item = m_host.ItemAt(point);
    CColumn* column = item ? header->HitTestColumn(m_host.Owner(), point.x, 0) : nullptr;
    return item && column && BeginEditCell(item, column->GetFieldId(), reason);
}

void CGridEditState::RepaintHotCell()
{
    CGridItem* item = m_hot.item;
    if (item && item->HasRow())
        m_host.RepaintCell(item, m_hot.field);
}

void CGridEditState::TrackMouse(CPoint point, bool buttonsDown, bool inside)
{
    const bool buttonsChanged = buttonsDown != m_buttonsDown;
    m_pointer = inside ? point : kNowhere;
    m_buttonsDown = buttonsDown;
    const EditSettings& settings = m_host.Settings();
    CGridItem* item = nullptr;
    Common::FieldId field = Common::FIELD_NONE;
    CHeader* header = m_host.Header();
    if (inside && settings.enabled && (settings.hotFrame || settings.decoration) && header &&
        point.y >= m_host.HeaderHeight() && m_host.Client().Contains(point)) {
        item = m_host.ItemAt(point);
        CColumn* column = item ? header->HitTestColumn(m_host.Owner(), point.x, 0) : nullptr;
        if (column)
            field = column->GetFieldId();
        else
            item = nullptr;
    }
    if (item != m_hot.item || field != m_hot.field) {
        RepaintHotCell();
        m_hot.item = item;
        m_hot.field = field;
        RepaintHotCell();
    } else if (buttonsChanged) {
        RepaintHotCell();
    }
}

// --- embedded controls ------------------------------------------------------------------------------

CEmbeddedControlAdapter* CGridEditState::EmbedControl(QWidget* control, CGridItem* item, Common::FieldId field)
{
    if (!control || field == Common::FIELD_ALL || field == Common::FIELD_NONE || !item ||
        !m_host.IsAlive(item) || item->GetEmbeddedControl(field))
        return nullptr;
    if (control->parentWidget() != m_host.Viewport())
        control->setParent(m_host.Viewport());
    auto* adapter = new CEmbeddedControlAdapter(control, item, field, m_registry, true);
    item->SetEmbeddedControl(field, adapter);
    const CRect cell = CellRectOf(item, field);
    const CRect clipped = m_host.Header() ? m_host.Header()->GetClippedColumnRect(m_host.Owner(), field) : CRect{};
    if (cell.IsEmpty() || CRect{clipped.left, cell.top, clipped.right, cell.bottom}.IsEmpty())
        adapter->MoveAway();
    else
        adapter->Position(cell);
    control->show();
    if (item->HasRow())
        m_host.RepaintCell(item, field);
    return adapter;
}

bool CGridEditState::HasEmbeddedControl(CGridItem* item, Common::FieldId field) const
{
    return item && item->GetEmbeddedControl(field) != nullptr;
}

bool CGridEditState::RemoveEmbeddedControl(CGridItem* item, Common::FieldId field)
{
    if (!item || !item->RemoveEmbeddedControl(field))
        return false;
    if (item->HasRow())
        m_host.RepaintCell(item, field);
    return true;
}

// --- cell values ---------------------------------------------------------------------------------------

bool CGridEditState::SetCellValueText(CGridItem* item, Common::FieldId field, const Common::CString& text)
{
    Common::CDataObject* object = item ? item->GetObject() : nullptr;
    if (!object || field == Common::FIELD_ALL || field == Common::FIELD_NONE)
        return false;
    const Common::FieldType type = object->GetFieldType(field);
    CColumn* column = m_host.Header() ? m_host.Header()->GetColumn(field) : nullptr;
    Common::CFormat* format = CellFormatOf(column, object, field, FormatFallback::TypeDefault);
    // Parsed whole into a value of its own first: a text that does not
    // parse leaves the field as it was.
    Common::CValue value;
    if (Common::IsStringType(type)) {
        // A string field takes the text itself when its format refuses it.
        if (!format->ParseValue(text, value, object) || !Common::IsStringType(value.GetType()))
            value = Common::CValue(text);
        if (type == Common::FT_STLSTRING && value.GetType() == Common::FT_MFCSTRING)
            value = Common::CValue(value.Get<Common::CString>().ToStdString());
        else if (type == Common::FT_MFCSTRING && value.GetType() == Common::FT_STLSTRING)
            value = Common::CValue(Common::CString(value.Get<std::string>()));
    } else if (!format->ParseValue(text, value, object) || value.GetType() != type) {
        return false;
    }
    return object->SetValue(field, value);
}

bool CGridEditState::SetCellValue(CGridItem* item, Common::FieldId field, const Common::CValue& value)
{
    Common::CDataObject* object = item ? item->GetObject() : nullptr;
    if (!object || field == Common::FIELD_ALL || field == Common::FIELD_NONE || value.IsEmpty())
        return false;
    return object->SetValue(field, value);
}

// --- the paint pass ---------------------------------------------------------------------------------------

void CGridEditState::PositionControls()
{
    const std::vector<CEmbeddedControlAdapter*> adapters = m_registry->adapters;
    for (CEmbeddedControlAdapter* adapter : adapters) {
        CGridItem* item = adapter->GetItem();
        if (!item)
            continue;
        const CRect cell = CellRectOf(item, adapter->GetField());
        const CRect clipped = m_host.Header() ? m_host.Header()->GetClippedColumnRect(m_host.Owner(), adapter->GetField()) : CRect{};
        if (cell.IsEmpty() || CRect{clipped.left, cell.top, clipped.right, cell.bottom}.IsEmpty())
            adapter->MoveAway();
        else
            adapter->Position(cell);
    }
}

void CGridEditState::DescribeForPaint(PaintState& state)
{
    const EditSettings& settings = m_host.Settings();
    m_paintInfo.editor = settings.enabled ? Editor() : nullptr;
    m_paintInfo.settings = &settings;
    m_paintInfo.editing = IsEditing();
    m_paintInfo.hotItem = m_hot.item;
    m_paintInfo.hotField = m_hot.field;
    m_paintInfo.pointer = m_pointer;
    m_paintInfo.buttonsDown = m_buttonsDown;
    state.edit = &m_paintInfo;
}

// --- rows, columns, header ----------------------------------------------------------------------------------

void CGridEditState::OnRowHidden(CGridItem* item)
{
    if (item == m_hot.item)
        m_hot = {};
    // Nothing is written to an object whose row is gone.
    if (item == m_active.item)
        EndEdit(EditNoNavigation);
}

void CGridEditState::OnAreaCleared(int area)
{
    if (m_hot.item && m_hot.item->GetTree()->GetKind() == area)
        m_hot = {};
    if (m_active.item && m_active.item->GetTree()->GetKind() == area)
        EndEdit(EditNoNavigation);
}

void CGridEditState::OnColumnsChanged()
{
    if (IsEditing() && !ColumnOf(m_active.field))
        EndEdit(EditNoNavigation);
}

} // namespace Kestrum::GUI

// CGridEditState: the grid's side of in-place editing and embedded controls.
// One per grid, owned by CGridImpl (`edit`), which it reaches through
// IEditHost only; GUI thread only.
//
// It holds the grid's in-place editor (null: the shared default of
// GridDefaults), the active edit (item, field, start reason; one cell at a
// time), the cell under the mouse pointer, and the registry of the grid's
// embedded-control adapters, which the paint pass positions.
//
// Starting an edit asks the editor (CanEdit, BeginEdit), records the edit
// and tells the listener (notification 15). While the edit is open the
// control's events pass the grid's input hook first (OnControlMessage): keys,
// focus loss, presses and wheel turns become edit codes, and a code the
// editor passes (FilterInput) is posted as an end of that very edit, so the
// control is never destroyed while it handles its own input. Ending forgets
// the edit at once (re-entrant calls find none), tells the listener
// (notification 16), takes the control out of the cell and lets the editor
// write back and close; a navigation code then moves on.
//
// The edit ends without writing when its row goes (removed, collapsed away,
// filtered out, the area cleared), when its column goes, when the grid's
// header or editor is replaced, and when the grid is destroyed.
#pragma once

#include "gui/platform/Export.h"

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/Types.h"
#include "common/Value.h"
#include "gui/edit/EditTypes.h"
#include "gui/edit/EmbeddedControlAdapter.h"
#include "gui/paint/DrawContext.h"

namespace Kestrum::GUI {

class IEditHost;
class IEditInPlace;

// Runs the posted ends of edits and hears the drop-down list's choices.
class KESTRUM_GUI_EXPORT CEditEventReceiver : public QObject {
    Q_OBJECT

public:
    std::function<void(int)> onChoice;

public slots:
    void Confirmed();
    void Cancelled();
};

class KESTRUM_GUI_EXPORT CGridEditState final : public CEmbeddedControlAdapter::ISink {
public:
    explicit CGridEditState(IEditHost& host);
    ~CGridEditState();
    CGridEditState(const CGridEditState&) = delete;
    CGridEditState& operator=(const CGridEditState&) = delete;

    // --- the editor ------------------------------------------------------------
    IEditInPlace* Editor() const; // the grid's own, else the shared default
    IEditInPlace* GetEditor() const noexcept { return m_editor; }
    // Ends an active edit without writing (its editor is the one that began
    // it) and returns the previous editor (null: the default was in use).
    IEditInPlace* SetEditor(IEditInPlace* editor);
    // For the in-place tooltips: the application's own editor (not the
    // shared default) could edit the cell with a click or a double click.
    bool CouldEditCell(CGrid* grid, CellDrawContext& cell, PaintState& state);

    // --- cells and edits ----------------------------------------------------------
    // The cell record of an item's cell as the grid sees it now.
    EditCell MakeCell(CGridItem* item, Common::FieldId field) const;
    bool CanEditCell(CGridItem* item, Common::FieldId field, int reason);
    bool BeginEditCell(CGridItem* item, Common::FieldId field, int reason);
    // Ends the active edit with the code; true when a control was taken out
    // of the cell. `notify` false: the listener is not told (the grid is
    // being destroyed).
    bool EndEdit(int code, bool notify = true);
    // Ends the active edit only when it is the edit of that cell.
    bool EndEditOfCell(CGridItem* item, Common::FieldId field, int code);
    // Posts EndEditOfCell for the edit active (or being started) now: it runs
    // after the event being handled, and only if that same edit is still open.
    void PostEndEditOfCell(CGridItem* item, Common::FieldId field, int code);
    QWidget* GetEditControl() const;
    bool IsEditing() const noexcept { return m_active.item != nullptr; }
    CGridItem* GetEditItem() const noexcept { return m_active.item; }
    Common::FieldId GetEditField() const noexcept { return m_active.field; }
    // The keyboard focus is in a control inside the grid's body (an editor
    // or an embedded control): its keys are its own.
    bool FocusInsideBody() const;
    // The wheel is the control's while the edited cell has one.
    bool HasActiveControl() const;

    // --- the mouse ---------------------------------------------------------------------
    // A press (reason 0) or double click (reason 1) at a viewport point:
    // starts an edit of the cell under it; true when one started.
    bool StartAt(CPoint point, int reason);
    // The pointer moved (or left: `inside` false); repaints the cells the
    // hot-cell frame leaves and enters.
    void TrackMouse(CPoint point, bool buttonsDown, bool inside);

    // --- embedded controls ---------------------------------------------------------------
    CEmbeddedControlAdapter* EmbedControl(QWidget* control, CGridItem* item, Common::FieldId field);
    bool HasEmbeddedControl(CGridItem* item, Common::FieldId field) const;
    bool RemoveEmbeddedControl(CGridItem* item, Common::FieldId field);

    // --- cell values -------------------------------------------------------------------------
    // Parses the text with the column's format (else the field's, else the
    // type's default) and writes the value; false, and nothing written, when
    // the text does not parse into the field's type or the object refuses.
    bool SetCellValueText(CGridItem* item, Common::FieldId field, const Common::CString& text);
    bool SetCellValue(CGridItem* item, Common::FieldId field, const Common::CValue& value);

    // --- the paint pass ------------------------------------------------------------------------
    // Puts every embedded control at its cell, or out of sight when its cell
    // is not in view.
    void PositionControls();
    void DescribeForPaint(PaintState& state);

    // --- what happens to rows, columns and the header -------------------------------------------------
    void OnRowHidden(CGridItem* item);
    void OnAreaCleared(int area);
    void OnColumnsChanged();

    bool OnControlMessage(CEmbeddedControlAdapter* adapter, QEvent* event) override;

private:
    struct ActiveEdit {
        CGridItem* item = nullptr;
        Common::FieldId field = Common::FIELD_NONE;
        int reason = -1;
        std::uint64_t serial = 0;
        IEditInPlace* editor = nullptr; // the one that began it
        QPointer<QWidget> control;      // what the listener is told
    };

    CColumn* ColumnOf(Common::FieldId field) const;
    CRect CellRectOf(CGridItem* item, Common::FieldId field) const;
    void ScrollColumnIntoView(Common::FieldId field);
    void Notify(int code, const ActiveEdit& edit, int endCode);
    void ConnectChoices(QWidget* control);
    void OnChoice(int code);
    // The edit code of an event of the control, 0 for none.
    int CodeOf(QEvent* event) const;
    void HandleCode(int code);
    void RepaintHotCell();

    IEditHost& m_host;
    IEditInPlace* m_editor = nullptr;
    ActiveEdit m_active;
    std::uint64_t m_serial = 0; // of the edit being started or active
    std::shared_ptr<CEmbeddedRegistry> m_registry;
    CEditEventReceiver m_receiver;
    struct {
        CGridItem* item = nullptr;
        Common::FieldId field = Common::FIELD_NONE;
    } m_hot;
    CPoint m_pointer{-32768, -32768};
    bool m_buttonsDown = false;
    EditPaintInfo m_paintInfo;
};

} // namespace Kestrum::GUI

// IEditInPlace: the grid's in-place editor. The grid asks it whether a cell
// may be edited, lets it open an editor control over the cell, hands it the
// input of the open control (FilterInput: shall the grid end the edit with
// this code?), and lets it end the edit, writing the value back when the
// code commits (CommitsOn) and moving on to the neighbouring cell after a
// navigation code. It also rewrites a cell's paint flags and paints its
// decoration (the hot-cell frame, a reflector's check box or drop-down
// button); those two read only the draw context and the paint state.
//
// CEditInPlace, the default (GridDefaults holds a shared one that no grid
// deletes), does the work through the control reflectors (ControlReflector.h).
// It is shared by grids, so it keeps the active reflector of each grid.
//
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <map>

#include "gui/edit/EditTypes.h"
#include "gui/grid/AutoDelete.h"
#include "gui/paint/DrawContext.h"

class QWidget;

namespace Kestrum::GUI {

class IControlReflector;

class KESTRUM_GUI_EXPORT IEditInPlace : public virtual IAutoDelete, public IEditDecoration {
public:
    // May an edit of the cell start for this reason?
    virtual bool CanEdit(const EditCell& cell, int reason) = 0;
    // Opens the editor control; true when an edit is now active.
    virtual bool BeginEdit(const EditCell& cell, int reason, Common::CFormat* format) = 0;
    // True when the grid is to end the edit with this code; false when the
    // control keeps the input.
    virtual bool FilterInput(const EditCell& cell, int code) = 0;
    // After the grid recorded the active edit.
    virtual void OnControlCreated(const EditCell& cell, QWidget* control) = 0;
    // Writes back when the code commits, closes the control.
    virtual void EndEdit(const EditCell& cell, int code, QWidget* control, Common::CFormat* format) = 0;
    // Starts editing the neighbouring cell in the direction of the code.
    virtual void Navigate(const EditCell& cell, int code) = 0;
    // The two the cell paint format asks for (IEditDecoration).
    void PaintDecoration(CellDrawContext& context, PaintState& state, std::uint32_t flags) override = 0;
    std::uint32_t AdjustPaintFlags(CellDrawContext& context, PaintState& state, std::uint32_t flags) override = 0;
    // Does ending with this code write the value back?
    virtual bool CommitsOn(int code) = 0;
    virtual IControlReflector* GetReflector(CGrid* grid, CGridItem* item, Common::CDataObject* object, CColumn* column,
                                            Common::CFormat* format) = 0;
};

// The cell an edit moves on to.
struct KESTRUM_GUI_EXPORT EditNeighbour {
    CGridItem* item = nullptr;
    Common::FieldId field = Common::FIELD_NONE;
};

class KESTRUM_GUI_EXPORT CEditInPlace : public IEditInPlace {
public:
    explicit CEditInPlace(bool autoDelete) : m_autoDelete(autoDelete) {}
    bool IsAutoDelete() const override { return m_autoDelete; }

    bool CanEdit(const EditCell& cell, int reason) override;
    bool BeginEdit(const EditCell& cell, int reason, Common::CFormat* format) override;
    bool FilterInput(const EditCell& cell, int code) override;
    void OnControlCreated(const EditCell& cell, QWidget* control) override;
    void EndEdit(const EditCell& cell, int code, QWidget* control, Common::CFormat* format) override;
    void Navigate(const EditCell& cell, int code) override;
    void PaintDecoration(CellDrawContext& context, PaintState& state, std::uint32_t flags) override;
    std::uint32_t AdjustPaintFlags(CellDrawContext& context, PaintState& state, std::uint32_t flags) override;
    bool CommitsOn(int code) override;
    IControlReflector* GetReflector(CGrid* grid, CGridItem* item, Common::CDataObject* object, CColumn* column,
                                    Common::CFormat* format) override;

    // The cell an edit moves on to from `cell` for the code: searched in at
    // most 1000 steps, each accepted only when CanEdit(candidate, 2).
    // False when there is none.
    bool FindNeighbour(const EditCell& cell, int code, EditNeighbour& neighbour);
    // The reflector of the grid's active edit (null when idle).
    IControlReflector* ActiveReflector(CGrid* grid) const;

private:
    EditCell CellOfPaint(const CellDrawContext& context, const PaintState& state) const;

    bool m_autoDelete;
    std::map<CGrid*, IControlReflector*> m_active;
};

} // namespace Kestrum::GUI

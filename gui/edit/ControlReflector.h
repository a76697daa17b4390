// IControlReflector: one kind of in-place editor control, chosen by the
// cell's format. A reflector decides whether it edits values of a format,
// creates, fills, places and focuses its control over the cell, filters the
// navigation input while the control is open, and writes the result back
// through the grid (the grid parses and reports a failure; a reflector
// never writes half a value).
//
// One process-wide list (ControlReflectors) holds one instance of each, in
// the order they are tried; the first whose IsApplicable answers true for
// the cell's format is used. The reflectors are shared by every grid, so a
// reflector keeps the control it created per grid (CControlReflector).
//
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QPointer>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "gui/edit/EditTypes.h"
#include "gui/paint/DrawContext.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT IControlReflector {
public:
    virtual ~IControlReflector() = default;
    // Does this reflector edit values of the format?
    virtual bool IsApplicable(const Common::CFormat* format) const = 0;
    // Creates, fills, places and focuses the control; true on success.
    virtual bool CreateControl(const EditCell& cell, Common::CFormat* format) = 0;
    virtual void OnControlCreated(const EditCell& cell);
    // True when the grid may act on the input code while the control is
    // open, false when the control keeps it.
    virtual bool FilterInput(const EditCell& cell, int code);
    // Writes the control's content into the cell's value; true when a value
    // was written.
    virtual bool ApplyValue(const EditCell& cell, std::uint32_t flags) = 0;
    // Destroys the grid's control; true when one existed.
    virtual bool CloseControl(CGrid* grid, std::uint32_t flags, CColumn* column) = 0;
    // True when a click on the cell starts the edit at once.
    virtual bool IsClickActivated(const EditCell& cell, CGrid* grid);
    virtual std::uint32_t AdjustPaintFlags(std::uint32_t flags);
    // The reflector's own decoration of a cell (a check box, a drop-down button).
    virtual void PaintCell(CellDrawContext& context, PaintState& state);
    // Is the pointer on the reflector's button in the cell?
    virtual bool HitTestButton(const EditCell& cell, QWidget* control);
    virtual Common::FieldId GetColumnId(CColumn* column);
    // False for a reflector that edits without a control (the check box):
    // navigation passes over such cells.
    virtual bool HasControl() const;
};

// The common part of the reflectors that create a control: the control of
// each grid, closed by hiding it, giving the keyboard focus back to the grid
// and deleting it once the event that ended the edit has been handled.
class KESTRUM_GUI_EXPORT CControlReflector : public IControlReflector {
public:
    ~CControlReflector() override;
    bool CloseControl(CGrid* grid, std::uint32_t flags, CColumn* column) override;
    // The grid's open control of this reflector, or null.
    QWidget* ControlOf(CGrid* grid) const;

protected:
    // Sets the grid's cell font on the control, places it over the cell as
    // the cell's embedded control (following the cell's four edges), shows
    // and focuses it. False (and the control deleted) when the grid refuses.
    bool PlaceControl(const EditCell& cell, QWidget* control);

private:
    std::map<CGrid*, QPointer<QWidget>> m_controls;
};

// The reflectors in the order they are tried (created on first use, alive
// until exit).
KESTRUM_GUI_EXPORT const std::vector<IControlReflector*>& ControlReflectors();
// The first reflector of the list that edits values of the format.
KESTRUM_GUI_EXPORT IControlReflector* FindReflector(const Common::CFormat* format);

// A format whose class name is exactly `name`.
KESTRUM_GUI_EXPORT bool IsFormatClass(const Common::CFormat* format, const char* name);

} // namespace Kestrum::GUI

// ICustomDraw, the default CCustomDraw and the default paint formats.
//
// Painting runs on the grid's thread only; the defaults keep no state, so one
// instance serves every grid.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <memory>

#include "gui/grid/AutoDelete.h"
#include "gui/paint/DrawContext.h"
#include "gui/paint/PaintFormat.h"

namespace Kestrum::Common {
class CDataObject;
class CFormat;
}

namespace Kestrum::GUI {

class CDeviceContext;

class KESTRUM_GUI_EXPORT ICustomDraw {
public:
    virtual ~ICustomDraw() = default;
    virtual void PaintHeader(HeaderDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual void PaintColumnHeader(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual void PaintLine(RowDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual ILinePaintFormat* GetLinePaintFormat(Common::CDataObject* object, CGridItem* item, int rowKey, int rowIndex) = 0;
    virtual ICellPaintFormat* GetCellPaintFormat(CColumn* column, Common::CDataObject* object, CGridItem* item,
                                                 int rowKey, int rowIndex) = 0;
    virtual int GetHeaderHeight(HeaderDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual int GetRowHeight(const QFont* font, CDeviceContext* dc) = 0;
    virtual int GetCellWidth(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    // The format the cell's value is shown through. `context.format` comes
    // as the column's (else the field's); an application that shows a cell
    // otherwise (sizes in units, say) returns its own here, never by
    // swapping formats inside PaintCell: MakeCellContext asks this once, so
    // the painted text, the measured width, the tooltip and the accessible
    // text all read the same format.
    virtual Common::CFormat* GetCellFormat(const CellDrawContext& context) = 0;
};

class KESTRUM_GUI_EXPORT CCustomDraw : public ICustomDraw, public virtual IAutoDelete {
public:
    explicit CCustomDraw(bool autoDelete) : m_autoDelete(autoDelete) {}
    bool IsAutoDelete() const override { return m_autoDelete; }

    void PaintHeader(HeaderDrawContext& context, PaintState& state, PaintFlags flags) override;
    void PaintColumnHeader(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags) override;
    void PaintLine(RowDrawContext& context, PaintState& state, PaintFlags flags) override;
    void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    ILinePaintFormat* GetLinePaintFormat(Common::CDataObject* object, CGridItem* item, int rowKey, int rowIndex) override;
    ICellPaintFormat* GetCellPaintFormat(CColumn* column, Common::CDataObject* object, CGridItem* item, int rowKey,
                                         int rowIndex) override;
    int GetHeaderHeight(HeaderDrawContext& context, PaintState& state, PaintFlags flags) override;
    int GetRowHeight(const QFont* font, CDeviceContext* dc) override;
    int GetCellWidth(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    Common::CFormat* GetCellFormat(const CellDrawContext& context) override { return context.format; }

private:
    bool m_autoDelete;
};


// The cell's text: the row object's field shown by the column, through the
// context's format.
KESTRUM_GUI_EXPORT QString CellText(const CellDrawContext& context);

} // namespace Kestrum::GUI

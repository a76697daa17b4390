// ICustomDraw, the default CCustomDraw, the default paint formats and the
// process-wide GridDefaults every grid falls back to (the default handlers
// of drag and drop and of copy and paste, and the default key manager,
// among them).
//
// Painting runs on the grid's thread only; the defaults keep no state, so one
// instance serves every grid.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <memory>

#include "gui/paint/AutoDelete.h"
#include "gui/paint/DrawContext.h"
#include "gui/paint/PaintFormat.h"

namespace Kestrum::Common {
class CDataObject;
}

namespace Kestrum::GUI {

class CDeviceContext;
class ICopyPaste;
class IDragDrop;
class IEditInPlace;
class IKeyManager;

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

private:
    bool m_autoDelete;
};

// The process-wide fallbacks, created on first use.
class KESTRUM_GUI_EXPORT GridDefaults {
public:
    static GridDefaults& Instance();
    const QFont* GetFont() const { return m_font.get(); }
    ICustomDraw* GetCustomDraw() const { return m_customDraw.get(); }
    ILinePaintFormat* GetLinePaintFormat() const { return m_line.get(); }
    ICellPaintFormat* GetCellPaintFormat() const { return m_cell.get(); }
    IHeaderPaintFormat* GetHeaderPaintFormat() const { return m_header.get(); }
    IColumnPaintFormat* GetColumnPaintFormat() const { return m_column.get(); }
    // The handlers of every grid without its own (never deleted by a grid),
    // each with the local data format, then the text format.
    IDragDrop* GetDragDrop() const { return m_dragDrop.get(); }
    ICopyPaste* GetCopyPaste() const { return m_copyPaste.get(); }
    // The in-place editor of every grid without its own (never deleted by a grid).
    IEditInPlace* GetEditInPlace() const { return m_editInPlace.get(); }
    // The key manager of every grid without its own (never deleted by a grid).
    IKeyManager* GetKeyManager() const { return m_keyManager.get(); }
    const GridAppearance& GetAppearance() const { return m_appearance; }

private:
    GridDefaults();
    ~GridDefaults();
    std::unique_ptr<QFont> m_font;
    std::unique_ptr<ICustomDraw> m_customDraw;
    std::unique_ptr<ILinePaintFormat> m_line;
    std::unique_ptr<ICellPaintFormat> m_cell;
    std::unique_ptr<IHeaderPaintFormat> m_header;
    std::unique_ptr<IColumnPaintFormat> m_column;
    std::unique_ptr<IDragDrop> m_dragDrop;
    std::unique_ptr<ICopyPaste> m_copyPaste;
    std::unique_ptr<IEditInPlace> m_editInPlace;
    std::unique_ptr<IKeyManager> m_keyManager;
    GridAppearance m_appearance;
};

// The cell's text: the row object's field shown by the column, through the
// context's format.
KESTRUM_GUI_EXPORT QString CellText(const CellDrawContext& context);

} // namespace Kestrum::GUI

// The process-wide defaults every grid falls back to: the font, custom draw
// and paint formats, the handlers of drag and drop and of copy and paste, the
// in-place editor and the key manager. They live with the grid, not in one of
// the rooms they come from, so that no room has to include the others.
//
// The defaults keep no state, so one instance serves every grid.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <memory>

#include "gui/paint/DrawContext.h"

namespace Kestrum::GUI {

class ICustomDraw;
class ILinePaintFormat;
class ICellPaintFormat;
class IHeaderPaintFormat;
class IColumnPaintFormat;
class ICopyPaste;
class IDragDrop;
class IEditInPlace;
class IKeyManager;

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

} // namespace Kestrum::GUI

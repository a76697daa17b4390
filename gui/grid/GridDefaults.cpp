#include "gui/grid/GridDefaults.h"

#include <QFontDatabase>

#include "gui/clipboard/CopyPaste.h"
#include "gui/clipboard/DragDrop.h"
#include "gui/clipboard/LocalDataFormat.h"
#include "gui/clipboard/TextClipboardFormat.h"
#include "gui/edit/EditInPlace.h"
#include "gui/input/KeyManager.h"
#include "gui/paint/CellPaintFormat.h"
#include "gui/paint/ColumnPaintFormat.h"
#include "gui/paint/CustomDraw.h"
#include "gui/paint/HeaderPaintFormat.h"
#include "gui/paint/LinePaintFormat.h"

namespace Kestrum::GUI {

GridDefaults& GridDefaults::Instance()
{
    static GridDefaults defaults;
    return defaults;
}

GridDefaults::GridDefaults()
    : m_font(std::make_unique<QFont>(QFontDatabase::systemFont(QFontDatabase::GeneralFont))),
      m_customDraw(std::make_unique<CCustomDraw>(false)), m_line(std::make_unique<CLinePaintFormat>()),
      m_cell(std::make_unique<CCellPaintFormat>()), m_header(std::make_unique<CHeaderPaintFormat>()),
      m_column(std::make_unique<CColumnPaintFormat>()), m_dragDrop(std::make_unique<CDragDrop>(false)),
      m_copyPaste(std::make_unique<CCopyPaste>(false)), m_editInPlace(std::make_unique<CEditInPlace>(false)),
      m_keyManager(std::make_unique<CKeyManager>(false))
{
    // Both carry rows as the local data format first, then as text.
    m_dragDrop->AddFormat(new CLocalDataFormat);
    m_dragDrop->AddFormat(new CTextClipboardFormat);
    m_copyPaste->AddFormat(new CLocalDataFormat);
    m_copyPaste->AddFormat(new CTextClipboardFormat);
}

GridDefaults::~GridDefaults() = default;

} // namespace Kestrum::GUI

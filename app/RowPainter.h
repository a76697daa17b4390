// CRowPainter: the view's custom draw. Pale column colours, system icons in
// the Name column, files in italics and red, bold sizes, and an animation in
// the Size cell of a folder that is still being walked. A folder that could
// not be read has a padlock on its icon and its name in grey; one left out
// by an exclude pattern has its name and its "excluded" sizes in grey.
#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <memory>
#include <vector>

#include "gui/paint/CustomDraw.h"

namespace Velmora {

class CRowPainter : public Kestrum::GUI::CCustomDraw {
public:
    CRowPainter();
    void PaintCell(Kestrum::GUI::CellDrawContext& context, Kestrum::GUI::PaintState& state,
                   Kestrum::GUI::PaintFlags flags) override;
    int GetCellWidth(Kestrum::GUI::CellDrawContext& context, Kestrum::GUI::PaintState& state,
                     Kestrum::GUI::PaintFlags flags) override;
    // The Name column's format puts the text after the icon, where the
    // painting puts it: whoever asks where a name's text is (the in-place
    // tooltip) finds it there.
    Kestrum::GUI::ICellPaintFormat* GetCellPaintFormat(Kestrum::GUI::CColumn* column, Kestrum::Common::CDataObject* object,
                                                       Kestrum::GUI::CGridItem* item, int rowKey, int rowIndex) override;

    // Both size columns in binary units instead of grouped bytes, for
    // every reader of the cell's text (painting, widths, tooltips, the
    // accessible text).
    Kestrum::Common::CFormat* GetCellFormat(const Kestrum::GUI::CellDrawContext& context) override;
    void SetSizeUnits(bool units) { m_units = units; }
    bool AreSizeUnits() const { return m_units; }
    static constexpr Kestrum::GUI::Color kPercentBarColor = 0xD2A064; // a soft blue
    // The bar's rectangle in a "% of parent" cell of this rectangle, for
    // this share; empty when the cell leaves no room beside the number.
    static Kestrum::GUI::CRect PercentBarRect(const Kestrum::GUI::CRect& cell, int textWidth, double percent);

    // The four animation frames (drawn here, no image files).
    const std::vector<QPixmap>& Frames() const { return m_frames; }
    static constexpr Kestrum::GUI::Color kFileTextColor = 0xC41C3E;
    static constexpr Kestrum::GUI::Color kUnreadableTextColor = 0x808080;
    // The icon of a folder or of a file of this name (by its type), cached.
    QIcon IconFor(bool folder, const QString& name);
    // A folder's icon with the padlock of an unreadable folder.
    static QPixmap WithPadlock(const QPixmap& icon);

private:
    std::vector<QPixmap> m_frames;
    QHash<QString, QIcon> m_icons;
    std::unique_ptr<Kestrum::GUI::ICellPaintFormat> m_nameFormat;
    std::unique_ptr<Kestrum::Common::CFormat> m_unitsFormat;
    bool m_units = false;
};

} // namespace Velmora

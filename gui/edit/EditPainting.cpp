#include "gui/edit/EditPainting.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>

#include "gui/header/Column.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
constexpr int kLargestBox = 13;
constexpr int kBoxInset = 2; // from the cell's left or right edge

Color PaletteColor(QPalette::ColorRole role) { return FromQColor(QApplication::palette().color(role)); }
} // namespace

CRect CheckBoxRect(const CRect& cell, std::int32_t alignment)
{
    const int side = std::max(0, std::min(kLargestBox, cell.Height() - 2));
    const int top = cell.top + (cell.Height() - side) / 2;
    int left = cell.left + kBoxInset;
    if (alignment == AlignCenter)
        left = cell.left + (cell.Width() - side) / 2;
    else if (alignment == AlignRight)
        left = cell.right - kBoxInset - side;
    return {left, top, left + side, top + side};
}

void PaintCheckBox(CDeviceContext& dc, const CRect& cell, std::int32_t alignment, bool checked)
{
    const CRect box = CheckBoxRect(cell, alignment);
    if (box.Width() < 5)
        return;
    dc.FillSolid(box, PaletteColor(QPalette::Base));
    dc.FrameRect(box, PaletteColor(QPalette::Dark));
    if (!checked)
        return;
    // A tick two pixels thick: down to the lower third, then up to the right.
    const Color ink = PaletteColor(QPalette::Text);
    const int s = box.Width();
    const int x0 = box.left + s / 5;
    const int xm = box.left + (2 * s) / 5;
    const int x1 = box.right - 1 - s / 5;
    const int ym = box.top + (3 * s) / 5;
    const int y0 = ym - (xm - x0);
    const int y1 = ym - (x1 - xm);
    for (int dy = 0; dy < 2; ++dy) {
        dc.Line(x0, y0 + dy, xm, ym + dy, ink);
        dc.Line(xm, ym + dy, x1, y1 + dy, ink);
    }
}

CRect DropDownButtonRect(const CRect& cell)
{
    const int side = std::min(cell.Height(), cell.Width());
    return {cell.right - side, cell.top, cell.right, cell.bottom};
}

void PaintDropDownButton(CDeviceContext& dc, const CRect& cell)
{
    const CRect button = DropDownButtonRect(cell);
    if (button.Width() < 6 || button.Height() < 6)
        return;
    dc.FillSolid(button, PaletteColor(QPalette::Button));
    dc.Edge3D(button, PaletteColor(QPalette::Light), PaletteColor(QPalette::Dark));
    // A small arrow pointing down, in the middle.
    const int half = std::max(2, button.Width() / 5);
    const int cx = (button.left + button.right) / 2;
    const int cy = (button.top + button.bottom) / 2;
    dc.Polygon({{cx - half, cy - half / 2}, {cx + half + 1, cy - half / 2}, {cx, cy + half / 2 + 1}},
               PaletteColor(QPalette::ButtonText));
}

} // namespace Kestrum::GUI

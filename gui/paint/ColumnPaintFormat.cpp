#include "gui/paint/ColumnPaintFormat.h"

#include <QApplication>
#include <QPalette>

#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
Color System(QPalette::ColorRole role) { return FromQColor(QApplication::palette().color(role)); }

// The sort level of the column, or -1.
int SortLevelOf(const ColumnHeaderDrawContext& context, const PaintState& state, bool& descending)
{
    if (!context.column || !state.header)
        return -1;
    const std::vector<CSortInfo> levels = state.header->GetSortLevels();
    for (std::size_t level = 0; level < levels.size(); ++level) {
        if (levels[level].GetFieldId() == context.column->GetFieldId()) {
            descending = levels[level].IsDescending();
            return static_cast<int>(level);
        }
    }
    return -1;
}
} // namespace

void CColumnPaintFormat::Paint(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags)
{
    PaintBackground(context, state, flags);
    PaintSortIndicator(context, state, flags);
    PaintCaption(context, state, flags);
}

void CColumnPaintFormat::PaintBackground(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags)
{
    CDeviceContext& dc = *state.dc;
    const Color face = context.state == 0 ? System(QPalette::Button) : System(QPalette::Light);
    dc.FillSolid(state.clipRect.IsEmpty() ? context.visibleRect : context.visibleRect.Intersected(state.clipRect), face);
    dc.PushClip();
    dc.IntersectClip(context.visibleRect);
    dc.Edge3D(context.fullRect, System(QPalette::Light), System(QPalette::Mid));
    dc.PopClip();
}

void CColumnPaintFormat::PaintSortIndicator(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags)
{
    bool descending = false;
    const int level = SortLevelOf(context, state, descending);
    if (level < 0)
        return;
    CDeviceContext& dc = *state.dc;
    const Color shadow = System(QPalette::Mid);
    const int e = context.fullRect.right - GetSortIndicatorWidth();
    const int d = (context.fullRect.top + context.fullRect.bottom) / 2;
    dc.PushClip();
    dc.IntersectClip(context.visibleRect);
    if (level >= 1) {
        for (int mark = 0; mark < 4; ++mark) {
            const CRect box{e + 2 * mark, d - 5, e + 2 * mark + 3, d - 1};
            dc.FillSolid(box, mark < level ? shadow : MakeColor(255, 255, 255));
            dc.FrameRect(box, shadow);
        }
    }
    const int top = level == 0 ? d - 3 : d + 1;
    const int bottom = level == 0 ? d + 1 : d + 5;
    if (descending)
        dc.Polygon({{e, bottom}, {e + 8, bottom}, {e + 4, top}}, shadow);
    else
        dc.Polygon({{e, top}, {e + 8, top}, {e + 4, bottom}}, shadow);
    dc.PopClip();
}

void CColumnPaintFormat::PaintCaption(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!context.column || !state.header)
        return;
    CDeviceContext& dc = *state.dc;
    CRect text = context.fullRect;
    bool descending = false;
    if (SortLevelOf(context, state, descending) >= 0)
        text.right -= GetSortIndicatorWidth();
    if ((flags & PaintHeaderImage) && state.header->GetImageList() && context.column->GetHeaderImageIndex() >= 0)
        text.left += text.Height();
    text.left += 2;
    text.right -= 4;
    dc.PushClip();
    dc.IntersectClip(context.visibleRect);
    if (context.font)
        dc.SelectFont(*context.font);
    const int alignment = context.column->GetAlignment();
    dc.Text(text, QString::fromStdString(context.column->GetCaption()), context.textColor,
            alignment == AlignRight ? TextRight : (alignment == AlignCenter ? TextCenter : TextLeft));
    dc.PopClip();
}

} // namespace Kestrum::GUI

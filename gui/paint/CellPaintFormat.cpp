#include "gui/paint/CellPaintFormat.h"
#include "gui/grid/GridDefaults.h"

#include <QApplication>
#include <QPalette>

#include "common/DataObject.h"
#include "gui/grid/EmbeddedControl.h"
#include "gui/grid/GridItem.h"
#include "gui/grid/GridSettings.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/ImageList.h"

namespace Kestrum::GUI {

namespace {
bool IsNumberType(std::int32_t type)
{
    return (type >= Common::FT_CHAR && type <= Common::FT_INT64) || type == Common::FT_FLOAT || type == Common::FT_DOUBLE;
}
} // namespace

namespace {
CGridItem* ItemOf(const CellDrawContext& context) { return context.row ? context.row->item : nullptr; }

const GridAppearance& AppearanceOf(const PaintState& state)
{
    return state.appearance ? *state.appearance : GridDefaults::Instance().GetAppearance();
}

bool IsFocusedRow(const CellDrawContext& context, const PaintState& state)
{
    return context.row && state.focusedRowIndex >= 0 && state.focusedRowKey == context.row->rowKey &&
           state.focusedRowIndex == context.row->rowIndex;
}

bool IsSortColumn(const CellDrawContext& context, const PaintState& state)
{
    if (!context.column || !state.header)
        return false;
    for (const CSortInfo& level : state.header->GetSortLevels())
        if (level.GetFieldId() == context.column->GetFieldId())
            return true;
    return false;
}

struct Highlight {
    int backAlpha = 0;
    int textAlpha = 0;
    Color back = 0;
    Color text = 0;
    std::int64_t remaining = -1; // -1: not highlighted
};

Highlight HighlightOf(const CellDrawContext& context, const PaintState& state, PaintFlags flags)
{
    Highlight result;
    CGridItem* item = ItemOf(context);
    if (!(flags & PaintFlag::PaintUpdateHighlight) || !context.column || !item || !state.highlightEnabled)
        return result;
    const UpdateHighlight& settings = context.highlight;
    const ChangeStamps* stamps = item->GetStamps();
    const std::int64_t elapsed = stamps ? stamps->TimeSinceChange(context.column->GetFieldId(), state.now) : -1;
    const std::int64_t duration = settings.duration;
    if (elapsed < 0 || duration <= 0 || elapsed >= duration)
        return result;
    result.remaining = duration - elapsed;
    const int fadingBack = static_cast<int>((duration - elapsed) * settings.backAlpha / duration);
    const int fadingText = static_cast<int>((duration - elapsed) * settings.textAlpha / duration);
    result.back = settings.backColor;
    result.text = settings.textColor;
    switch (settings.mode) {
    case 0:
        result.back = context.textColor;
        result.text = context.backColor;
        result.backAlpha = result.textAlpha = 255;
        break;
    case 1: result.textAlpha = 255; break;
    case 2: result.backAlpha = 255; break;
    case 3: result.backAlpha = result.textAlpha = 255; break;
    case 4: result.textAlpha = settings.textAlpha; break;
    case 5: result.backAlpha = settings.backAlpha; break;
    case 6:
        result.backAlpha = settings.backAlpha;
        result.textAlpha = settings.textAlpha;
        break;
    case 7: result.textAlpha = fadingText; break;
    case 8: result.backAlpha = fadingBack; break;
    case 9:
        result.backAlpha = fadingBack;
        result.textAlpha = fadingText;
        break;
    default: break;
    }
    return result;
}

int TreeLevel(const CellDrawContext& context) { return ItemOf(context) ? ItemOf(context)->GetLevel() : 0; }

bool IsLastChild(CGridItem* item)
{
    CGridItem* parent = item->GetParent();
    return !parent || parent->GetChildren().empty() || parent->GetChildren().back() == item;
}

bool IsDrawnExpanded(CGridItem* item, const PaintState& state) { return state.allExpanded || item->IsExpanded(); }

bool HasButton(CGridItem* item, const PaintState& state)
{
    if (state.allExpanded)
        return item->HasChildItems();
    return item->IsExpanded() ? item->GetVisibleDescendantCount() > 0 : item->HasChildItems();
}

Color GreyText() { return FromQColor(QApplication::palette().color(QPalette::Disabled, QPalette::Text)); }

int NextEven(int value) { return value % 2 != 0 ? value + 1 : value; }

// The row's first and last cells close the row's frames at its sides.
bool IsFirstCell(const CellDrawContext& context)
{
    return !context.row || context.visibleRect.left <= context.row->visibleRect.left;
}
bool IsLastCell(const CellDrawContext& context)
{
    return !context.row || context.visibleRect.right >= context.row->visibleRect.right;
}

// The grid's in-place editor while editing is enabled (none in a print).
IEditDecoration* EditorOf(const PaintState& state)
{
    return state.edit && state.edit->settings && state.edit->settings->enabled ? state.edit->editor : nullptr;
}
} // namespace

int CCellPaintFormat::TreeIndent(const CellDrawContext& context, const PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintHierarchy) || !context.column || !state.header || !ItemOf(context) ||
        state.header->GetTreeColumn() != context.column)
        return 0;
    return (TreeLevel(context) + 1) * context.fullRect.Height();
}

Color CCellPaintFormat::GetBackColor(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    Color color = context.backColor;
    const Highlight highlight = HighlightOf(context, state, flags);
    if (highlight.backAlpha > 0)
        color = BlendColor(color, highlight.back, highlight.backAlpha);
    const GridAppearance& appearance = AppearanceOf(state);
    CGridItem* item = ItemOf(context);
    if ((flags & PaintFlag::PaintSelectionTint) && item && item->IsSelected())
        color = BlendColor(color, appearance.selection.color, appearance.selection.alpha);
    if ((flags & PaintFlag::PaintSortTint) && IsSortColumn(context, state))
        color = BlendColor(color, appearance.sortColumn.color, appearance.sortColumn.alpha);
    if ((flags & PaintFlag::PaintFocusTint) && IsFocusedRow(context, state))
        color = BlendColor(color, appearance.focus.color, appearance.focus.alpha);
    return color;
}

Color CCellPaintFormat::GetTextColor(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const Highlight highlight = HighlightOf(context, state, flags);
    return highlight.textAlpha > 0 ? BlendColor(context.textColor, highlight.text, highlight.textAlpha) : context.textColor;
}

CRect CCellPaintFormat::GetImageRect(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const CRect& full = context.fullRect;
    const int start = full.left + TreeIndent(context, state, flags);
    CRect rect{start, full.top, start, full.bottom};
    const bool shown = (flags & PaintFlag::PaintImage) && ItemOf(context) && context.images && context.imageIndex >= 0 &&
                       context.imageIndex < context.images->GetCount();
    const QSize size = shown ? context.images->GetImageSize() : QSize();
    if (!shown || size.isEmpty())
        return rect;
    const int h = full.Height();
    const int width = context.stretchImages ? h * size.width() / size.height() : h;
    rect.right = start + width;
    const std::int32_t alignment = context.column ? context.column->GetImageAlignment() : ImageLeft;
    const int room = full.right - start;
    if (alignment == ImageRight && width < room) {
        rect.left = full.right - width;
        rect.right = full.right;
    } else if (alignment == ImageCenter && width < room) {
        rect.left += (room - width) / 2;
        rect.right += (room - width) / 2;
    }
    return rect;
}

CRect CCellPaintFormat::GetTextRect(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    CRect rect = context.fullRect;
    const std::int32_t alignment = context.column ? context.column->GetImageAlignment() : ImageLeft;
    const CRect image = GetImageRect(context, state, flags);
    if (alignment == ImageLeft)
        rect.left = image.right;
    else if (alignment == ImageRight && !image.IsEmpty())
        rect.right = image.left;
    rect.left += context.leftMargin;
    rect.right -= context.rightMargin;
    return rect;
}

int CCellPaintFormat::GetRequiredWidth(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!state.dc)
        return 0;
    if (context.font)
        state.dc->SelectFont(*context.font);
    const CRect image = GetImageRect(context, state, flags);
    return state.dc->TextWidth(CellText(context)) + context.leftMargin + context.rightMargin +
           TreeIndent(context, state, flags) + image.Width();
}

int CCellPaintFormat::Paint(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    // The in-place editor may rewrite the flags of the cell (a check box
    // instead of the text).
    if (IEditDecoration* editor = EditorOf(state))
        flags = editor->AdjustPaintFlags(context, state, flags);
    ScheduleHighlightRepaint(context, state, flags);
    CDeviceContext& dc = *state.dc;
    dc.PushClip();
    dc.IntersectClip(context.visibleRect.Intersected(state.clipRect.IsEmpty() ? context.visibleRect : state.clipRect));
    PaintBackground(context, state, flags);
    PaintSelectionRectangle(context, state, flags);
    PaintText(context, state, flags);
    PaintImage(context, state, flags);
    PaintFocusFrame(context, state, flags);
    PaintSelectionFrame(context, state, flags);
    PaintTree(context, state, flags);
    PaintDropMarker(context, state, flags);
    PaintDropArrows(context, state, flags);
    PaintVerticalLine(context, state, flags);
    PaintHorizontalLine(context, state, flags);
    dc.PopClip();
    // A control embedded in the cell paints itself; it learns its cell here.
    CGridItem* cellItem = ItemOf(context);
    if ((flags & PaintFlag::PaintEmbeddedControls) && context.column && cellItem)
        if (IEmbeddedControl* control = cellItem->GetEmbeddedControl(context.column->GetFieldId()))
            control->Bind(context, state, flags);
    return PaintEditorDecoration(context, state, flags);
}

void CCellPaintFormat::ScheduleHighlightRepaint(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const Highlight highlight = HighlightOf(context, state, flags);
    CGridItem* item = ItemOf(context);
    if (highlight.remaining <= 0 || !state.repaint || !item)
        return;
    const std::int64_t step = context.highlight.fadeStep;
    const bool fading = context.highlight.mode >= 7 && context.highlight.mode <= 9;
    const std::int64_t wait = fading && step > 0 && highlight.remaining >= step ? step : highlight.remaining;
    state.repaint->RepaintCellLater(item, context.column->GetFieldId(), static_cast<int>(wait));
}

void CCellPaintFormat::PaintBackground(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintBackground))
        return;
    CDeviceContext& dc = *state.dc;
    CGridItem* item = ItemOf(context);
    const GridAppearance& appearance = AppearanceOf(state);
    const CRect& visible = context.visibleRect;
    const Color back = GetBackColor(context, state, flags);
    const CRect picture = state.hasBackground ? visible.Intersected(state.backgroundArea) : CRect{};
    if (picture.IsEmpty() || state.backgroundTransparency == -1) {
        dc.FillSolid(context.repaintRect, back);
        return;
    }
    // Around the picture the cell is solid; over it, layers of colour.
    const CRect parts[] = {{visible.left, visible.top, visible.right, picture.top},
                           {visible.left, picture.bottom, visible.right, visible.bottom},
                           {visible.left, picture.top, picture.left, picture.bottom},
                           {picture.right, picture.top, visible.right, picture.bottom}};
    for (const CRect& part : parts)
        dc.FillSolid(part.Intersected(context.repaintRect), back);
    const CRect over = picture.Intersected(context.repaintRect);
    const Highlight highlight = HighlightOf(context, state, flags);
    if (state.backgroundTransparency != 0)
        dc.FillAlpha(over, context.backColor, state.backgroundTransparency);
    if (highlight.backAlpha > 0)
        dc.FillAlpha(over, highlight.back, highlight.backAlpha);
    if ((flags & PaintFlag::PaintSelectionTint) && item && item->IsSelected())
        dc.FillAlpha(over, appearance.selection.color, appearance.selection.alpha);
    if ((flags & PaintFlag::PaintSortTint) && IsSortColumn(context, state))
        dc.FillAlpha(over, appearance.sortColumn.color, appearance.sortColumn.alpha);
    if ((flags & PaintFlag::PaintFocusTint) && IsFocusedRow(context, state))
        dc.FillAlpha(over, appearance.focus.color, appearance.focus.alpha);
}

void CCellPaintFormat::PaintSelectionRectangle(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintSelectionRect) || state.selectionFrom.x < 0)
        return;
    const GridAppearance& appearance = AppearanceOf(state);
    const CRect selection{std::min(state.selectionFrom.x, state.selectionTo.x), std::min(state.selectionFrom.y, state.selectionTo.y),
                          std::max(state.selectionFrom.x, state.selectionTo.x), std::max(state.selectionFrom.y, state.selectionTo.y)};
    const CRect inside = selection.Intersected(context.repaintRect);
    if (!inside.IsEmpty())
        state.dc->FillAlpha(inside, appearance.selectionRect.color, appearance.selectionRect.alpha);
}

void CCellPaintFormat::PaintText(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintText) || !context.column)
        return;
    CDeviceContext& dc = *state.dc;
    Common::CDataObject* object = context.row ? context.row->object : nullptr;
    const Common::CValue value = object ? object->GetValue(context.column->GetFieldId()) : Common::CValue();
    const int align = ResolveAlignment(context.column->GetAlignment(), value.GetType());
    if (context.font)
        dc.SelectFont(*context.font);
    const CRect textRect = GetTextRect(context, state, flags);
    QString text = CellText(context);
    // A number is shown whole or not at all: with digits cut off it
    // would read as another number. What does not fit is a row of '#'
    // (the in-place tooltip shows the whole value).
    if (IsNumberType(value.GetType()) && dc.TextWidth(text) > textRect.Width()) {
        const int mark = std::max(1, dc.TextWidth(QStringLiteral("#")));
        text = QString(std::max(0, textRect.Width()) / mark, QLatin1Char('#'));
    }
    dc.Text(textRect, text, GetTextColor(context, state, flags),
            align == AlignRight ? TextRight : (align == AlignCenter ? TextCenter : TextLeft));
}

void CCellPaintFormat::PaintImage(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const CRect imageRect = GetImageRect(context, state, flags);
    if (imageRect.IsEmpty())
        return;
    CDeviceContext& dc = *state.dc;
    const QPixmap image = context.images->GetImage(context.imageIndex);
    if (context.stretchImages) {
        dc.DrawPixmap({imageRect.left + 1, imageRect.top + 1, imageRect.right - 1, imageRect.bottom - 1}, image);
        return;
    }
    const int top = image.height() < imageRect.Height() ? imageRect.top + (imageRect.Height() - image.height()) / 2
                                                        : imageRect.top;
    dc.DrawPixmapPart(imageRect.left, top, image,
                      {0, 0, std::min(image.width(), imageRect.Width()), std::min(image.height(), imageRect.Height())});
}

void CCellPaintFormat::PaintFocusFrame(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintFocusFrame) || !ItemOf(context) || !IsFocusedRow(context, state))
        return;
    CDeviceContext& dc = *state.dc;
    const CRect& visible = context.visibleRect;
    const Color color = AppearanceOf(state).focus.color;
    dc.Line(NextEven(visible.left), visible.top, visible.right - 1, visible.top, color, true);
    dc.Line(NextEven(visible.left), visible.bottom - 1, visible.right - 1, visible.bottom - 1, color, true);
    if (IsFirstCell(context))
        dc.Line(visible.left, visible.top, visible.left, visible.bottom - 1, color, true);
    if (IsLastCell(context))
        dc.Line(visible.right - 1, visible.top, visible.right - 1, visible.bottom - 1, color, true);
}

void CCellPaintFormat::PaintSelectionFrame(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    CGridItem* item = ItemOf(context);
    if (!(flags & PaintFlag::PaintSelectionFrame) || !item || !item->IsSelected())
        return;
    CDeviceContext& dc = *state.dc;
    const CRect& visible = context.visibleRect;
    const Color color = AppearanceOf(state).selection.color;
    if (!context.row->noTopFrameLine)
        dc.Line(visible.left, visible.top, visible.right - 1, visible.top, color);
    if (!context.row->noBottomFrameLine)
        dc.Line(visible.left, visible.bottom - 1, visible.right - 1, visible.bottom - 1, color);
    if (IsFirstCell(context))
        dc.Line(visible.left, visible.top, visible.left, visible.bottom - 1, color);
    if (IsLastCell(context))
        dc.Line(visible.right - 1, visible.top, visible.right - 1, visible.bottom - 1, color);
}

void CCellPaintFormat::PaintTree(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (TreeIndent(context, state, flags) <= 0)
        return;
    CDeviceContext& dc = *state.dc;
    CGridItem* item = ItemOf(context);
    const CRect& full = context.fullRect;
    const int h = full.Height();
    const int level = TreeLevel(context);
    const Color grey = GreyText();
    if ((flags & PaintFlag::PaintTreeButtons) && HasButton(item, state)) {
        const CRect box{full.left + level * h + 3, full.top + 3, full.left + level * h + h - 2, full.bottom - 2};
        dc.FrameRect(box, grey);
        const int middleY = (box.top + box.bottom - 1) / 2;
        const int middleX = (box.left + box.right - 1) / 2;
        dc.Line(box.left + 2, middleY, box.right - 3, middleY, MakeColor(0, 0, 0));
        if (!IsDrawnExpanded(item, state))
            dc.Line(middleX, box.top + 2, middleX, box.bottom - 3, MakeColor(0, 0, 0));
    }
    if ((flags & PaintFlag::PaintTreeLines) && level >= 1) {
        const int x = full.left + h / 2 + (level - 1) * h;
        const int middle = full.top + h / 2 - 1;
        dc.Line(x, full.top, x, IsLastChild(item) ? middle : full.bottom - 1, grey, true);
        dc.Line(x, middle, HasButton(item, state) ? x + h - 3 : x + h / 2 + h - 1, middle, grey, true);
        for (CGridItem* ancestor = item->GetParent(); ancestor && ancestor->GetParent() && ancestor->GetParent()->GetParent();
             ancestor = ancestor->GetParent()) {
            if (!IsLastChild(ancestor)) {
                const int ax = full.left + (ancestor->GetLevel() - 1) * h + h / 2;
                dc.Line(ax, full.top, ax, full.bottom - 1, grey, true);
            }
        }
    }
}

void CCellPaintFormat::PaintDropMarker(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    // A bar between rows where the dragged rows would go.
    if (!(flags & PaintFlag::PaintDropMarker) || !state.drag.active || !context.row || context.row->rowKey != state.drag.targetArea)
        return;
    const CRect& visible = context.visibleRect;
    const CRect& full = context.fullRect;
    CDeviceContext& dc = *state.dc;
    const int target = state.drag.targetRow;
    const int index = context.row->rowIndex;
    if (target >= 0 && target < state.drag.rowCount && (index == target || index == target + 1)) {
        // In the tree column the bar starts where the dropped rows' text will
        // (past the tree button of their level), on both rows it touches, so
        // a drop under the row above reads as such and not as one beside it.
        const bool treeColumn = (flags & PaintFlag::PaintHierarchy) && context.column && state.header &&
                                state.header->GetTreeColumn() == context.column;
        const int left = treeColumn ? std::min(visible.right, std::max(visible.left, full.left + (state.drag.level + 1) * full.Height()))
                                    : visible.left;
        if (!state.drag.after && index == target)
            dc.FillSolid({left, full.top, visible.right, full.top + 2}, state.drag.markerColor);
        else if (state.drag.after && index == target)
            dc.FillSolid({left, full.bottom - 1, visible.right, full.bottom}, state.drag.markerColor);
        else if (state.drag.after && index == target + 1)
            dc.FillSolid({left, full.top, visible.right, full.top + 1}, state.drag.markerColor);
    }
}

void CCellPaintFormat::PaintDropArrows(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    if (!(flags & PaintFlag::PaintDropArrows) || !state.drag.active || !context.row || !IsFirstCell(context) ||
        context.row->rowKey != state.drag.targetArea || context.row->rowIndex != state.drag.targetRow)
        return;
    CDeviceContext& dc = *state.dc;
    const CRect& full = context.fullRect;
    const int h = full.Height();
    const Color outline = BlendColor(state.drag.markerColor, context.backColor, 120);
    const CRect left{full.left + 2 + 2, full.top + 2, full.left + 2 + h - 2, full.bottom - 2};
    dc.Polygon({{left.left, left.top}, {left.left, left.bottom}, {left.right, (left.top + left.bottom) / 2}},
               state.drag.markerColor);
    dc.Line(left.left, left.top, left.right, (left.top + left.bottom) / 2, outline);
    const int rowRight = context.row->visibleRect.right;
    const CRect right{rowRight - 2 - h + 2, full.top + 2, rowRight - 2 - 2, full.bottom - 2};
    dc.Polygon({{right.right, right.top}, {right.right, right.bottom}, {right.left, (right.top + right.bottom) / 2}},
               state.drag.markerColor);
    dc.Line(right.right, right.top, right.left, (right.top + right.bottom) / 2, outline);
}

void CCellPaintFormat::PaintVerticalLine(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const GridAppearance& appearance = AppearanceOf(state);
    const CRect& full = context.fullRect;
    if ((flags & PaintFlag::PaintVerticalLines) && appearance.verticalLines && context.column)
        state.dc->Line(full.right - 1, NextEven(full.top), full.right - 1, full.bottom, appearance.verticalLine, true);
}

void CCellPaintFormat::PaintHorizontalLine(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const GridAppearance& appearance = AppearanceOf(state);
    const CRect& full = context.fullRect;
    if ((flags & PaintFlag::PaintHorizontalLines) && appearance.horizontalLines)
        state.dc->Line(NextEven(full.left), full.bottom - 1, full.right, full.bottom - 1, appearance.horizontalLine, true);
}

int CCellPaintFormat::PaintEditorDecoration(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    // The hot-cell frame, a check box, a drop-down button.
    IEditDecoration* editor = EditorOf(state);
    const EditSettings* edit = editor ? state.edit->settings : nullptr;
    if (!edit || !(edit->hotFrame || edit->decoration || edit->secondDecoration))
        return 0;
    state.dc->PushClip();
    state.dc->IntersectClip(context.visibleRect.Intersected(state.clipRect.IsEmpty() ? context.visibleRect : state.clipRect));
    editor->PaintDecoration(context, state, flags);
    state.dc->PopClip();
    return 0;
}

} // namespace Kestrum::GUI

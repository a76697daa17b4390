#include "app/RowPainter.h"

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/FileSystemData.h"
#include "app/SizeUnitsFormat.h"
#include "common/DataObject.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Column.h"
#include "gui/paint/CellPaintFormat.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"

namespace Velmora {

using namespace Kestrum::GUI;

namespace {
Color ColumnBackground(std::int32_t field)
{
    switch (field) {
    case FIELD_SIZE:
    case FIELD_SIZE_ON_DISK: return 0xE8F6FA;
    case FIELD_FILES_COUNT: return 0xDDF3F7;
    case FIELD_CREATION_TIME: return 0xD1EFF5;
    case FIELD_LAST_ACCESS_TIME: return 0xC1E8F0;
    case FIELD_LAST_WRITE_TIME: return 0xB1E1EB;
    default: return 0xFFFFFFFF;
    }
}

// One frame of the "still walking" animation: an arc that turns a quarter
// each second.
QPixmap DrawFrame(int frame)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 200, 210), 2));
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    painter.setPen(QPen(QColor(40, 110, 210), 2.5));
    painter.drawArc(QRectF(2, 2, 12, 12), (90 - frame * 90) * 16, -100 * 16);
    return pixmap;
}
} // namespace

QPixmap CRowPainter::WithPadlock(const QPixmap& icon)
{
    QPixmap marked = icon;
    const QSizeF size = icon.deviceIndependentSize();
    QPainter painter(&marked);
    painter.setRenderHint(QPainter::Antialiasing);
    // Bottom right, over about half the icon: a shackle and a body.
    const qreal side = std::max<qreal>(6, std::min(size.width(), size.height()) * 0.55);
    const QRectF body(size.width() - side, size.height() - side * 0.62, side, side * 0.62);
    const QRectF shackle(body.left() + side * 0.2, body.top() - side * 0.38, side * 0.6, side * 0.7);
    painter.setPen(QPen(QColor(255, 255, 255), std::max<qreal>(1.5, side * 0.28)));
    painter.drawArc(shackle, 0, 180 * 16);
    painter.setPen(QPen(QColor(90, 20, 20), std::max<qreal>(1, side * 0.14)));
    painter.drawArc(shackle, 0, 180 * 16);
    painter.setPen(QPen(QColor(255, 255, 255), 1));
    painter.setBrush(QColor(178, 34, 34));
    painter.drawRoundedRect(body, side * 0.12, side * 0.12);
    return marked;
}

// A name's text starts one row height further right: the icon's square.
class CNameCellPaintFormat final : public CCellPaintFormat {
public:
    CRect GetTextRect(CellDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        CRect rect = CCellPaintFormat::GetTextRect(context, state, flags);
        if (context.row && context.row->object)
            rect.left += context.fullRect.Height();
        return rect;
    }
    ICellPaintFormat* Clone() const override { return new CNameCellPaintFormat(*this); }
};

CRect CRowPainter::PercentBarRect(const CRect& cell, int textWidth, double percent)
{
    // The bar takes the room left of the number, a few pixels in from the edges.
    const int room = cell.Width() - textWidth - 12;
    if (room < 8 || cell.Height() < 6)
        return {};
    const int length = static_cast<int>(std::lround(room * std::clamp(percent, 0.0, 100.0) / 100.0));
    return {cell.left + 3, cell.top + 3, cell.left + 3 + length, cell.bottom - 3};
}

CRowPainter::CRowPainter()
    : CCustomDraw(true), m_nameFormat(std::make_unique<CNameCellPaintFormat>()),
      m_unitsFormat(std::make_unique<CSizeUnitsFormat>())
{
    for (int frame = 0; frame < 4; ++frame)
        m_frames.push_back(DrawFrame(frame));
}

QIcon CRowPainter::IconFor(bool folder, const QString& name)
{
    // Icons are looked up on the GUI thread only, and cached by kind.
    static QMimeDatabase mimes;
    const QString key = folder ? QStringLiteral("/folder") : mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
    const auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd())
        return *found;
    QIcon icon;
    if (folder) {
        icon = QFileIconProvider().icon(QFileIconProvider::Folder);
    } else {
        const QMimeType mime = mimes.mimeTypeForName(key);
        icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        if (icon.isNull())
            icon = QFileIconProvider().icon(QFileIconProvider::File);
    }
    m_icons.insert(key, icon);
    return icon;
}

void CRowPainter::PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const std::int32_t field = context.column ? context.column->GetFieldId() : Kestrum::Common::FIELD_NONE;
    if (const Color back = ColumnBackground(field); back != 0xFFFFFFFF)
        context.backColor = back;
    CellDrawContext cell = context;
    QFont font = context.font ? *context.font : state.dc->GetFont();
    Kestrum::Common::CDataObject* object = context.row ? context.row->object : nullptr;
    const QPixmap* decoration = nullptr;
    QPixmap iconPixmap;
    if (object) {
        const bool isFile = object->GetLong(FIELD_TYPE) == TYPE_FILE;
        if (field == FIELD_NAME) {
            const int size = std::max(8, std::min(context.fullRect.Height() - 2, 32));
            iconPixmap = IconFor(!isFile, ToQString(object->GetMfcString(FIELD_NAME))).pixmap(size, size);
            decoration = &iconPixmap;
            if (isFile) {
                cell.textColor = kFileTextColor;
                font.setItalic(true);
            } else if (const auto* folder = dynamic_cast<const CFolderData*>(object); folder && folder->IsUnreadable()) {
                iconPixmap = WithPadlock(iconPixmap);
                cell.textColor = kUnreadableTextColor;
            } else if (folder && folder->IsExcluded()) {
                cell.textColor = kUnreadableTextColor;
            }
        } else if (const auto* folder = dynamic_cast<const CFolderData*>(object);
                   folder && folder->IsExcluded() && (field == FIELD_SIZE || field == FIELD_SIZE_ON_DISK)) {
            cell.textColor = kUnreadableTextColor;
        } else if (field == FIELD_SIZE && object->GetBool(FIELD_POPULATING)) {
            decoration = &m_frames[static_cast<std::size_t>(state.now % 4000 / 1000)];
            if (state.repaint)
                state.repaint->RepaintCellLater(context.row->item, FIELD_SIZE, 30);
        }
    }
    if (field == FIELD_SIZE)
        font.setWeight(QFont::Black);
    cell.font = &font;
    if (field == FIELD_PERCENT_OF_PARENT && object) {
        CCustomDraw::PaintCell(cell, state, flags);
        const QFont previous = state.dc->GetFont();
        state.dc->SelectFont(font);
        const int textWidth = state.dc->TextWidth("100.0%");
        state.dc->SelectFont(previous);
        const CRect bar = PercentBarRect(context.fullRect, textWidth, object->GetDouble(FIELD_PERCENT_OF_PARENT));
        if (bar.Width() > 0) {
            state.dc->PushClip();
            state.dc->IntersectClip(context.visibleRect.Intersected(context.repaintRect));
            state.dc->FillSolid(bar, kPercentBarColor);
            state.dc->PopClip();
        }
        return;
    }
    if (!decoration) {
        CCustomDraw::PaintCell(cell, state, flags);
        return;
    }
    // The text moves right of the image, which sits after the tree indent.
    const int side = context.fullRect.Height();
    cell.leftMargin += side;
    CCustomDraw::PaintCell(cell, state, flags);
    const QSize pixmapSize = decoration->deviceIndependentSize().toSize();
    const int indent = CCellPaintFormat::TreeIndent(context, state, flags);
    const CRect target{context.fullRect.left + indent + (side - pixmapSize.width()) / 2 + 1,
                       context.fullRect.top + (side - pixmapSize.height()) / 2, 0, 0};
    state.dc->PushClip();
    state.dc->IntersectClip(context.visibleRect.Intersected(context.repaintRect));
    state.dc->DrawPixmapAt(target.left, target.top, *decoration);
    state.dc->PopClip();
}

ICellPaintFormat* CRowPainter::GetCellPaintFormat(CColumn* column, Kestrum::Common::CDataObject* object, CGridItem* item,
                                                  int rowKey, int rowIndex)
{
    if (column && column->GetFieldId() == FIELD_NAME && !column->GetCellPaintFormat())
        return m_nameFormat.get();
    return CCustomDraw::GetCellPaintFormat(column, object, item, rowKey, rowIndex);
}

Kestrum::Common::CFormat* CRowPainter::GetCellFormat(const CellDrawContext& context)
{
    const std::int32_t field = context.column ? context.column->GetFieldId() : Kestrum::Common::FIELD_NONE;
    if (m_units && (field == FIELD_SIZE || field == FIELD_SIZE_ON_DISK))
        return m_unitsFormat.get();
    return CCustomDraw::GetCellFormat(context);
}

int CRowPainter::GetCellWidth(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    const std::int32_t field = context.column ? context.column->GetFieldId() : Kestrum::Common::FIELD_NONE;
    const int height = context.fullRect.Height() > 0 ? context.fullRect.Height() : 16;
    CellDrawContext cell = context;
    if (field == FIELD_NAME)
        return CCustomDraw::GetCellWidth(cell, state, flags) + height;
    if (field == FIELD_SIZE && state.dc) {
        QFont bold = state.dc->GetFont();
        bold.setWeight(QFont::Black);
        const QFont previous = state.dc->GetFont();
        state.dc->SelectFont(bold);
        int width = CCustomDraw::GetCellWidth(cell, state, flags);
        state.dc->SelectFont(previous);
        auto* object = context.row ? context.row->object : nullptr;
        if (object && object->GetBool(FIELD_POPULATING))
            width += height;
        return width;
    }
    return CCustomDraw::GetCellWidth(cell, state, flags);
}

} // namespace Velmora

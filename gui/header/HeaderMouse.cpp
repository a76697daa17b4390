#include "gui/header/HeaderMouse.h"

#include <QBitmap>
#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "gui/grid/GridClock.h"
#include "gui/header/Header.h"
#include "gui/header/HeaderMouseHost.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
// A press on a caption becomes a column move once the pointer has gone
// further than this from the press point.
constexpr int kClickSlack = 4;
// The pixels on either side of a column's right edge that grab the edge.
constexpr int kEdgeGrab = 4;
// A resized column keeps at least this width.
constexpr int kNarrowestColumn = 2;
// The drop marker is repainted at least this often while a column is moved.
constexpr std::int64_t kDropRepaintMs = 200;
constexpr double kDragImageOpacity = 0.6;

// The resize cursor: a two-line bar with arrows pointing away from it, drawn
// from two 32 x 32 bit masks (the black pixels, and the drawn pixels: the
// black ones with a white outline), hot spot in the middle.
QCursor MakeResizeCursor()
{
    constexpr int kSide = 32;
    std::array<std::uint8_t, kSide * kSide / 8> black{};
    auto set = [](auto& plane, int x, int y) {
        if (x >= 0 && x < kSide && y >= 0 && y < kSide)
            plane[static_cast<std::size_t>(y * (kSide / 8) + x / 8)] |= static_cast<std::uint8_t>(1u << (x % 8));
    };
    auto isSet = [](const auto& plane, int x, int y) {
        return x >= 0 && x < kSide && y >= 0 && y < kSide &&
               (plane[static_cast<std::size_t>(y * (kSide / 8) + x / 8)] & (1u << (x % 8))) != 0;
    };
    for (int y = 8; y < 24; ++y) {
        set(black, 14, y);
        set(black, 17, y);
    }
    for (int x = 8; x < 13; ++x) {
        set(black, x, 15);
        set(black, x, 16);
        set(black, kSide - 1 - x, 15);
        set(black, kSide - 1 - x, 16);
    }
    for (int k = 0; k < 5; ++k) { // the arrow heads, tips at x 3 and 28
        for (int y = 15 - k; y <= 16 + k; ++y) {
            set(black, 3 + k, y);
            set(black, kSide - 1 - (3 + k), y);
        }
    }
    std::array<std::uint8_t, kSide * kSide / 8> drawn{};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (isSet(black, x + dx, y + dy))
                        set(drawn, x, y);
    const QBitmap bitmap = QBitmap::fromData(QSize(kSide, kSide), black.data(), QImage::Format_MonoLSB);
    const QBitmap mask = QBitmap::fromData(QSize(kSide, kSide), drawn.data(), QImage::Format_MonoLSB);
    return QCursor(bitmap, mask, kSide / 2, kSide / 2);
}
} // namespace

CHeaderMouse::CHeaderMouse(IHeaderMouseHost& host) : m_host(host), m_resizeCursor(MakeResizeCursor()) {}

CHeaderMouse::~CHeaderMouse() { delete m_dragImage.data(); }

bool CHeaderMouse::InStrip(CPoint point) { return m_host.Header() && point.y < m_host.HeaderHeight(); }

CColumn* CHeaderMouse::EdgeColumn(int x)
{
    CHeader* header = m_host.Header();
    if (!header)
        return nullptr;
    CColumn* nearest = nullptr;
    int nearestDistance = kEdgeGrab + 1;
    for (CColumn* column : header->GetVisibleColumns()) {
        const CRect cell = header->GetClippedColumnRect(m_host.ScrollPosition(), column->GetFieldId());
        if (cell.right <= cell.left && column->GetWidth() > 0)
            continue; // scrolled under the fixed columns
        const int distance = x < cell.right ? cell.right - 1 - x : x - cell.right;
        if (x >= cell.right - kEdgeGrab && x < cell.right + kEdgeGrab && distance < nearestDistance) {
            nearest = column;
            nearestDistance = distance;
        }
    }
    return nearest;
}

CColumn* CHeaderMouse::ColumnAt(int x)
{
    CHeader* header = m_host.Header();
    return header ? header->HitTestColumn(m_host.ScrollPosition(), x, 0) : nullptr;
}

bool CHeaderMouse::MayMove(CColumn* column)
{
    CHeader* header = m_host.Header();
    if (!header || !column)
        return false;
    return header->IsFixedColumn(column->GetFieldId()) ? header->CanMoveFixedColumns() : header->CanMoveScrollableColumns();
}

void CHeaderMouse::Repaint()
{
    if (const int height = m_host.HeaderHeight(); height > 0) {
        const CRect client = m_host.Client();
        m_host.Invalidate({client.left, client.top, client.right, client.top + height});
    }
}

void CHeaderMouse::SetHot(Common::FieldId field)
{
    if (field == m_state.hot)
        return;
    m_state.hot = field;
    Repaint();
}

void CHeaderMouse::TrackHot(CPoint point)
{
    CColumn* hot = InStrip(point) && point.y >= 0 ? ColumnAt(point.x) : nullptr;
    SetHot(hot ? hot->GetFieldId() : Common::FIELD_NONE);
}

void CHeaderMouse::UpdateCursor(CPoint point, bool buttonDown)
{
    const bool resize = m_state.mode == HeaderModeResizing ||
                        (m_state.mode == HeaderModeNone && !buttonDown && InStrip(point) && EdgeColumn(point.x));
    if (resize == m_resizeCursorShown)
        return;
    m_resizeCursorShown = resize;
    if (resize)
        m_host.Viewport()->setCursor(m_resizeCursor);
    else
        m_host.Viewport()->unsetCursor();
}

void CHeaderMouse::End(bool restoreWidth, CPoint pointer, bool leftDown)
{
    if (m_state.mode == HeaderModeNone)
        return;
    if (restoreWidth && m_state.mode == HeaderModeResizing && m_host.Header())
        if (CColumn* column = m_host.Header()->GetColumn(m_state.field))
            column->SetWidth(m_state.widthAtPress);
    HideDragImage();
    m_state.mode = HeaderModeNone;
    m_state.field = Common::FIELD_NONE;
    m_state.dropIndex = -1;
    Repaint();
    UpdateCursor(pointer, leftDown);
}

bool CHeaderMouse::OnEscape(CPoint pointer, bool leftDown)
{
    if (m_state.mode != HeaderModeResizing && m_state.mode != HeaderModeMoving)
        return false;
    End(true, pointer, leftDown);
    return true;
}

void CHeaderMouse::EndMode(CPoint pointer, bool leftDown) { End(false, pointer, leftDown); }

void CHeaderMouse::ShowDragImage(CColumn* column, CPoint point)
{
    HideDragImage();
    CRect cell = m_host.Header()->GetClippedColumnRect(m_host.ScrollPosition(), column->GetFieldId());
    cell.top = 0;
    cell.bottom = m_host.HeaderHeight();
    if (cell.IsEmpty())
        return;
    QWidget* viewport = m_host.Viewport();
    const QPixmap shot = viewport->grab(ToQRect(cell));
    QPixmap image(shot.size());
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setOpacity(kDragImageOpacity);
        painter.drawPixmap(0, 0, shot);
    }
    auto* label = new QLabel(viewport);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setPixmap(image);
    label->resize(image.size() / image.devicePixelRatio());
    m_dragImage = label;
    m_dragHotSpot = {point.x - cell.left, point.y - cell.top};
    MoveDragImage(point);
    label->show();
    label->raise();
}

void CHeaderMouse::MoveDragImage(CPoint point)
{
    if (m_dragImage)
        m_dragImage->move(point.x - m_dragHotSpot.x, point.y - m_dragHotSpot.y);
}

void CHeaderMouse::HideDragImage() { delete m_dragImage.data(); }

void CHeaderMouse::UpdateDrop(CPoint point)
{
    CHeader* header = m_host.Header();
    const int count = header->GetVisibleColumnCount();
    int index = -1;
    bool after = false;
    if (CColumn* under = ColumnAt(point.x)) {
        const CRect cell = header->GetColumnRect(m_host.ScrollPosition(), under->GetFieldId());
        index = header->GetVisibleIndex(under->GetFieldId());
        after = point.x >= (cell.left + cell.right) / 2;
    } else if (count > 0) { // right of the last column
        index = count - 1;
        after = true;
    }
    const bool changed = index != m_state.dropIndex || after != m_state.dropAfter;
    m_state.dropIndex = index;
    m_state.dropAfter = after;
    const std::int64_t now = GridClockNow();
    if (changed || now - m_state.lastDropRepaint >= kDropRepaintMs) {
        m_state.lastDropRepaint = now;
        Repaint();
    }
}

void CHeaderMouse::OnPress(CPoint point)
{
    SetHot(Common::FIELD_NONE);
    if (CColumn* edge = EdgeColumn(point.x)) {
        m_state.mode = HeaderModeResizing;
        m_state.field = edge->GetFieldId();
        m_state.widthAtPress = edge->GetWidth();
        UpdateCursor(point, true);
    } else if (CColumn* column = ColumnAt(point.x)) {
        m_state.mode = HeaderModePressed;
        m_state.field = column->GetFieldId();
        m_state.press = point;
        Repaint();
    }
}

bool CHeaderMouse::OnMove(CPoint point, bool leftDown)
{
    switch (m_state.mode) {
    case HeaderModePressed:
        if (std::abs(point.x - m_state.press.x) > kClickSlack || std::abs(point.y - m_state.press.y) > kClickSlack) {
            CColumn* column = m_host.Header()->GetColumn(m_state.field);
            if (MayMove(column)) {
                m_state.mode = HeaderModeMoving;
                m_state.dropIndex = -1;
                Repaint();
                ShowDragImage(column, point);
                UpdateDrop(point);
            } else {
                End(false, point, leftDown);
            }
        }
        return true;
    case HeaderModeResizing:
        if (!leftDown) {
            End(false, point, leftDown);
            return true;
        }
        if (CColumn* column = m_host.Header()->GetColumn(m_state.field)) {
            const int left = m_host.Header()->GetColumnRect(m_host.ScrollPosition(), m_state.field).left;
            const int right = std::max(point.x, left + kNarrowestColumn);
            column->SetWidth(right - left);
            m_host.OnColumnResized();
        }
        return true;
    case HeaderModeMoving:
        UpdateDrop(point);
        MoveDragImage(point);
        return true;
    default: break;
    }
    UpdateCursor(point, leftDown);
    if (!leftDown)
        TrackHot(point);
    return false;
}

void CHeaderMouse::OnRelease(bool shift, bool ctrl)
{
    CHeader* header = m_host.Header();
    if (m_state.mode == HeaderModePressed && header && header->GetColumn(m_state.field)) {
        m_host.OnCaptionClick(m_state.field, shift, ctrl);
    } else if (m_state.mode == HeaderModeMoving && header && m_state.dropIndex >= 0) {
        CColumn* target = header->GetVisibleColumnAt(m_state.dropIndex);
        if (target && MayMove(target)) {
            if (m_state.dropAfter)
                header->MoveColumnAfter(m_state.field, target->GetFieldId());
            else
                header->MoveColumnBefore(m_state.field, target->GetFieldId());
        }
    }
}

void CHeaderMouse::OnDoubleClick(CPoint point)
{
    if (CColumn* edge = EdgeColumn(point.x))
        m_host.AutoFitColumn(edge->GetFieldId());
}

void CHeaderMouse::OnHover(CPoint point, bool leftDown)
{
    if (m_state.mode == HeaderModeNone && !leftDown)
        TrackHot(point);
}

void CHeaderMouse::OnLeave(bool leftDown)
{
    SetHot(Common::FIELD_NONE);
    if (m_state.mode == HeaderModeNone && !leftDown && m_resizeCursorShown) {
        m_resizeCursorShown = false;
        m_host.Viewport()->unsetCursor();
    }
}

void CHeaderMouse::Reset()
{
    HideDragImage();
    m_state = {};
    if (m_resizeCursorShown) {
        m_resizeCursorShown = false;
        m_host.Viewport()->unsetCursor();
    }
}

HeaderMouseMarks CHeaderMouse::Marks() const
{
    HeaderMouseMarks marks;
    CHeader* header = m_host.Header();
    if (!header)
        return marks;
    if (m_state.mode == HeaderModePressed || m_state.mode == HeaderModeMoving) {
        marks.tracked = header->GetColumn(m_state.field);
        marks.pressed = true;
    } else if (m_state.hot != Common::FIELD_NONE) {
        marks.tracked = header->GetVisibleColumn(m_state.hot);
    }
    if (m_state.mode == HeaderModeMoving && m_state.dropIndex >= 0) {
        marks.dropTarget = header->GetVisibleColumnAt(m_state.dropIndex);
        marks.dropSide = m_state.dropAfter ? 2 : 1;
    }
    return marks;
}

} // namespace Kestrum::GUI

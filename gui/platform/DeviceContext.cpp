#include "gui/platform/DeviceContext.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPolygon>
#include <QTextLayout>
#include <atomic>

#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

QColor ToQColor(Color color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

Color FromQColor(const QColor& color) { return MakeColor(color.red(), color.green(), color.blue()); }

QRect ToQRect(const CRect& rect) { return QRect(rect.left, rect.top, rect.Width(), rect.Height()); }

CRect FromQRect(const QRect& rect) { return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()}; }

Color BlendColor(Color a, Color b, int alpha)
{
    Color result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        result |= static_cast<Color>((x * (255 - alpha) + y * alpha) / 255) << shift;
    }
    return result;
}

namespace {
std::atomic<bool> s_safeTextByDefault{true};

// Whether a symbol reaches the screen in this font, Qt's font fallback
// included: a symbol no font has is drawn as an empty box, which tells a
// user less than U+FFFD does. Asked only for the symbols DisplayText puts
// in, and remembered per font.
bool CanShow(const QFont& font, char16_t symbol)
{
    thread_local QHash<QString, bool> known;
    const QString key = font.key() + QChar(symbol);
    if (const auto it = known.constFind(key); it != known.constEnd())
        return *it;
    QTextLayout layout(QString(QChar(symbol)), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    bool shown = true;
    for (const QGlyphRun& run : layout.glyphRuns())
        for (const quint32 glyph : run.glyphIndexes())
            shown = shown && glyph != 0;
    known.insert(key, shown);
    return shown;
}
} // namespace

QString CDeviceContext::Shown(const QString& text) const
{
    if (!m_safeText)
        return text;
    QString shown = DisplayText(text);
    if (shown.constData() == text.constData())
        return shown; // nothing was replaced
    for (QChar& c : shown) {
        const char16_t code = c.unicode();
        if (code >= 0x2400 && code <= 0x2426 && !CanShow(m_painter.font(), code))
            c = QChar(0xFFFD);
    }
    return shown;
}

void CDeviceContext::SetSafeTextByDefault(bool safe) noexcept { s_safeTextByDefault = safe; }
bool CDeviceContext::IsSafeTextByDefault() noexcept { return s_safeTextByDefault; }

CDeviceContext::CDeviceContext(QPainter& painter) : m_painter(painter), m_safeText(s_safeTextByDefault) {}

void CDeviceContext::FillSolid(const CRect& rect, Color color)
{
    if (!rect.IsEmpty())
        m_painter.fillRect(ToQRect(rect), ToQColor(color));
}

void CDeviceContext::FillAlpha(const CRect& rect, Color color, int alpha)
{
    if (rect.IsEmpty() || alpha <= 0)
        return;
    QColor tinted = ToQColor(color);
    tinted.setAlpha(std::min(alpha, 255));
    m_painter.fillRect(ToQRect(rect), tinted);
}

void CDeviceContext::FrameRect(const CRect& rect, Color color)
{
    if (rect.IsEmpty())
        return;
    Line(rect.left, rect.top, rect.right - 1, rect.top, color);
    Line(rect.left, rect.bottom - 1, rect.right - 1, rect.bottom - 1, color);
    Line(rect.left, rect.top, rect.left, rect.bottom - 1, color);
    Line(rect.right - 1, rect.top, rect.right - 1, rect.bottom - 1, color);
}

void CDeviceContext::Edge3D(const CRect& rect, Color light, Color shadow)
{
    if (rect.IsEmpty())
        return;
    Line(rect.left, rect.top, rect.right - 1, rect.top, light);
    Line(rect.left, rect.top, rect.left, rect.bottom - 1, light);
    Line(rect.left, rect.bottom - 1, rect.right - 1, rect.bottom - 1, shadow);
    Line(rect.right - 1, rect.top, rect.right - 1, rect.bottom - 1, shadow);
}

void CDeviceContext::Line(int x1, int y1, int x2, int y2, Color color, bool dotted)
{
    QPen pen(ToQColor(color));
    pen.setWidth(0);
    pen.setCosmetic(true);
    if (dotted) {
        // One pixel on, one off, drawn pixel by pixel so it is exact at any scale.
        m_painter.setPen(pen);
        const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
        for (int i = 0; i <= steps; i += 2) {
            const int x = steps ? x1 + (x2 - x1) * i / steps : x1;
            const int y = steps ? y1 + (y2 - y1) * i / steps : y1;
            m_painter.drawPoint(x, y);
        }
        return;
    }
    m_painter.setPen(pen);
    m_painter.drawLine(x1, y1, x2, y2);
}

void CDeviceContext::Polygon(const std::vector<CPoint>& points, Color color)
{
    QPolygon polygon;
    for (const CPoint& point : points)
        polygon << QPoint(point.x, point.y);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(ToQColor(color));
    m_painter.drawPolygon(polygon);
    m_painter.setBrush(Qt::NoBrush);
}

void CDeviceContext::Text(const CRect& rect, const QString& text, Color color, TextAlign align)
{
    if (rect.IsEmpty() || text.isEmpty())
        return;
    const QFontMetrics metrics(m_painter.font());
    const QString shown = metrics.elidedText(Shown(text), Qt::ElideRight, rect.Width());
    int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    if (m_safeText)
        flags |= Qt::TextForceLeftToRight;
    flags |= align == TextCenter ? Qt::AlignHCenter : (align == TextRight ? Qt::AlignRight : Qt::AlignLeft);
    m_painter.setPen(ToQColor(color));
    m_painter.drawText(ToQRect(rect), flags, shown);
}

int CDeviceContext::TextWidth(const QString& text) const
{
    return QFontMetrics(m_painter.font()).horizontalAdvance(Shown(text));
}

void CDeviceContext::SelectFont(const QFont& font) { m_painter.setFont(font); }

const QFont& CDeviceContext::GetFont() const { return m_painter.font(); }

int CDeviceContext::FontHeight() const { return QFontMetrics(m_painter.font()).height(); }

int CDeviceContext::FontInternalLeading() const
{
    // Qt has no internal leading; the part of the height above the cap
    // height plays the same role for the row-height formulas.
    const QFontMetrics metrics(m_painter.font());
    return std::max(0, metrics.ascent() - metrics.capHeight());
}

void CDeviceContext::ExcludeClip(const CRect& rect)
{
    QRegion region = m_painter.hasClipping() ? m_painter.clipRegion() : QRegion(m_painter.viewport());
    region -= QRegion(ToQRect(rect));
    m_painter.setClipRegion(region);
}

void CDeviceContext::IntersectClip(const CRect& rect) { m_painter.setClipRect(ToQRect(rect), Qt::IntersectClip); }

void CDeviceContext::PushClip()
{
    m_clipEnabled.push_back(m_painter.hasClipping());
    m_clips.push_back(m_painter.clipRegion());
}

void CDeviceContext::PopClip()
{
    if (m_clips.empty())
        return;
    m_painter.setClipRegion(m_clips.back());
    m_painter.setClipping(m_clipEnabled.back());
    m_clips.pop_back();
    m_clipEnabled.pop_back();
}

void CDeviceContext::DrawPixmap(const CRect& target, const QPixmap& pixmap)
{
    m_painter.drawPixmap(ToQRect(target), pixmap);
}

void CDeviceContext::DrawPixmapAt(int x, int y, const QPixmap& pixmap) { m_painter.drawPixmap(x, y, pixmap); }

void CDeviceContext::DrawPixmapPart(int x, int y, const QPixmap& pixmap, const CRect& source)
{
    m_painter.drawPixmap(x, y, pixmap, source.left, source.top, source.Width(), source.Height());
}

void CDeviceContext::DrawPixmapAlpha(const CRect& target, const QPixmap& pixmap, int alpha)
{
    const qreal old = m_painter.opacity();
    m_painter.setOpacity(std::clamp(alpha, 0, 255) / 255.0);
    m_painter.drawPixmap(ToQRect(target), pixmap);
    m_painter.setOpacity(old);
}

} // namespace Kestrum::GUI

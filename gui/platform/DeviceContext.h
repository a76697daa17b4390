// CDeviceContext: the drawing services the paint formats use, over a
// QPainter. This is the only place paint code meets Qt's painter: colours
// arrive as 0x00BBGGRR values and rectangles as CRect.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <vector>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

KESTRUM_GUI_EXPORT QColor ToQColor(Color color);
KESTRUM_GUI_EXPORT Color FromQColor(const QColor& color);
KESTRUM_GUI_EXPORT QRect ToQRect(const CRect& rect);
KESTRUM_GUI_EXPORT CRect FromQRect(const QRect& rect);
// Per channel: (a × (255 − alpha) + b × alpha) / 255.
KESTRUM_GUI_EXPORT Color BlendColor(Color a, Color b, int alpha);

enum TextAlign { TextLeft = 0, TextCenter = 1, TextRight = 2 };

class KESTRUM_GUI_EXPORT CDeviceContext {
public:
    explicit CDeviceContext(QPainter& painter);

    void FillSolid(const CRect& rect, Color color);
    // Constant-alpha fill (alpha 0: nothing, 255: opaque).
    void FillAlpha(const CRect& rect, Color color, int alpha);
    void FrameRect(const CRect& rect, Color color);
    // A raised 3-D edge: light on the top and left, shadow on the bottom and right.
    void Edge3D(const CRect& rect, Color light, Color shadow);
    void Line(int x1, int y1, int x2, int y2, Color color, bool dotted = false);
    void Polygon(const std::vector<CPoint>& points, Color color);
    // Single-line text, vertically centred, with "…" when it does not fit.
    // With safe text (the default) it is drawn as DisplayText shows it and
    // left to right as a whole, so no character in it can reorder or hide
    // the rest; measuring follows the same switch.
    void Text(const CRect& rect, const QString& text, Color color, TextAlign align);
    int TextWidth(const QString& text) const;
    void SetSafeText(bool safe) noexcept { m_safeText = safe; }
    bool IsSafeText() const noexcept { return m_safeText; }
    // The switch new device contexts start with: an application that draws
    // text it controls itself (bidirectional layout intended) may turn it off.
    static void SetSafeTextByDefault(bool safe) noexcept;
    static bool IsSafeTextByDefault() noexcept;
    // The text as Text draws it: with safe text, DisplayText's form, a
    // symbol that no font at hand can show replaced by U+FFFD.
    QString Shown(const QString& text) const;

    // The current font and its metrics.
    void SelectFont(const QFont& font);
    const QFont& GetFont() const;
    int FontHeight() const;
    int FontInternalLeading() const;

    // Clipping away a rectangle or narrowing the clip to one; PushClip and
    // PopClip save and restore the clip around either.
    void ExcludeClip(const CRect& rect);
    void IntersectClip(const CRect& rect);
    void PushClip();
    void PopClip();

    // Stretched into `target`.
    void DrawPixmap(const CRect& target, const QPixmap& pixmap);
    // At its own size with its top-left corner at (x, y), or only the part
    // `source` of it (pixmap coordinates).
    void DrawPixmapAt(int x, int y, const QPixmap& pixmap);
    void DrawPixmapPart(int x, int y, const QPixmap& pixmap, const CRect& source);
    void DrawPixmapAlpha(const CRect& target, const QPixmap& pixmap, int alpha);

private:
    QPainter& m_painter;
    std::vector<QRegion> m_clips;
    std::vector<bool> m_clipEnabled;
    bool m_safeText;
};

} // namespace Kestrum::GUI

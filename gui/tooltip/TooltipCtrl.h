// ITooltipCtrl: a tooltip pop-up the grid shows for a cell, and CTooltipCtrl,
// the regular tooltip placed beside the cursor.
//
// The pop-up is a frameless top-level window owned by the grid (a child
// QObject of it, so it never outlives the grid): it never takes the focus,
// is shown without activating anything and hands the mouse on to the grid
// below. It is filled with the background colour, framed in the border
// colour and shows the text from (margin x, margin y), line by line; each
// line is drawn in the safe form cells use (gui/platform/QtText.h), so the
// text cannot hide or reorder itself.
//
// A control is attached to one grid at a time (the grid attaches it when it
// is set); the grid deletes it when the grid is destroyed only if
// IsAutoDelete answers true. GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "gui/grid/GridSettings.h"
#include "gui/grid/AutoDelete.h"
#include "gui/paint/PaintFormat.h"
#include "gui/platform/Geometry.h"
#include "gui/tooltip/TooltipSource.h"

class QPainter;
class QWidget;

namespace Kestrum::GUI {

class CGrid;
struct CellDrawContext;
struct PaintState;

// What a control is handed to show the tooltip of one cell.
struct KESTRUM_GUI_EXPORT TooltipCell {
    CGrid* grid = nullptr;
    ITooltipSource* source = nullptr;
    CellDrawContext* context = nullptr; // as the grid paints the cell (viewport coordinates)
    PaintState* state = nullptr;        // what the cell's paint format reads
    ICellPaintFormat* format = nullptr; // the cell's paint format
    PaintFlags flags = 0;
    const TooltipSettings* settings = nullptr;
    CPoint cursor; // the mouse, in screen coordinates
};

class KESTRUM_GUI_EXPORT ITooltipCtrl : public virtual IAutoDelete {
public:
    // Creates the pop-up owned by `grid`; false when already attached or
    // without a grid.
    virtual bool Attach(CGrid* grid) = 0;
    // Destroys the pop-up and forgets the grid.
    virtual void Detach() = 0;
    // Computes the text and the place and shows the pop-up; true when shown.
    virtual bool Show(const TooltipCell& cell) = 0;
    virtual void Hide() = 0;
    // The source used when the grid has none.
    virtual ITooltipSource* GetDefaultSource() = 0;
};

// The settings of a kind with the colours of the application's palette: the
// tooltip colours, and the active border colour (Qt has none; the fixed
// kActiveBorderColor stands for it).
KESTRUM_GUI_EXPORT TooltipSettings DefaultTooltipSettings();
inline constexpr Color kActiveBorderColor = MakeColor(180, 180, 180);

class KESTRUM_GUI_EXPORT CTooltipCtrl : public ITooltipCtrl {
public:
    explicit CTooltipCtrl(bool autoDelete = true);
    ~CTooltipCtrl() override;
    CTooltipCtrl(const CTooltipCtrl&) = delete;
    CTooltipCtrl& operator=(const CTooltipCtrl&) = delete;

    bool IsAutoDelete() const override { return m_autoDelete; }
    bool Attach(CGrid* grid) override;
    void Detach() override;
    bool Show(const TooltipCell& cell) override;
    void Hide() override;
    ITooltipSource* GetDefaultSource() override { return &CTooltip::Shared(); }

    CGrid* GetGrid() const noexcept { return m_grid; }
    const QString& GetText() const noexcept { return m_text; }
    // The window's font: a copy replaces the control's own font (null: none).
    // Attaching gives it the grid's font.
    void SetFont(const QFont* font);
    const QFont* GetFont() const noexcept { return m_font.get(); }
    // The pop-up (null while detached), named "Kestrum.Tooltip".
    QWidget* GetWindow() const;

    // Where the regular tooltip's top-left corner goes, in screen
    // coordinates: by the position field (0 above the cursor, 1 below, 2
    // left, 3 right, else the screen's origin), the cursor's size counting
    // at most 22 pixels, then moved onto `screen`.
    static CPoint Place(CPoint cursor, QSize size, QSize cursorSize, const TooltipSettings& settings, const CRect& screen);
    static constexpr int kCursorCap = 22;
    // The cursor's size where the platform does not say (the design's
    // standard cursor cell).
    static constexpr int kCursorMetric = 32;

    // Keeps a pop-up of `size` at `topLeft` within `screen`: no wider or
    // higher than the screen, and moved onto it.
    static void FitOnScreen(CPoint& topLeft, QSize& size, const CRect& screen);

    // Draws the pop-up (the window's paint calls it).
    void Paint(QPainter& painter, QSize size);

protected:
    // The font the text is measured and drawn with: the own font, else the
    // library's default.
    virtual QFont TextFont() const;
    // The text's lines (the in-place tooltip keeps one, as its cell does).
    virtual QStringList LinesOf(const QString& text) const;
    // The text's size with the margins around it.
    QSize Measure(const QString& text, const TooltipSettings& settings) const;
    virtual QSize CursorSize() const;
    // The virtual screen (every monitor) of the screen under `point`.
    virtual CRect VirtualScreen(CPoint point) const;
    void SetText(const QString& text) { m_text = text; }
    // Moves, shows without activating and repaints the pop-up, kept on the
    // screen under its corner.
    void ShowAt(CPoint topLeft, QSize size, const TooltipSettings& settings);

private:
    class CWindow;
    CGrid* m_grid = nullptr;
    QString m_text;
    bool m_autoDelete;
    std::unique_ptr<QFont> m_font;
    QPointer<QWidget> m_window;
    TooltipSettings m_shownWith; // colours and margins of the last show
};

} // namespace Kestrum::GUI

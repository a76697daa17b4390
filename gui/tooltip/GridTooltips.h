// CGridTooltips: the grid's side of its tooltips. It holds the two kinds'
// controls (the regular one beside the cursor, none until the application
// sets one; the in-place one over a clipped cell, made by the grid), the
// enable switches (regular off, in-place on), the application's source for
// regular tooltips, and decides from the mouse, the keys and the timers when
// each shows and hides.
//
// The mouse: a move counts as a move when it goes more than 4 pixels across
// or 5 down from the last counted one. Over a cell with a tooltip (regular
// first, else in-place) a hover-mode tooltip asks for a hover (the regular
// settings' delay, on the grid clock) and shows when it comes; without hover
// mode it shows at once. A counted move hides a shown tooltip in hover mode.
// Hiding sets the suppressed flag: nothing shows again until the mouse has
// moved. Keys, button presses, double clicks, the wheel, a leave outside the
// grid's client area and the display time (grid timer 2, on the grid clock)
// hide all.
//
// One per grid, owned by CGridImpl, which it reaches through ITooltipHost
// only; GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QPointer>
#include <cstdint>

#include "gui/platform/Geometry.h"

class QTimer;

namespace Kestrum::GUI {

class CGrid;
class ITooltipHost;
struct TooltipHostCell;
class ITooltipCtrl;
class ITooltipSource;
struct CellDrawContext;
struct PaintState;

enum TooltipKind : int { TooltipNone = 0, TooltipRegular = 1, TooltipInPlace = 2 };

class KESTRUM_GUI_EXPORT CGridTooltips {
public:
    // Makes and attaches the in-place control (auto-delete).
    explicit CGridTooltips(ITooltipHost& host);
    // Hides and detaches both controls and deletes those, and the source,
    // that answer true to IsAutoDelete.
    ~CGridTooltips();
    CGridTooltips(const CGridTooltips&) = delete;
    CGridTooltips& operator=(const CGridTooltips&) = delete;

    void Enable(int kind, bool enable);
    bool IsEnabled(int kind) const;
    // Detaches the old control and attaches the new one; returns the old one
    // (now the caller's), or null when `control` already is the current one.
    ITooltipCtrl* SetControl(int kind, ITooltipCtrl* control);
    ITooltipCtrl* GetControl(int kind) const;
    // The regular tooltips' source (null: the control's default); returns
    // the previous one, or null when nothing changed.
    ITooltipSource* SetSource(ITooltipSource* source);
    ITooltipSource* GetSource() const { return m_source; }

    // Input (the controller's hooks and the widget's events).
    void OnMouseMove(std::uint32_t flags, CPoint point);
    void OnHover(CPoint point);
    void OnMouseLeave();
    void OnAutoHideTimer();
    void HideAll();
    // Hides all and drops a pending hover: for an application that opens
    // something over the grid (a menu).
    void HideAndForget();

    bool IsShown(int kind) const;
    bool IsSuppressed() const noexcept { return m_suppressed; }

private:
    ITooltipSource* SourceOf(int kind) const;
    const struct TooltipSettings& SettingsOf(int kind) const;
    bool HasTooltip(int kind, TooltipHostCell& cell);
    // Step for a kind over its cell; false when the move ends there.
    bool Track(int kind, bool moved, CPoint point);
    bool Show(int kind, CPoint point);
    void HideKind(int kind);
    void RequestHover(bool moved);
    void CancelHover();
    void OnHoverTimer();

    ITooltipHost& m_host;
    bool m_enabled[3] = {false, false, true};
    ITooltipCtrl* m_controls[3] = {};
    ITooltipSource* m_source = nullptr;
    int m_kind = TooltipNone; // what the mouse is over
    bool m_shown[3] = {};
    bool m_suppressed = false;
    CPoint m_counted{-1000, -1000}; // the last counted move
    CPoint m_point;                 // the last move
    // The hover request: a single-shot timer (named "Kestrum.TooltipHover")
    // that wakes when the delay on the grid clock should be over.
    QPointer<QTimer> m_hoverTimer;
    std::int64_t m_hoverDue = 0;
    std::int64_t m_hideDue = 0; // of grid timer 2
};

} // namespace Kestrum::GUI

// CGridImpl: the grid's private state and behaviour (not installed; only the
// grid's own sources include it). CGrid holds one and forwards every public
// operation to it after carrying the call to the grid's thread, so all of
// this runs on the grid's thread; `closing` alone is read by other threads.
//
// The behaviour is split by concern, one source file each:
//   GridImpl.cpp        construction, the objects handed to the grid
//                       (custom draw, font, header, filter), header notices
//   GridLayout.cpp      geometry, hit testing, scrolling, the wheel
//   GridSelection.cpp   focus and selection
//   GridPaint.cpp       frame pacing, repaint scheduling, the paint pass
//   GridAdapters.cpp    what the row trees and the dispatcher call back
//   GridStore.cpp       the archive (the record itself is GridArchive.h)
//   GridPrint.cpp       what a print takes from the grid (the printer
//                       itself is gui/print/GridPrinter.h)
// Input (keys, mouse, incremental search) is the controller of gui/input/,
// which CGridImpl owns as `input` and which sees the grid through
// `inputHost` (GridInputHost.cpp); in-place editing and embedded controls are
// the edit state of gui/edit/, owned as `edit`; the tooltips are
// gui/tooltip/'s CGridTooltips, owned as `tooltips`; copy, paste and drag and
// drop are the transfer object of gui/clipboard/, owned as `transfer`, which
// sees the grid through `transferHost` (GridTransferHost.cpp).
#pragma once

#include <QBasicTimer>
#include <QFont>
#include <QPixmap>
#include <QRegion>
#include <atomic>
#include <memory>
#include <optional>

#include "gui/clipboard/TransferHost.h"
#include "gui/grid/AutoScroll.h"
#include "gui/grid/DispatchTarget.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridArchive.h"
#include "gui/grid/GridClock.h"
#include "gui/edit/GridEditState.h"
#include "gui/grid/GridEditHost.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/GridTooltipHost.h"
#include "gui/grid/SelectionModel.h"
#include "gui/input/GridInputController.h"
#include "gui/input/InputHost.h"
#include "gui/input/KeyGrid.h"
#include "gui/platform/FontRecord.h"
#include "gui/print/GridPrinter.h"
#include "gui/tooltip/GridTooltips.h"

class QPaintEvent;
class QPainter;

namespace Kestrum::GUI {

class CGridImpl;
class CGridTransfer;
struct PassSettings;

enum GridTimerId {
    TimerRepaint = 0,
    // 1, the auto-scroll, is CAutoScroll's own.
    TimerTooltip = 2,
    TimerScrollBars = 3,
    TimerEnsureVisible = 4,
    TimerColumnWidth = 5,
    TimerFrame = 6,
    TimerCount = 7
};

// What the row trees tell the screen.
class CGridSurfaceAdapter final : public IGridSurface {
public:
    explicit CGridSurfaceAdapter(CGridImpl& grid) : m_grid(grid) {}
    void OnRowsChanged(int area, int firstRow, bool keepTop) override;
    void RepaintRow(int area, int row) override;
    void RepaintRows(int area, int firstRow, int lastRow) override;
    void RepaintAll() override;
    void SetFocusRow(int row, int area, bool repaint) override;
    CGridItem* GetFocusedItem() const override;
    int GetTopRow() const override;
    void SetTopRow(int row) override;
    void RaiseEvent(int code, CGridItem* item) override;
    bool IsFilteredOut(CGridItem* item) override;
    void OnForeignInsert() override;
    void OnRowHidden(CGridItem* item) override;
    void OnAreaCleared(int area) override;
    bool HearsItemEvents() const override;

private:
    CGridImpl& m_grid;
};

// What the dispatcher does to the grid's rows.
class CGridDispatchAdapter final : public IDispatchTarget {
public:
    explicit CGridDispatchAdapter(CGridImpl& grid) : m_grid(grid) {}
    bool IsClosing() const override;
    void ApplyUpdate(CGridItem* item, Common::FieldId field) override;
    void RemoveDisposedItem(CGridItem* item) override;

private:
    CGridImpl& m_grid;
};

// What the grid printer reads and keeps (GridPrint.cpp).
class CGridPrintAdapter final : public IPrintableGrid {
public:
    explicit CGridPrintAdapter(CGridImpl& grid) : m_grid(grid) {}
    GridPrintJob MakePrintJob(std::int32_t rows) override;
    PrintSettings GetPrintSettings() override;
    void SetPrintSettings(const PrintSettings& settings) override;
    bool HasSelection() override;
    QWidget* GetWindow() override;

private:
    CGridImpl& m_grid;
};

// The grid's rows as the selection rules see them (GridSelection.cpp).
class CGridSelectionRows final : public ISelectionRows {
public:
    explicit CGridSelectionRows(CGridImpl& grid) : m_grid(grid) {}
    int GetRowCount(int area) const override;
    bool IsRowSelected(RowPosition position) const override;
    bool SelectRow(RowPosition position, bool select) override;
    void ClearSelection() override;

private:
    CGridImpl& m_grid;
};

// What the default key manager runs on while the grid's own input calls it
// (GridInputHost.cpp): the grid's operations without the public calls'
// carrying to the grid's thread.
class CGridKeyGrid final : public IKeyGrid {
public:
    explicit CGridKeyGrid(CGridImpl& grid) : m_grid(grid) {}
    int GetRowCount(int area) override;
    bool IsKeyboardArea(int area) override;
    int GetTopRow() override;
    void SetTopRow(int row) override;
    int GetPageRowCount(bool forward) override;
    int GetFocusedRow() override;
    int GetFocusedArea() override;
    bool SetFocusedRow(int row, int area) override;
    void EnsureVisible(int row) override;
    HITEM GetItemAt(int row, int area) override;
    HITEM GetParent(HITEM item) override;
    int GetVisibleIndex(HITEM item) override;
    bool IsExpanded(HITEM item) override;
    void Expand(HITEM item, bool recursive) override;
    void Collapse(HITEM item, bool recursive) override;
    void ClearSelection() override;
    void SelectAll() override;
    void Copy() override;
    void Cut() override;
    void Paste() override;
    CSelectionModel& Selection() override;

private:
    CGridImpl& m_grid;
};

// What the input room reads and asks of the grid (GridInputHost.cpp).
class CGridInputHost final : public IInputHost {
public:
    explicit CGridInputHost(CGridImpl& grid) : m_grid(grid), m_keys(grid) {}
    CHeader* Header() override;
    const IScrollPositionSource* ScrollPosition() override;
    int HeaderHeight() override;
    CRect Client() override;
    QWidget* Viewport() override;
    void Invalidate(const CRect& rect) override;
    void OnColumnResized() override;
    void OnCaptionClick(Common::FieldId field, bool shift, bool ctrl) override;
    void AutoFitColumn(Common::FieldId field) override;
    CGrid& Grid() override;
    IKeyManager& KeyManager() override;
    IKeyGrid& KeyGrid() override { return m_keys; }
    void FlushEnsureVisible() override;
    int SearchTimeout() override;
    CGridRows& Rows() override;
    bool HitRow(CPoint point, int& area, int& row) override;
    CRect AreaRect(int area) override;
    CRect RowRect(int area, int row) override;
    int RowHeightAt(int area, int row) override;
    int TopRow() override;
    int MaxTopRow() override;
    void SetTopRow(int row) override;
    bool ShowsTreeButtons() override;
    RowPosition Focus() override;
    CGridItem* FocusedItem() override;
    bool SetFocus(RowPosition position) override;
    void ClearFocus() override;
    bool IsFocusable(int area) override;
    bool IsSelectable(int area) override;
    bool MultiSelectionEnabled() override;
    CSelectionModel& Selection() override;
    CAutoScroll& AutoScroll() override;
    void EndEdit() override;
    bool StartEdit(CPoint point, bool doubleClick) override;
    void TrackEditHover(CPoint point, bool buttonsDown, bool inside) override;
    void TooltipsMove(std::uint32_t flags, CPoint point) override;
    void TooltipsHover(CPoint point) override;
    void TooltipsLeave() override;
    bool MayStartDrag(CGridItem* item, int area, CPoint point) override;
    void RunDrag(CGridItem* item, int area) override;

private:
    CGridImpl& m_grid;
    CGridKeyGrid m_keys;
};

// What the transfer room reads and asks of the grid (GridTransferHost.cpp).
class CGridTransferHost final : public ITransferHost {
public:
    explicit CGridTransferHost(CGridImpl& grid) : m_grid(grid) {}
    CGrid& Grid() override;
    CGridRows& Rows() override;
    CHeader* Header() override;
    const GridStoredSettings& Settings() override;
    bool IsClosing() override;
    void Notify(const GridDragNotification& notification) override;
    bool HitRow(CPoint point, int& area, int& row) override;
    CRect RowRect(int area, int row) override;
    int RowHeightAt(int area, int row) override;
    CRect ScrollableArea() override;
    int TopRow() override;
    int MaxTopRow() override;
    void SetTopRow(int row) override;
    QWidget* Viewport() override;
    RowPosition Focus() override;
    CGridItem* FocusedItem() override;
    bool SetFocus(RowPosition position) override;
    CSelectionModel& Selection() override;
    void UpdateViewport() override;
    void RefreshScrollBars() override;
    CAutoScroll& AutoScroll() override;

private:
    CGridImpl& m_grid;
};

class CGridImpl final : public CHeader::INotify, public IRepaintScheduler {
public:
    explicit CGridImpl(CGrid* grid);
    ~CGridImpl();

    // --- state, grouped ------------------------------------------------------
    struct ScrollState {
        int topRow = -1; // first shown row of the scrollable area
        int rowCount = 0; // scrollable rows when the rows last changed
        int wheelLines = 3;
        int wheelRemainder = 0; // angle delta short of a notch
        bool settingScroll = false; // our own scroll-bar changes are not requests
        int ensureRow = -1; // EnsureVisible's deferred row or item (timer 4)
        CGridItem* ensureItem = nullptr;
        std::int64_t lastForeignInsert = 0; // grid clock
    };
    struct FocusState {
        int row = -1;
        int area = 0;
        int focusableAreas = MaskBoth;
    };
    struct SelectionState {
        bool enabled = true;
        bool multiEnabled = true;
        int selectableAreas = MaskBoth;
    };
    struct RepaintState {
        bool refreshPending = false; // the row count changed: scroll bars and rows below
        int firstDirtyRow = 0;
        std::int64_t repaintTimerDue = -1; // when timer 0 fires, on the grid clock
        QRegion dirty; // painted at the next frame
    };
    struct BackgroundState {
        QPixmap picture;
        int mode = 0; // 0 centred, 1 stretched, 2 tiled
        int transparency = -1; // alpha of the cells over it; -1 opaque
    };

    CGrid* owner;
    CAutoScroll autoScroll{owner}; // timer 1: the band's and the drop's scrolling
    CGridSurfaceAdapter surface;
    CGridDispatchAdapter dispatch;
    CGridPrintAdapter print;
    CGridRows rows;
    CGridSelectionRows selectionRows{*this};
    CSelectionModel selectionModel{selectionRows}; // every selection rule of keys, mouse and search
    std::atomic<bool> closing{false};
    IGridListener* listener = nullptr;
    CHeader* header = nullptr;
    ICustomDraw* customDraw = nullptr;
    IKeyManager* keyManager = nullptr; // null: the shared default
    IRowFilter* filter = nullptr;
    CImageList* cellImages = nullptr; // not owned
    std::unique_ptr<QFont> font;
    // The record the font was loaded from, stored again unchanged while the
    // font is not replaced (a font does not carry every field of it).
    std::optional<FontRecord> loadedFontRecord;
    GridStoredSettings settings; // what the archive stores besides header and font
    QString printTitle; // the document title of printed pages (empty: the application's name)
    IExtraPrintPages* extraPrintPages = nullptr; // the application's pages after the rows
    bool notificationsEnabled = true;
    ScrollState scroll;
    FocusState focus;
    SelectionState selection;
    RepaintState repaint;
    BackgroundState background;
    QBasicTimer timers[TimerCount];
    CGridInputHost inputHost{*this};
    CGridTransferHost transferHost{*this};
    std::unique_ptr<CGridInputController> input;
    CGridEditHost editHost{*this};
    std::unique_ptr<CGridEditState> edit;
    CGridTooltipHost tooltipHost{*this};
    std::unique_ptr<CGridTooltips> tooltips; // after input: a hover goes through its hooks
    std::unique_ptr<CGridTransfer> transfer;

    ICustomDraw* Draw() const;
    IKeyManager* KeyManager() const;
    const QFont& Font() const;
    QWidget* Viewport() const;
    // Repaints the whole body at the next paint, outside the frame pacing
    // (settings changes; bursts of row changes go through Invalidate).
    void UpdateViewport();

    // --- GridImpl.cpp: handed objects, header notices ------------------------------
    ICustomDraw* SetCustomDraw(ICustomDraw* draw);
    IKeyManager* SetKeyManager(IKeyManager* manager);
    void SetGridFont(const QFont& newFont);
    CHeader* SetHeader(CHeader* newHeader);
    IRowFilter* SetFilter(IRowFilter* newFilter);
    void Refilter();
    IRowMatch* SetRowMatch(IRowMatch* match);
    void OnHeaderChanged(CHeader* changed, CColumn* column, std::int32_t code) override;
    void UpdateHeaderHeight();
    void UpdateRowHeights();
    void AutoFitColumn(std::int32_t fieldId);
    void AutoFitColumns();
    void SetSortInfo(int level, const CSortInfo& info, bool resort);
    void ClearSort(bool repaintAll);
    void RaiseItemEvent(int code, CGridItem* item);
    void SetRowHeight(CGridItem* item, int height);

    // --- GridLayout.cpp: geometry, hit testing, scrolling ---------------------------
    int HeaderHeight() const;
    int FixedRowsHeight();
    bool SeparatorApplies();
    CRect Client() const;
    CRect FixedArea();
    CRect ScrollableArea();
    CRect AreaRect(int area);
    int RowHeightAt(int area, int row);
    // Rows that fit in the scrollable area counting from `start`.
    int RowsThatFit(int start, bool forward);
    int MaxTopRow();
    int LastVisibleRow(int area);
    // The rectangle of a shown row (empty when out of view).
    CRect RowRect(int area, int row);
    CRect ItemRowRect(CGridItem* item);
    CRect CellRect(CGridItem* item, std::int32_t fieldId);
    // The area and row under a viewport point: false outside both areas;
    // `row` -1 below the last row of the area (and on the separator).
    bool HitRow(CPoint point, int& area, int& row);
    HITEM HitTest(CPoint point, int* area);
    void RefreshScrollBars();
    void SetTop(int row, bool repaintRows);
    // The scrollable rows got fewer: a top row past the last page comes back
    // so the page is filled as far as the rows allow.
    void ClampTopRow();
    void ScrollToItem(CGridItem* item);
    void VerticalAction(int action);
    void HorizontalAction(int action);
    void BringIntoView(int row);
    void EnsureVisible(int row, CGridItem* item);
    void RunEnsureVisible();
    // Runs a waiting ensure-visible now (before a key reads the view).
    void FlushEnsureVisible();
    bool ScrollBarTimerDue();
    // Angle delta of a wheel event; true when it scrolled.
    bool Wheel(int angleDelta);

    // --- GridSelection.cpp: focus and selection --------------------------------------
    CGridItem* FocusedItem() const;
    bool SetFocus(int row, int area, bool repaintOld, bool checkMask);
    bool SelectRow(int row, int area, bool select);
    bool SelectItem(CGridItem* item, bool select);
    bool IsRowSelected(int row, int area);
    void SelectAll();
    void ClearSelection();
    void EnableSelection(bool enable);
    void EnableMultiSelection(bool enable);
    void SetSelectableAreas(int mask);

    // --- GridPaint.cpp: frames, repaints, the paint pass -----------------------------------
    void StartFrame();
    void Invalidate(const CRect& rect);
    void Frame();
    void RefreshRequest();
    void RepaintRow(int area, int row);
    void RepaintRows(int area, int first, int last);
    void RepaintAll();
    void RepaintCell(int area, int row, std::int32_t field);
    void RepaintRowLater(CGridItem* item, int delay) override;
    void RepaintCellLater(CGridItem* item, Common::FieldId field, int delay) override;
    std::int64_t TimeSinceChange(CGridItem* item, std::int32_t fieldId) const;
    void ScheduleRepaint(int delay);
    void RunDelayedRepaints();
    CRect BackgroundArea();
    void PaintBackgroundPicture(QPainter& painter);
    void Paint(QPaintEvent* event);
    // The keyboard-focus frame, painted over the widget's frame (the ring
    // between its edge and the viewport and scroll bars).
    QRegion FocusFrameRegion() const;
    void PaintFocusFrame();
    void PaintRow(PaintState& state, int area, int row, const CRect& rect);
    // What every row of a pass shares (the printer builds its own).
    PassSettings PassOf();

    // --- GridStore.cpp: the archive --------------------------------------------------------
    void Store(CArchive& archive, bool withPrintSettings);
    void Load(CArchive& archive, bool withPrintSettings);
};

} // namespace Kestrum::GUI

// CGrid: the grid control. A QAbstractScrollArea whose viewport shows the
// header strip, the fixed rows, a separator and the scrollable rows.
//
// Threads: the grid belongs to the thread that created it (the GUI thread).
// Every public operation may be called from any thread: a call from another
// thread runs on the GUI thread while the caller waits, and answers the
// operation's nothing value (0, false, -1, null) once the grid is closing or
// gone. Data-object changes reach the rows through the dispatcher's queue.
//
// Ownership: the grid never owns data objects. An object handed to a setter
// (header, custom draw, key manager) is deleted by the grid when the grid is
// destroyed only if its IsAutoDelete answers true; a setter returns the
// object it replaces, which then belongs to the caller again. Filters,
// listeners and image lists are never owned. Each setter says which rule
// applies.
//
// Input: keys and mouse go to the grid's input controller (gui/input/);
// while the grid has the keyboard focus it takes its keys (arrows, page
// keys, Enter, Space, Esc, Ctrl+A/C/V/X, search letters) before any window
// shortcut does.
#pragma once

#include "gui/platform/Export.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QPixmap>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/Value.h"
#include "gui/edit/EditTypes.h"
#include "gui/grid/GridSettings.h"
#include "gui/grid/GridTypes.h"
#include "gui/grid/RowMatch.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/print/PrintSettings.h"

class QPrinter;

namespace Kestrum::Common {
class CDataObject;
}

namespace Kestrum::GUI {

class CEmbeddedControlAdapter;
class CGridImpl;
class CImageList;
class ICopyPaste;
class ICustomDraw;
class IDragDrop;
class IEditInPlace;
class IPrintProgress;
class IExtraPrintPages;
class IKeyManager;
class ITooltipCtrl;
class ITooltipSource;

// Notification records sent to the grid's listener (the parent window).
struct KESTRUM_GUI_EXPORT GridItemNotification {
    int code = 0;
    class CGrid* grid = nullptr;
    std::uint32_t state = 0;
    HITEM item = 0;
    Common::CDataObject* object = nullptr;
    int area = 0;
    int row = -1;
};
struct KESTRUM_GUI_EXPORT GridHeaderNotification {
    int code = 0;
    class CGrid* grid = nullptr;
    CColumn* column = nullptr; // the header itself for code 22
    CHeader* header = nullptr;
};

// Codes 15 (an edit started) and 16 (it ended): the cell, the control of the
// edit (null without one), why it started and, for 16, the code it ended with.
struct KESTRUM_GUI_EXPORT GridEditNotification {
    int code = 0;
    class CGrid* grid = nullptr;
    HITEM item = 0;
    Common::CDataObject* object = nullptr;
    int area = 0;
    int row = -1;
    CColumn* column = nullptr;
    QWidget* control = nullptr;
    int startReason = -1;
    int endCode = 0;
};

// Around a drag of rows and a drop onto the grid (codes 11 to 14): `rows`
// are the dragged rows (11, 12), the incoming ones (13) and the rows the
// drop attached (14); `action` is 0 none, 1 copy, 2 move.
struct KESTRUM_GUI_EXPORT GridDragNotification {
    int code = 0;
    class CGrid* grid = nullptr;
    std::vector<HITEM> rows;
    int area = 0; // the drag's area (11, 12), the drop's target area (13, 14)
    int action = 0;
    class CGrid* source = nullptr; // 13, 14: the grid the rows came from (null when gone)
    HITEM parent = 0;              // 13, 14: where they go
    HITEM position = 0;
};

enum DragNotificationCode : int {
    NotifyDragBegin = 11,
    NotifyDragEnd = 12,
    NotifyDropBegin = 13,
    NotifyDropEnd = 14,
};

enum HeaderNotificationCode : int {
    NotifyColumnAdded = 17,
    NotifyColumnRemoved = 18,
    NotifyColumnMoved = 19,
    NotifyColumnResized = 20,
    NotifyColumnChanged = 21,
    NotifySortChanged = 22,
};

// Visits a grid's items: return false to stop.
class KESTRUM_GUI_EXPORT IGridVisitor {
public:
    virtual bool Visit(class CGrid* grid, HITEM item, Common::CDataObject* object) = 0;

protected:
    ~IGridVisitor() = default;
};

class KESTRUM_GUI_EXPORT IGridListener {
public:
    virtual void OnGridItemNotification(const GridItemNotification& notification) = 0;
    virtual void OnGridHeaderNotification(const GridHeaderNotification& notification) = 0;
    virtual void OnGridEditNotification(const GridEditNotification& /*notification*/) {}
    virtual void OnGridDragNotification(const GridDragNotification&) {}

protected:
    ~IGridListener() = default;
};

// Hides rows: true hides the item's row.
class KESTRUM_GUI_EXPORT IRowFilter {
public:
    virtual bool IsFilteredOut(class CGrid* grid, CGridItem* item, Common::CDataObject* object) = 0;

protected:
    ~IRowFilter() = default;
};

class KESTRUM_GUI_EXPORT CGrid : public QAbstractScrollArea, public IScrollPositionSource {
public:
    explicit CGrid(QWidget* parent = nullptr);
    ~CGrid() override;

    // Closing: from now on foreign calls answer the nothing value at once.
    void SetClosing();
    bool IsClosing() const;
    // Not owned; told of item and header events while notifications are on.
    void SetListener(IGridListener* listener);

    // Hierarchy.
    HITEM Add(Common::CDataObject* object, HITEM parent = GRID_ROOT, HITEM position = GRID_LAST);
    bool Remove(HITEM item);
    bool RemoveAt(int row, int areaMask);
    bool Clear(int areaMask = MaskBoth);
    bool Attach(HITEM item, HITEM parent, HITEM position);
    bool Detach(HITEM item);
    void Move(HITEM item, HITEM parent, HITEM sibling, bool before);
    void Expand(HITEM item, bool recursive = false);
    void Collapse(HITEM item, bool recursive = false);
    bool IsExpanded(HITEM item);
    bool IsVisible(HITEM item);
    int GetArea(HITEM item);
    HITEM GetParent(HITEM item);
    int GetLevel(HITEM item);
    void GetChildren(HITEM parent, std::vector<HITEM>& children, bool visibleOnly);
    bool HasChildren(HITEM parent);
    HITEM GetItem(Common::CDataObject* object);
    void GetItems(Common::CDataObject* object, std::vector<HITEM>& items, int areaMask, bool visibleOnly);
    void GetAllItems(int areaMask, std::vector<HITEM>& items);
    int GetVisibleIndex(HITEM item);
    HITEM GetItemAt(int row, int area);
    int GetRowCount(int area);
    HITEM GetPrevRow(HITEM item, bool crossAreas);
    HITEM GetNextRow(HITEM item, bool crossAreas);
    Common::CDataObject* GetObject(HITEM item, int row = -1, int area = 0);
    std::uint32_t GetItemState(HITEM item);
    // Preorder from `start` (null: the fixed rows, then the scrollable ones).
    void ForEach(IGridVisitor* visitor, HITEM start = 0);
    // The same over rows in display order.
    void ForEachRow(IGridVisitor* visitor, HITEM start = 0);

    // Geometry and scrolling.
    CRect GetAreaRect(int area);
    CRect GetRowRect(HITEM item);
    CRect GetCellRect(HITEM item, std::int32_t fieldId);
    int GetPageRowCount(bool forward);
    int GetRowHeight(HITEM item);
    bool SetRowHeight(HITEM item, int height);
    void RefreshScrollBars();
    int GetTopRow();
    int GetLastVisibleRow(int area);
    void EnsureVisible(int row);
    void EnsureItemVisible(HITEM item);
    void SetTopRow(int row);
    void ScrollToItem(HITEM item);
    // The item under a viewport point, with its area.
    HITEM HitTest(CPoint point, int* area = nullptr);

    // Selection and focus.
    int GetSelectedCount();
    void GetSelectedItems(std::vector<HITEM>& items, int areaMask);
    bool SelectItem(HITEM item, bool select);
    bool SelectRow(int row, int area, bool select);
    bool IsRowSelected(int row, int area);
    bool IsItemSelected(HITEM item);
    void SelectAll();
    void ClearSelection();
    bool SetFocusedRow(int row, int area);
    int GetFocusedRow();
    int GetFocusedArea();
    void SetFocusableAreas(int mask);
    bool IsAreaFocusable(int area);
    void EnableSelection(bool enable);
    bool IsSelectionEnabled();
    void EnableMultiSelection(bool enable);
    bool IsMultiSelectionEnabled();
    void SetSelectableAreas(int mask);
    bool IsAreaSelectable(int area);

    // Appearance and painting.
    GridAppearance GetAppearance();
    void SetAppearance(const GridAppearance& appearance);
    void SetPaintFlags(std::uint32_t flags);
    std::uint32_t GetPaintFlags();
    void RepaintRowLater(HITEM item, int delay);
    void RepaintCellLater(HITEM item, std::int32_t fieldId, int delay);
    std::int64_t GetTimeSinceChange(HITEM item, std::int32_t fieldId);
    void EnableUpdateHighlight(bool enable);
    bool IsUpdateHighlightEnabled();
    UpdateHighlight GetUpdateHighlight();
    void SetUpdateHighlight(const UpdateHighlight& highlight);
    void ShowSeparator(bool show);
    bool IsSeparatorShown();
    void SetSeparatorHeight(int height);
    int GetSeparatorHeight();
    // Deleted with the grid when it is IAutoDelete and answers true; the
    // replaced one is returned to the caller (null: the shared default was used).
    ICustomDraw* SetCustomDraw(ICustomDraw* customDraw);
    ICustomDraw* GetCustomDraw();
    // The grid keeps its own copy of the font.
    void SetGridFont(const QFont& font);
    QFont GetGridFont();
    int GetFontRowHeight(int area);

    // Header and sorting. The header is deleted with the grid when its
    // IsAutoDelete answers true; the replaced header is returned, unsubscribed,
    // and belongs to the caller.
    CHeader* SetHeader(CHeader* header);
    CHeader* GetHeader();
    void ShowHeader(bool show);
    bool IsHeaderShown();
    // Runs the header configuration dialog for this grid's header, modally;
    // QDialog::Accepted after OK. Virtual so that an application shows a
    // dialog of its own wherever the grid's is asked for; the override is
    // called on the caller's thread (this one marshals to the grid's).
    virtual int ShowHeaderConfiguration();
    void AutoFitColumn(std::int32_t fieldId);
    void AutoFitColumnAt(int visibleIndex);
    void AutoFitColumns();
    void SetSortInfo(int level, const CSortInfo& info, bool resort);
    CSortInfo GetSortInfo(int level);
    int GetSortLevelCount();
    void ClearSort(bool repaint);
    void Resort();
    void SetSortAreas(int mask);
    int GetSortAreas();
    // A click on a column caption (with Shift or Ctrl held).
    void SortByColumnClick(std::int32_t fieldId, bool shift, bool ctrl);

    // Row filter and notifications. The filter is not owned; the previous
    // one is returned.
    IRowFilter* SetFilter(IRowFilter* filter);
    IRowFilter* GetFilter();
    void Refilter();
    // The row match (not owned; null clears it): only what it matches shows,
    // with the path to it, live as rows arrive and objects change; clearing
    // it puts the expanded rows back and keeps the focused row in view.
    // Changed criteria: set the same match again. Returns the previous one.
    IRowMatch* SetRowMatch(IRowMatch* match);
    IRowMatch* GetRowMatch();
    // How many items the match took.
    int GetMatchedCount();
    // The incremental search's text while typing may still add to it (empty
    // after its time-out, on the grid clock).
    std::string GetTypedSearch();
    void EnableNotifications(bool enable);
    bool AreNotificationsEnabled();

    // Settings records of the editing, transfer and tooltip parts.
    TransferPolicy GetTransferPolicy();
    void SetTransferPolicy(const TransferPolicy& policy);
    DragDropSettings GetDragDropSettings();
    void SetDragDropSettings(const DragDropSettings& settings);
    TooltipSettings GetTooltipSettings(bool inPlace);
    void SetTooltipSettings(bool inPlace, const TooltipSettings& settings);
    // Tooltips (gui/tooltip/): regular ones beside the cursor (off at first,
    // and shown only once a regular control is set), in-place ones over a
    // clipped cell (on, with a control the grid makes). A control or source
    // is deleted with the grid when its IsAutoDelete answers true; a setter
    // returns the one it replaces, which then belongs to the caller (null
    // when it was already set).
    void EnableTooltips(bool inPlace, bool enable);
    bool AreTooltipsEnabled(bool inPlace);
    ITooltipCtrl* SetTooltipCtrl(bool inPlace, ITooltipCtrl* control);
    ITooltipCtrl* GetTooltipCtrl(bool inPlace);
    // The source of regular tooltips (null: the regular control's default).
    ITooltipSource* SetTooltipSource(ITooltipSource* source);
    ITooltipSource* GetTooltipSource();
    // Hides the shown tooltips and forgets a pending hover, for what an
    // application opens over the grid (a context menu); none shows while a
    // pop-up menu is open.
    void HideTooltips();
    // Transfer (gui/clipboard/): copy, cut and paste of rows through the
    // clipboard (Ctrl+C, Ctrl+X, Ctrl+V run these) and drag and drop of
    // rows. The handlers are deleted with the grid when their IsAutoDelete
    // answers true; a setter returns the grid's previous own handler, and a
    // getter the grid's own (null for both: the shared default of
    // GridDefaults is in use).
    bool Copy();
    bool Cut();
    bool Paste();
    void EnablePaste(bool enable);
    bool IsPasteEnabled();
    ICopyPaste* SetCopyPaste(ICopyPaste* handler);
    ICopyPaste* GetCopyPaste();
    // Off at construction: no drag starts and no drop is taken.
    void EnableDragDrop(bool enable);
    bool IsDragDropEnabled();
    IDragDrop* SetDragDrop(IDragDrop* handler);
    IDragDrop* GetDragDrop();
    // Cell images: the list the columns' image indexes refer to (not owned;
    // the previous one is returned).
    CImageList* SetCellImageList(CImageList* images);
    CImageList* GetCellImageList();
    void SetStretchImages(bool stretch);
    bool GetStretchImages();
    // A picture behind the rows (copied): mode 0 centred, 1 stretched, 2
    // tiled; the transparency is the alpha of the cells' colours over it
    // (-1: opaque).
    void SetBackground(const QPixmap& picture, int mode, int transparency);
    bool GetBackground(QPixmap& picture, int& mode, int& transparency);

    // Printing (gui/print/GridPrinter.h says what a print shows). The print
    // settings are stored in the grid's archive. The title is the document
    // title of the page footers (empty: the application's display name).
    PrintSettings GetPrintSettings();
    void SetPrintSettings(const PrintSettings& settings);
    void SetPrintTitle(const QString& title);
    QString GetPrintTitle();
    // Pages printed after the rows by every print, preview and PDF export
    // (not owned; null: none). Remove it before it is destroyed.
    void SetExtraPrintPages(IExtraPrintPages* pages);
    IExtraPrintPages* GetExtraPrintPages();
    // The print dialog, then the print with a progress dialog; true when printed.
    bool Print();
    // The print preview window (modal).
    void PrintPreview();
    // A PDF file of the rows with the print settings; `progress` null shows
    // a progress dialog. False, and no file, when cancelled or failed.
    bool ExportPdf(const QString& file, IPrintProgress* progress = nullptr);
    // Onto a printer the caller set up (its page layout is kept); true when printed.
    bool PrintTo(QPrinter& printer, IPrintProgress* progress = nullptr);
    // Keys. The key manager is deleted with the grid when it answers true to
    // IsAutoDelete; the replaced one is returned (null: the shared default
    // was in use, which GetKeyManager also answers with).
    IKeyManager* SetKeyManager(IKeyManager* manager);
    IKeyManager* GetKeyManager();
    // Kinds 0-5: the key manager's Up, Down, Page Up, Page Down, Home, End
    // with the given Shift and Ctrl states; 6: the incremental search for
    // `character` (KeyActionKind). Nothing happens while the scrollable area
    // has no rows or the left mouse button is down.
    void KeyAction(int kind, bool shift = false, bool ctrl = false, char character = 0);

    // In-place editing (gui/edit/). The editor is deleted with the grid when
    // it answers true to IsAutoDelete; the replaced one is returned (null:
    // the shared default was in use, which GetEditInPlace also answers with)
    // after an active edit was ended without writing. Reasons are
    // EditStartReason, codes EditCode.
    IEditInPlace* SetEditInPlace(IEditInPlace* editor);
    IEditInPlace* GetEditInPlace();
    bool CanEditCell(HITEM item, std::int32_t fieldId, int reason);
    bool CanEditCellAt(int row, int area, std::int32_t fieldId, int reason);
    // True when an edit is now active.
    bool BeginEditCell(HITEM item, std::int32_t fieldId, int reason);
    bool BeginEditCellAt(int row, int area, std::int32_t fieldId, int reason);
    // Ends the active edit; true when a control was taken out of the cell.
    bool EndEdit(int code);
    // Ends the active edit only if it is the edit of that cell.
    bool EndEditOfCell(HITEM item, std::int32_t fieldId, int code);
    // The same once the event being handled is done, for the edit active (or
    // being started) now only: what a control's own input ends an edit with.
    void PostEndEditOfCell(HITEM item, std::int32_t fieldId, int code);
    // The control of the active edit (null: none, or no edit).
    QWidget* GetEditControl();
    HITEM GetEditItem();
    std::int32_t GetEditField();
    // The cell record the editor is asked with (EditTypes.h).
    EditCell GetEditCell(HITEM item, std::int32_t fieldId);
    // The settings are copied; setting them repaints.
    EditSettings GetEditSettings();
    void SetEditSettings(const EditSettings& settings);
    // A cell's value from text, parsed with the column's format (else the
    // field's, else the type's default): false, and the old value kept, when
    // the text does not parse or the object refuses the value.
    bool SetCellValueText(HITEM item, std::int32_t fieldId, const Common::CString& text);
    bool SetCellValue(HITEM item, std::int32_t fieldId, const Common::CValue& value);

    // Controls glued to cells: the control becomes a child of the viewport
    // and stays the caller's (the grid never deletes it); the adapter belongs
    // to the item's map of embedded controls. Null for no control, a field id
    // of -1 or -2, an item not in this grid, or a cell that has a control.
    CEmbeddedControlAdapter* EmbedControl(QWidget* control, HITEM item, std::int32_t fieldId);
    CEmbeddedControlAdapter* EmbedControlAt(QWidget* control, int row, int area, std::int32_t fieldId);
    bool HasEmbeddedControl(HITEM item, std::int32_t fieldId);
    bool HasEmbeddedControlAt(int row, int area, std::int32_t fieldId);
    // Takes the cell's control out (the adapter is deleted, the control is not).
    bool RemoveEmbeddedControl(HITEM item, std::int32_t fieldId);

    // An option that is stored and reported only (requests 89 and 90).
    void SetOption(bool option);
    bool GetOption();
    void SetKeyboardAreas(int mask);
    bool IsKeyboardArea(int area);
    void SetDoubleBuffering(bool enable);
    bool GetDoubleBuffering();

    // The grid's archive: its settings, header and row-area settings (not
    // the rows, not the print settings). Loading reads everything first: a
    // damaged archive raises CArchiveException and leaves the grid as it
    // was; it stops at the end of the grid's record and leaves what follows
    // to the caller.
    void Serialize(class CArchive& archive);
    // The grid's archive followed by its print settings record, read and
    // applied as one: the layout that Serialize wrote while the grid's
    // archive carried the print settings. An archive that ends after the
    // grid's record leaves the print settings as they are.
    void SerializeWithPrintSettings(class CArchive& archive);

    bool GetHorizontalScrollPosition(int& position) const override;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SerializeOnGridThread(class CArchive& archive, bool withPrintSettings);
    template <class R, class Fn> R Call(R nothing, Fn&& fn);
    template <class Fn> void CallVoid(Fn&& fn);

    std::unique_ptr<CGridImpl> m_impl;
};

} // namespace Kestrum::GUI

#include "gui/clipboard/CopyPaste.h"

#include <QClipboard>
#include <QGuiApplication>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "common/DynamicObject.h"
#include "gui/clipboard/GridDirectory.h"
#include "gui/clipboard/TransferMime.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridRows.h"

namespace Kestrum::GUI {

namespace {
// The record's row checked again: its item still live in some grid and
// bound to its object (an event handler may have removed it meanwhile).
CGridItem* Recheck(const TransferRow& row, CGrid** holder)
{
    CGridItem* item = CGridDirectory::Instance().FindItem(AddressWord(row.item), AddressWord(row.grid), holder);
    return item && item->GetObject() == row.object && row.object ? item : nullptr;
}

HITEM RootHandleOf(const CGridItem* item)
{
    return item->GetTree() && item->GetTree()->GetKind() == AreaFixed ? GRID_FIXED_ROOT : GRID_ROOT;
}

HITEM ParentHandleOf(const CGridItem* item)
{
    CGridItem* parent = item->GetParent();
    return parent && parent->GetParent() ? ToHandle(parent) : RootHandleOf(item);
}

bool HasAncestorIn(const CGridItem* item, const std::set<const CGridItem*>& items)
{
    for (const CGridItem* ancestor = item->GetParent(); ancestor; ancestor = ancestor->GetParent())
        if (items.count(ancestor))
            return true;
    return false;
}

HITEM DeepestLastDescendant(CGrid& grid, HITEM item)
{
    std::vector<HITEM> children;
    for (;;) {
        grid.GetChildren(item, children, false);
        if (children.empty())
            return item;
        item = children.back();
    }
}

void FocusItem(CGrid& grid, HITEM item)
{
    const int row = grid.GetVisibleIndex(item);
    if (row >= 0)
        grid.SetFocusedRow(row, grid.GetArea(item));
}

// Where a moved row goes among the request parent's children: a position
// that is itself being moved (or lies inside a moved row) is replaced by
// the nearest earlier sibling that stays, else the front.
HITEM StablePosition(CGridRows& rows, const PasteRequest& request, const std::set<const CGridItem*>& moving)
{
    CGridItem* at = rows.Validate(request.position);
    if (!at)
        return request.position;
    CGridItem* parent = rows.Validate(request.parent);
    if (!parent)
        parent = at->GetTree()->GetRoot();
    if (parent->GetTree() != at->GetTree())
        return request.position;
    CGridItem* anchor = at;
    while (anchor && anchor->GetParent() != parent)
        anchor = anchor->GetParent();
    if (!anchor)
        return request.position; // not under the parent: Attach appends
    bool inside = moving.count(anchor) > 0;
    for (const CGridItem* step = at; step && step != anchor && !inside; step = step->GetParent())
        inside = moving.count(step) > 0;
    if (!inside)
        return request.position;
    const auto& siblings = parent->GetChildren();
    int index = CItemTree::IndexOfChild(anchor);
    while (--index >= 0) {
        CGridItem* sibling = siblings[static_cast<std::size_t>(index)];
        if (!moving.count(sibling))
            return ToHandle(sibling);
    }
    return GRID_FIRST;
}
} // namespace

// --- collecting -------------------------------------------------------------------

void CollectCopyRows(CGrid& grid, int areaMask, bool unselected, bool all, std::vector<CGridItem*>& rows)
{
    std::vector<HITEM> selected;
    grid.GetSelectedItems(selected, areaMask);
    const std::unordered_set<HITEM> listed(selected.begin(), selected.end());
    std::unordered_set<HITEM> taken;
    std::vector<HITEM> children;
    for (HITEM top : selected) {
        if (!taken.insert(top).second)
            continue;
        rows.push_back(FromHandle(top));
        if (!unselected && !all)
            continue;
        // Depth first in child order, iterative: trees may be thousands of levels deep.
        std::vector<HITEM> stack;
        grid.GetChildren(top, children, false);
        stack.assign(children.rbegin(), children.rend());
        while (!stack.empty()) {
            const HITEM child = stack.back();
            stack.pop_back();
            bool take = false;
            if (listed.count(child))
                take = true; // a selected row: taken where it stands
            else if (grid.IsItemSelected(child))
                take = all; // selected without a row
            else
                take = true; // unselected, and flag 2 or 3 is set
            if (!take || !taken.insert(child).second)
                continue; // skipped with its subtree
            rows.push_back(FromHandle(child));
            grid.GetChildren(child, children, false);
            stack.insert(stack.end(), children.rbegin(), children.rend());
        }
    }
}

// --- inserting ------------------------------------------------------------------------

std::vector<HITEM> InsertTransferRows(const PasteRequest& request, const TransferRecord& record, int operation)
{
    std::vector<HITEM> attached;
    if (!request.grid || record.kind != 0)
        return attached;
    CGrid& target = *request.grid;
    CGridRows* targetRows = CGridDirectory::Instance().RowsOf(&target);
    if (!targetRows)
        return attached;
    const bool toRoot = request.parent == GRID_ROOT || request.parent == GRID_FIXED_ROOT;
    if (!toRoot && !targetRows->Validate(request.parent))
        return attached;

    if (operation == TransferCopy) {
        std::unordered_map<const CGridItem*, HITEM> made; // copied item -> its new item
        HITEM previous = 0;
        for (const TransferRow& row : record.rows) {
            CGridItem* item = Recheck(row, nullptr);
            if (!item)
                continue;
            HITEM added = 0;
            if (const auto parent = made.find(item->GetParent()); parent != made.end() && targetRows->Validate(parent->second)) {
                added = target.Add(row.object, parent->second, GRID_LAST);
            } else {
                added = target.Add(row.object, request.parent, previous ? previous : request.position);
                if (added)
                    previous = added;
            }
            if (added) {
                made[item] = added;
                attached.push_back(added);
            }
        }
        return attached;
    }
    if (operation != TransferCut)
        return attached;

    std::set<const CGridItem*> moving;
    std::set<CGrid*> grids{&target};
    for (const TransferRow& row : record.rows) {
        CGrid* holder = nullptr;
        if (CGridItem* item = Recheck(row, &holder)) {
            moving.insert(item);
            grids.insert(holder);
        }
    }
    // Detaching takes the focus away (it is a row position); each grid gets
    // it back on the same row where that row is still shown.
    std::vector<std::pair<CGrid*, HITEM>> focused;
    for (CGrid* grid : grids)
        focused.emplace_back(grid, grid->GetItemAt(grid->GetFocusedRow(), grid->GetFocusedArea()));
    HITEM previous = 0;
    const HITEM start = StablePosition(*targetRows, request, moving);
    std::set<const CGridItem*> moved;
    for (const TransferRow& row : record.rows) {
        CGrid* holder = nullptr;
        CGridItem* item = Recheck(row, &holder);
        if (!item || !holder || HasAncestorIn(item, moved))
            continue; // gone, or it goes along with its moved ancestor
        CGridItem* parent = targetRows->Validate(request.parent);
        if (!toRoot && !parent)
            break; // the target parent went while rows moved
        if (parent && (parent == item || parent->IsDescendantOf(item)))
            continue; // never under itself or its own descendant
        const HITEM handle = ToHandle(item);
        // Its old place, to put it back should the new one refuse it.
        const HITEM oldParent = ParentHandleOf(item);
        const int index = CItemTree::IndexOfChild(item);
        const HITEM oldPosition =
            index > 0 ? ToHandle(item->GetParent()->GetChildren()[static_cast<std::size_t>(index - 1)]) : GRID_FIRST;
        if (!holder->Detach(handle))
            continue;
        if (!target.Attach(handle, request.parent, previous ? previous : start)) {
            holder->Attach(handle, oldParent, oldPosition);
            continue;
        }
        moved.insert(item);
        previous = handle;
        attached.push_back(handle);
    }
    for (const auto& [grid, item] : focused)
        if (item && grid->GetFocusedRow() < 0 && grid->GetVisibleIndex(item) >= 0)
            grid->SetFocusedRow(grid->GetVisibleIndex(item), grid->GetArea(item));
    return attached;
}

void ApplyPasteFocus(CGrid& grid, HITEM first, HITEM last, int focusMode, int scrollMode)
{
    if (!first || !last)
        return;
    switch (focusMode) {
    case 0: grid.SetFocusedRow(-1, 0); break;
    case 1: FocusItem(grid, first); break;
    case 2: FocusItem(grid, DeepestLastDescendant(grid, last)); break;
    case 3: FocusItem(grid, last); break;
    default: break;
    }
    HITEM shown = 0;
    if (scrollMode == 1)
        shown = first;
    else if (scrollMode == 2)
        shown = DeepestLastDescendant(grid, last);
    else if (scrollMode == 3 && focusMode >= 1 && focusMode <= 3)
        shown = last;
    if (shown && grid.GetArea(shown) == AreaScrollable)
        grid.EnsureItemVisible(shown);
}

// --- CCopyPaste --------------------------------------------------------------------------

CCopyPaste::CCopyPaste(bool autoDelete) : m_autoDelete(autoDelete) {}

CCopyPaste::~CCopyPaste()
{
    ReleaseFormats(true);
    // Rows of imported objects go before their objects do (the objects' disposal).
    m_imported.clear();
}

void CCopyPaste::AddFormat(IClipboardFormat* format)
{
    if (format)
        m_formats.push_back(format);
}

namespace {
// The request of a copy or a cut, with the areas its two policy flags allow
// (fixed, scrollable) and no rows yet.
CopyRequest MakeRequest(CGrid& grid, const std::vector<IClipboardFormat*>& formats, std::uint8_t fixed,
                        std::uint8_t scrollable, int operation)
{
    CopyRequest request;
    request.grid = &grid;
    request.header = grid.GetHeader();
    request.areaMask = (fixed ? MaskFixed : 0) | (scrollable ? MaskScrollable : 0);
    request.formats = formats;
    request.operation = operation;
    return request;
}
} // namespace

bool CCopyPaste::Copy(CGrid* grid)
{
    if (!grid || !grid->GetHeader() || m_formats.empty())
        return false;
    const TransferPolicy policy = grid->GetTransferPolicy();
    CopyRequest request = MakeRequest(*grid, m_formats, policy.flags[0], policy.flags[1], TransferCopy);
    if (request.areaMask != 0)
        CollectCopyRows(*grid, request.areaMask, policy.flags[2] != 0, policy.flags[3] != 0, request.rows);
    return PutOnClipboard(request);
}

bool CCopyPaste::Cut(CGrid* grid)
{
    if (!grid || !grid->GetHeader() || m_formats.empty())
        return false;
    const TransferPolicy policy = grid->GetTransferPolicy();
    CopyRequest request = MakeRequest(*grid, m_formats, policy.flags[4], policy.flags[5], TransferCut);
    if (request.areaMask != 0) {
        std::vector<HITEM> selected;
        grid->GetSelectedItems(selected, request.areaMask);
        for (HITEM item : selected)
            request.rows.push_back(FromHandle(item));
    }
    return PutOnClipboard(request);
}

bool CCopyPaste::PutOnClipboard(const CopyRequest& request)
{
    if (!request.grid || request.rows.empty() || request.formats.empty() || !request.header)
        return false;
    std::unique_ptr<QMimeData> data =
        MakeTransferData(request.formats, request.rows, request.header, request.grid, request.areaMask, request.operation);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!data || !clipboard)
        return false;
    clipboard->setMimeData(data.release(), QClipboard::Clipboard);
    return true;
}

bool CCopyPaste::Paste(const PasteRequest& request)
{
    if (!request.grid)
        return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (!data)
        return false;
    IObjectImporter* importer = request.grid->GetTransferPolicy().flags[10] ? this : nullptr;
    TransferRecord record;
    if (!ReadTransferData(m_formats, *data, importer, record))
        return false;
    if (!Insert(request, record, record.sourceOperation))
        return false; // what a format made for the record goes with it
    for (auto& object : record.createdObjects)
        m_imported.push_back(std::move(object));
    return true;
}

bool CCopyPaste::Insert(const PasteRequest& request, TransferRecord& record, int sourceOperation)
{
    if (!request.grid || record.kind != 0)
        return false;
    const std::vector<HITEM> attached = InsertTransferRows(request, record, sourceOperation);
    if (attached.empty())
        return false;
    CGrid& grid = *request.grid;
    grid.RefreshScrollBars();
    const TransferPolicy policy = grid.GetTransferPolicy();
    ApplyPasteFocus(grid, attached.front(), attached.back(), policy.focusAfterPaste, policy.scrollAfterPaste);
    return true;
}

Common::CDynamicObject* CCopyPaste::CreateObject(const std::string&) { return new Common::CDynamicObject(true); }

void CCopyPaste::CopyFormats(std::vector<IClipboardFormat*>& formats)
{
    formats.insert(formats.end(), m_formats.begin(), m_formats.end());
}

void CCopyPaste::ReleaseFormats(bool destroy)
{
    if (destroy)
        for (IClipboardFormat* format : m_formats)
            delete format;
    m_formats.clear();
}

} // namespace Kestrum::GUI

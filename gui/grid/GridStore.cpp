// The grid's archive: fills the record from the grid's state, and commits a
// loaded record only after it was read whole.
#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/GridImpl.h"
#include "gui/platform/Archive.h"
#include "gui/platform/QtFont.h"

namespace Kestrum::GUI {

namespace {
// The record as the grid stands.
GridArchiveRecord RecordOf(CGridImpl& g)
{
    GridArchiveRecord record;
    record.settings = g.settings;
    record.header = g.header;
    record.hasHeader = g.header != nullptr;
    record.rowHeights[0] = g.rows.Fixed().GetDefaultRowHeight();
    record.rowHeights[1] = g.rows.Scrollable().GetDefaultRowHeight();
    record.focusableAreas = g.focus.focusableAreas;
    if (g.font)
        record.font = g.loadedFontRecord ? *g.loadedFontRecord : FontRecordFromQFont(*g.font);
    record.selectionEnabled = g.selection.enabled;
    record.multiSelectionEnabled = g.selection.multiEnabled;
    record.selectableAreas = g.selection.selectableAreas;
    record.sortAreas = g.rows.GetSortAreas();
    return record;
}
} // namespace

void CGridImpl::Store(CArchive& archive, bool withPrintSettings)
{
    const GridArchiveRecord record = RecordOf(*this);
    if (withPrintSettings)
        record.StoreWithPrintSettings(archive);
    else
        record.Store(archive);
}

void CGridImpl::Load(CArchive& archive, bool withPrintSettings)
{
    GridArchiveRecord record = RecordOf(*this);
    if (!(withPrintSettings ? record.LoadWithPrintSettings(archive) : record.Load(archive)))
        return;

    // Commit; the font first, since setting a header measures with it.
    if (record.font) {
        font = std::make_unique<QFont>(QFontFromRecord(*record.font));
        loadedFontRecord = record.font;
    } else {
        font.reset();
        loadedFontRecord.reset();
    }
    std::unique_ptr<CHeader> loaded = std::move(record.loadedHeader);
    if (loaded && header && header->GetRuntimeClassName() == loaded->GetRuntimeClassName()) {
        // The current header loads the same record.
        CArchive copy;
        loaded->Serialize(copy);
        CArchive reader(copy.GetBytes());
        header->Serialize(reader);
    } else {
        // Setting a header measures its height from the font; the stored
        // height is the one to keep.
        const int storedHeight = loaded ? loaded->GetHeight() : 0;
        CHeader* created = loaded.release();
        CHeader* previous = SetHeader(created);
        if (created)
            created->SetHeight(storedHeight);
        if (previous && previous->IsAutoDelete())
            delete previous;
    }
    settings = record.settings;
    CItemTree* trees[2] = {&rows.Fixed(), &rows.Scrollable()};
    for (int i = 0; i < 2; ++i)
        if (record.rowHeights[i] > 0)
            trees[i]->SetDefaultRowHeight(record.rowHeights[i]);
    focus.focusableAreas = record.focusableAreas;
    selection.enabled = record.selectionEnabled;
    selection.multiEnabled = record.multiSelectionEnabled;
    selection.selectableAreas = record.selectableAreas;
    rows.SetSortAreas(record.sortAreas);
    SetFocus(-1, 0, false, false);
    input->Reset();
    transfer->Reset();
    rows.Resort();
    RefreshScrollBars();
    UpdateViewport();
}

} // namespace Kestrum::GUI

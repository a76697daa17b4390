// CVelmoraView: hosts the grid with its six columns and the row painter, and
// listens to the scanner: every folder and file becomes a row under its
// folder's row the moment it is found.
//
// The listener runs on the scanner thread. It hands each object to a feed
// (a coalescing queue) and returns; the GUI thread takes the feed in
// announcement order, looks up the parent's row and adds the row, the same
// calls in the same order as if the scanner made them, without the scanner
// waiting for each row. A wake-up adds rows for a few milliseconds, then
// lets the window paint; a feed that grows past its limit makes the scanner
// wait until the GUI thread has taken it, so memory stays bounded. Closing
// drops what is left.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <map>

#include "app/FolderScanner.h"
#include "common/CoalescingQueue.h"
#include "gui/grid/Grid.h"

namespace Kestrum::GUI {
class CQtDrainScheduler;
}

namespace Velmora {

class CVelmoraDoc;

// Counters of the walk, for the status bar.
struct ScanProgress {
    std::atomic<std::int64_t> folders{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> bytes{0};
};

class CRowPainter;

class CVelmoraView : public QWidget, public IScanListener {
public:
    CVelmoraView(CVelmoraDoc& document, QWidget* parent = nullptr);
    ~CVelmoraView() override;

    Kestrum::GUI::CGrid& Grid() noexcept { return *m_grid; }
    const ScanProgress& Progress() const noexcept { return m_progress; }
    // True while announced entries are still waiting for their rows.
    bool HasWaitingRows();

    void OnRootFolder(CFolderData* drive) override;
    void OnFolder(CFolderData* folder) override;
    void OnFile(CFileData* file) override;
    void OnFolderEmptying(CFolderData* folder) override;

    // A menu opened on a row may outlive it (a refresh replaces the rows
    // below its folder): its commands act only on objects still shown.
    bool HasRow(Kestrum::Common::CDataObject* object) { return object && m_grid->GetItem(object) != 0; }
    // The object of the focused row, or null.
    Kestrum::Common::CDataObject* FocusedObject();
    // Focuses and selects the object's row, its parents expanded and the
    // row scrolled into view; false while the row is still in the feed.
    bool RevealRow(Kestrum::Common::CDataObject* object);
    // The row's folder itself, or a file's folder.
    static CFolderData* FolderOf(Kestrum::Common::CDataObject* object);
    static QString FullNameOf(Kestrum::Common::CDataObject* object);
    // Rescans a folder's subtree (a file: its folder's) while the rest
    // stays; false while a walk runs.
    bool Refresh(Kestrum::Common::CDataObject* object);
    // Drops every row and walks the disks (or the folders given) again from
    // scratch; false while a walk runs.
    bool RefreshAll();
    // No walk runs and every announced row is in.
    bool IsIdle();
    // Both size columns in binary units with one decimal ("12.4 GiB")
    // instead of grouped bytes.
    void SetSizeUnits(bool units);
    bool AreSizeUnits() const { return m_units; }
    // The share-of-parent cells depend on the parent's size, and no change
    // announces the size on disk (the walk announces the size, and one
    // announcement per field would double the dispatcher's traffic): both
    // columns are repainted with the status while a walk runs, and once
    // when it ends.
    void RepaintDerivedColumns();
    // The folder of the last refresh; null after the first walk or a
    // refresh of everything.
    CFolderData* RefreshedFolder() const { return m_refreshed; }
    // The header as the view builds it.
    static Kestrum::GUI::CHeader* MakeDefaultHeader(const QFont& font);
    // Stands a header loaded from the settings in for the current one; the
    // columns of this version that it lacks are added at the end.
    void UseHeader(Kestrum::GUI::CHeader* header);

    // Settings commands.
    void IncreaseFont();
    void DecreaseFont();
    void ExpandAll();
    void CollapseAll();
    void ToggleLines();
    bool AreLinesShown();
    // Font size in points, between 6 and 24 after the commands.
    int FontPoints();
    // Widens the Size and the Size on disk columns when they are narrower
    // than the largest drive's value needs in the current font, the Size
    // column's animation beside it included (the capacity of the drive's
    // file system, or its total when that is larger). Each widens again
    // only when its need grows: a user may narrow them.
    void FitSizeColumn();
    int RequiredSizeWidth(std::int32_t field = FIELD_SIZE);

    // The close sequence: stop listening and clear the rows (GUI thread, after
    // the scanner has ended).
    void Detach();

private:
    struct FeedEntry {
        Kestrum::Common::CDataObject* object;
        CFolderData* parent; // null for a drive
    };
    void Feed(Kestrum::Common::CDataObject* object, CFolderData* parent);
    // GUI thread: adds the row of one fed entry.
    void AddRow(const FeedEntry& entry);
    void StepFont(int step);
    // Every column's width per pixel of character height: widths follow
    // the font. A width the user changed since is taken as the new measure.
    void ScaleColumns(int oldHeight, int newHeight);

    void MeasureColumns();

    CVelmoraDoc& m_document;
    Kestrum::GUI::CGrid* m_grid;
    CRowPainter* m_painter; // the grid's
    bool m_units = false;
    CFolderData* m_refreshed = nullptr;
    ScanProgress m_progress;
    bool m_detached = false;
    std::map<std::int32_t, double> m_widthPerHeight;
    int m_sizeWidthMet[2] = {}; // the Size and Size on disk widths last made sure of
    Kestrum::Common::CCoalescingQueue<FeedEntry> m_feed;
    Kestrum::GUI::CQtDrainScheduler* m_feedScheduler; // a child of this view
};

} // namespace Velmora

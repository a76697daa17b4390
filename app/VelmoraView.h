// CVelmoraView: hosts the grid with its six columns and the row painter, and
// listens to the scanner: every folder and file becomes a row under its
// folder's row the moment it is found.
//
// The listener runs on the scanner thread. It hands each object to a feed
// and returns; the GUI thread takes the feed in announcement order, looks
// up the parent's row and adds the row, the same calls in the same order as
// if the scanner made them, without the scanner waiting for each row. A
// wake-up adds rows for a few milliseconds, then lets the window paint; a
// feed that grows past its limit makes the scanner wait until the GUI
// thread has taken it, so memory stays bounded. Closing drops what is left.
#pragma once

#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "app/FolderScanner.h"
#include "gui/grid/Grid.h"

namespace Velmora {

class CVelmoraDoc;

// Counters of the walk, for the status bar.
struct ScanProgress {
    std::atomic<std::int64_t> folders{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> bytes{0};
};

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

    // Settings commands.
    void IncreaseFont();
    void DecreaseFont();
    void ExpandAll();
    void CollapseAll();
    void ToggleLines();
    bool AreLinesShown();
    // Font size in points, between 6 and 24 after the commands.
    int FontPoints();
    // Widens the Size column when it is narrower than the largest drive's
    // size needs in the current font, the animation beside it included
    // (the capacity of the drive's file system, or its total when that is
    // larger). It widens again only when the need grows: a user may narrow
    // the column.
    void FitSizeColumn();
    int RequiredSizeWidth();

    // The close sequence: stop listening and clear the rows (GUI thread, after
    // the scanner has ended).
    void Detach();

private:
    struct FeedEntry {
        Kestrum::Common::CDataObject* object;
        CFolderData* parent; // null for a drive
    };
    void Feed(Kestrum::Common::CDataObject* object, CFolderData* parent);
    // GUI thread: adds the fed rows.
    void DrainFeed();
    void StepFont(int step);
    // Every column's width per pixel of character height: widths follow
    // the font. A width the user changed since is taken as the new measure.
    void ScaleColumns(int oldHeight, int newHeight);

    CVelmoraDoc& m_document;
    Kestrum::GUI::CGrid* m_grid;
    ScanProgress m_progress;
    bool m_detached = false;
    std::map<std::int32_t, double> m_widthPerHeight;
    int m_sizeWidthMet = 0; // the Size width last made sure of
    struct {
        std::mutex mutex;
        std::condition_variable taken;
        std::vector<FeedEntry> pending;
        // A drain is queued on the GUI thread, or the GUI thread looks again
        // shortly: the scanner wakes it only when neither is so.
        bool posted = false;
        bool closed = false;
    } m_feed;
    bool m_lingering = false; // GUI thread: the look-again is armed
    std::vector<FeedEntry> m_taken; // GUI thread
    std::size_t m_takenAt = 0;
};

} // namespace Velmora

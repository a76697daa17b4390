// CVelmoraView: hosts the grid with its six columns and the row painter, and
// listens to the scanner: every folder and file becomes a row under its
// folder's row the moment it is found. The listener runs on the scanner
// thread; the grid carries its calls over to the GUI thread.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>

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

    // The close sequence: stop listening and clear the rows (GUI thread, after
    // the scanner has ended).
    void Detach();

private:
    void StepFont(int step);

    CVelmoraDoc& m_document;
    Kestrum::GUI::CGrid* m_grid;
    ScanProgress m_progress;
    bool m_detached = false;
};

} // namespace Velmora

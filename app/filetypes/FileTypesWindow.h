// CFileTypesWindow: View > "File t&ypes", a window beside the main one that
// lists the extensions of everything walked (files, size, size on disk,
// share), largest first, in a grid of its own. It follows the walk, counted
// again at most every half second; Enter or a double click on a row puts
// its extension into the filter bar. Its table also chooses the treemap's
// colours (Colours): each row shows its extension's colour as a swatch.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/WalkFollower.h"
#include "app/filetypes/FileTypeTable.h"
#include "app/treemap/TreemapColours.h"
#include "gui/grid/Grid.h"

class QAction;
class QMenu;

namespace Velmora {

class CFilterBar;
class CFolderData;
class CVelmoraDoc;
class CVelmoraView;
class CFileTypeObject;

class CFileTypesWindow : public QWidget {
public:
    // Counted again no sooner than this after the last count (grid clock).
    static constexpr std::int64_t kRecountInterval = 500;

    CFileTypesWindow(CVelmoraDoc& document, CVelmoraView& view, CFilterBar& filter, QWidget* parent);
    ~CFileTypesWindow() override;

    // Adds View > "File t&ypes", which opens this window.
    QAction* AddCommand(QMenu* view);
    void Open();
    // The frame's quarter-second tick.
    void Tick();
    // As CTreemapLink's: a refresh deletes objects while it runs, so
    // nothing is read until it ends; `Close` stops reading for good.
    void TreeChanging(CFolderData* folder);
    void Close();
    // Counts the tree again and brings the rows up to date.
    void Recount();
    // The same a slice of at most kSliceMs at a time on the event loop, the
    // rows and colours of the last count kept until it is whole (during a
    // walk: a million files take tens of milliseconds to count).
    // `firstSliceNow`: the first slice runs within the call, else on the
    // event loop (for a caller that is itself a slice).
    void StartCount(bool firstSliceNow = true);
    bool IsCounting() const { return m_counting != nullptr; }
    static constexpr std::int64_t kSliceMs = 8;
    // Filters the main grid by the extension of the row's object.
    void Choose(Kestrum::Common::CDataObject* object);

    // The palette chosen from the table, counted again first when it is
    // older than the walk (at most every kRecountInterval while it runs),
    // whether or not the window is shown.
    const Treemap::CPalette& Colours();
    // After a count that changed the colours (the treemap paints again).
    std::function<void()> onColoursChanged;

    const CFileTypeTable& Table() const { return m_table; }
    Kestrum::GUI::CGrid& Grid() { return *m_grid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ContinueCount();
    void StopCount();
    // Takes a whole count: the rows and the colours follow it.
    void Counted(CFileTypeTable&& table, bool idle);

    CVelmoraDoc& m_document;
    CVelmoraView& m_view;
    CFilterBar& m_filter;
    Kestrum::GUI::CGrid* m_grid;
    CFileTypeTable m_table;
    Treemap::CPalette m_palette;
    std::map<std::string, std::unique_ptr<CFileTypeObject>> m_rows;
    std::int64_t m_countedAt = 0;
    bool m_counted = false;
    bool m_countedIdle = false; // the last count saw the walk ended
    CWalkFollower m_follower;
    std::unique_ptr<CFileTypeTable> m_counting; // the count under way in slices
    bool m_countingIdle = false;
    QTimer m_countTimer;
};

} // namespace Velmora

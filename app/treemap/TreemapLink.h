// CTreemapLink: ties the treemap to the window: the grid's focus frames a
// tile and a click on a tile focuses its row, the areas follow the grid's
// size sort, the picture follows the walk, and the commands and settings of
// the treemap live here (the frame only places them).
//
// The picture is laid out again at most every half second while a walk
// runs, once when it ends, and when shown. A refresh of a folder deletes
// objects on the scanner thread, and "Refresh all" deletes the whole tree:
// TreeChanging, called before either starts, makes the view drop every
// object it holds and read nothing until the walk has ended.
#pragma once

#include <QObject>
#include <QString>

#include "app/WalkFollower.h"
#include "gui/grid/Grid.h"
#include "gui/print/GridPrinter.h"

class QAction;
class QMenu;
class QSettings;
class QSplitter;

namespace Velmora {

class CFolderData;
class CTreemapView;
class CVelmoraDoc;
class CVelmoraView;

// Also the grid's extra print pages: while the treemap is shown, every
// print, preview and PDF export ends with a page of its picture.
class CTreemapLink : public QObject, public Kestrum::GUI::IExtraPrintPages {
public:
    CTreemapLink(CTreemapView& treemap, CVelmoraView& view, CVelmoraDoc& document);
    ~CTreemapLink() override;
    CTreemapLink(const CTreemapLink&) = delete;
    CTreemapLink& operator=(const CTreemapLink&) = delete;

    // The frame's quarter-second tick.
    void Tick();
    // Before a refresh of `folder` starts; null: before the tree is
    // replaced by a new walk of everything.
    void TreeChanging(CFolderData* folder);
    // The window closes: the tree goes, and nothing is read any more.
    void Close();
    // Focuses and selects the object's row, its parents expanded and the
    // row scrolled into view.
    void RevealRow(Kestrum::Common::CDataObject* object);

    // View: "Tree&map" (F9), zoom in, out and home, "Save treemap as
    // image..."; Settings: cushions or flat.
    void AddCommands(QMenu* view, QMenu* settings);
    QAction* ShowCommand() const { return m_show; }
    void Show(bool shown);
    void SaveSettings(QSettings& settings) const;
    void LoadSettings(QSettings& settings);
    // Writes the picture as PNG; false when the file cannot be written.
    bool SaveImage(const QString& file);

    // The grid's focus and sort as the treemap last took them; the grid
    // tells no one (Velmora keeps its notifications off: a million rows
    // would each be announced), so they are looked at after each key,
    // click and wheel on the grid, and with the tick.
    void FollowGrid();

    // IExtraPrintPages: one page while the treemap is shown, its picture
    // under a line naming what it shows.
    int GetExtraPageCount() override;
    void PaintExtraPage(int index, QPainter& painter, const QRect& rect) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeRoots();

    CTreemapView& m_treemap;
    CVelmoraView& m_view;
    CVelmoraDoc& m_document;
    QAction* m_show = nullptr;
    QAction* m_cushions = nullptr;
    CWalkFollower m_follower;
    bool m_followPosted = false;
};

} // namespace Velmora

// CTreemapView: the picture of where the space goes. Every file is a tile
// whose area is its size, nested in its folders' tiles (the layout is
// TreemapLayout's), coloured by extension and shaded as cushions or flat
// with frames.
//
// The picture is laid out and painted into an image at once; paint events
// only copy it and draw the focus frames over it. The tiles kept for the
// mouse are 16 bytes each (the object and four 16-bit edges) and only the
// tiles drawn are kept. The view reads the live tree on the GUI thread
// while it lays out; whoever changes the tree other than by adding to it
// (a refresh, a new walk, closing) calls Forget first, which drops every
// object the view holds.
//
// The view knows nothing of the grid: a click hands the tile's object to
// `onActivated`, a hover hands its text to `onStatus`, and the focus comes
// in through SetFocusedObject (CTreemapLink does the wiring).
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/treemap/TreemapColours.h"
#include "app/treemap/TreemapLayout.h"

namespace Kestrum::Common {
class CDataObject;
}
namespace Kestrum::GUI {
class CGrid;
}

namespace Velmora {

class CFolderData;

class CTreemapView : public QWidget {
public:
    enum class Style { Cushion, Flat };
    // 16 bytes: whether the object is a folder rides in the pointer's low
    // bit (objects are aligned), so painting needs no type look-up.
    struct Tile {
        std::uintptr_t tagged;                 // the object; null: the smallest roots merged
        std::int16_t left, top, right, bottom; // pixels, right and bottom excluded
        Kestrum::Common::CDataObject* Object() const
        {
            return reinterpret_cast<Kestrum::Common::CDataObject*>(tagged & ~std::uintptr_t{1});
        }
        bool IsFolder() const { return (tagged & 1) != 0; }
    };
    // At most one layout per this many milliseconds during a walk.
    static constexpr std::int64_t kRelayoutInterval = 500;

    explicit CTreemapView(QWidget* parent = nullptr);
    ~CTreemapView() override;

    // The top level (Home); the zoom stays when it is among or below them.
    void SetRoots(std::vector<CFolderData*> roots);
    const std::vector<CFolderData*>& Roots() const { return m_roots; }
    // FIELD_SIZE or FIELD_SIZE_ON_DISK: what the areas measure.
    void SetAreaField(std::int32_t field);
    std::int32_t AreaField() const { return m_field; }
    void SetStyle(Style style);
    Style GetStyle() const { return m_style; }

    // Lays out and paints the picture now, at the widget's size.
    void Relayout();
    // Lays out again when the last layout is kRelayoutInterval old by the
    // grid clock (and the view is shown), as Rebuild does; true when it began.
    bool RelayoutIfDue();
    // Lays out and paints again a slice of at most kSliceMs at a time on the
    // event loop, so a walk's picture never holds the GUI thread long; the
    // tiles and the picture of before stay until the new ones are whole.
    // Relayout, Forget and anything that makes the picture stale drop it.
    void Rebuild();
    bool IsRebuilding() const { return m_build != nullptr; }
    static constexpr std::int64_t kSliceMs = 8;
    // The tree is about to change under the tiles: the objects go, and the
    // tree is not read again until roots are set (the picture stays,
    // dimmed, meanwhile).
    void Forget();

    // Zoom: one folder's picture; out goes up a level, Home to the roots.
    void ZoomTo(CFolderData* folder);
    // The folder of the object (a file's folder) becomes the picture.
    void ZoomInto(Kestrum::Common::CDataObject* object);
    void ZoomOut();
    void ZoomHome();
    CFolderData* ZoomedFolder() const { return m_zoom; }

    // The focused row's object: its tile and its folder's are framed.
    void SetFocusedObject(Kestrum::Common::CDataObject* object);
    Kestrum::Common::CDataObject* FocusedObject() const { return m_focused; }
    // The deepest tile's object at a point of the widget (null: none).
    Kestrum::Common::CDataObject* ObjectAt(QPoint point) const;
    // The tile of an object, or of its nearest ancestor that has one.
    QRect TileRectOf(Kestrum::Common::CDataObject* object) const;
    // The full path and size of an object, as the tooltip shows it.
    static QString DescriptionOf(Kestrum::Common::CDataObject* object);

    const QImage& Picture() const { return m_picture; }
    // The picture, laid out first when it is out of date (saved, printed).
    const QImage& CurrentPicture();
    bool SaveImage(const QString& file);
    const std::vector<Tile>& Tiles() const { return m_tiles; }
    // What the layout keeps: the tiles' bytes.
    std::size_t LayoutBytes() const { return m_tiles.capacity() * sizeof(Tile); }
    int LayoutCount() const { return m_layouts; }
    // How long the last layout and paint took, by the steady clock (over
    // its slices, for a picture made in slices).
    double LastLayoutMs() const { return m_lastLayoutMs; }

    // The tooltips are the grid's kind, shown in a pop-up owned by `grid`.
    void AttachTooltip(Kestrum::GUI::CGrid& grid);
    // The tooltip's text while one is shown (empty: none).
    QString TooltipText() const;

    // Where the colours come from at each layout: the file types window's
    // palette, kept up to date from its table (empty: the view's own,
    // chosen by the areas in the picture).
    std::function<const Treemap::CPalette&()> colourSource;
    const Treemap::CPalette& Colours() const { return *m_colours; }

    std::function<void(Kestrum::Common::CDataObject*)> onActivated;
    std::function<void(const QString&)> onStatus;
    // After every layout (the bench and tests time and count them).
    std::function<void()> onLaidOut;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct CBuild;
    // Tiles laid out per step of a slice, and steps per slice when the grid
    // clock does not move.
    static constexpr std::size_t kLayoutStepTiles = 32;
    static constexpr std::size_t kSliceSteps = 3200;
    static constexpr std::size_t kSliceTiles = 20000; // painted

    std::vector<Treemap::Entry> ShownRoots() const;
    void ContinueBuild();
    void LayOutTiles();
    void PaintTiles();
    void FindFocusRects();
    void HideTooltip();

    std::vector<CFolderData*> m_roots;
    CFolderData* m_zoom = nullptr;
    std::int32_t m_field;
    Style m_style = Style::Cushion;
    std::vector<Tile> m_tiles;
    Treemap::CPalette m_palette;
    const Treemap::CPalette* m_colours = &m_palette; // the last layout's
    QImage m_picture;
    bool m_stale = true; // the picture is not of the current roots, zoom or size
    bool m_reading = true; // false from Forget to the next roots
    std::int64_t m_laidOutAt = 0;
    int m_layouts = 0;
    double m_lastLayoutMs = 0;
    Kestrum::Common::CDataObject* m_focused = nullptr;
    QRect m_focusRect, m_folderRect;
    class CTooltip;
    std::unique_ptr<CTooltip> m_tooltip;
    Kestrum::Common::CDataObject* m_hovered = nullptr;
    std::unique_ptr<CBuild> m_build; // the picture being made in slices
    QTimer m_sliceTimer;
};

} // namespace Velmora

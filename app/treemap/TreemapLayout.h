// The treemap's layout, without Qt: nested squarified rectangles (rows of
// tiles whose aspect ratios are kept as close to 1 as the order by size
// allows), each entry's area proportional to its size.
//
// The layout reads a tree through ISource, one folder's entries at a time,
// and hands each tile to ISink in preorder (a folder's tile before the tiles
// inside it). It only reads what it draws: a folder whose rectangle is under
// `minFolderArea` is one tile and its entries are never asked for, and the
// smallest entries of a folder, once each would be under `minTileArea`, are
// merged into one rest tile. So the work follows the tiles on the screen,
// not the size of the tree. Folders nest by an explicit stack, never by
// recursion: a chain of single folders may be a hundred thousand deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Velmora::Treemap {

struct Rect {
    double x = 0, y = 0, w = 0, h = 0;
    double Area() const { return w * h; }
};

// One entry of a folder as the layout sees it; `node` is the source's handle.
struct Entry {
    const void* node = nullptr;
    std::int64_t size = 0;
    bool folder = false;
};

enum class TileKind : std::uint8_t {
    File,   // a file
    Folder, // a folder whose entries follow, inside it
    Folded, // a folder too small to show its entries: one tile
    Rest,   // the smallest entries of a folder, merged (node: the folder)
};

class ISource {
public:
    // Appends the entries of `folder` (in any order; sizes of 0 draw nothing).
    virtual void ChildrenOf(const void* folder, std::vector<Entry>& out) = 0;

protected:
    ~ISource() = default;
};

class ISink {
public:
    virtual void OnTile(const Rect& rect, const void* node, TileKind kind, int depth) = 0;

protected:
    ~ISink() = default;
};

struct Options {
    // In square pixels of the bounds.
    double minFolderArea = 64;
    double minTileArea = 4;
};

// Lays out `roots` side by side in `bounds` as one folder would be, each
// root nested below. Entries of size 0 give no tile.
void Layout(ISource& source, const std::vector<Entry>& roots, const Rect& bounds, ISink& sink,
            const Options& options = {});

// The same layout a slice at a time: Start, then Step until it answers true.
// Each folder is read whole in one step, so a tree that grows between steps
// gives a picture of slightly different moments, each folder consistent.
class CLayoutRun {
public:
    void Start(const std::vector<Entry>& roots, const Rect& bounds, const Options& options = {});
    // Hands the sink at most `maxTiles` tiles; true when the layout is whole.
    bool Step(ISource& source, ISink& sink, std::size_t maxTiles);
    bool Done() const { return m_stack.empty(); }

private:
    struct Pending {
        Entry entry;
        Rect rect;
        int depth;
        TileKind kind;
    };
    // Lays out m_entries (consumed) in `rect` and pushes their tiles so they
    // come off the stack largest first.
    void LayLevel(const void* folder, const Rect& rect, int depth);

    Options m_options;
    std::vector<Pending> m_stack;
    std::vector<Entry> m_entries;
    std::vector<double> m_areas;
    std::vector<Rect> m_rects;
    std::vector<Pending> m_level;
};

// One level: `areas` (in descending order, summing to the rectangle's area
// or less) in rows along the shorter side; a rectangle per area, in order.
void Squarify(const std::vector<double>& areas, const Rect& bounds, std::vector<Rect>& out);

// The worst aspect ratio (long side over short side, at least 1) of `rects`;
// empty rectangles are left out.
double WorstAspect(const std::vector<Rect>& rects);

} // namespace Velmora::Treemap

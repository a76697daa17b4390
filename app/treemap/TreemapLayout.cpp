#include "app/treemap/TreemapLayout.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace Velmora::Treemap {

namespace {
// The worst aspect ratio of a row of total `sum`, largest `big` and
// smallest `small` laid along a side of `side`.
double RowWorst(double sum, double big, double small, double side)
{
    const double side2 = side * side, sum2 = sum * sum;
    return std::max(side2 * big / sum2, sum2 / (side2 * small));
}

// Places areas[first, last) as one row along the shorter side of `rest`,
// then takes the row's strip off `rest`.
void PlaceRow(const std::vector<double>& areas, std::size_t first, std::size_t last, double sum, Rect& rest,
              std::vector<Rect>& out, bool final)
{
    const bool alongHeight = rest.w >= rest.h; // a column at the left edge
    const double side = alongHeight ? rest.h : rest.w;
    const double room = alongHeight ? rest.w : rest.h;
    // The last row takes what is left, and no row more than that, whatever
    // the rounding of the sums.
    const double thickness = final ? room : std::min(room, side > 0 ? sum / side : 0);
    double at = alongHeight ? rest.y : rest.x;
    const double end = alongHeight ? rest.y + rest.h : rest.x + rest.w;
    for (std::size_t i = first; i < last; ++i) {
        double length = thickness > 0 ? areas[i] / thickness : 0;
        if (i + 1 == last)
            length = end - at; // the row ends at the edge, whatever the rounding
        out.push_back(alongHeight ? Rect{rest.x, at, thickness, length} : Rect{at, rest.y, length, thickness});
        at += length;
    }
    if (alongHeight) {
        rest.x += thickness;
        rest.w = std::max(0.0, rest.w - thickness);
    } else {
        rest.y += thickness;
        rest.h = std::max(0.0, rest.h - thickness);
    }
}
} // namespace

void Squarify(const std::vector<double>& areas, const Rect& bounds, std::vector<Rect>& out)
{
    Rect rest = bounds;
    std::size_t first = 0;
    const std::size_t count = areas.size();
    while (first < count) {
        const double side = std::min(rest.w, rest.h);
        // Grow the row while its worst ratio does not get worse.
        double sum = areas[first];
        std::size_t last = first + 1;
        double worst = RowWorst(sum, areas[first], areas[first], side);
        while (last < count && areas[last] > 0) {
            const double grown = sum + areas[last];
            const double next = RowWorst(grown, areas[first], areas[last], side);
            if (next > worst)
                break;
            worst = next;
            sum = grown;
            ++last;
        }
        if (last == count || areas[last] <= 0) {
            // The last row takes what is left of the rectangle.
            while (last < count)
                sum += areas[last++];
        }
        PlaceRow(areas, first, last, sum, rest, out, last == count);
        first = last;
    }
}

double WorstAspect(const std::vector<Rect>& rects)
{
    double worst = 1;
    for (const Rect& r : rects)
        if (r.w > 0 && r.h > 0)
            worst = std::max(worst, std::max(r.w / r.h, r.h / r.w));
    return worst;
}

void Layout(ISource& source, const std::vector<Entry>& roots, const Rect& bounds, ISink& sink, const Options& options)
{
    CLayoutRun run;
    run.Start(roots, bounds, options);
    run.Step(source, sink, SIZE_MAX);
}

void CLayoutRun::Start(const std::vector<Entry>& roots, const Rect& bounds, const Options& options)
{
    m_options = options;
    m_stack.clear();
    m_entries = roots;
    LayLevel(nullptr, bounds, 0);
}

bool CLayoutRun::Step(ISource& source, ISink& sink, std::size_t maxTiles)
{
    for (std::size_t given = 0; given < maxTiles && !m_stack.empty(); ++given) {
        const Pending tile = m_stack.back();
        m_stack.pop_back();
        sink.OnTile(tile.rect, tile.entry.node, tile.kind, tile.depth);
        if (tile.kind != TileKind::Folder)
            continue;
        source.ChildrenOf(tile.entry.node, m_entries);
        LayLevel(tile.entry.node, tile.rect, tile.depth + 1);
    }
    return m_stack.empty();
}

void CLayoutRun::LayLevel(const void* folder, const Rect& rect, int depth)
{
    // In doubles: sizes near the type's limit would overflow a sum.
    double total = 0;
    for (const Entry& e : m_entries)
        total += static_cast<double>(std::max<std::int64_t>(0, e.size));
    const double area = rect.Area();
    if (total <= 0 || area <= 0) {
        m_entries.clear();
        return;
    }
    const double scale = area / total;
    // Only the entries worth a tile of their own are sorted; the rest
    // become one tile at the end.
    const double threshold = m_options.minTileArea / scale;
    auto big = std::partition(m_entries.begin(), m_entries.end(),
                              [&](const Entry& e) { return e.size > 0 && static_cast<double>(e.size) >= threshold; });
    double restSize = 0;
    for (auto it = big; it != m_entries.end(); ++it)
        restSize += static_cast<double>(std::max<std::int64_t>(0, it->size));
    m_entries.erase(big, m_entries.end());
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.size > b.size; });
    m_areas.clear();
    for (const Entry& e : m_entries)
        m_areas.push_back(static_cast<double>(e.size) * scale);
    if (restSize > 0)
        m_areas.push_back(restSize * scale);
    m_rects.clear();
    Squarify(m_areas, rect, m_rects);
    m_level.clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        const TileKind kind = !e.folder ? TileKind::File
                              : m_rects[i].Area() < m_options.minFolderArea ? TileKind::Folded
                                                                            : TileKind::Folder;
        m_level.push_back({e, m_rects[i], depth, kind});
    }
    if (restSize > 0)
        m_level.push_back({Entry{folder, 0, false}, m_rects.back(), depth, TileKind::Rest});
    m_stack.insert(m_stack.end(), m_level.rbegin(), m_level.rend());
    m_entries.clear();
}

} // namespace Velmora::Treemap

#include "app/treemap/TreemapView.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <unordered_set>

#include "app/FileSystemData.h"
#include "app/VelmoraView.h"
#include "app/treemap/TreemapLayout.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"
#include "gui/tooltip/TooltipCtrl.h"

namespace Velmora {

using Kestrum::Common::CDataObject;
using namespace Velmora::Treemap;

// The library's regular tooltip, shown at the mouse for a tile instead of a
// cell.
class CTreemapView::CTooltip : public Kestrum::GUI::CTooltipCtrl {
public:
    CTooltip() : CTooltipCtrl(false) {}
    void ShowText(const QString& text, QPoint global)
    {
        Kestrum::GUI::CGrid* grid = GetGrid();
        if (!grid)
            return;
        const Kestrum::GUI::TooltipSettings settings = grid->GetTooltipSettings(false);
        SetText(text);
        const Kestrum::GUI::CPoint cursor{global.x(), global.y()};
        const QSize size = Measure(text, settings);
        ShowAt(Place(cursor, size, CursorSize(), settings, VirtualScreen(cursor)), size, settings);
    }
};

namespace {
// How high a cushion's ridge is at the top level, and how much less at each
// level below (the published defaults give clear nesting).
constexpr double kRidge = 0.5;
constexpr double kRidgeFalloff = 0.75;
constexpr double kAmbient = 0.25, kDiffuse = 0.8;
// Light from the upper left, mostly from the front.
const double kLight[3] = {-0.09759, -0.19518, 0.9759};

constexpr QRgb kFocusColour = qRgb(255, 255, 0);
constexpr QRgb kFolderFrameColour = qRgb(255, 255, 255);
constexpr QRgb kEmptyColour = qRgb(48, 48, 48);

CDataObject* ParentOf(CDataObject* object)
{
    if (auto* folder = dynamic_cast<CFolderData*>(object))
        return folder->GetParent();
    if (auto* file = dynamic_cast<CFileData*>(object))
        return file->GetParent();
    return nullptr;
}

std::int64_t SizeOf(CDataObject* object, std::int32_t field)
{
    if (auto* folder = dynamic_cast<CFolderData*>(object))
        return field == FIELD_SIZE_ON_DISK ? folder->GetSizeOnDisk() : folder->GetSize();
    if (auto* file = dynamic_cast<CFileData*>(object))
        return field == FIELD_SIZE_ON_DISK ? file->GetSizeOnDisk() : file->GetSize();
    return 0;
}

// The live tree: a folder's lists are copied under its lock, the sizes are
// the running totals.
class CLiveSource : public ISource {
public:
    explicit CLiveSource(std::int32_t field) : m_field(field) {}
    void ChildrenOf(const void* node, std::vector<Entry>& out) override
    {
        auto* folder = static_cast<CFolderData*>(static_cast<CDataObject*>(const_cast<void*>(node)));
        for (CFolderData* child : folder->GetFolders())
            out.push_back({static_cast<CDataObject*>(child),
                           m_field == FIELD_SIZE_ON_DISK ? child->GetSizeOnDisk() : child->GetSize(), true});
        for (CFileData* file : folder->GetFiles())
            out.push_back({static_cast<CDataObject*>(file),
                           m_field == FIELD_SIZE_ON_DISK ? file->GetSizeOnDisk() : file->GetSize(), false});
    }

private:
    std::int32_t m_field;
};

std::int16_t Edge(double at)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(at), 0L, 32767L));
}

// The tiles in pixels; an edge is rounded once, so neighbours share it and
// nested tiles stay inside their folder's.
class CTileSink : public ISink {
public:
    // A null palette: the areas are not counted.
    CTileSink(std::vector<CTreemapView::Tile>& tiles, CPalette* palette) : m_tiles(tiles), m_palette(palette) {}
    void OnTile(const Rect& rect, const void* node, TileKind kind, int) override
    {
        auto* object = static_cast<CDataObject*>(const_cast<void*>(node));
        const bool folder = kind == TileKind::Folder || kind == TileKind::Folded || kind == TileKind::Rest;
        CTreemapView::Tile tile{reinterpret_cast<std::uintptr_t>(object) | (folder && object ? 1u : 0u), Edge(rect.x),
                                Edge(rect.y), Edge(rect.x + rect.w), Edge(rect.y + rect.h)};
        if (tile.right <= tile.left || tile.bottom <= tile.top)
            return;
        if (kind == TileKind::File && m_palette)
            m_palette->Count(static_cast<CFileData*>(object)->GetName().View(),
                            double(tile.right - tile.left) * (tile.bottom - tile.top));
        m_tiles.push_back(tile);
    }

private:
    std::vector<CTreemapView::Tile>& m_tiles;
    CPalette* m_palette;
};

bool Contains(const CTreemapView::Tile& outer, const CTreemapView::Tile& inner)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

QRect RectOf(const CTreemapView::Tile& tile)
{
    return QRect(QPoint(tile.left, tile.top), QPoint(tile.right - 1, tile.bottom - 1));
}

// The surface of a cushion along one axis: z = s1 x + s2 x^2.
struct Surface {
    double s1x = 0, s2x = 0, s1y = 0, s2y = 0;
    void AddRidge(const CTreemapView::Tile& tile, double height)
    {
        const double w = tile.right - tile.left, h = tile.bottom - tile.top;
        s1x += 4 * height * (tile.right + tile.left) / w;
        s2x -= 4 * height / w;
        s1y += 4 * height * (tile.bottom + tile.top) / h;
        s2y -= 4 * height / h;
    }
};

QRgb Shade(QRgb colour, double intensity)
{
    auto channel = [&](int value) { return std::clamp(static_cast<int>(value * intensity + 0.5), 0, 255); };
    return qRgb(channel(qRed(colour)), channel(qGreen(colour)), channel(qBlue(colour)));
}

void PaintCushion(QImage& image, const CTreemapView::Tile& tile, const Surface& surface, QRgb colour)
{
    for (int y = tile.top; y < tile.bottom; ++y) {
        const double ny = -(2 * surface.s2y * (y + 0.5) + surface.s1y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = tile.left; x < tile.right; ++x) {
            const double nx = -(2 * surface.s2x * (x + 0.5) + surface.s1x);
            const double cosine =
                (nx * kLight[0] + ny * kLight[1] + kLight[2]) / std::sqrt(nx * nx + ny * ny + 1.0);
            line[x] = Shade(colour, kAmbient + std::max(0.0, kDiffuse * cosine));
        }
    }
}

void PaintFlat(QImage& image, const CTreemapView::Tile& tile, QRgb colour)
{
    const QRgb frame = Shade(colour, 0.55);
    const bool framed = tile.right - tile.left >= 3 && tile.bottom - tile.top >= 3;
    for (int y = tile.top; y < tile.bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const bool edgeRow = framed && (y == tile.top || y == tile.bottom - 1);
        for (int x = tile.left; x < tile.right; ++x)
            line[x] = edgeRow || (framed && (x == tile.left || x == tile.right - 1)) ? frame : colour;
    }
}

// The paint's place in a list of tiles: the next tile and the folders open
// around it, so painting can stop after any tile and go on later.
struct PaintRun {
    struct Open {
        CTreemapView::Tile tile;
        Surface surface;
    };
    std::size_t next = 0;
    std::vector<Open> open;
    std::vector<double> ridges; // by depth
};

// Paints tiles from run.next on while `more()` answers true (asked after
// each tile); true when every tile is painted.
template <class More>
bool PaintSome(QImage& picture, const std::vector<CTreemapView::Tile>& tiles, const CPalette& colours,
               CTreemapView::Style style, PaintRun& run, More&& more)
{
    auto& open = run.open;
    auto& ridges = run.ridges;
    while (run.next < tiles.size()) {
        const std::size_t i = run.next++;
        const CTreemapView::Tile& tile = tiles[i];
        while (!open.empty() && !Contains(open.back().tile, tile))
            open.pop_back();
        // The rest of a folder names the folder it lies in.
        const bool rest = !tile.tagged || (!open.empty() && open.back().tile.tagged == tile.tagged);
        const bool folder = !rest && tile.IsFolder();
        Surface surface = open.empty() ? Surface{} : open.back().surface;
        while (ridges.size() <= open.size())
            ridges.push_back(ridges.empty() ? kRidge : ridges.back() * kRidgeFalloff);
        surface.AddRidge(tile, ridges[open.size()]);
        if (folder && i + 1 < tiles.size() && Contains(tile, tiles[i + 1])) {
            open.push_back({tile, surface}); // its entries cover it
            continue;
        }
        const QRgb colour = rest     ? kRestColour
                            : folder ? kFoldedColour
                                     : colours.ColourOf(static_cast<CFileData*>(tile.Object())->GetName().View());
        if (style == CTreemapView::Style::Cushion)
            PaintCushion(picture, tile, surface, colour);
        else
            PaintFlat(picture, tile, colour);
        if (!more())
            break;
    }
    return run.next == tiles.size();
}

QString HumanSize(std::int64_t bytes)
{
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    return unit == 0 ? QString("%1 bytes").arg(bytes)
                     : QString("%1 %2 (%3 bytes)").arg(value, 0, 'f', 1).arg(units[unit]).arg(QLocale().toString(qlonglong(bytes)));
}
} // namespace

// A picture made a slice at a time while a walk goes on: the layout's run
// over the live tree, the tiles and the picture being made, and the paint's
// place. The view's tiles and picture stay what they were until it is whole.
struct CTreemapView::CBuild {
    Treemap::CLayoutRun layout;
    std::vector<Tile> tiles;
    Treemap::CPalette palette; // counts the areas when no colour source is set
    const Treemap::CPalette* colours = nullptr;
    QImage picture;
    PaintRun paint;
    bool laidOut = false;
    double busyMs = 0; // by the steady clock, over the slices
};

CTreemapView::CTreemapView(QWidget* parent) : QWidget(parent), m_field(FIELD_SIZE)
{
    m_sliceTimer.setSingleShot(true);
    connect(&m_sliceTimer, &QTimer::timeout, this, [this] { ContinueBuild(); });
    setObjectName("treemap");
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(40);
}

CTreemapView::~CTreemapView() = default;

void CTreemapView::SetRoots(std::vector<CFolderData*> roots)
{
    if (roots == m_roots && (m_reading || roots.empty()))
        return;
    m_reading = m_reading || !roots.empty();
    m_roots = std::move(roots);
    m_stale = true;
    update();
}

void CTreemapView::SetAreaField(std::int32_t field)
{
    field = field == FIELD_SIZE_ON_DISK ? FIELD_SIZE_ON_DISK : FIELD_SIZE;
    if (field == m_field)
        return;
    m_field = field;
    m_stale = true;
    update();
}

void CTreemapView::SetStyle(Style style)
{
    if (style == m_style)
        return;
    m_style = style;
    m_build.reset(); // half painted in the other style
    m_sliceTimer.stop();
    // The tiles stay; only the shading changes.
    if (!m_picture.isNull() && !m_stale)
        PaintTiles();
    update();
}

void CTreemapView::Relayout()
{
    m_build.reset(); // the picture is made whole now
    m_sliceTimer.stop();
    if (!m_reading) {
        // Held: the picture of before, dimmed, at the new size.
        const QSize shown = size().boundedTo(QSize(32767, 32767)).expandedTo(QSize(1, 1));
        if (m_picture.isNull()) {
            m_picture = QImage(shown, QImage::Format_RGB32);
            m_picture.fill(kEmptyColour);
        } else if (m_picture.size() != shown) {
            m_picture = m_picture.scaled(shown);
        }
        m_stale = false;
        update();
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    LayOutTiles();
    PaintTiles();
    FindFocusRects();
    m_lastLayoutMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    m_stale = false;
    m_laidOutAt = Kestrum::GUI::GridClockNow();
    ++m_layouts;
    update();
    if (onLaidOut)
        onLaidOut();
}

bool CTreemapView::RelayoutIfDue()
{
    if (!isVisible() || m_build || Kestrum::GUI::GridClockNow() - m_laidOutAt < kRelayoutInterval)
        return false;
    Rebuild();
    return true;
}

std::vector<Entry> CTreemapView::ShownRoots() const
{
    std::vector<Entry> roots;
    if (m_zoom)
        roots.push_back({static_cast<CDataObject*>(m_zoom), SizeOf(m_zoom, m_field), true});
    else
        for (CFolderData* root : m_roots)
            roots.push_back({static_cast<CDataObject*>(root), SizeOf(root, m_field), true});
    return roots;
}

void CTreemapView::Rebuild()
{
    if (!m_reading || m_stale || m_picture.isNull()) {
        Relayout(); // nothing to keep showing meanwhile
        return;
    }
    m_build = std::make_unique<CBuild>();
    const QSize size = this->size().boundedTo(QSize(32767, 32767));
    m_build->layout.Start(ShownRoots(), Rect{0, 0, double(size.width()), double(size.height())});
    m_build->tiles.reserve(m_tiles.size());
    m_build->palette = m_palette;
    m_laidOutAt = Kestrum::GUI::GridClockNow();
    ContinueBuild();
}

void CTreemapView::ContinueBuild()
{
    if (!m_build)
        return;
    CBuild& build = *m_build;
    const auto steadyStart = std::chrono::steady_clock::now();
    const std::int64_t sliceStart = Kestrum::GUI::GridClockNow();
    // The clock ends a slice; the counts end one where it does not move (a
    // test's clock).
    std::size_t steps = 0, painted = 0;
    const auto inTime = [&] { return Kestrum::GUI::GridClockNow() - sliceStart < kSliceMs; };
    const auto more = [&] { return ++steps < kSliceSteps && inTime(); };
    const auto paintMore = [&] { return ++painted < kSliceTiles && inTime(); };
    if (!build.laidOut) {
        CLiveSource source(m_field);
        CTileSink sink(build.tiles, colourSource ? nullptr : &build.palette);
        while (!(build.laidOut = build.layout.Step(source, sink, kLayoutStepTiles)) && more()) {
        }
        if (build.laidOut) {
            if (colourSource) {
                build.colours = &colourSource();
            } else {
                build.palette.Assign();
                build.colours = &build.palette;
            }
            build.picture = QImage(size().boundedTo(QSize(32767, 32767)).expandedTo(QSize(1, 1)), QImage::Format_RGB32);
            build.picture.fill(kEmptyColour);
        }
    }
    const bool whole = build.laidOut && inTime() &&
                       PaintSome(build.picture, build.tiles, *build.colours, m_style, build.paint, paintMore);
    build.busyMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - steadyStart).count();
    if (!whole) {
        m_sliceTimer.start(0);
        return;
    }
    m_tiles.swap(build.tiles);
    if (m_tiles.capacity() > m_tiles.size() + m_tiles.size() / 2)
        m_tiles.shrink_to_fit();
    m_picture.swap(build.picture);
    if (colourSource) {
        m_colours = build.colours;
    } else {
        m_palette = std::move(build.palette);
        m_colours = &m_palette;
    }
    m_lastLayoutMs = build.busyMs;
    m_build.reset();
    ++m_layouts;
    FindFocusRects();
    update();
    if (onLaidOut)
        onLaidOut();
}

void CTreemapView::Forget()
{
    m_build.reset(); // it holds objects of the tree too
    m_sliceTimer.stop();
    m_tiles.clear();
    m_tiles.shrink_to_fit();
    m_roots.clear();
    m_reading = false;
    m_zoom = nullptr;
    m_focused = nullptr;
    m_hovered = nullptr;
    m_focusRect = m_folderRect = QRect();
    HideTooltip();
    // What was there shows dimmed until the next layout.
    if (!m_picture.isNull()) {
        QPainter painter(&m_picture);
        painter.fillRect(m_picture.rect(), QColor(0, 0, 0, 128));
    }
    update();
}

void CTreemapView::LayOutTiles()
{
    m_tiles.clear(); // the capacity stays: the next picture has about as many tiles
    const std::vector<Entry> roots = ShownRoots();
    CLiveSource source(m_field);
    CTileSink sink(m_tiles, colourSource ? nullptr : &m_palette);
    const QSize size = this->size().boundedTo(QSize(32767, 32767));
    Layout(source, roots, Rect{0, 0, double(size.width()), double(size.height())}, sink);
    if (colourSource) {
        m_colours = &colourSource();
    } else {
        m_palette.Assign();
        m_colours = &m_palette;
    }
    if (m_tiles.capacity() > m_tiles.size() + m_tiles.size() / 2)
        m_tiles.shrink_to_fit(); // a zoom or a smaller window keeps no room for the larger picture
}

void CTreemapView::PaintTiles()
{
    const QSize size = this->size().boundedTo(QSize(32767, 32767));
    if (m_picture.size() != size)
        m_picture = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_picture.fill(kEmptyColour);
    PaintRun run;
    PaintSome(m_picture, m_tiles, *m_colours, m_style, run, [] { return true; });
}

void CTreemapView::FindFocusRects()
{
    m_focusRect = m_folderRect = QRect();
    if (!m_focused || m_tiles.empty())
        return;
    // The focused object's tile, or its nearest ancestor's; then the
    // nearest ancestor of that tile's object.
    std::vector<CDataObject*> chain;
    for (CDataObject* object = m_focused; object; object = ParentOf(object))
        chain.push_back(object);
    std::vector<const Tile*> found(chain.size(), nullptr);
    for (const Tile& tile : m_tiles) {
        const auto at = std::find(chain.begin(), chain.end(), tile.Object());
        if (at != chain.end() && !found[at - chain.begin()])
            found[at - chain.begin()] = &tile;
    }
    std::size_t level = 0;
    while (level < chain.size() && !found[level])
        ++level;
    if (level == chain.size())
        return;
    m_focusRect = RectOf(*found[level]);
    for (std::size_t up = level + 1; up < chain.size(); ++up)
        if (found[up]) {
            m_folderRect = RectOf(*found[up]);
            break;
        }
}

void CTreemapView::ZoomTo(CFolderData* folder)
{
    m_zoom = folder;
    m_stale = true;
    update();
}

void CTreemapView::ZoomInto(CDataObject* object)
{
    CFolderData* folder = CVelmoraView::FolderOf(object);
    if (folder && folder != m_zoom)
        ZoomTo(folder);
}

void CTreemapView::ZoomOut()
{
    if (!m_zoom)
        return;
    CFolderData* parent = m_zoom->GetParent();
    const bool isRoot = std::find(m_roots.begin(), m_roots.end(), m_zoom) != m_roots.end();
    // With one root, its picture is Home's.
    ZoomTo(isRoot || !parent || (m_roots.size() == 1 && parent == m_roots.front()) ? nullptr : parent);
}

void CTreemapView::ZoomHome() { ZoomTo(nullptr); }

void CTreemapView::SetFocusedObject(CDataObject* object)
{
    m_focused = object;
    FindFocusRects();
    update();
}

CDataObject* CTreemapView::ObjectAt(QPoint point) const
{
    // Tiles that hold a point nest, and come in preorder: the last is the
    // deepest.
    const Tile* deepest = nullptr;
    for (const Tile& tile : m_tiles)
        if (point.x() >= tile.left && point.x() < tile.right && point.y() >= tile.top && point.y() < tile.bottom)
            deepest = &tile;
    return deepest ? deepest->Object() : nullptr;
}

QRect CTreemapView::TileRectOf(CDataObject* object) const
{
    for (; object; object = ParentOf(object))
        for (const Tile& tile : m_tiles)
            if (tile.Object() == object)
                return RectOf(tile);
    return {};
}

QString CTreemapView::DescriptionOf(CDataObject* object)
{
    if (!object)
        return {};
    return QString("%1\n%2").arg(CVelmoraView::FullNameOf(object), HumanSize(SizeOf(object, FIELD_SIZE)));
}

const QImage& CTreemapView::CurrentPicture()
{
    if (m_stale || m_picture.isNull())
        Relayout();
    return m_picture;
}

bool CTreemapView::SaveImage(const QString& file) { return CurrentPicture().save(file, "PNG"); }

void CTreemapView::AttachTooltip(Kestrum::GUI::CGrid& grid)
{
    m_tooltip = std::make_unique<CTooltip>();
    m_tooltip->Attach(&grid);
}

QString CTreemapView::TooltipText() const
{
    return m_tooltip && m_tooltip->GetWindow() && m_tooltip->GetWindow()->isVisible() ? m_tooltip->GetText() : QString();
}

void CTreemapView::HideTooltip()
{
    if (m_tooltip)
        m_tooltip->Hide();
}

void CTreemapView::paintEvent(QPaintEvent*)
{
    if (m_stale || m_picture.size() != size().boundedTo(QSize(32767, 32767)))
        Relayout();
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
    if (!m_folderRect.isNull()) {
        painter.setPen(QPen(QColor(kFolderFrameColour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_folderRect.adjusted(0, 0, -1, -1));
    }
    if (!m_focusRect.isNull()) {
        painter.setPen(QPen(QColor(kFocusColour), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(m_focusRect).adjusted(1, 1, -1, -1));
    }
}

void CTreemapView::resizeEvent(QResizeEvent* event)
{
    m_stale = true;
    QWidget::resizeEvent(event);
}

void CTreemapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (CDataObject* object = ObjectAt(event->position().toPoint()); object && onActivated)
        onActivated(object);
}

void CTreemapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    HideTooltip();
    ZoomInto(ObjectAt(event->position().toPoint()));
}

void CTreemapView::mouseMoveEvent(QMouseEvent* event)
{
    CDataObject* object = ObjectAt(event->position().toPoint());
    if (object == m_hovered)
        return;
    m_hovered = object;
    const QString text = DescriptionOf(object);
    if (text.isEmpty())
        HideTooltip();
    else if (m_tooltip)
        m_tooltip->ShowText(text, event->globalPosition().toPoint());
    if (onStatus)
        onStatus(QString(text).replace('\n', " - "));
}

void CTreemapView::leaveEvent(QEvent* event)
{
    m_hovered = nullptr;
    HideTooltip();
    if (onStatus)
        onStatus({});
    QWidget::leaveEvent(event);
}

void CTreemapView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: ZoomInto(m_focused); break;
    case Qt::Key_Backspace: ZoomOut(); break;
    case Qt::Key_Home: ZoomHome(); break;
    default: QWidget::keyPressEvent(event);
    }
}

} // namespace Velmora

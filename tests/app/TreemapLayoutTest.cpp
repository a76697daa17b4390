// The treemap's layout on generated trees: areas proportional to sizes,
// tiles inside their folders and apart from each other, rows no more
// elongated than slicing would make them, nothing for empty entries, and a
// lone file filling its folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "app/treemap/TreemapColours.h"
#include "app/treemap/TreemapLayout.h"

using namespace Velmora::Treemap;

namespace {

struct Node {
    std::int64_t size = 0;
    std::vector<std::unique_ptr<Node>> children;
    bool folder = false;
};

class CTreeSource : public ISource {
public:
    void ChildrenOf(const void* folder, std::vector<Entry>& out) override
    {
        for (const auto& child : static_cast<const Node*>(folder)->children)
            out.push_back({child.get(), child->size, child->folder});
    }
};

struct Tile {
    Rect rect;
    const Node* node;
    TileKind kind;
    int parent; // index of the enclosing folder's tile, -1 at the top
};

class CCollector : public ISink {
public:
    std::vector<Tile> tiles;
    void OnTile(const Rect& rect, const void* node, TileKind kind, int depth) override
    {
        m_open.resize(static_cast<std::size_t>(depth));
        tiles.push_back({rect, static_cast<const Node*>(node), kind, depth > 0 ? m_open.back() : -1});
        if (kind == TileKind::Folder)
            m_open.push_back(static_cast<int>(tiles.size() - 1));
    }

private:
    std::vector<int> m_open;
};

// A folder's size is its entries' sum, as the walk's running totals are.
std::int64_t Grow(Node& folder, std::mt19937_64& random, int depth)
{
    std::uniform_int_distribution<int> fanOut(0, depth == 0 ? 14 : 9);
    std::uniform_real_distribution<double> magnitude(0, 9);
    const int count = fanOut(random);
    for (int i = 0; i < count; ++i) {
        auto child = std::make_unique<Node>();
        if (depth < 4 && random() % 3 == 0) {
            child->folder = true;
            child->size = Grow(*child, random, depth + 1);
        } else {
            // Log-uniform sizes, one in eight empty.
            child->size = random() % 8 == 0 ? 0 : static_cast<std::int64_t>(std::pow(10.0, magnitude(random)));
        }
        folder.size += child->size;
        folder.children.push_back(std::move(child));
    }
    folder.folder = true;
    return folder.size;
}

double Overlap(const Rect& a, const Rect& b)
{
    const double w = std::min(a.x + a.w, b.x + b.w) - std::max(a.x, b.x);
    const double h = std::min(a.y + a.h, b.y + b.h) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

bool Inside(const Rect& inner, const Rect& outer)
{
    constexpr double e = 1e-6;
    return inner.x >= outer.x - e && inner.y >= outer.y - e && inner.x + inner.w <= outer.x + outer.w + e &&
           inner.y + inner.h <= outer.y + outer.h + e;
}

// Slices along the longer side: the layout squarified rows must not lose to.
double SliceWorst(const std::vector<double>& areas, const Rect& rect)
{
    const double total = std::accumulate(areas.begin(), areas.end(), 0.0);
    std::vector<Rect> slices;
    for (double area : areas) {
        const double share = area / total;
        slices.push_back(rect.w >= rect.h ? Rect{0, 0, rect.w * share, rect.h} : Rect{0, 0, rect.w, rect.h * share});
    }
    return WorstAspect(slices);
}

class TreemapLayoutOnGeneratedTrees : public ::testing::TestWithParam<int> {};

TEST_P(TreemapLayoutOnGeneratedTrees, HoldsItsProperties)
{
    std::mt19937_64 random(static_cast<std::uint64_t>(GetParam()));
    Node root;
    Grow(root, random, 0);
    const Rect bounds[] = {{0, 0, 1920, 1080}, {0, 0, 300, 900}, {10, 20, 640, 480}};
    const Rect& area = bounds[GetParam() % 3];
    CTreeSource source;
    CCollector sink;
    Layout(source, {Entry{&root, root.size, true}}, area, sink, Options{36, 0.5});
    if (root.size == 0) {
        EXPECT_TRUE(sink.tiles.empty());
        return;
    }
    const double perByte = area.Area() / static_cast<double>(root.size);
    for (std::size_t i = 0; i < sink.tiles.size(); ++i) {
        const Tile& tile = sink.tiles[i];
        SCOPED_TRACE(i);
        if (tile.kind != TileKind::Rest) {
            EXPECT_GT(tile.node->size, 0) << "an empty entry drew a tile";
            if (tile.rect.Area() >= 100) {
                EXPECT_NEAR(tile.rect.Area(), static_cast<double>(tile.node->size) * perByte, tile.rect.Area() * 0.01);
            }
        }
        EXPECT_TRUE(Inside(tile.rect, tile.parent < 0 ? area : sink.tiles[static_cast<std::size_t>(tile.parent)].rect));
        // Siblings, and so every pair not nested, share no area.
        for (std::size_t j = i + 1; j < sink.tiles.size(); ++j) {
            if (sink.tiles[j].parent == tile.parent) {
                EXPECT_LT(Overlap(tile.rect, sink.tiles[j].rect), 1e-6) << "tiles " << i << " and " << j;
            }
        }
    }
    // Each folder's row layout against slicing the same sizes.
    for (std::size_t f = 0; f < sink.tiles.size(); ++f) {
        if (sink.tiles[f].kind != TileKind::Folder)
            continue;
        std::vector<Rect> rects;
        std::vector<double> areas;
        for (const Tile& tile : sink.tiles)
            if (tile.parent == static_cast<int>(f)) {
                rects.push_back(tile.rect);
                areas.push_back(tile.rect.Area());
            }
        if (!areas.empty()) {
            EXPECT_LE(WorstAspect(rects), SliceWorst(areas, sink.tiles[f].rect) * (1 + 1e-6)) << "folder " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TreemapLayoutOnGeneratedTrees, ::testing::Range(1, 41));

TEST(TreemapLayout, ALoneFileFillsItsFolderAndEmptyEntriesDrawNothing)
{
    for (const std::int64_t huge : {std::int64_t{1}, std::int64_t{1} << 40, INT64_MAX}) {
        Node root;
        auto folder = std::make_unique<Node>();
        folder->folder = true;
        folder->children.push_back(std::make_unique<Node>(Node{huge, {}, false}));
        folder->children.push_back(std::make_unique<Node>(Node{0, {}, false}));
        folder->children.push_back(std::make_unique<Node>(Node{0, {}, true}));
        folder->size = huge;
        const Node* file = folder->children.front().get();
        root.children.push_back(std::move(folder));
        root.children.push_back(std::make_unique<Node>(Node{huge, {}, false}));
        CTreeSource source;
        CCollector sink;
        Layout(source, {Entry{&root, INT64_MAX, true}}, Rect{0, 0, 400, 300}, sink);
        ASSERT_EQ(sink.tiles.size(), 4u) << "the root, the folder, its file and the root's file";
        const Rect& folderRect = sink.tiles[1].rect;
        ASSERT_EQ(sink.tiles[2].node, file);
        EXPECT_DOUBLE_EQ(sink.tiles[2].rect.x, folderRect.x);
        EXPECT_DOUBLE_EQ(sink.tiles[2].rect.y, folderRect.y);
        EXPECT_DOUBLE_EQ(sink.tiles[2].rect.w, folderRect.w);
        EXPECT_DOUBLE_EQ(sink.tiles[2].rect.h, folderRect.h);
        EXPECT_NEAR(folderRect.Area(), 400 * 300 / 2.0, 1e-6);
    }
}

TEST(TreemapLayout, SmallFoldersAreOneTileAndTinyEntriesOneRest)
{
    // A folder of 1,000 one-byte files beside a big file, in 100 x 100
    // pixels: the folder is under a few pixels and never read.
    Node root;
    root.children.push_back(std::make_unique<Node>(Node{1'000'000, {}, false}));
    auto many = std::make_unique<Node>(Node{0, {}, true});
    for (int i = 0; i < 1'000; ++i)
        many->children.push_back(std::make_unique<Node>(Node{1, {}, false}));
    many->size = 1'000;
    root.children.push_back(std::move(many));
    for (int i = 0; i < 5'000; ++i)
        root.children.push_back(std::make_unique<Node>(Node{1, {}, false}));
    root.size = 1'006'000;
    class CCountingSource : public CTreeSource {
    public:
        int asked = 0;
        void ChildrenOf(const void* folder, std::vector<Entry>& out) override
        {
            ++asked;
            CTreeSource::ChildrenOf(folder, out);
        }
    } source;
    CCollector sink;
    Layout(source, {Entry{&root, root.size, true}}, Rect{0, 0, 100, 100}, sink, Options{36, 2});
    EXPECT_EQ(source.asked, 1) << "only the root's entries are read";
    ASSERT_EQ(sink.tiles.size(), 4u);
    EXPECT_EQ(sink.tiles[1].kind, TileKind::File);
    EXPECT_EQ(sink.tiles[2].kind, TileKind::Folded);
    EXPECT_EQ(sink.tiles[3].kind, TileKind::Rest);
    EXPECT_NEAR(sink.tiles[3].rect.Area(), 5'000 * 1e4 / 1'006'000.0, 1e-6);
}

TEST(TreemapColours, MostAreaGetsTheColoursAndKeepsThem)
{
    EXPECT_EQ(ExtensionOf("Photo.JPG"), "jpg");
    EXPECT_EQ(ExtensionOf("libz.so.1.3"), "so");
    EXPECT_EQ(ExtensionOf(".bashrc"), "");
    EXPECT_EQ(ExtensionOf("README"), "");
    CPalette palette;
    palette.Count("a.txt", 10);
    palette.Count("b.bin", 30);
    EXPECT_TRUE(palette.Assign());
    EXPECT_EQ(palette.ColourOf("x.bin"), CPalette::kColourOf[0]);
    EXPECT_EQ(palette.ColourOf("x.txt"), CPalette::kColourOf[1]);
    EXPECT_EQ(palette.ColourOf("x.none"), kOtherColour);
    // Later the text files take more room: each keeps its colour.
    palette.Count("a.txt", 50);
    palette.Count("b.bin", 30);
    EXPECT_FALSE(palette.Assign());
    EXPECT_EQ(palette.ColourOf("x.txt"), CPalette::kColourOf[1]);
}

} // namespace

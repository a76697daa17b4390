// CRowList: the shown rows of a tree in paint order, as a counted B+ tree.
// Finding a row by index, finding an item's index, inserting a block and
// cutting a block all cost O(log n), so a million rows can change at random
// places without renumbering. Each shown item points at the leaf holding it.
#pragma once

#include "gui/platform/Export.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Kestrum::GUI {

class CGridItem;

class KESTRUM_GRIDCORE_EXPORT CRowList {
public:
    struct Node;
    struct Leaf;
    struct Inner;

    CRowList();
    CRowList(const CRowList&) = delete;
    CRowList& operator=(const CRowList&) = delete;
    ~CRowList();

    int Size() const noexcept;
    bool Empty() const noexcept { return Size() == 0; }
    CGridItem* At(int index) const;
    // The index of a shown item, or -1 when it has no row here.
    int IndexOf(const CGridItem* item) const;
    // Inserts items at `index` in order and links each to its leaf.
    void Insert(int index, const std::vector<CGridItem*>& items);
    // Inserts one item (the common case of a row added under an open parent).
    void Insert(int index, CGridItem* item) { InsertOne(std::clamp(index, 0, Size()), item); }
    // Inserts one item right after `anchor`'s row (first when null) without
    // working out an index: the anchor's leaf is known.
    void InsertAfter(const CGridItem* anchor, CGridItem* item);
    // Cuts `count` rows from `index`, unlinking them; returns them in order.
    std::vector<CGridItem*> Erase(int index, int count);
    // Replaces the whole list (items are linked; former rows unlinked).
    void Assign(const std::vector<CGridItem*>& items);
    // The same rows in a new order (a re-sort): `items` must hold every row
    // once and nothing else, so no row needs unlinking first (a list of
    // another length falls back to Assign).
    void Reorder(const std::vector<CGridItem*>& items);
    void Clear();
    // Every row in order.
    std::vector<CGridItem*> Items() const;
    // Changes with every insertion, cut and replacement: a row index worked
    // out at one version holds while the version is the same.
    std::uint64_t Version() const noexcept { return m_version; }

private:
    void InsertOne(int index, CGridItem* item);
    // Replaces the contents, building the tree bottom up.
    void Build(const std::vector<CGridItem*>& items);
    // Builds the tree from `items` over an empty list.
    void BuildNodes(const std::vector<CGridItem*>& items);
    void SplitLeaf(Leaf* leaf);
    void SplitInner(Inner* inner);
    void AddCount(Node* node, int delta);
    void RemoveNode(Node* node);
    Leaf* FindLeaf(int& index) const;

    std::unique_ptr<Node, void (*)(Node*)> m_root;
    std::uint64_t m_version = 0;
};

} // namespace Kestrum::GUI

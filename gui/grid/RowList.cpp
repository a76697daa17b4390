#include "gui/grid/RowList.h"

#include <algorithm>

#include "gui/grid/GridItem.h"

namespace Kestrum::GUI {

namespace {
constexpr std::size_t kLeafMax = 128;
constexpr std::size_t kInnerMax = 64;
} // namespace

struct CRowList::Node {
    explicit Node(bool isLeaf) : leaf(isLeaf) {}
    Inner* parent = nullptr;
    int count = 0;
    int position = 0; // among the parent's children, kept by Recount
    bool leaf;
};

struct CRowList::Leaf : Node {
    Leaf() : Node(true) { items.reserve(kLeafMax + 1); }
    std::vector<CGridItem*> items;
};

struct CRowList::Inner : Node {
    Inner() : Node(false) {}
    std::vector<Node*> children;
    // The children's counts side by side: finding an index or a row's
    // position reads one array instead of one node per child.
    std::vector<int> counts;

    // Every change of `children` ends here: the counts and each child's
    // position are taken again.
    void Recount()
    {
        counts.resize(children.size());
        for (std::size_t i = 0; i < children.size(); ++i) {
            counts[i] = children[i]->count;
            children[i]->position = static_cast<int>(i);
        }
    }
};

namespace {
void DeleteNode(CRowList::Node* node);
} // namespace

namespace {
void DeleteNode(CRowList::Node* node)
{
    if (!node)
        return;
    std::vector<CRowList::Node*> stack = {node};
    while (!stack.empty()) {
        CRowList::Node* current = stack.back();
        stack.pop_back();
        if (current->leaf) {
            delete static_cast<CRowList::Leaf*>(current);
        } else {
            auto* inner = static_cast<CRowList::Inner*>(current);
            stack.insert(stack.end(), inner->children.begin(), inner->children.end());
            delete inner;
        }
    }
}

std::size_t PositionInParent(const CRowList::Node* node) { return static_cast<std::size_t>(node->position); }
} // namespace

CRowList::CRowList() : m_root(new Leaf, &DeleteNode) {}

CRowList::~CRowList() { Clear(); }

int CRowList::Size() const noexcept { return m_root->count; }

CRowList::Leaf* CRowList::FindLeaf(int& index) const
{
    // Descends to the leaf holding `index`; an index equal to the size
    // lands at the end of the last leaf (for appending).
    Node* node = m_root.get();
    while (!node->leaf) {
        auto* inner = static_cast<Inner*>(node);
        const std::size_t last = inner->children.size() - 1;
        std::size_t i = 0;
        for (; i < last && index >= inner->counts[i]; ++i)
            index -= inner->counts[i];
        node = inner->children[i];
    }
    return static_cast<Leaf*>(node);
}

CGridItem* CRowList::At(int index) const
{
    if (index < 0 || index >= Size())
        return nullptr;
    Leaf* leaf = FindLeaf(index);
    return leaf->items[static_cast<std::size_t>(index)];
}

int CRowList::IndexOf(const CGridItem* item) const
{
    if (!item || !item->RowLeaf())
        return -1;
    const auto* leaf = static_cast<const Leaf*>(item->RowLeaf());
    const auto found = std::find(leaf->items.begin(), leaf->items.end(), item);
    if (found == leaf->items.end())
        return -1;
    int index = static_cast<int>(found - leaf->items.begin());
    for (const Node* node = leaf; node->parent; node = node->parent) {
        const Inner* parent = node->parent;
        const std::size_t position = PositionInParent(node);
        for (std::size_t i = 0; i < position; ++i)
            index += parent->counts[i];
    }
    return index;
}

void CRowList::AddCount(Node* node, int delta)
{
    for (; node; node = node->parent) {
        node->count += delta;
        if (node->parent)
            node->parent->counts[PositionInParent(node)] += delta;
    }
}

void CRowList::InsertOne(int index, CGridItem* item)
{
    ++m_version;
    Leaf* leaf = FindLeaf(index);
    leaf->items.insert(leaf->items.begin() + index, item);
    item->SetRowLeaf(leaf);
    AddCount(leaf, 1);
    if (leaf->items.size() > kLeafMax)
        SplitLeaf(leaf);
}

void CRowList::InsertAfter(const CGridItem* anchor, CGridItem* item)
{
    ++m_version;
    Leaf* leaf = anchor ? static_cast<Leaf*>(anchor->RowLeaf()) : nullptr;
    if (!leaf) {
        InsertOne(0, item);
        return;
    }
    const auto found = std::find(leaf->items.begin(), leaf->items.end(), anchor);
    leaf->items.insert(found == leaf->items.end() ? found : found + 1, item);
    item->SetRowLeaf(leaf);
    AddCount(leaf, 1);
    if (leaf->items.size() > kLeafMax)
        SplitLeaf(leaf);
}

void CRowList::Insert(int index, const std::vector<CGridItem*>& items)
{
    ++m_version;
    index = std::clamp(index, 0, Size());
    // A block that is large against the list is spliced and the tree built
    // again in one pass, cheaper than a descent per item.
    const std::size_t size = static_cast<std::size_t>(Size());
    if (items.size() >= 64 && items.size() * 16 >= size) {
        std::vector<CGridItem*> all = Items();
        all.insert(all.begin() + index, items.begin(), items.end());
        Build(all);
        return;
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        InsertOne(index + static_cast<int>(i), items[i]);
}

void CRowList::Build(const std::vector<CGridItem*>& items)
{
    Clear();
    BuildNodes(items);
}

void CRowList::BuildNodes(const std::vector<CGridItem*>& items)
{
    ++m_version;
    if (items.empty())
        return;
    // Nodes are filled to three quarters, leaving room for later inserts.
    constexpr std::size_t kLeafFill = kLeafMax * 3 / 4;
    constexpr std::size_t kInnerFill = kInnerMax * 3 / 4;
    std::vector<Node*> level;
    level.reserve(items.size() / kLeafFill + 1);
    for (std::size_t first = 0; first < items.size(); first += kLeafFill) {
        auto* leaf = new Leaf;
        const std::size_t last = std::min(first + kLeafFill, items.size());
        leaf->items.assign(items.begin() + static_cast<std::ptrdiff_t>(first),
                           items.begin() + static_cast<std::ptrdiff_t>(last));
        for (CGridItem* item : leaf->items)
            item->SetRowLeaf(leaf);
        leaf->count = static_cast<int>(last - first);
        level.push_back(leaf);
    }
    while (level.size() > 1) {
        std::vector<Node*> upper;
        upper.reserve(level.size() / kInnerFill + 1);
        for (std::size_t first = 0; first < level.size(); first += kInnerFill) {
            auto* inner = new Inner;
            const std::size_t last = std::min(first + kInnerFill, level.size());
            inner->children.assign(level.begin() + static_cast<std::ptrdiff_t>(first),
                                   level.begin() + static_cast<std::ptrdiff_t>(last));
            for (Node* child : inner->children) {
                child->parent = inner;
                inner->count += child->count;
            }
            inner->Recount();
            upper.push_back(inner);
        }
        level.swap(upper);
    }
    m_root.reset(level.front());
}

void CRowList::SplitLeaf(Leaf* leaf)
{
    auto* right = new Leaf;
    const std::size_t half = leaf->items.size() / 2;
    right->items.assign(leaf->items.begin() + static_cast<std::ptrdiff_t>(half), leaf->items.end());
    leaf->items.resize(half);
    for (CGridItem* item : right->items)
        item->SetRowLeaf(right);
    right->count = static_cast<int>(right->items.size());
    leaf->count = static_cast<int>(leaf->items.size());
    if (!leaf->parent) {
        auto* root = new Inner;
        m_root.release();
        m_root.reset(root);
        root->children = {leaf, right};
        root->Recount();
        root->count = leaf->count + right->count;
        leaf->parent = root;
        right->parent = root;
        return;
    }
    Inner* parent = leaf->parent;
    right->parent = parent;
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(PositionInParent(leaf)) + 1, right);
    parent->Recount();
    if (parent->children.size() > kInnerMax)
        SplitInner(parent);
}

void CRowList::SplitInner(Inner* inner)
{
    auto* right = new Inner;
    const std::size_t half = inner->children.size() / 2;
    right->children.assign(inner->children.begin() + static_cast<std::ptrdiff_t>(half), inner->children.end());
    inner->children.resize(half);
    right->count = 0;
    for (Node* child : right->children) {
        child->parent = right;
        right->count += child->count;
    }
    inner->count -= right->count;
    inner->Recount();
    right->Recount();
    if (!inner->parent) {
        auto* root = new Inner;
        m_root.release();
        m_root.reset(root);
        root->children = {inner, right};
        root->Recount();
        root->count = inner->count + right->count;
        inner->parent = root;
        right->parent = root;
        return;
    }
    Inner* parent = inner->parent;
    right->parent = parent;
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(PositionInParent(inner)) + 1,
                            right);
    parent->Recount();
    if (parent->children.size() > kInnerMax)
        SplitInner(parent);
}

void CRowList::RemoveNode(Node* node)
{
    // Removes an empty node, and parents that become empty; a root with one
    // child is replaced by that child.
    while (node->parent) {
        Inner* parent = node->parent;
        parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(PositionInParent(node)));
        parent->Recount();
        node->parent = nullptr;
        DeleteNode(node);
        if (!parent->children.empty())
            break;
        node = parent;
    }
    while (!m_root->leaf && static_cast<Inner*>(m_root.get())->children.size() == 1) {
        auto* oldRoot = static_cast<Inner*>(m_root.release());
        Node* child = oldRoot->children.front();
        oldRoot->children.clear();
        child->parent = nullptr;
        delete oldRoot;
        m_root.reset(child);
    }
    if (!m_root->leaf && static_cast<Inner*>(m_root.get())->children.empty()) {
        m_root.reset(new Leaf);
    }
}

std::vector<CGridItem*> CRowList::Erase(int index, int count)
{
    ++m_version;
    std::vector<CGridItem*> removed;
    if (index < 0 || count <= 0 || index >= Size())
        return removed;
    count = std::min(count, Size() - index);
    removed.reserve(static_cast<std::size_t>(count));
    while (count > 0) {
        int offset = index;
        Leaf* leaf = FindLeaf(offset);
        const int take = std::min(count, static_cast<int>(leaf->items.size()) - offset);
        auto first = leaf->items.begin() + offset;
        for (auto it = first; it != first + take; ++it) {
            (*it)->SetRowLeaf(nullptr);
            removed.push_back(*it);
        }
        leaf->items.erase(first, first + take);
        AddCount(leaf, -take);
        count -= take;
        if (leaf->items.empty() && leaf->parent)
            RemoveNode(leaf);
    }
    return removed;
}

void CRowList::Clear()
{
    ++m_version;
    for (CGridItem* item : Items())
        item->SetRowLeaf(nullptr);
    m_root.reset(new Leaf);
}

void CRowList::Assign(const std::vector<CGridItem*>& items) { Build(items); }

void CRowList::Reorder(const std::vector<CGridItem*>& items)
{
    if (items.size() != static_cast<std::size_t>(Size())) {
        Assign(items);
        return;
    }
    // The old nodes go without touching their items (a pass over millions
    // of scattered items), which the build links anew.
    m_root.reset(new Leaf);
    BuildNodes(items);
}

std::vector<CGridItem*> CRowList::Items() const
{
    std::vector<CGridItem*> items;
    items.reserve(static_cast<std::size_t>(Size()));
    std::vector<const Node*> stack = {m_root.get()};
    while (!stack.empty()) {
        const Node* node = stack.back();
        stack.pop_back();
        if (node->leaf) {
            const auto& leafItems = static_cast<const Leaf*>(node)->items;
            items.insert(items.end(), leafItems.begin(), leafItems.end());
        } else {
            const auto& children = static_cast<const Inner*>(node)->children;
            stack.insert(stack.end(), children.rbegin(), children.rend());
        }
    }
    return items;
}

} // namespace Kestrum::GUI

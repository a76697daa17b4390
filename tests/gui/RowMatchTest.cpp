// The row match of the row trees: what it shows, kept live as rows join,
// leave and change, what clearing it puts back, and a long random run
// checked against a model worked out from scratch.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "FakeSurface.h"
#include "common/DynamicObject.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Test;
using Kestrum::Common::CDataObject;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kNameField = 0;
constexpr std::int32_t kSizeField = 2;

struct CFunctionMatch : IRowMatch {
    std::function<bool(CDataObject*)> test;
    int asked = 0;
    bool Matches(CGridItem*, CDataObject* object) override
    {
        ++asked;
        return test(object);
    }
};

class RowMatchFixture : public ::testing::Test {
protected:
    RowMatchFixture()
    {
        surface.rows = &rows;
        rows.SetHeader(&header);
        header.AddColumn(new CColumn(kNameField, "Name", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header.AddColumn(new CColumn(kSizeField, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        match.test = [](CDataObject* object) { return object->GetStlString(kNameField).find(".iso") != std::string::npos; };
    }
    HITEM Add(const std::string& name, HITEM parent = GRID_ROOT, std::int64_t size = 0)
    {
        objects.push_back(std::make_unique<CDynamicObject>(false));
        objects.back()->SetStlString(kNameField, name);
        objects.back()->SetInt64(kSizeField, size);
        return rows.Add(objects.back().get(), parent, GRID_LAST);
    }
    std::string NameOf(HITEM item) { return rows.GetObject(item, 0, 0)->GetStlString(kNameField); }
    std::vector<std::string> Visible()
    {
        std::vector<std::string> names;
        for (int row = 0; row < rows.GetRowCount(AreaScrollable); ++row)
            names.push_back(NameOf(rows.GetItemAt(row, AreaScrollable)));
        return names;
    }
    void Focus(HITEM item)
    {
        surface.focusRow = rows.GetVisibleIndex(item);
        surface.focusArea = AreaScrollable;
    }

    std::deque<std::unique_ptr<CDynamicObject>> objects;
    CHeader header{false};
    CFakeSurface surface;
    CGridRows rows{&surface};
    CFunctionMatch match;
};

// home/ (open) with docs/ (closed) holding a.iso, and music/ (closed).
TEST_F(RowMatchFixture, ShowsMatchesWithTheirAncestorsLiveAndPutsEverythingBackWhenCleared)
{
    const HITEM home = Add("home");
    const HITEM docs = Add("docs", home);
    Add("a.iso", docs);
    Add("notes.txt", docs);
    const HITEM music = Add("music", home);
    Add("song.ogg", music);
    rows.Expand(home, false);
    Focus(music);
    ASSERT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "music"}));

    rows.SetRowMatch(&match);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso"}));
    EXPECT_EQ(rows.GetMatchedCount(), 1);
    EXPECT_EQ(surface.focusRow, -1) << "the focused row went";
    EXPECT_TRUE(rows.GetItemState(music) & StateFilteredOut);

    // Found later: a match deep under a folder without a row brings its path.
    const HITEM deep = Add("deep", music);
    const HITEM deeper = Add("deeper", deep);
    Add("b.ogg", deeper);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso"}));
    const HITEM iso = Add("b.iso", deeper);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso", "music", "deep", "deeper", "b.iso"}));
    EXPECT_EQ(rows.GetMatchedCount(), 2);

    // An object that changes is asked again.
    objects.back()->SetStlString(kNameField, "b.img");
    EXPECT_TRUE(rows.RefilterItem(FromHandle(iso)));
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso"}));
    objects.back()->SetStlString(kNameField, "b.iso");
    EXPECT_TRUE(rows.RefilterItem(FromHandle(iso)));
    EXPECT_EQ(Visible().size(), 7u);
    // The last match of a path leaving takes the path with it.
    rows.Remove(iso);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso"}));

    // Cleared: the rows of before, music focused again.
    rows.SetRowMatch(nullptr);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "music"}));
    EXPECT_FALSE(rows.IsExpanded(docs));
    EXPECT_FALSE(rows.IsExpanded(music));
    EXPECT_EQ(surface.focusRow, rows.GetVisibleIndex(music));
    EXPECT_EQ(rows.GetMatchedCount(), 0);
    for (int row = 0; row < rows.GetRowCount(AreaScrollable); ++row)
        EXPECT_FALSE(rows.GetItemState(rows.GetItemAt(row, AreaScrollable)) & StateFilteredOut);
}

TEST_F(RowMatchFixture, TheRowFocusedUnderTheMatchKeepsFocusAndItsPathWhenCleared)
{
    const HITEM home = Add("home");
    const HITEM docs = Add("docs", home);
    const HITEM iso = Add("a.iso", docs);
    Add("b.txt", docs);
    rows.SetRowMatch(&match);
    rows.Collapse(home, false); // by hand under the match: kept afterwards
    rows.Expand(home, false);
    Focus(iso);
    rows.SetRowMatch(nullptr);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"home", "docs", "a.iso", "b.txt"}));
    EXPECT_EQ(surface.focusRow, rows.GetVisibleIndex(iso));
}

TEST_F(RowMatchFixture, SortsUnderTheMatchAndNewCriteriaApplyWhenSetAgain)
{
    for (const auto& [name, size] : std::vector<std::pair<std::string, int>>{
             {"small.iso", 1}, {"x.txt", 9}, {"big.iso", 50}, {"mid.iso", 7}})
        Add(name, GRID_ROOT, size);
    rows.SetRowMatch(&match);
    header.SetSortInfo(0, CSortInfo(kSizeField, true));
    rows.Resort();
    EXPECT_EQ(Visible(), (std::vector<std::string>{"big.iso", "mid.iso", "small.iso"}));
    Add("huge.iso", GRID_ROOT, 90);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"huge.iso", "big.iso", "mid.iso", "small.iso"}));
    match.test = [](CDataObject* object) { return object->GetInt64(kSizeField) >= 8; };
    rows.SetRowMatch(&match);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"huge.iso", "big.iso", "x.txt"}));
    rows.SetRowMatch(nullptr);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"huge.iso", "big.iso", "x.txt", "mid.iso", "small.iso"}));
}

// Random adds, removals, moves, expands, collapses, sorts, changed objects
// and matches set, changed and cleared; after every step the rows are those
// worked out from the tree alone, and after a clear every expanded flag is
// the one last set by call.
class CRandomMatch {
public:
    explicit CRandomMatch(unsigned seed) : m_random(seed)
    {
        m_surface.rows = &m_rows;
        m_rows.SetHeader(&m_header);
        m_header.AddColumn(new CColumn(kSizeField, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        m_match.test = [this](CDataObject* object) { return object->GetInt64(kSizeField) % m_modulus == 0; };
    }

    void Step()
    {
        const unsigned choice = m_random() % 100;
        if (choice < 35 || m_live.size() < 4)
            AddOne();
        else if (choice < 45)
            RemoveOne();
        else if (choice < 50)
            MoveOne();
        else if (choice < 65)
            ExpandOrCollapse();
        else if (choice < 80)
            ChangeObject();
        else if (choice < 84)
            ChangeSort();
        else
            ToggleMatch();
        Check();
    }

private:
    HITEM RandomLive()
    {
        auto it = m_live.begin();
        std::advance(it, static_cast<std::ptrdiff_t>(m_random() % m_live.size()));
        return *it;
    }
    void AddOne()
    {
        m_objects.push_back(std::make_unique<CDynamicObject>(false));
        m_objects.back()->SetInt64(kSizeField, static_cast<std::int64_t>(m_random() % 30));
        const HITEM parent = m_live.empty() || m_random() % 4 == 0 ? GRID_ROOT : RandomLive();
        const HITEM item = m_rows.Add(m_objects.back().get(), parent, GRID_LAST);
        m_live.insert(item);
        m_expanded[item] = false;
    }
    void RemoveOne()
    {
        const HITEM item = RandomLive();
        std::vector<CGridItem*> subtree = {FromHandle(item)};
        for (std::size_t i = 0; i < subtree.size(); ++i)
            for (CGridItem* child : subtree[i]->GetChildren())
                subtree.push_back(child);
        for (CGridItem* member : subtree) {
            m_live.erase(ToHandle(member));
            m_expanded.erase(ToHandle(member));
        }
        m_rows.Remove(item);
    }
    void MoveOne()
    {
        const HITEM item = RandomLive();
        const HITEM parent = m_random() % 3 == 0 ? GRID_ROOT : RandomLive();
        m_rows.Move(item, parent, GRID_LAST, false);
    }
    void ExpandOrCollapse()
    {
        const HITEM item = RandomLive();
        const bool expand = m_random() % 2 == 0;
        if (expand)
            m_rows.Expand(item, false);
        else
            m_rows.Collapse(item, false);
        m_expanded[item] = expand;
    }
    void ChangeObject()
    {
        const HITEM item = RandomLive();
        FromHandle(item)->GetObject()->SetValue(kSizeField, Kestrum::Common::CValue(static_cast<std::int64_t>(m_random() % 30)));
        m_rows.RefilterItem(FromHandle(item));
    }
    void ChangeSort()
    {
        m_header.ClearSort();
        if (m_random() % 3 != 0)
            m_header.SetSortInfo(0, CSortInfo(kSizeField, m_random() % 2 == 0));
        m_rows.Resort();
    }
    void ToggleMatch()
    {
        if (m_rows.GetRowMatch() && m_random() % 2 == 0) {
            m_rows.SetRowMatch(nullptr);
            for (const auto& [item, expanded] : m_expanded)
                ASSERT_EQ(m_rows.IsExpanded(item), expanded) << "expanded flag put back";
            return;
        }
        m_modulus = 2 + static_cast<int>(m_random() % 6);
        m_rows.SetRowMatch(&m_match);
        for (HITEM item : m_live) {
            if (MatchesBelow(FromHandle(item)) > 0) {
                ASSERT_TRUE(m_rows.IsExpanded(item)) << "the path to a match is opened";
            }
        }
    }

    bool Matched(CGridItem* item) { return item->GetObject()->GetInt64(kSizeField) % m_modulus == 0; }
    int MatchesBelow(CGridItem* item)
    {
        int count = 0;
        for (CGridItem* child : item->GetChildren())
            count += (Matched(child) ? 1 : 0) + MatchesBelow(child);
        return count;
    }
    void Expected(CGridItem* parent, std::vector<CGridItem*>& out)
    {
        for (CGridItem* child : parent->GetChildren()) {
            if (m_rows.GetRowMatch() && !Matched(child) && MatchesBelow(child) == 0)
                continue;
            out.push_back(child);
            if (child->IsExpanded())
                Expected(child, out);
        }
    }
    void Check()
    {
        CItemTree& tree = m_rows.Scrollable();
        std::vector<CGridItem*> expected;
        Expected(tree.GetRoot(), expected);
        ASSERT_EQ(tree.GetRowCount(), static_cast<int>(expected.size()));
        for (int row = 0; row < tree.GetRowCount(); ++row)
            ASSERT_EQ(tree.GetItemAt(row), expected[static_cast<std::size_t>(row)]) << "row " << row;
        ASSERT_EQ(tree.GetRoot()->GetVisibleDescendantCount(), tree.GetRowCount());
        int matched = 0;
        for (HITEM item : m_live)
            matched += m_rows.GetRowMatch() && Matched(FromHandle(item)) ? 1 : 0;
        ASSERT_EQ(m_rows.GetMatchedCount(), matched);
    }

    std::mt19937 m_random;
    CHeader m_header{false};
    CFakeSurface m_surface;
    std::deque<std::unique_ptr<CDynamicObject>> m_objects;
    CGridRows m_rows{&m_surface};
    CFunctionMatch m_match;
    int m_modulus = 3;
    std::set<HITEM> m_live;
    std::map<HITEM, bool> m_expanded; // as last set by call
};

TEST(RowMatchRandom, AgreesWithTheModelAfterEveryStep)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        CRandomMatch run(seed);
        for (int step = 0; step < 1500 && !::testing::Test::HasFatalFailure(); ++step)
            run.Step();
    }
}

} // namespace
